import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { openBrowser, openReport } from './report_helpers.mjs';

let browser;
before(async () => { browser = await openBrowser(); });
after(async () => { await browser.close(); });

test('the error page links to the diagnostic report, whose unpaired rows are red', async (t) => {
  const { page, problems } = await openReport(browser, 'unbalanced.html');
  assert.match(await page.textContent('body'), /An error has been detected/);
  await Promise.all([page.waitForURL(/unbalanced-diagnostic\.html$/), page.click('#diagnosticReportLink')]);
  await page.waitForSelector('table tr >> nth=1');

  // [phase, Start/End, red] per row: the ninth and eighth cells from the end.
  const rows = await page.$$eval('table tr', (all) => all.slice(1).map((row) => {
    const cells = Array.from(row.cells, (cell) => cell.textContent.trim());
    return [cells[cells.length - 9], cells[cells.length - 8],
      getComputedStyle(row).backgroundColor === 'rgb(255, 26, 0)'];
  }));
  const hostile = '<img src=x onerror="window.injected = 1">';
  assert.deepEqual(rows, [
    ['Build', 'Start', false],
    [hostile, 'Start', true],
    ['Compile', 'End', true],
    [hostile, 'End', true],
    ['Link', 'Start', false],
    ['Link', 'End', false],
    ['Build', 'End', false],
    ['Test', 'Start', true],
  ]);
  // Hostile names are text, not markup: every row keeps its columns.
  const widths = await page.$$eval('table tr', (all) => all.map((row) => row.cells.length));
  assert.equal(new Set(widths).size, 1, widths.join(' '));
  assert.match(await page.textContent('table tr:nth-child(2)'), /<\/td><script>window.injected = 2;<\/script>/);
  assert.equal(await page.evaluate(() => window.injected), undefined);
  assert.deepEqual(problems, []);
  if (process.env.PT_SCREENSHOT_DIR) {
    await page.screenshot({ path: path.join(process.env.PT_SCREENSHOT_DIR, 'diagnostic.png'), fullPage: true });
    t.diagnostic(`screenshot in ${process.env.PT_SCREENSHOT_DIR}`);
  }
});
