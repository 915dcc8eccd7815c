import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { openBrowser, openReport, showTab, tableRows } from './report_helpers.mjs';

let browser;
before(async () => { browser = await openBrowser(); });
after(async () => { await browser.close(); });

const execOrders = (rows) => rows.map((cells) => Number(cells[6]));

async function openLargeDetails() {
  const { page, problems } = await openReport(browser, 'large.html');
  await showTab(page, 'Details', 'phaseSummaryDiv');
  await page.waitForSelector('#phaseSummaryTable tbody tr');
  return { page, problems };
}

async function scrollDetailsTo(page, fraction) {
  return page.evaluate((part) => {
    const div = document.getElementById('phaseSummaryScrollTableDiv');
    div.scrollTop = Math.round((div.scrollHeight - div.clientHeight) * part);
    div.dispatchEvent(new Event('scroll'));
    const size = numPhasesToRenderInTable['Detail'];
    const excess = 10000 - size;
    return { size, begin: Math.floor(excess * div.scrollTop / (div.scrollHeight - div.clientHeight)) };
  }, fraction);
}

test('only a window of the 10,000 rows is rendered, and scrolling moves it', async () => {
  const { page, problems } = await openLargeDetails();
  let rows = await tableRows(page, 'phaseSummaryTable');
  const size = await page.evaluate(() => numPhasesToRenderInTable['Detail']);
  assert.ok(size > 5 && size <= 32, `window of ${size} rows`);
  assert.deepEqual(execOrders(rows), Array.from({ length: size }, (_, i) => i + 1));

  const middle = await scrollDetailsTo(page, 0.5);
  rows = await tableRows(page, 'phaseSummaryTable');
  assert.deepEqual(execOrders(rows), Array.from({ length: size }, (_, i) => middle.begin + i + 1));
  assert.equal(rows[0][1], `P${middle.begin % 50}(Grouping:G)`);

  await scrollDetailsTo(page, 1);
  rows = await tableRows(page, 'phaseSummaryTable');
  assert.deepEqual(execOrders(rows), Array.from({ length: size }, (_, i) => 10000 - size + i + 1));
  assert.deepEqual(problems, []);
});

test('checking all rows totals the whole trace, not just the window', async () => {
  const { page, problems } = await openLargeDetails();
  await page.click('#AllChecked');
  assert.equal(await page.textContent('#totalChecked'), '10000');
  // Row i takes (i % 97 + 1) ms.
  let total = 0;
  for (let i = 0; i < 10000; i++) total += (i % 97 + 1) / 1000;
  assert.equal(await page.textContent('#totalSelfTime'), total.toFixed(2));
  assert.deepEqual(problems, []);
});

test('the page opens and renders its first table quickly; screenshot for the README', async () => {
  const { page, problems } = await openReport(browser, 'large.html');
  const started = Date.now();
  await page.reload();
  await page.waitForSelector('#aggregateSummaryTable tbody tr');
  const elapsed = Date.now() - started;
  console.log(`large report (10,000 rows): opened and rendered in ${elapsed} ms`);
  const size = await page.evaluate(() => numPhasesToRenderInTable['Aggregate']);
  assert.equal((await tableRows(page, 'aggregateSummaryTable')).length, Math.min(50, size));
  assert.deepEqual(problems, []);

  if (process.env.PT_SCREENSHOT) {
    const { page: shown } = await openReport(browser, 'build.html');
    await showTab(shown, 'Details', 'phaseSummaryDiv');
    await shown.setViewportSize({ width: 1280, height: 560 });
    await shown.screenshot({ path: process.env.PT_SCREENSHOT });
  }
});

test('number display rounds and scales; sorting puts larger numbers first', async () => {
  const { page } = await openReport(browser, 'build.html');
  const shown = await page.evaluate(() => [2500000, 9999.999, -0.001, 12345, -12345, 0.5, 3e9].map(createScientificNotation));
  assert.deepEqual(shown, ['2.5e6', '10000.00', '0.00', '12.35e3', '-12.35e3', '0.50', '3e9']);
  // The sort key rule: larger numbers first, ties by earlier position.
  const order = await page.evaluate(() => {
    procData = [{ Phase: 0, WCSelf: 1 }, { Phase: 1, WCSelf: 2 }, { Phase: 0, WCSelf: 2 }, { Phase: 1, WCSelf: 1 }];
    Phase = ['b', 'a'];
    return [quicksort([0, 1, 2, 3], ['WCSelf', 'Phase']), quicksort([0, 1, 2, 3], ['Phase']),
      quicksort([3, 2, 1, 0], ['ExecOrder'])];
  });
  assert.deepEqual(order, [[1, 2, 3, 0], [1, 3, 0, 2], [0, 1, 2, 3]]);
});
