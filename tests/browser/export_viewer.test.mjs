// The exports of a fixed trace loaded into speedscope through its file input,
// as a user opens them: the frame names and self times of its sandwich view
// against the trace's own figures.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { openBrowser, reportDir } from './report_helpers.mjs';

const viewer = pathToFileURL(path.join(path.dirname(fileURLToPath(import.meta.url)),
  'node_modules/speedscope/dist/release/index.html')).href;
const phases = JSON.parse(readFileSync(path.join(reportDir, 'export-expected.json'), 'utf8'));

let browser;
before(async () => { browser = await openBrowser(); });
after(async () => { await browser.close(); });

// Shown name → [self nanoseconds, ends] of the phases `keep` admits: each
// end is rounded to a whole nanosecond, so a self time may move by one per end.
function expected(nameOf, keep) {
  const figures = new Map();
  for (const phase of phases.filter(keep)) {
    const [self, ends] = figures.get(nameOf(phase)) ?? [0, 0];
    figures.set(nameOf(phase), [self + phase.selfNs, ends + phase.ends]);
  }
  return figures;
}

// "1.74ms (54%)" → [1740000, 5000]: the value and half its last shown digit;
// folded counts ("1,740,217 (34%)") are nanoseconds.
function shownNanoseconds(text) {
  const [, digits, unit] = /^([\d.,]+)(ns|µs|ms|s)? \(/.exec(text);
  const scale = { ns: 1, µs: 1e3, ms: 1e6, s: 1e9 }[unit] ?? 1;
  const decimals = digits.includes('.') ? digits.split('.')[1].length : 0;
  return [Number(digits.replaceAll(',', '')) * scale, 0.5 * scale * 10 ** -decimals];
}

// The sandwich view's rows as [self text, name]; the view's cells are its
// only ones that end in a percentage in both the Total and the Self column.
async function sandwichRows(page, count) {
  const read = () => page.$$eval('tr', (rows) => rows
    .filter((row) => row.cells.length === 3 && /%\)$/.test(row.cells[0].textContent) && /%\)$/.test(row.cells[1].textContent))
    .map((row) => [row.cells[1].textContent, row.cells[2].textContent]));
  await page.waitForFunction((n) => Array.from(document.querySelectorAll('tr'))
    .filter((row) => row.cells.length === 3 && /%\)$/.test(row.cells[1].textContent)).length === n, count);
  return read();
}

function assertFigures(rows, figures, what) {
  assert.deepEqual(rows.map(([, name]) => name).sort(), [...figures.keys()].sort(), what);
  for (const [self, name] of rows) {
    const [shown, precision] = shownNanoseconds(self);
    const [want, ends] = figures.get(name);
    assert.ok(Math.abs(shown - want) <= precision + ends,
      `${what}: ${JSON.stringify(name)} shows ${self}, the trace says ${want} ns`);
  }
}

async function openInViewer(file) {
  const page = await browser.context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console error: ${message.text()}`);
  });
  await page.goto(viewer);
  await page.setInputFiles('input[type=file]', path.join(reportDir, file));
  await page.click('text=Sandwich');
  return { page, problems };
}

test('speedscope shows the folded stacks with the trace\'s names and self times', async () => {
  const { page, problems } = await openInViewer('export.folded');
  const figures = expected((phase) => phase.frame, () => true);
  assertFigures(await sandwichRows(page, figures.size), figures, 'folded');
  assert.deepEqual(problems, []);
});

test('speedscope shows the Chrome trace per thread with the same names and self times', async () => {
  const { page, problems } = await openInViewer('export.chrome');
  for (const [thread, label] of [['', 'host thread (tid 1)'], ['worker 1', 'thread worker 1 (tid 2)']]) {
    if (thread !== '') await page.keyboard.press('n');  // the next profile: the next thread
    await page.waitForSelector(`text=${label}`);
    const figures = expected((phase) => phase.text, (phase) => phase.thread === thread);
    assertFigures(await sandwichRows(page, figures.size), figures, label);
  }
  assert.match(await page.textContent('body'), /GLOBAL \(host .*\) \(pid 1\)/);
  assert.deepEqual(problems, []);
});
