import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { openBrowser, openReport, showTab, tableRows } from './report_helpers.mjs';

let browser;
before(async () => { browser = await openBrowser(); });
after(async () => { await browser.close(); });

// [marker and phase, count] per shown node; the marker is "[+]", "[-]" or
// blanks for a node without children to show.
async function treeRows(page) {
  return (await tableRows(page, 'callTreeSummaryTable'))
    .map((cells) => [cells[1].replace(/\(Grouping:.*\)$/, '').trim(), cells[2]]);
}

async function openCallTree(name) {
  const opened = await openReport(browser, name);
  await showTab(opened.page, 'Call Tree', 'callTreeSummaryTable');
  return opened;
}

async function applyFilter(page, text) {
  if (!(await page.isVisible('#CT_phasename'))) await page.click('#CT_FilterExpandCollapse');
  await page.fill('#CT_phasename', text);
  await page.click('#CT_userInputsSubmit');
}

test('repeated subtrees are folded into nodes that expand and collapse', async (t) => {
  const { page, problems } = await openCallTree('calltree.html');
  // Three identical runs fold; the fourth lacks Save and stays apart.
  assert.deepEqual(await treeRows(page), [['[+] Run', '3'], ['[+] Run', '1'], ['Report', '1']]);
  await page.click('#ctExpand0');
  await page.click('#ctExpand2');
  assert.deepEqual(await treeRows(page), [
    ['[-] Run', '3'], ['Load', '3'], ['[-] Solve', '3'], ['Step', '6'], ['Save', '3'],
    ['[+] Run', '1'], ['Report', '1'],
  ]);
  // Self + Child of the folded Solve node: three runs of two 0.5 s steps.
  assert.equal((await tableRows(page, 'callTreeSummaryTable'))[2][6], '3.00');
  if (process.env.PT_SCREENSHOT_DIR) {
    await page.screenshot({ path: path.join(process.env.PT_SCREENSHOT_DIR, 'calltree.png'), fullPage: true });
    t.diagnostic(`screenshot in ${process.env.PT_SCREENSHOT_DIR}`);
  }
  // Collapsing hides the subtree; expanding again restores its inner state.
  await page.click('#ctExpand0');
  assert.deepEqual(await treeRows(page), [['[+] Run', '3'], ['[+] Run', '1'], ['Report', '1']]);
  await page.click('#ctExpand5');
  assert.deepEqual((await treeRows(page)).slice(1, 5),
    [['[-] Run', '1'], ['Load', '1'], ['Load_post', '1'], ['[+] Solve', '1']]);
  assert.equal(await page.$$eval('#callTreeSummaryTable td.gapCell', (cells) => cells.length), 1);
  assert.deepEqual(problems, []);
});

test('filters keep matching nodes and the way down to them', async () => {
  const { page, problems } = await openCallTree('calltree.html');
  await applyFilter(page, 'Ste');
  const steps = [['[-] Run', '3'], ['[-] Solve', '3'], ['Step', '6'], ['[-] Run', '1'], ['[-] Solve', '1'], ['Step', '1']];
  assert.deepEqual(await treeRows(page), steps);
  await applyFilter(page, '^(Load|Save)$');
  assert.deepEqual(await treeRows(page),
    [['[-] Run', '3'], ['Load', '3'], ['Save', '3'], ['[-] Run', '1'], ['Load', '1']]);
  // An invalid expression is reported and filters nothing.
  await applyFilter(page, '(');
  assert.match(await page.textContent('#CT_filterMessage'), /Invalid regular expression/);
  assert.equal((await treeRows(page)).length, 3);
  // Opening the tab for a phase matches its name exactly.
  await page.evaluate(() => openCallTreeTab('Ste'));
  assert.deepEqual(await treeRows(page), []);
  assert.equal(await page.textContent('#CT_aggregateTD'), 'Aggregate (N = 0)');
  await page.evaluate(() => openCallTreeTab('Step'));
  assert.deepEqual(await treeRows(page), steps);
  assert.deepEqual(problems, []);
});

test('totals cover every row of the checked nodes', async () => {
  const { page, problems } = await openCallTree('calltree.html');
  await page.click('#ctExpand0');
  await page.click('#ctExpand2');
  await page.click('#ctCheckBox0');
  await page.click('#ctCheckBox3');
  assert.equal(await page.textContent('#CT_totalChecked'), '2');
  assert.equal(await page.textContent('#CT_totalRows'), '9');
  assert.equal(await page.textContent('#CT_totalSelfTime'), '3.00');
  assert.equal(await page.textContent('#CT_aggregateTD'), 'Aggregate (N = 7)');
  // Everything shown: Load, Step, Save and Report rows carry the self time.
  await page.click('#CT_AllChecked');
  assert.equal(await page.textContent('#CT_totalChecked'), '7');
  assert.equal(await page.textContent('#CT_totalRows'), '20');
  assert.equal(await page.textContent('#CT_totalSelfTime'), '4.75');
  await page.click('#ctCheckBox3');
  assert.equal(await page.textContent('#CT_totalSelfTime'), '1.75');
  assert.equal(await page.isChecked('#CT_AllChecked'), false);
  assert.deepEqual(problems, []);
});

test('hostile names are shown as text in the call tree', async () => {
  const { page, problems } = await openCallTree('hostile.html');
  const names = (await treeRows(page)).map((row) => row[0]);
  assert.ok(names.includes('<img src=x onerror="window.injected = 2">'), names.join(' | '));
  assert.ok(names.includes("' + (window.injected = 3) + '"), names.join(' | '));
  assert.equal(await page.evaluate(() => window.injected), undefined);
  assert.equal(await page.$$eval('#callTreeSummaryTable img', (images) => images.length), 0);
  assert.deepEqual(problems, []);
});

test('a long list of nodes is windowed, and totals cover the nodes outside the window', async () => {
  // 10,000 leaf rows of 50 phases fold into 50 nodes of 200 rows each.
  const { page, problems } = await openCallTree('large.html');
  const size = await page.evaluate(() => numPhasesToRenderInTable['CallTree']);
  assert.ok(size > 5 && size < 50, `window of ${size} nodes`);
  let rows = await treeRows(page);
  assert.deepEqual(rows, Array.from({ length: size }, (_, i) => [`P${i}`, '200']));
  await page.evaluate(() => {
    const div = document.getElementById('callTreeSummaryScrollTableDiv');
    div.scrollTop = div.scrollHeight;
    div.dispatchEvent(new Event('scroll'));
  });
  rows = await treeRows(page);
  assert.deepEqual(rows.at(-1), ['P49', '200']);
  assert.equal(rows.length, size);
  await page.click('#CT_AllChecked');
  assert.equal(await page.textContent('#CT_totalRows'), '10000');
  let total = 0;
  for (let i = 0; i < 10000; i++) total += (i % 97 + 1) / 1000;
  assert.equal(await page.textContent('#CT_totalSelfTime'), total.toFixed(2));
  assert.deepEqual(problems, []);
});

test('a trace thousands of levels deep loads, and its tree opens down to the innermost phase', async (t) => {
  const { page, problems } = await openCallTree('deep.html');
  assert.deepEqual(await treeRows(page), [['[+] Level 0', '1']]);
  assert.equal(await page.evaluate(() => nodeArray.length), 4000);
  await applyFilter(page, '^Bottom$');
  assert.equal(await page.textContent('#CT_aggregateTD'), 'Aggregate (N = 4000)');
  assert.deepEqual((await treeRows(page)).slice(0, 2), [['[-] Level 0', '1'], ['[-] Level 1', '1']]);
  // Deep rows are cut to "..." in their cells; their titles hold the names.
  // Rendering sizes the scroll division again, so scroll until the window rests.
  const lastTitle = await page.evaluate(() => {
    const div = document.getElementById('callTreeSummaryScrollTableDiv');
    let start = -1;
    for (let i = 0; i < 5 && start != lastStartIndex['CallTree']; i++) {
      start = lastStartIndex['CallTree'];
      div.scrollTop = div.scrollHeight;
      div.dispatchEvent(new Event('scroll'));
    }
    return Array.from(document.querySelectorAll('#callTreeSummaryTable tbody td:nth-child(2)'), (cell) => cell.title).at(-1);
  });
  assert.equal(lastTitle, 'Bottom');
  if (process.env.PT_SCREENSHOT_DIR) {
    await page.screenshot({ path: path.join(process.env.PT_SCREENSHOT_DIR, 'deep_calltree.png'), fullPage: true });
    t.diagnostic(`screenshot in ${process.env.PT_SCREENSHOT_DIR}`);
  }
  // The other tabs' data loaded too: all the time is the innermost phase's own.
  await showTab(page, 'Aggregate', 'aggregateSummaryTable');
  assert.deepEqual((await tableRows(page, 'aggregateSummaryTable')).map((cells) => cells.slice(0, 2)), [['Bottom', '1']]);
  assert.deepEqual(problems, []);
});
