// Opens the reports written by browser_report_fixtures in headless Chromium.
import { chromium } from 'playwright-core';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

export const reportDir = process.env.PT_REPORT_DIR;
if (!reportDir) throw new Error('PT_REPORT_DIR must name the folder of the fixture reports');

const chromiumArgs = ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

export async function openBrowser() {
  const userDataDir = mkdtempSync(path.join(tmpdir(), 'pt-chromium-'));
  const context = await chromium.launchPersistentContext(userDataDir, {
    executablePath: process.env.PT_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: chromiumArgs,
    viewport: { width: 1280, height: 900 },
  });
  // Every wait is on page state; the limit only ends a page that never gets
  // there, and a loaded machine can take minutes to lay out the large pages.
  context.setDefaultTimeout(300000);
  return {
    context,
    async close() {
      await context.close();
      rmSync(userDataDir, { recursive: true, force: true });
    },
  };
}

// A page on the report, collecting script errors, console errors and dialogs.
export async function openReport(browser, name) {
  const page = await browser.context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console error: ${message.text()}`);
  });
  page.on('dialog', async (dialog) => {
    problems.push(`dialog: ${dialog.message()}`);
    await dialog.dismiss();
  });
  await page.goto(pathToFileURL(path.join(reportDir, name)).href);
  await page.waitForLoadState('load');
  return { page, problems };
}

// The visible rows of a table as arrays of cell texts.
export async function tableRows(page, tableId) {
  return page.$$eval(`#${tableId} tbody tr`, (rows) =>
    rows.map((row) => Array.from(row.cells, (cell) => cell.textContent)));
}

// Tab links run ShowTable as a javascript: navigation, which happens after the
// click returns; wait for the tab's block instead of racing it.
export async function showTab(page, name, blockId) {
  await page.click(`div#header:visible >> text="${name}"`);
  await page.waitForSelector(`#${blockId}`, { state: 'visible' });
}

// A model-based report once its script has built the trees and tables.
export async function openModelReport(browser, name) {
  const opened = await openReport(browser, name);
  await opened.page.waitForSelector('body[data-ready="true"]');
  return opened;
}

// The left-table row of a model-based report holding a name.
export const leftRow = (page, name) => page.locator('#display-table tbody tr', {
  has: page.locator('span.label', { hasText: name }),
}).first();

// Opens every collapsed row of a model-based report's left table.
export async function expandAll(page) {
  for (;;) {
    const closed = page.locator('#display-table tbody tr:not(.hidden) .toggle', { hasText: '\u25B6' });
    if (await closed.count() === 0) return;
    await closed.first().click();
  }
}
