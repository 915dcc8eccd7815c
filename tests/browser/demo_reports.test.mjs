// The reports `ptrace demo` writes (the README's first command), opened the
// way a reader opens them: every tab shown, nothing reported by the page.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { expandAll, leftRow, openBrowser, openModelReport, openReport, showTab, tableRows } from './report_helpers.mjs';

let browser;
before(async () => { browser = await openBrowser(); });
after(async () => { await browser.close(); });

const tabBlocks = {
  'Aggregate': 'aggregateSummaryDiv',
  'Call Tree': 'callTreeSummaryDiv',
  'Details': 'phaseSummaryDiv',
  'MemChart': 'scrollcanvas',
  'System Info': 'systemInfoTableDiv',
};

async function visitEveryTab(name, expectedTabs) {
  const { page, problems } = await openReport(browser, `demo/${name}`);
  const tabs = await page.$$eval('div#header:visible li', (items) => items.map((item) => item.textContent));
  assert.deepEqual(tabs, expectedTabs);
  for (const tab of [...expectedTabs.slice(1), expectedTabs[0]]) await showTab(page, tab, tabBlocks[tab]);
  return { page, problems };
}

test('the demo phase report shows every tab without page errors', async () => {
  const { page, problems } = await visitEveryTab('demo-time.html', ['Aggregate', 'Call Tree', 'Details', 'System Info']);
  const phases = (await tableRows(page, 'aggregateSummaryTable')).map((cells) => cells[0]);
  for (const phase of ['Parse Model', 'Code Generation', 'Build', 'Run Test']) assert.ok(phases.includes(phase), phase);
  assert.deepEqual(problems, []);
});

test('the demo memory report draws its chart from the recorded statistics', async () => {
  const { page, problems } = await visitEveryTab('demo-detailedmemory.html',
    ['Aggregate', 'Call Tree', 'Details', 'MemChart', 'System Info']);
  await showTab(page, 'MemChart', 'scrollcanvas');
  // Pixels in the chart's part colours (free, reserved, committed, dlls, non-process).
  const charted = await page.evaluate(() => {
    const canvas = document.getElementById('scrollcanvas');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const colours = new Set(['7aee3c', 'ffc8c8', 'ec0033', 'ffa500', '666666']);
    let count = 0;
    for (let i = 0; i < data.length; i += 4) {
      const hex = [data[i], data[i + 1], data[i + 2]].map((v) => v.toString(16).padStart(2, '0')).join('');
      if (data[i + 3] == 255 && colours.has(hex)) count++;
    }
    return count;
  });
  assert.ok(charted > 1000, `${charted} charted pixels`);
  assert.deepEqual(problems, []);
});

test('the demo test report offers every test case to check, each showing its run', async () => {
  const { page, problems } = await openModelReport(browser, 'demo/demo-tests.html');
  await expandAll(page);
  const labels = await page.$$eval('#display-table span.label', (spans) => spans.map((span) => span.textContent));
  const models = ['pendulum', 'heat_exchanger', 'fuel_pump', 'cruise_control'];
  for (const model of models) assert.ok(labels.includes(`${model}_tests.m`), labels.join());
  const items = await page.evaluate(() => selectedItems().map((node) => displayName(node)));
  assert.deepEqual(items.sort(), [...Array(4).fill('testRamp'), ...Array(4).fill('testStep')]);

  await leftRow(page, 'testStep').locator('span.label').click();
  await page.waitForSelector('#tabDetails');
  assert.equal(await page.textContent('#rightTitle .title'), 'testStep');
  assert.deepEqual((await tableRows(page, 'summaryTable')).map((cells) => [cells[0], cells[1], cells[4]]),
    [['Run Test', '1', 'pendulum']]);
  await page.click('#tabDetails');
  const details = await tableRows(page, 'detailTable');
  assert.equal(details.length, 1);
  assert.equal(details[0][1], 'Run Test');
  assert.deepEqual(problems, []);
});
