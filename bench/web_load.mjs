// The playground under load, in Debian's Chromium: the longest task on the page's main thread
// while it shows a render of 6000 keys and while one types into a box of 10,000 lines (with the
// longest keystroke, from the key to the frame that shows it, by the browser's Event Timing), and
// the cost of a script of 1,000, 10,000 and 100,000 requests (dtmf:1 each) from the click on
// Render to the page's answer (the audio, or the refusal of its size), per request. Each site
// given is measured in turn and the figures printed side by side (with, for the typing, a bare
// text area of the same lines: the browser's own cost), e.g. a build of the page
// before a change and after it (both need the module, varnel-web.js and .wasm, beside them).
//   node bench/web_load.mjs SITE_DIR [SITE_DIR...]   (scripts/measure-web)
import { pathToFileURL } from 'node:url';
import { openBrowser, serve } from '../tests/web/browser.mjs';

export const requestCounts = [1000, 10000, 100000];
const answerLimitMs = 180000;  // a size that takes longer is reported as not answered

// From here on the page records its long tasks and its keystrokes' durations afresh.
export async function watchMainThread(page) {
  await page.evaluate(() => {
    if (!window.loadWatch) {
      const watch = { tasks: [], keys: [] };
      new PerformanceObserver((list) => watch.tasks.push(...list.getEntries().map((e) => e.duration)))
        .observe({ type: 'longtask' });
      new PerformanceObserver((list) => watch.keys.push(...list.getEntries().filter((e) => e.name.startsWith('key'))
        .map((e) => e.duration))).observe({ type: 'event', durationThreshold: 16 });
      window.loadWatch = watch;
    }
    window.loadWatch.tasks = [];
    window.loadWatch.keys = [];
  });
}

// {longest, tasks, keystroke} in ms since watchMainThread, once the page has painted twice.
export function mainThreadSince(page) {
  return page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(() => {
    const { tasks, keys } = window.loadWatch;
    done({ longest: Math.max(0, ...tasks), tasks: tasks.length, keystroke: Math.max(0, ...keys) });
  }, 100)))));
}

async function answer(page, timeout = answerLimitMs) {
  const started = Date.now();
  await page.click('#render');
  await page.waitForSelector('#status.done, #status.refused', { timeout });
  return { ms: Date.now() - started, state: await page.getAttribute('#status', 'class') };
}

// Puts the text into the request box as a paste does: one input event (Playwright's fill takes
// minutes over a text of thousands of lines).
async function fillBox(page, text) {
  await page.evaluate((value) => {
    document.getElementById('status').className = '';
    const box = document.getElementById('script');
    box.value = value;
    box.dispatchEvent(new Event('input', { bubbles: true }));
  }, text);
}

// The longest main-thread task while a render of 6000 keys arrives and is shown.
export async function manyKeys(page) {
  const keys = '1234567890*#'.repeat(500);
  await fillBox(page, `dtmf:${keys}`);
  await watchMainThread(page);
  const { ms, state } = await answer(page);
  return { ...(await mainThreadSince(page)), ms, state };
}

// The longest task and keystroke while typing at the end of a box of 10,000 lines.
export async function longBox(page) {
  await fillBox(page, 'dtmf:1\n'.repeat(9999) + 'dtmf:1');
  return typeAtEnd(page);
}

async function typeAtEnd(page) {
  await page.focus('#script');
  await page.keyboard.press('Control+End');
  await watchMainThread(page);
  await page.keyboard.type(' dtmf:2', { delay: 30 });
  await page.keyboard.press('Enter');
  await page.keyboard.type('dtmf:3', { delay: 30 });
  return mainThreadSince(page);
}

// The page's answer to a script of count requests, from the click on Render.
async function requests(page, count) {
  await fillBox(page, 'dtmf:1\n'.repeat(count - 1) + 'dtmf:1');
  try {
    return await answer(page);
  } catch {
    return { ms: Infinity, state: 'not answered' };  // the worker is still at it: the last size measured
  }
}

// The same typing into a bare text area of the page's size and font, alone on a page: what the
// browser's own editing of 10,000 lines costs.
async function bareBox(page) {
  await page.setContent('<textarea id="script" wrap="off" spellcheck="false" ' +
    'style="width: 700px; height: 190px; font: 14px/20px monospace; white-space: pre"></textarea>');
  await page.evaluate(() => {
    document.getElementById('script').value = 'dtmf:1\n'.repeat(9999) + 'dtmf:1';
  });
  return typeAtEnd(page);
}

async function measure(site) {
  const server = await serve(site);
  const browser = await openBrowser();
  try {
    const bare = await bareBox(await browser.context.newPage());
    const { page } = browser;
    await page.goto(`${server.url}index.html`);
    await page.waitForSelector('body[data-ready="true"]');
    const figures = { bare, keys: await manyKeys(page), box: await longBox(page), requests: [] };
    for (const count of requestCounts) figures.requests.push({ count, ...(await requests(page, count)) });
    return figures;
  } finally {
    await browser.close();
    server.stop();
  }
}

const ms = (value) => (Number.isFinite(value) ? `${value.toFixed(0)} ms` : `> ${answerLimitMs / 1000} s`);

async function main(sites) {
  if (sites.length === 0) {
    console.error('usage: node bench/web_load.mjs SITE_DIR [SITE_DIR...]');
    process.exit(2);
  }
  const all = [];
  for (const site of sites) all.push(await measure(site));
  const row = (title, cell) => console.log(`  ${title.padEnd(44)}${all.map((f) => cell(f).padStart(22)).join('')}`);
  console.log('the page under load, in Chromium (the longest task on its main thread; Event Timing for keys):');
  row('', (f) => sites[all.indexOf(f)].split('/').slice(-2).join('/'));
  row('6000 keys: longest task', (f) => `${ms(f.keys.longest)} (${f.keys.tasks} long)`);
  row('6000 keys: click to shown', (f) => `${ms(f.keys.ms)} ${f.keys.state}`);
  row('10,000-line box, typing: longest task', (f) => `${ms(f.box.longest)} (${f.box.tasks} long)`);
  row('10,000-line box, typing: longest keystroke', (f) => (f.box.keystroke > 0 ? ms(f.box.keystroke) : 'under 16 ms'));
  row('a bare text area of 10,000 lines: longest task', (f) => `${ms(f.bare.longest)} (${f.bare.tasks} long)`);
  row('a bare text area: longest keystroke', (f) => (f.bare.keystroke > 0 ? ms(f.bare.keystroke) : 'under 16 ms'));
  requestCounts.forEach((count, i) => {
    row(`${count} x dtmf:1: click to answer`, (f) => `${ms(f.requests[i].ms)} ${f.requests[i].state}`);
    row(`${count} x dtmf:1: per request`, (f) => (Number.isFinite(f.requests[i].ms)
      ? `${((f.requests[i].ms * 1000) / count).toFixed(1)} us` : '-'));
  });
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) await main(process.argv.slice(2));
