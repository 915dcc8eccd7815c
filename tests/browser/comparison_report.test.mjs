import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { openBrowser, openReport, showTab, tableRows } from './report_helpers.mjs';

let browser;
before(async () => { browser = await openBrowser(); });
after(async () => { await browser.close(); });

const hostile = '<!--</script><img src=x onerror="window.injected = 1">\'"';
const phaseOf = (cells) => cells[2];

// The rendered rows as cell texts, the phase cell as its full name (the
// cell itself may shorten it to fit).
async function comparisonRows(page) {
  return page.$$eval('#phaseSummaryTable tbody tr', (rows) =>
    rows.map((row) => Array.from(row.cells, (cell, i) => (i === 2 ? cell.title : cell.textContent))));
}

async function openPhases(name = 'comparison.html') {
  const { page, problems } = await openReport(browser, name);
  await page.click('#viewLink_phaseSummary');
  await page.waitForSelector('#phaseSummaryTable tbody tr');
  return { page, problems };
}

// Background of the Rel Dev cell of the first metric, per phase.
async function relDevColours(page) {
  return page.$$eval('#phaseSummaryTable tbody tr', (rows) => rows.map((row) =>
    [row.cells[2].title, getComputedStyle(row.cells[6]).backgroundColor]));
}

async function applyFilter(page, values) {
  for (const [id, value] of Object.entries(values)) {
    if (id === 'matchkind') await page.selectOption('#matchkind', value);
    else await page.fill(`#${id}`, value);
  }
  await page.click('#userInputsSubmit');
  await page.waitForFunction(() => document.getElementById('filterCount').textContent.startsWith(`${numRows['Detail']} of`));
}

test('rows show both sides, deviations coloured by the ladder, one-sided rows marked', async () => {
  const { page, problems } = await openPhases();
  const rows = await comparisonRows(page);
  assert.deepEqual(rows.map((cells) => [cells[0], phaseOf(cells)]), [
    ['both', 'Same'], ['both', 'Slower'], ['both', 'Band'], ['LHS only', 'Only Before'], ['both', 'Faster'],
    ['both', hostile], ['RHS only', 'Only After'], ['both', 'Little']]);
  assert.deepEqual(rows[1].slice(3, 7), ['1.00', '1.60', '0.60', '60.00']);
  assert.deepEqual(await relDevColours(page), [
    ['Same', 'rgb(200, 255, 200)'], ['Slower', 'rgb(255, 0, 0)'], ['Band', 'rgb(255, 100, 100)'],
    ['Only Before', 'rgb(188, 188, 188)'], ['Faster', 'rgb(0, 255, 0)'], [hostile, 'rgb(255, 185, 115)'],
    ['Only After', 'rgb(188, 188, 188)'], ['Little', 'rgb(200, 255, 200)']]);
  // The missing side of a one-sided row is greyed, not shown as a value.
  assert.deepEqual(rows[3].slice(3, 7), ['0.50', '—', '—', '—']);
  assert.deepEqual(rows[6].slice(3, 7), ['—', '0.25', '—', '—']);
  const marks = await page.$$eval('#phaseSummaryTable td.matchCell', (cells) =>
    cells.map((cell) => getComputedStyle(cell).backgroundColor));
  assert.notEqual(marks[3], marks[0]);
  assert.notEqual(marks[6], marks[3]);
  assert.equal(await page.evaluate(() => window.injected), undefined);
  assert.equal(await page.$$eval('img', (images) => images.length), 0);
  assert.deepEqual(problems, []);
});

test('header clicks sort by a deviation, unmatched rows last, and reverse', async () => {
  const { page, problems } = await openPhases();
  await page.click('#cmpHeader_WCSelfRelDev');
  const order = async () => (await comparisonRows(page)).map(phaseOf);
  assert.deepEqual(await order(), ['Slower', 'Band', hostile, 'Same', 'Little', 'Faster', 'Only Before', 'Only After']);
  await page.click('#cmpHeader_WCSelfRelDev');
  assert.deepEqual(await order(), ['Faster', 'Little', 'Same', hostile, 'Band', 'Slower', 'Only Before', 'Only After']);
  await page.click('#cmpHeader_Phase');
  assert.deepEqual((await order()).slice(0, 3), [hostile, 'Band', 'Faster']);
  assert.deepEqual(problems, []);
});

test('filters by presence, name and deviation size', async () => {
  const { page, problems } = await openPhases();
  const shown = async () => (await comparisonRows(page)).map(phaseOf);
  await applyFilter(page, { matchkind: 'unmatched' });
  assert.deepEqual(await shown(), ['Only Before', 'Only After']);
  await applyFilter(page, { matchkind: 'all', phasename: 'Slow|Fast' });
  assert.deepEqual(await shown(), ['Slower', 'Faster']);
  await applyFilter(page, { phasename: '', minreldev: '30' });
  assert.deepEqual(await shown(), ['Slower', 'Band', 'Faster']);
  await applyFilter(page, { minreldev: '', phasename: '(' });
  assert.match(await page.textContent('#filterMessage'), /Invalid regular expression/);
  assert.deepEqual(problems, []);
});

test('aggregate view and page count runs per side; names and system information stay text', async () => {
  for (const name of ['comparison.html', 'comparison_aggregate.html']) {
    const { page, problems } = await openReport(browser, name);
    await page.waitForSelector('#aggregateSummaryTable tbody tr');
    const rows = await tableRows(page, 'aggregateSummaryTable');
    assert.equal(rows.length, 8, name);
    const onlyAfter = rows.find((cells) => cells[1] === 'Only After');
    assert.deepEqual(onlyAfter.slice(0, 5), ['RHS only', 'Only After', '0', '1', '1'], name);
    assert.ok(rows.some((cells) => cells[1] === hostile), name);
    await showTab(page, 'System Info', 'systemInfoTableDiv');
    assert.match(await page.textContent('#systemInfoTable'), /Before processor[\s\S]*After <b>processor<\/b>/);
    await showTab(page, 'Basic Mem', 'otherMetricDiv');
    assert.match(await page.textContent('#otherMetricDiv'), /written for the metric "time"/);
    assert.equal(await page.evaluate(() => window.injected), undefined);
    assert.deepEqual(problems, [], name);
  }
});

test('a 100,000-row comparison opens, renders a window of rows and scrolls to the end', async () => {
  const { page, problems } = await openReport(browser, 'comparison_large.html');
  const started = Date.now();
  await page.reload();
  await page.waitForSelector('#aggregateSummaryTable tbody tr');
  console.log(`comparison report (100,000 rows a side): opened and rendered in ${Date.now() - started} ms`);
  await page.click('#viewLink_phaseSummary');
  await page.waitForSelector('#phaseSummaryTable tbody tr');
  assert.equal(await page.evaluate(() => numRows['Detail']), 100000);
  const size = await page.evaluate(() => numPhasesToRenderInTable['Detail']);
  let rows = await comparisonRows(page);
  assert.equal(rows.length, size);
  assert.ok(size > 5 && size <= 32, `window of ${size} rows`);
  await page.evaluate(() => {
    const div = document.getElementById('phaseSummaryScrollTableDiv');
    div.scrollTop = div.scrollHeight;
    div.dispatchEvent(new Event('scroll'));
  });
  await page.waitForFunction(() => document.querySelector('#phaseSummaryTable tbody tr:last-child td:nth-child(2)')
    .textContent === '100000');
  rows = await comparisonRows(page);
  assert.equal(rows.length, size);
  // Every twentieth phase runs 0.036 s instead of 0.02 s: 80 % slower.
  const changed = rows.find((cells) => (Number(cells[1]) - 1) % 20 === 0);
  assert.deepEqual(changed.slice(6, 7), ['80.00']);
  assert.deepEqual(problems, []);
});

test('detailed-memory difference charts draw every row in view, with deviations and statistics', async () => {
  const { page, problems } = await openReport(browser, 'comparison_memory.html');
  await page.click('#viewLink_memCanvas');
  await page.waitForFunction(() => diffChartData !== null && document.getElementById('diffMemChartDiv').offsetHeight > 0);
  // Committed grew by half on every row: each row's deviation ribbon is red.
  const colours = await page.evaluate(() => {
    const canvas = document.getElementById('absDevCanvasDiff');
    const context = canvas.getContext('2d');
    return diffChartData.map((row, r) => Array.from(context.getImageData(canvas.width / 2 + 2, r * DIFFROWHEIGHT + 9, 1, 1).data).join(','));
  });
  assert.equal(colours.length, await page.evaluate(() => procData.length));
  for (const colour of colours) assert.equal(colour, '255,60,60,255');
  const hostileRow = await page.evaluate(() => diffChartData.findIndex((row) => row.name.includes('<img')));
  assert.ok(hostileRow >= 0);
  const box = await page.locator('#dataSet1CanvasDiff').boundingBox();
  await page.mouse.click(box.x + 10, box.y + hostileRow * 18 + 9);
  const text = await page.textContent('#diffStatsPopupText');
  assert.match(text, new RegExp(`^${hostileRow + 1} <img src=x onerror="window.injected = 1">\nCom: LHS `));
  assert.equal(await page.evaluate(() => window.injected), undefined);
  assert.deepEqual(problems, []);
});
