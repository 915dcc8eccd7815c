import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { openBrowser, openReport, showTab } from './report_helpers.mjs';

let browser;
before(async () => { browser = await openBrowser(); });
after(async () => { await browser.close(); });

const colours = { free: '#7AEE3C', reserved: '#FFC8C8', committed: '#EC0033', dlls: '#FFA500', kernel: '#666666' };

async function openChart(name) {
  const opened = await openReport(browser, name);
  await showTab(opened.page, 'MemChart', 'scrollcanvas');
  return opened;
}

// Opaque colours painted in a rectangle of a canvas, with their pixel counts.
async function paintedColours(page, id, rect) {
  return page.evaluate(([canvasId, r]) => {
    const canvas = document.getElementById(canvasId);
    const data = canvas.getContext('2d').getImageData(r.x, r.y, r.width, r.height).data;
    const counts = {};
    for (let i = 0; i < data.length; i += 4) {
      if (data[i + 3] != 255) continue;
      const hex = '#' + [data[i], data[i + 1], data[i + 2]].map((v) => v.toString(16).padStart(2, '0')).join('').toUpperCase();
      counts[hex] = (counts[hex] || 0) + 1;
    }
    return counts;
  }, [id, rect]);
}

async function pixelAt(page, x, y) {
  const counts = await paintedColours(page, 'scrollcanvas', { x, y, width: 1, height: 1 });
  return Object.keys(counts)[0] || 'none';
}

// Scrolls the column into view through the chart's scrollbar and gives the
// point of the scroll canvas at its centre, `above` pixels over the x axis.
// The chart redraws on the scroll event, a frame after the position changed:
// the point is read once the drawn window stands for the bar's position.
async function columnPoint(page, index, above = 3) {
  await page.evaluate((i) => {
    const bar = document.getElementById('fakecanvasdiv');
    bar.scrollLeft = Math.max(0, Math.min(i * memChart.columnWidth, bar.scrollWidth - bar.clientWidth));
  }, index);
  await page.waitForFunction(() => memChart.drawnScrollLeft === document.getElementById('fakecanvasdiv').scrollLeft);
  return page.evaluate(([i, up]) => {
    if (i < memChart.begin || i >= memChart.begin + memChart.phasesToRender) throw new Error(`column ${i} is not drawn`);
    return {
      x: Math.round((i - memChart.begin) * memChart.columnWidth - memChart.offset + memChart.columnWidth / 2),
      y: memChartPlotBottom() - up,
    };
  }, [index, above]);
}

async function rowOfPhase(page, phase) {
  return page.evaluate((name) => procData.findIndex((row) => Phase[row.Phase] == name), phase);
}

test('the MemChart tab draws stacked columns in the chart colours, scaled after the zoom', async () => {
  const { page, problems } = await openChart('memchart.html');
  const plot = await page.evaluate(() => ({ x: 0, y: memChartPlotTop(), width: 600, height: memChartPlotBottom() - memChartPlotTop() }));
  const counts = await paintedColours(page, 'scrollcanvas', plot);
  for (const [part, colour] of Object.entries(colours)) assert.ok(counts[colour] > 50, `${part} ${colour}: ${JSON.stringify(counts)}`);
  assert.ok(Object.keys(await paintedColours(page, 'lockedcanvas', { x: 0, y: 0, width: 110, height: 600 })).length > 0);
  assert.ok((await paintedColours(page, 'legendCanvas', { x: 0, y: 0, width: 400, height: 30 }))[colours.reserved] > 0);

  // Free memory reaches 5000 MB, so the least kernel and free parts are left
  // out: Build starts with the least kernel part and shows none, while Link's
  // column starts with kernel memory and its top stays inside the plot.
  assert.equal(await page.evaluate(() => memChart.model.zoom), true);
  const build = await columnPoint(page, await rowOfPhase(page, 'Build'), 2);
  assert.equal(await pixelAt(page, build.x, build.y), colours.free);
  const link = await columnPoint(page, await rowOfPhase(page, 'Link'), 2);
  assert.equal(await pixelAt(page, link.x, link.y), colours.kernel);
  assert.equal(await pixelAt(page, link.x, (await page.evaluate(() => memChartPlotTop())) + 1), 'none');
  assert.deepEqual(problems, []);
});

test('hovering names the column; a click opens a movable popup of its five values and outlines it', async (t) => {
  const { page, problems } = await openChart('memchart.html');
  const canvas = await page.$('#scrollcanvas');
  const index = await rowOfPhase(page, 'Link');
  const point = await columnPoint(page, index, 40);
  await canvas.hover({ position: point });
  assert.equal(await page.textContent('#memChartToolTip'), 'Link/engine');
  assert.equal(await page.isVisible('#memChartToolTip'), true);

  await canvas.click({ position: point });
  const values = await page.$$eval('#outlineDiv0a tr', (rows) => rows.map((row) => [row.cells[0].textContent, row.cells[1].textContent]));
  // Link's last point: kernel and free values are shown whole, not zoomed.
  assert.deepEqual(values, [['Free (MB)', '5680.00'], ['Reserved (MB)', '480.00'], ['Committed (MB)', '440.00'],
    ['Dlls (MB)', '160.00'], ['Non-process (MB)', '1700.00']]);
  assert.match(await page.textContent('#outlineDiv0a .popupHeader'), /Link\/engine$/);
  const outline = await page.$eval('#outlineDiv0', (div) => div.getBoundingClientRect().left);
  const canvasLeft = await canvas.evaluate((element) => element.getBoundingClientRect().left);
  assert.equal(Math.round(outline - canvasLeft), Math.round(point.x - (await page.evaluate(() => memChart.columnWidth)) / 2));

  const header = await (await page.$('#outlineDiv0a .popupHeader')).boundingBox();
  const before = await (await page.$('#outlineDiv0a')).boundingBox();
  await page.mouse.move(header.x + 20, header.y + 5);
  await page.mouse.down();
  await page.mouse.move(header.x + 80, header.y + 45, { steps: 4 });
  await page.mouse.up();
  const moved = await (await page.$('#outlineDiv0a')).boundingBox();
  assert.deepEqual([Math.round(moved.x - before.x), Math.round(moved.y - before.y)], [60, 40]);

  if (process.env.PT_SCREENSHOT_DIR) {
    await page.mouse.move(0, 0);
    await page.screenshot({ path: path.join(process.env.PT_SCREENSHOT_DIR, 'memchart.png'), fullPage: true });
    t.diagnostic(`screenshot in ${process.env.PT_SCREENSHOT_DIR}`);
  }

  // Hidden with its tab, back when the tab is shown again.
  await showTab(page, 'Aggregate', 'aggregateSummaryTable');
  assert.equal(await page.isVisible('#outlineDiv0a'), false);
  await showTab(page, 'MemChart', 'scrollcanvas');
  assert.equal(await page.isVisible('#outlineDiv0a'), true);
  assert.equal(await page.isVisible('#outlineDiv0'), true);
  assert.deepEqual(problems, []);
});

test('names from the trace reach the tooltip and the popup as text', async () => {
  const { page, problems } = await openChart('memchart.html');
  const name = '<img src=x onerror="window.injected = 1">';
  const point = await columnPoint(page, await rowOfPhase(page, name), 40);
  await page.click('#scrollcanvas', { position: point });
  assert.equal(await page.textContent('#memChartToolTip'), name);
  assert.equal(await page.textContent('#outlineDiv0a .popupHeader span:last-child'), name);
  assert.equal(await page.$$eval('#tableCanvasDiv img, #canvasdiv img', (images) => images.length), 0);
  assert.equal(await page.evaluate(() => window.injected), undefined);
  assert.deepEqual(problems, []);
});

test('a long trace draws only the window of columns the scrollbar shows', async () => {
  const { page, problems } = await openChart('memchart_long.html');
  const shape = await page.evaluate(() => ({ width: memChart.columnWidth, window: memChart.phasesToRender, zoom: memChart.model.zoom }));
  assert.equal(shape.width, 23);
  assert.ok(shape.window < 100, `window of ${shape.window} columns`);
  // At most 2000 MB: no zoom, the kernel part is drawn at its full 500 MB.
  assert.equal(shape.zoom, false);
  const first = await columnPoint(page, 0, 0);
  const kernelTop = await page.evaluate(() => Math.round(memChartValueY(500)));
  assert.equal(await pixelAt(page, first.x, kernelTop + 2), colours.kernel);
  assert.equal(await pixelAt(page, first.x, kernelTop - 2), colours.free);

  const last = await columnPoint(page, 399, 40);
  assert.ok(await page.evaluate(() => memChart.begin) > 300);
  await page.hover('#scrollcanvas', { position: last });
  assert.equal(await page.textContent('#memChartToolTip'), 'M399');
  // Past the last column the nearest one is named.
  const width = await page.evaluate(() => document.getElementById('scrollcanvas').width);
  await page.hover('#scrollcanvas', { position: { x: width - 2, y: last.y } });
  assert.equal(await page.textContent('#memChartToolTip'), 'M399');

  // A wider window shows more columns.
  await page.setViewportSize({ width: 1600, height: 900 });
  await page.waitForFunction((before) => memChart.phasesToRender > before, shape.window);

  // The tab switcher keeps 100 popups: the 101st replaces the oldest.
  const popups = await page.evaluate(() => {
    const bar = document.getElementById('fakecanvasdiv');
    for (let i = 0; i < 101; i++) {
      bar.scrollLeft = i * memChart.columnWidth;
      swapCanvas(bar);
      statsPopup({ offsetX: 5, offsetY: 300 });
    }
    return Array.from(document.querySelectorAll('#tableCanvasDiv > div'), (popup) => popup.id);
  });
  assert.equal(popups.length, 100);
  assert.ok(popups.every((id) => /^outlineDiv\d{1,2}a$/.test(id)), popups.join());
  assert.deepEqual(problems, []);
});

test('column widths, zoom and axis follow the rows', async () => {
  const { page } = await openReport(browser, 'memchart.html');
  const result = await page.evaluate(() => {
    const row = (free, nonProcess) => ({ FreeStart: free, ReservedStart: 10, CommittedStart: 20, DllsStart: 30,
      NonProcessStart: nonProcess, Free: free, Reserved: 10, Committed: 20, Dlls: 30, NonProcess: nonProcess });
    const atThreshold = buildMemChartModel([row(4000, 940), row(3000, 900)]);
    const above = buildMemChartModel([row(4000, 941), row(3000, 900)]);
    return {
      widths: [memChartColumnWidth(10, 1600), memChartColumnWidth(100, 1600), memChartColumnWidth(10, 0), memChartColumnWidth(0, 1600)],
      atThreshold: [atThreshold.zoom, atThreshold.scaleMax],
      above: [above.zoom, above.columns, above.scaleMax],
      empty: [buildMemChartModel([]).scaleMax, memChartAxisMax(0, 10)],
      axis: [memChartAxisMax(2000, 10), memChartAxisMax(2001, 10), memChartAxisMax(7.3, 10)],
    };
  });
  assert.deepEqual(result.widths, [160, 23, 500, 23]);
  assert.deepEqual(result.atThreshold, [false, 5000]);
  assert.deepEqual(result.above, [true, [[41, 1000, 30, 20, 10], [0, 0, 30, 20, 10]], 1101]);
  assert.deepEqual(result.empty, [0, 10]);
  assert.deepEqual(result.axis, [2000, 2500, 10]);
});

test('pages without the chart: no detailed statistics, and the aggregate-only page', async () => {
  const { page: missing, problems: missingProblems } = await openReport(browser, 'memchart_missing.html');
  assert.match(await missing.textContent('body'), /^\s*Detailed memstats was not collected\./);
  assert.equal(await missing.$('canvas'), null);
  assert.deepEqual(missingProblems, []);

  // Its body still moves popups on mouse moves; the handler must exist.
  const { page, problems } = await openReport(browser, 'memchart_aggregate.html');
  assert.equal(await page.getAttribute('body', 'onmousemove'), 'dialogMove(event)');
  await page.mouse.move(200, 200);
  await page.mouse.move(300, 250);
  assert.equal(await page.$('#memoryCanvasTable'), null);
  assert.deepEqual(problems, []);
});
