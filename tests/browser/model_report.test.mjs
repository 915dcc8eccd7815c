import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { expandAll, leftRow, openBrowser, openModelReport as openModelReportIn, tableRows } from './report_helpers.mjs';

let browser;
const openModelReport = (name) => openModelReportIn(browser, name);
before(async () => { browser = await openBrowser(); });
after(async () => { await browser.close(); });

test('the left tree checks and unchecks items and the right side follows', async () => {
  const { page, problems } = await openModelReport('model.html');
  assert.equal(await page.textContent('#rightTitle .title'), 'Performance of Selected Names');
  const everything = (await tableRows(page, 'summaryTable')).map((cells) => cells[0]);
  assert.ok(everything.includes('Load') && everything.includes('Step'), everything.join());

  for (const box of await page.locator('#display-table tbody tr:not(.hidden) input').all()) await box.uncheck();
  await page.waitForSelector('#noSelection');
  assert.match(await page.textContent('#noSelection'), /Please select at least one checkbox/);

  await expandAll(page);
  await leftRow(page, 'Simulation').locator('input').check();
  await page.waitForSelector('#tabCallTree');
  assert.equal(await page.textContent('#rightTitle .title'), 'Simulation for plant');
  assert.deepEqual((await tableRows(page, 'summaryTable')).map((cells) => cells.slice(0, 3)),
                   [['Simulation', '1', '1.00'], ['Step', '1', '1.00']]);
  const plant = leftRow(page, 'plant').locator('input');
  assert.equal(await plant.evaluate((box) => box.indeterminate), true);

  // A click on a name selects that item alone: its call tree and details.
  await leftRow(page, 'Main Model Compilation').locator('span.label').click();
  await page.click('#tabCallTree');
  await page.click('#callTreeTable tbody tr:first-child .toggle');
  const tree = (await tableRows(page, 'callTreeTable')).map((cells) => cells[0].replace(/^[\u25B6\u25BC]/, ''));
  assert.deepEqual(tree, ['Pre_Compile', 'Load', 'Load_post', 'Parse', 'Cleanup']);
  // The two runs of Parse are one row.
  assert.deepEqual((await tableRows(page, 'callTreeTable'))[3].slice(1, 3), ['2', '1.00']);
  await page.click('#tabDetails');
  assert.equal((await tableRows(page, 'detailTable')).filter((cells) => cells[1] === 'Parse').length, 2);
  assert.equal(await plant.evaluate((box) => box.indeterminate), true);
  assert.deepEqual(problems, []);
});

test('flame-graph frames show name and count on hover and zoom on click', async () => {
  const { page, problems } = await openModelReport('model.html');
  const frame = page.locator('#frames > g', { has: page.locator('text', { hasText: /^Load/ }) }).first();
  await frame.hover();
  await page.waitForSelector('#fgTooltip:not(.hidden)');
  assert.match(await page.textContent('#fgTooltip'), /^Load \(100 samples/);

  const fullWidth = await page.locator('#frames > g rect').first().getAttribute('width');
  await frame.click();
  await page.waitForSelector('#svg-content[data-zoomed]');
  assert.equal(Number(await frame.locator('rect').getAttribute('width')), Number(fullWidth));
  assert.equal(await page.locator('#frames > g.hide').count() > 0, true);
  // The frame's item is selected on the left.
  assert.equal(await page.textContent('#rightTitle .title'), 'Main Model Compilation');
  assert.deepEqual(problems, []);
});

test('difference rows show LHS, RHS, deviation and colour; one-sided nodes are marked', async () => {
  const { page, problems } = await openModelReport('model-diff.html');
  const rows = await tableRows(page, 'summaryTable');
  const byName = Object.fromEntries(rows.map((cells) => [cells[0], cells]));
  assert.deepEqual(byName.Load.slice(1, 7), ['1', '1', '1.00', '1.50', '0.50', '50.00']);
  assert.deepEqual(byName.Cleanup.slice(1, 7), ['1', '0', '1.00', '0.00', '-1.00', '-100.00']);
  const colour = async (name) => page.locator('#summaryTable tbody tr', { has: page.locator('td:first-child', {
    hasText: new RegExp(`^${name}$`) }) }).locator('td.relDiff').evaluate((cell) => getComputedStyle(cell).backgroundColor);
  assert.equal(await colour('Load'), 'rgb(255, 20, 20)');  // 45 < 50 <= 50
  assert.equal(await colour('Cleanup'), 'rgb(0, 255, 0)');
  assert.equal(await colour('Step'), 'rgb(200, 255, 200)');

  await expandAll(page);
  await leftRow(page, 'Main Model Compilation').locator('span.label').click();
  await page.click('#tabCallTree');
  await page.click('#callTreeTable tbody tr:first-child .toggle');
  const marked = await page.$$eval('#callTreeTable tbody tr', (trs) => trs
    .filter((tr) => tr.querySelector('.oneSided'))
    .map((tr) => tr.querySelector('td').textContent.replace(/^[\u25B6\u25BC]/, '')));
  assert.deepEqual(marked.sort(), ['CleanupLHS only', 'ExtraRHS only']);
  await page.click('#tabDetails');
  const extra = (await tableRows(page, 'detailTable')).find((cells) => cells[1] === 'Extra');
  assert.deepEqual(extra.slice(2, 6), ['0.00', '0.50', '0.50', '100.00']);
  assert.deepEqual(problems, []);
});

test('hostile names stay text', async () => {
  for (const name of ['model.html', 'model-diff.html']) {
    const { page, problems } = await openModelReport(name);
    await expandAll(page);
    assert.equal(await page.evaluate(() => window.pwned), undefined);
    assert.equal(await page.locator('img, b').count(), 0);
    const left = await page.textContent('#display-table');
    assert.ok(left.includes('<img src=x onerror=window.pwned=1>'), left);
    const summary = (await tableRows(page, 'summaryTable')).map((cells) => cells[0]);
    assert.ok(summary.includes('</script><b onclick=window.pwned=1>"x\'</b>'), summary.join('|'));
    assert.deepEqual(problems, []);
  }
});

test('a report of 100k phases opens, checks an item and shows its tables', async () => {
  const { page, problems } = await openModelReport('model-large.html');
  const parse = (await tableRows(page, 'summaryTable')).find((cells) => cells[0] === 'Parse');
  assert.deepEqual(parse.slice(1, 3), ['89100', '891.00']);
  await expandAll(page);
  await leftRow(page, 'Main Model Compilation').locator('span.label').click();
  await page.waitForSelector('#tabDetails');
  assert.equal((await tableRows(page, 'summaryTable')).find((cells) => cells[0] === 'Parse')[1], '44550');
  await page.click('#tabDetails');
  assert.equal((await tableRows(page, 'detailTable')).length, 1000);
  assert.match(await page.textContent('.moreRows'), /1000 of 49995 shown/);
  assert.deepEqual(problems, []);
});
