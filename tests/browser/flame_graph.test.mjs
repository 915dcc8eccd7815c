// The flame-graph script's drawing opened alone: tool-tips, zoom and search.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { openBrowser, openReport } from './report_helpers.mjs';

let browser;
before(async () => { browser = await openBrowser(); });
after(async () => { await browser.close(); });

const frame = (page, name) =>
  page.locator('g.func_g').filter({ has: page.locator('title', { hasText: new RegExp(`^${name} \\(`) }) });
const width = async (page, name) => Number(await frame(page, name).locator('rect').getAttribute('width'));

test('frames show their counts, zoom in and out, and match a search', async () => {
  const { page, problems } = await openReport(browser, 'flamegraph.svg');
  assert.equal(await page.locator('#title').textContent(), 'Flame <graph>');
  await frame(page, 'simulate').hover();
  assert.equal(await page.locator('#details').textContent(), 'Function: simulate (1,350 samples, 58.39%)');
  const before = await width(page, 'step');

  await frame(page, 'simulate').click();
  await page.waitForFunction(() => document.getElementById('unzoom').style.opacity === '1');
  assert.equal(await width(page, 'simulate'), 1180);
  assert.ok(Math.abs((await width(page, 'step')) - (1180 * 550) / 1350) < 0.02);
  assert.match(await frame(page, 'parse').getAttribute('class'), /hide/);
  assert.match(await frame(page, 'model').getAttribute('class'), /parent/);

  await page.locator('#unzoom').click();
  await page.waitForFunction(() => document.getElementById('unzoom').style.opacity === '0');
  assert.equal(await width(page, 'step'), before);
  assert.doesNotMatch(await frame(page, 'parse').getAttribute('class'), /hide/);

  await page.evaluate(() => search('^s'));
  assert.equal(await page.locator('#matched').textContent(), 'Matched: 58.4%');
  assert.equal(await frame(page, 'step').locator('rect').getAttribute('fill'), 'rgb(230,0,230)');
  assert.equal(await frame(page, '<b>&"emit"').count(), 1);
  assert.deepEqual(problems, []);
});
