import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { openBrowser, openReport, showTab, tableRows } from './report_helpers.mjs';

let browser;
before(async () => { browser = await openBrowser(); });
after(async () => { await browser.close(); });

const phaseNames = (rows) => rows.map((cells) => cells[0]);

test('aggregate tab lists phases with counts and self times; header clicks sort it, alternating', async () => {
  const { page, problems } = await openReport(browser, 'build.html');
  const rows = await tableRows(page, 'aggregateSummaryTable');
  // Build and Compile spend no time of their own, so they are not listed.
  assert.deepEqual(rows, [
    ['Parse', '2', '1.25'],
    ['Check', '1', '0.25'],
    ['Link', '1', '2.00'],
    ['Test', '2', '0.75'],
  ]);
  await page.click('#aggHeader_WCElapsed');
  assert.deepEqual(phaseNames(await tableRows(page, 'aggregateSummaryTable')), ['Check', 'Test', 'Parse', 'Link']);
  await page.click('#aggHeader_WCElapsed');
  assert.deepEqual(phaseNames(await tableRows(page, 'aggregateSummaryTable')), ['Link', 'Parse', 'Test', 'Check']);
  await page.click('#aggHeader_Phase');
  assert.deepEqual(phaseNames(await tableRows(page, 'aggregateSummaryTable')), ['Check', 'Link', 'Parse', 'Test']);
  assert.deepEqual(problems, []);
});

test('tabs switch between aggregate, details and system information', async () => {
  const { page, problems } = await openReport(browser, 'build.html');
  assert.equal(await page.isVisible('#aggregateSummaryDiv'), true);
  await showTab(page, 'Details', 'phaseSummaryDiv');
  assert.equal(await page.isVisible('#aggregateSummaryDiv'), false);
  assert.equal((await tableRows(page, 'phaseSummaryTable')).length, 8);
  await showTab(page, 'System Info', 'systemInfoTableDiv');
  assert.match(await page.textContent('#systemInfoTable'), /Test processor/);
  await showTab(page, 'Aggregate', 'aggregateSummaryTable');
  assert.deepEqual(problems, []);
});

test('a phase click opens its rows in Details, all checked, with totals', async () => {
  const { page, problems } = await openReport(browser, 'build.html');
  await page.click('#aggregateSummaryTable >> text=Parse');
  assert.equal(await page.isVisible('#phaseSummaryTable'), true);
  const rows = await tableRows(page, 'phaseSummaryTable');
  assert.equal(rows.length, 2);
  for (const cells of rows) assert.match(cells[1], /^Parse\(Grouping:G\)$/);
  const boxes = await page.$$eval('#phaseSummaryTable tbody input[type=checkbox]', (all) => all.map((box) => box.checked));
  assert.deepEqual(boxes, [true, true]);
  assert.equal(await page.textContent('#totalChecked'), '2');
  assert.equal(await page.textContent('#totalSelfTime'), '1.25');
  // Unchecking a row takes it out of the totals and clears the header box.
  await page.click('#checkBox0');
  assert.equal(await page.textContent('#totalChecked'), '1');
  assert.equal(await page.textContent('#totalSelfTime'), '0.75');
  assert.equal(await page.isChecked('#AllChecked'), false);
  assert.deepEqual(problems, []);
});

test('a regular-expression filter and a two-column sort order the rows; a bad expression is reported', async () => {
  const { page, problems } = await openReport(browser, 'build.html');
  await showTab(page, 'Details', 'phaseSummaryDiv');
  await page.click('#FilterExpandCollapse');
  await page.fill('#phasename', '^(Parse|Check|Test)$');
  await page.click('#SortExpandCollapse');
  await page.fill('#Sort_phasename', '2');
  await page.fill('#Sort_self', '1');
  await page.click('#userInputsSubmit');
  const rows = await tableRows(page, 'phaseSummaryTable');
  // Self time descending; Test's two rows tie on nothing, so no phase order is needed there.
  assert.deepEqual(rows.map((cells) => [cells[1].replace(/\(Grouping:.*\)$/, ''), cells[7]]),
    [['Parse', '0.75'], ['Parse', '0.50'], ['Test', '0.50'], ['Check', '0.25'], ['Test', '0.25']]);
  assert.equal(await page.isVisible('#FilterData'), false);
  // An invalid regular expression is reported, not thrown.
  await page.click('#FilterExpandCollapse');
  await page.fill('#phasename', '(unclosed');
  await page.click('#userInputsSubmit');
  assert.match(await page.textContent('#filterMessage'), /Invalid regular expression in the Phase filter/);
  assert.deepEqual(problems, []);
});

test('model and target cells and filters name what each row was logged with', async () => {
  const { page, problems } = await openReport(browser, 'subjects.html');
  await showTab(page, 'Details', 'phaseSummaryDiv');
  const subjects = (rows) =>
    rows.map((cells) => [cells[1].replace(/\(Grouping:.*\)$/, ''), cells[2].trim(), cells[3].trim()]);
  assert.deepEqual(subjects(await tableRows(page, 'phaseSummaryTable')),
    [['Test', 'm2', ''], ['Simulate', 'm1', 'ert'], ['Generate', 'm2', 'ert']]);
  await page.click('#FilterExpandCollapse');
  await page.fill('#modelname', 'm2');
  await page.click('#userInputsSubmit');
  assert.deepEqual(subjects(await tableRows(page, 'phaseSummaryTable')), [['Test', 'm2', ''], ['Generate', 'm2', 'ert']]);
  assert.deepEqual(problems, []);
});

test('the aggregate report has only the aggregate and system tabs', async () => {
  const { page, problems } = await openReport(browser, 'build_aggregate.html');
  assert.deepEqual(await page.$$eval('.aggregateSumHeader li', (items) => items.map((item) => item.textContent)),
    ['Aggregate', 'System Info']);
  assert.equal((await tableRows(page, 'aggregateSummaryTable')).length, 4);
  await page.click('#aggHeader_Count');
  await showTab(page, 'System Info', 'systemInfoTableDiv');
  assert.deepEqual(problems, []);
});

test('memory reports show the memory columns', async () => {
  const { page, problems } = await openReport(browser, 'build_memory.html');
  const headers = await page.$$eval('#aggregateSummaryTable th', (cells) => cells.map((cell) => cell.textContent));
  assert.deepEqual(headers, ['Phase', 'Count', 'Memory (MB)', 'Process Usage Delta', 'Peak Usage Delta']);
  assert.deepEqual(problems, []);
});

test('hostile names render literally and run nothing', async () => {
  const { page, problems } = await openReport(browser, 'hostile.html');
  const names = phaseNames(await tableRows(page, 'aggregateSummaryTable'));
  assert.deepEqual(names, ['</script><script>window.injected = 1;</script>', '<img src=x onerror="window.injected = 2">',
    'quote " and back/slash', 'line break', "' + (window.injected = 3) + '"]);
  await page.click('#aggregateSummaryTable >> text=quote');
  const rows = await tableRows(page, 'phaseSummaryTable');
  assert.equal(rows.length, 1);
  // Phase names have their backslashes turned into slashes; groupings keep theirs.
  assert.equal(rows[0][1], 'quote " and back/slash(Grouping:<b>"group"</b>\\)');
  await showTab(page, 'Aggregate', 'aggregateSummaryTable');
  await page.click('#aggregateSummaryTable >> text=injected = 3');
  assert.equal((await tableRows(page, 'phaseSummaryTable')).length, 1);
  assert.equal(await page.evaluate(() => window.injected), undefined);
  assert.equal(await page.$$eval('img', (images) => images.length), 0);
  assert.deepEqual(problems, []);
});
