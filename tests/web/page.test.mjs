// The playground in Debian's Chromium: scripts typed into the page and rendered give the native
// tool's WAV bytes, the views draw, a click on a span of the list plays from there, and the
// library's refusal shows beside its request, in the tool's words; a refusal leaves nothing
// stale, the menus follow the settings, a link holds the script, the page fits a phone, and
// the main thread's longest tasks under load are reported (printed, not asserted).
//   VARNEL_WEB_SITE=build-wasm/web VARNEL_TOOL=build/cli/varnel node --test tests/web/
// VARNEL_WEB_SCREENSHOT names the screenshot (default: beside the site).
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { openBrowser, serve } from './browser.mjs';
import { longBox, manyKeys } from '../../bench/web_load.mjs';

const site = resolve(process.env.VARNEL_WEB_SITE ?? 'build-wasm/web');
const tool = resolve(process.env.VARNEL_TOOL ?? 'build/cli/varnel');
const screenshot = resolve(process.env.VARNEL_WEB_SCREENSHOT ?? join(dirname(site), 'web-playground.png'));
const detectScreenshot = screenshot.replace(/[^/]*\.png$/, 'web-detect.png');

// Scripts with the settings they are rendered with, as the tool's long options.
const cases = [
  { script: 'dtmf:5550123 silence:500', settings: { rate: '8000' } },
  { script: '"cid:5551234|JOHN DOE|12/25 10:30"', settings: {} },
  { script: 'plan:uk:busy:3000\nsit:nc', settings: { rate: '8000', encoding: 'alaw', dbm0: '-10' } },
  { script: 'set:cid-standard=etsi set:cid-alert=dtas\n"cid:01632960000|ANNA SMITH|12/25 10:30" vmwi:on',
    settings: { rate: '8000', encoding: 'ulaw' } },
  { script: '"tty:CALL 555 1234 NOW" ttyhex:48454C4C4F', settings: { 'tty-rate': '50' } },
  { script: 'mf:K5551234S r2f:1234 r2b:1', settings: { rate: '8000', bits: '8' } },
  { script: 'modem:cng:2000 modem:ansam-pr', settings: { rate: '16000', amplitude: '-3' } },
  { script: '"pattern:400*25/400,0/200,400*25/400,0/2000:3000" "tones:350|440@1000,0@500"',
    settings: { rate: '44100', 'cid-standard': 'bt' } },
  { script: 'set:cid-standard=dtmf cid:5551234 tone:300,100,1004', settings: { rate: '22050' } },
];

let server;
let browser;
let page;
let scratch;

function native(args) {
  return spawnSync(tool, args, { encoding: 'buffer' });
}

// The tool's WAV file and label track for the script.
function nativeFiles(script, settings) {
  const file = join(scratch, 'script.txt');
  writeFileSync(file, script);
  const output = join(scratch, 'native.wav');
  const labels = join(scratch, 'native.txt');
  const options = Object.entries(settings).flatMap(([name, value]) => [`--${name}`, value]);
  const run = native(['-o', output, '--labels', labels, ...options, '-f', file]);
  assert.equal(run.status, 0, run.stderr.toString());
  return { wav: readFileSync(output), labels: readFileSync(labels, 'utf8') };
}

async function download(link) {
  const [file] = await Promise.all([page.waitForEvent('download'), page.click(link)]);
  return readFileSync(await file.path());
}

const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

async function renderInPage(script, settings) {
  await page.click('#settings button[type=reset]');
  for (const [name, value] of Object.entries(settings)) {
    const control = page.locator(`#settings [name="${name}"]`);
    if (!await control.isVisible()) await page.click('#settings summary');
    if (await control.evaluate((e) => e.tagName === 'SELECT')) await control.selectOption(value);
    else await control.fill(value);
  }
  await page.fill('#script', script);
  await page.click('#render');
  await page.waitForSelector('#status.done, #status.refused');
}

before(async () => {
  scratch = mkdtempSync(join(tmpdir(), 'varnel-web-test-'));
  server = await serve(site);
  browser = await openBrowser();
  page = browser.page;
  page.on('pageerror', (error) => console.error('page error:', error.message));
  await page.goto(`${server.url}index.html`);
  await page.waitForSelector('body[data-ready="true"]');
});

after(async () => {
  await browser?.close();
  server?.stop();
  if (scratch) rmSync(scratch, { recursive: true, force: true });
});

test('the downloaded WAV and labels are the native tool\'s, byte for byte', async () => {
  for (const { script, settings } of cases) {
    await renderInPage(script, settings);
    assert.equal(await page.getAttribute('#status', 'class'), 'done', await page.textContent('#notes'));
    const tool = nativeFiles(script, settings);
    assert.equal(sha256(await download('#download-wav')), sha256(tool.wav), `${script} ${JSON.stringify(settings)}`);
    assert.equal((await download('#download-labels')).toString(), tool.labels, script);
  }
});

test('renderWav gives the same bytes, and rejects with the library\'s message', async () => {
  const { script, settings } = cases[2];
  const bytes = await page.evaluate(async ([s, o]) => Array.from(await window.varnel.renderWav(s, o)), [script, settings]);
  assert.equal(sha256(Buffer.from(bytes)), sha256(nativeFiles(script, settings).wav));
  // A receiver test's options, given to renderWav and through the page's panel.
  const line = { snr: '20', seed: '3', 'freq-offset': '1.5', mix: 'plan:uk:dial:1000', 'mix-dbm0': '-20' };
  const lined = await page.evaluate(async ([s, o]) => Array.from(await window.varnel.renderWav(s, o)), [script, { ...settings, ...line }]);
  assert.equal(sha256(Buffer.from(lined)), sha256(nativeFiles(script, { ...settings, ...line }).wav));
  for (const [name, value] of Object.entries(line)) {
    const control = page.locator(`#line [name="${name}"]`);
    if (!await control.isVisible()) await page.click('#line summary');
    await control.fill(value);
  }
  await renderInPage(script, settings);
  assert.equal(sha256(await download('#download-wav')), sha256(nativeFiles(script, { ...settings, ...line }).wav));
  await page.fill('#line [name=snr]', '500');
  await renderInPage(script, settings);
  assert.match(await page.textContent('#line-status'), /^snr: '500' is not /);
  await page.click('#line button[type=reset]');
  const message = await page.evaluate(() => window.varnel.renderWav('dtmf:1 modem:fax').catch((e) => e.message));
  assert.match(message, /^request 2 'modem:fax': /);
  const limit = await page.evaluate(() => window.varnel.renderWav('silence:1000', { maxBytes: 100 }).catch((e) => e.message));
  assert.match(limit, /more than the limit of 100 bytes/);
  const nul = await page.evaluate(() => window.varnel.renderWav('dtmf:1\0 dtmf:2').catch((e) => e.message));
  writeFileSync(join(scratch, 'nul.txt'), 'dtmf:1\0 dtmf:2');
  const refused = native(['-o', join(scratch, 'nul.wav'), '-f', join(scratch, 'nul.txt')]);
  assert.equal(`varnel: ${nul}`, refused.stderr.toString().split('\n')[0]);
});

test('the waveform and the spectrogram draw', async () => {
  await renderInPage(cases[0].script, cases[0].settings);
  for (const id of ['waveform', 'spectrogram']) {
    const lit = await page.evaluate((canvasId) => {
      const canvas = document.getElementById(canvasId);
      const { data } = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
      let count = 0;
      for (let i = 0; i < data.length; i += 4) if (data[i] + data[i + 1] + data[i + 2] > 200) count++;
      return count / (data.length / 4);
    }, id);
    assert.ok(lit > 0.01, `${id}: ${lit} of its pixels lit`);
  }
});

test('a click on a span plays from its start, and the list follows', async () => {
  await renderInPage('plan:us:dial:1500\ndtmf:5550123\nplan:us:ringback:3000\n"cid:5551234|JOHN DOE|12/25 10:30"', {});
  const item = page.locator('#labels li', { hasText: 'ringback' }).first();
  const start = Number(await item.locator('button').getAttribute('data-start'));
  await item.locator('button').click();
  await page.waitForFunction((s) => window.varnel.player.playing && window.varnel.player.position() > s + 0.3, start);
  const position = await page.evaluate(() => window.varnel.player.position());
  assert.ok(position > start && position < start + 3, `playing at ${position} s, from ${start} s`);
  assert.match(await page.textContent('#labels li.current'), /ringback/);
  const [left, expected] = await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => done([
    parseFloat(document.getElementById('playhead').style.left),
    (window.varnel.player.position() / window.varnel.player.duration) * 100]))));
  assert.ok(Math.abs(left - expected) < 2, `the playhead at ${left} %, playing at ${expected} %`);
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.screenshot({ path: screenshot, fullPage: true });
  await page.click('#stop');
});

test('a refused request shows the tool\'s message beside its line', async () => {
  const script = 'dtmf:123\nplan:uk:bsy:1000\nsilence:10';
  await renderInPage(script, {});
  const note = page.locator('#notes .note.error');
  const file = join(scratch, 'refused.txt');
  writeFileSync(file, script);
  const run = native(['-o', join(scratch, 'refused.wav'), '-f', file]);
  assert.equal(run.status, 2);
  assert.equal(`varnel: ${await note.textContent()}`, run.stderr.toString().split('\n')[0]);
  assert.equal(await note.getAttribute('data-line'), '2');
});

test('a menu writes its requests through the library, or shows its refusal', async () => {
  await page.fill('#script', '');
  await page.click('#tab-cid');
  await page.selectOption('#menu-cid [name=standard]', 'etsi');
  await page.fill('#menu-cid [name=date]', '12/25 10:30');
  await page.click('#menu-cid button.add');
  await page.waitForFunction(() => document.getElementById('script').value !== '');
  assert.equal(await page.inputValue('#script'), 'set:cid-standard=etsi "cid:5551234|JOHN DOE|12/25 10:30"');
  await page.fill('#menu-cid [name=date]', '13/25 10:30');
  await page.click('#menu-cid button.add');
  await page.waitForSelector('#menu-cid output:not([hidden])');
  assert.match(await page.textContent('#menu-cid output'), /the month 13 is not 01 to 12/);
  await page.fill('#menu-cid [name=date]', '12/25 10:30');
});

// The Caller-ID menu with the settings' standard, or its own: written, or refused as it is added.
const cidRows = [
  { settings: { 'cid-standard': 'etsi' }, standard: '', name: 'JOHN DOE', wrote: '"cid:5551234|JOHN DOE|12/25 10:30"' },
  { settings: { 'cid-standard': 'etsi' }, standard: 'bt', name: 'JOHN DOE', wrote: 'set:cid-standard=bt "cid:5551234|JOHN DOE|12/25 10:30"' },
  { settings: { 'cid-standard': 'dtmf' }, standard: '', name: 'JOHN DOE', refused: /DTMF Caller-ID carries no name/ },
  { settings: { 'cid-standard': 'ntt' }, standard: '', name: 'JOHN é', refused: /'é' cannot be sent/ },
];

test('the Caller-ID menu follows the settings and refuses what its standard cannot send', async () => {
  await page.click('#tab-cid');
  for (const { settings, standard, name, wrote, refused } of cidRows) {
    await renderInPage('', settings);
    await page.selectOption('#menu-cid [name=standard]', standard);
    await page.fill('#menu-cid [name=name]', name);
    await page.click('#menu-cid button.add');
    if (wrote) await page.waitForFunction(() => document.getElementById('script').value !== '');
    else {
      await page.waitForFunction((source) => new RegExp(source).test(document.querySelector('#menu-cid output:not([hidden])')?.textContent ?? ''),
        refused.source);
    }
    assert.equal(await page.inputValue('#script'), wrote ?? '', JSON.stringify(settings));
    if (refused) assert.match(await page.textContent('#menu-cid output'), refused);
  }
  await page.fill('#menu-cid [name=name]', 'JOHN DOE');
});

test('the keypad, the presets and Clear write the box; the tabs take arrow keys, Home and End', async () => {
  await page.click('#settings button[type=reset]');
  await page.click('#tab-keypad');
  for (const [before, key, after] of [['dtmf:1', '5', 'dtmf:15'], ['plan:uk:dial:100', '#', 'plan:uk:dial:100\ndtmf:#']]) {
    await page.fill('#script', before);
    await page.click(`#menu-keypad button:text-is("${key}")`);
    assert.equal(await page.inputValue('#script'), after);
  }
  await page.click('#tab-presets');
  for (const preset of ['tones', 'cid', 'fax']) {
    await page.click('#clear');
    assert.equal(await page.inputValue('#script'), '');
    await page.click(`#menu-presets [value=${preset}]`);
    await page.waitForFunction(() => document.getElementById('script').value !== '');
    await page.click('#render');
    await page.waitForSelector('#status.done, #status.refused');
    assert.equal(await page.getAttribute('#status', 'class'), 'done', `${preset}: ${await page.textContent('#notes')}`);
  }
  await page.focus('#tab-presets');
  for (const [key, tab] of [['Home', 'keypad'], ['ArrowLeft', 'presets'], ['ArrowRight', 'keypad'], ['ArrowRight', 'keys'], ['End', 'presets']]) {
    await page.keyboard.press(key);
    assert.equal(await page.evaluate(() => document.activeElement.id), `tab-${tab}`, key);
    assert.equal(await page.getAttribute(`#tab-${tab}`, 'aria-selected'), 'true');
    assert.ok(await page.locator(`#${await page.getAttribute(`#tab-${tab}`, 'aria-controls')}`).isVisible());
  }
});

test('a refused render leaves no stale audio, labels or downloads', async () => {
  for (const refused of ['dtmf:1 plan:uk:bsy:1000', 'silence:3000000']) {
    await renderInPage('dtmf:42 silence:100', {});
    assert.equal(await page.getAttribute('#download-wav', 'download'), 'dtmf-42.wav');
    await renderInPage(refused, {});
    assert.equal(await page.getAttribute('#status', 'class'), 'refused', refused);
    assert.deepEqual(await page.evaluate(() => ({
      links: [...document.querySelectorAll('.transport a')].filter((a) => !a.hidden).length,
      labels: document.querySelectorAll('#labels button').length, playable: window.varnel.player.buffer !== null,
    })), { links: 0, labels: 0, playable: false }, refused);
  }
});

test('a share link opens the page with its script and settings, and a reload keeps them', async () => {
  const script = 'dtmf:42 "tty:HI & BYE"';
  await renderInPage(script, { rate: '16000', 'tty-rate': '50' });
  await page.click('#share');
  const other = await browser.context.newPage();
  for (const url of [await page.inputValue('#share-link'), `${server.url}index.html`]) {
    await other.goto(url);
    await other.waitForSelector('body[data-ready="true"]');
    assert.equal(await other.inputValue('#script'), script, url);
    assert.equal(await other.inputValue('#settings [name=rate]'), '16000');
    assert.equal(await other.inputValue('#settings [name=tty-rate]'), '50');
    assert.match(await other.textContent('#pcap-status'), /set the rate to 8000 Hz in the settings/);
  }
  await other.close();
});

test('the page fits a phone and a desktop: no sideways scroll, notes whole', async () => {
  for (const viewport of [{ width: 390, height: 844 }, { width: 1280, height: 900 }]) {
    await page.setViewportSize(viewport);
    for (const script of ['plan:us:dial:1500 dtmf:5550123 "cid:5551234|JOHN DOE|12/25 10:30"', 'dtmf:123\nplan:uk:bsy:1000']) {
      await renderInPage(script, {});
      const fit = await page.evaluate(() => {
        const note = document.querySelector('#notes .note')?.getBoundingClientRect();
        const box = document.querySelector('.editor').getBoundingClientRect();
        const { scrollWidth, clientWidth } = document.documentElement;
        return { sideways: scrollWidth > clientWidth, cut: note ? note.bottom > box.bottom || note.right > box.right : false };
      });
      assert.deepEqual(fit, { sideways: false, cut: false }, `${viewport.width} px: ${script}`);
    }
    if (viewport.width < 500) await page.screenshot({ path: screenshot.replace(/\.png$/, '-phone.png'), fullPage: true });
  }
});

test('the main thread under load: a render of 6000 keys, typing into 10,000 lines (report)', async () => {
  const keys = await manyKeys(page);
  assert.equal(keys.state, 'done');
  const box = await longBox(page);
  console.log(`longest main-thread task: 6000 keys ${keys.longest.toFixed(0)} ms (${keys.tasks} tasks over 50 ms, ` +
    `shown ${keys.ms} ms after the click); typing into 10,000 lines ${box.longest.toFixed(0)} ms ` +
    `(${box.tasks} over 50 ms), longest keystroke ${box.keystroke > 0 ? `${box.keystroke.toFixed(0)} ms` : 'under 16 ms'}`);
  await page.fill('#script', '');
});

test('the pcap is the tool\'s, from the RTP panel and from renderPcap, or the library\'s refusal', async () => {
  const script = 'dtmf:1A silence:200 "tty:HI" modem:ans:500';
  const file = join(scratch, 'pcap.txt');
  writeFileSync(file, script);
  const toolPcap = (options) => {
    const run = native(['--pcap', '-', ...Object.entries(options).flatMap(([name, value]) =>
      (value === true ? [`--${name}`] : [`--${name}`, value])), '-f', file]);
    return { bytes: run.stdout, status: run.status, message: run.stderr.toString().split('\n')[0] };
  };
  const pinned = { seed: '7', 'pcap-start': '2024-01-01T00:00:00Z' };
  const rows = [
    { ...pinned, 'dtmf-mode': 'rfc4733', ptime: '30' },
    { ...pinned, 'tone-events': true, 'tty-rtt': true, encoding: 'alaw', 'rtp-dst': '[2001:db8::1]:6000' },
  ];
  await page.click('#rtp button[type=reset]');
  for (const [name, value] of Object.entries(rows[0])) {
    const control = page.locator(`#rtp [name="${name}"]`);
    if (await control.evaluate((e) => e.tagName === 'SELECT')) await control.selectOption(value);
    else await control.fill(value);
  }
  await renderInPage(script, {});
  assert.match(await page.textContent('#pcap-status'), /packets \(\d+ audio, \d+ events, 0 text\)/);
  assert.equal(sha256(await download('#download-pcap')), sha256(toolPcap(rows[0]).bytes));
  for (const options of rows) {
    const bytes = await page.evaluate(async ([s, o]) => Array.from(await window.varnel.renderPcap(s, o)), [script, options]);
    assert.equal(sha256(Buffer.from(bytes)), sha256(toolPcap(options).bytes), JSON.stringify(options));
  }
  // The page words a refusal as the library gives it, naming the option as the page does; the
  // tool refuses the same options in its own words.
  const refusals = [
    [{ rate: '16000' }, 'rate: G.711 in RTP runs at 8000 Hz: the output is 16000 Hz, G.711 mu-law mono; 8000 is taken',
      'varnel: G.711 in RTP runs at 8000 Hz: the output is 16000 Hz, G.711 mu-law mono; give -r 8000'],
    [{ ptime: '70' }, "ptime: '70' is not a whole number of milliseconds from 10 to 60",
      "varnel: --ptime: '70' is not a whole number of milliseconds from 10 to 60"],
  ];
  for (const [options, words, toolWords] of refusals) {
    const message = await page.evaluate(([s, o]) => window.varnel.renderPcap(s, o).catch((e) => e.message), [script, options]);
    assert.equal(message, words);
    const refused = toolPcap(options);
    assert.equal(refused.status, 2);
    assert.equal(refused.message, toolWords);
  }
  await page.fill('#rtp [name=ptime]', '70');
  await renderInPage(script, {});
  assert.match(await page.getAttribute('#pcap-status', 'class'), /refused/);
  assert.ok(await page.locator('#download-pcap').isHidden());
  await page.click('#rtp button[type=reset]');
});

// What `varnel detect --json` prints for a file, as objects.
function toolDetect(file) {
  const run = native(['detect', '--json', file]);
  assert.equal(run.status, 0, run.stderr.toString());
  return run.stdout.toString().split('\n').filter(Boolean).map((line) => JSON.parse(line));
}

// The labels behind the detection view's timeline, row by row.
const shownLabels = () => page.$$eval('#detect-timeline li', (rows) => rows.flatMap((row) => row.dataset.labels.split('\n').map((line) => JSON.parse(line))));

test('a WAV file or a pcap dropped on the detection view, or picked, shows what varnel detect --json prints', async () => {
  const files = [
    { name: 'signals.wav', how: 'pick', args: ['-o', '', '-r', '16000', 'dtmf:159D', 'mf:K5S', 'sit:nc', 'silence:300', 'plan:uk:busy:2000', 'silence:6000', 'tty:CALL 911'] },
    { name: 'cid.wav', how: 'drop', args: ['-o', '', '-e', 'alaw', '--cid-standard', 'etsi', '--cid-alert', 'dtas', 'cid:01632960000|ANNA SMITH|12/25 10:30', 'dtmf:7', 'modem:ansam-pr'] },
    { name: 'call.pcap', how: 'drop', args: ['--pcap', '', '--dtmf-mode', 'rfc4733', '--tty-rtt', 'dtmf:12', 'tty:HELLO GA', 'plan:us:busy:1500'] },
  ];
  for (const { name, how, args } of files) {
    const file = join(scratch, name);
    const run = native(args.map((arg) => arg || file));
    assert.equal(run.status, 0, run.stderr.toString());
    if (how === 'pick') {
      await page.setInputFiles('#detect-file', file);
    } else {
      await page.evaluate(([bytes, fileName]) => {
        const data = new DataTransfer();
        data.items.add(new File([new Uint8Array(bytes)], fileName));
        document.getElementById('detect-drop').dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
      }, [Array.from(readFileSync(file)), name]);
    }
    await page.waitForFunction((n) => document.querySelector('#detect-status.done')?.textContent.startsWith(`${n}:`), name);
    const expected = toolDetect(file);
    assert.ok(expected.length > 3, name);
    assert.deepEqual(await shownLabels(), expected, name);
    if (how === 'pick') await page.locator('#detect').screenshot({ path: detectScreenshot });
  }
  await page.setInputFiles('#detect-file', { name: 'notes.txt', mimeType: 'text/plain', buffer: Buffer.from('no audio here') });
  await page.waitForSelector('#detect-status.refused');
  assert.equal(await page.textContent('#detect-status'), 'notes.txt: it is not a WAV file (no RIFF WAVE header)');
});

test('the microphone, Chromium\'s fake capture of a WAV of keys, is heard live', async () => {
  const keys = '1593';
  const capture = join(scratch, 'keys-48k.wav');
  const run = native(['-o', capture, '-r', '48000', 'silence:300', `dtmf:${keys}`, 'silence:500']);
  assert.equal(run.status, 0, run.stderr.toString());
  const listener = await openBrowser(['--use-fake-ui-for-media-stream', '--use-fake-device-for-media-stream', `--use-file-for-fake-audio-capture=${capture}`]);
  try {
    const live = listener.page;
    live.on('pageerror', (error) => console.error('page error:', error.message));
    await live.goto(`${server.url}index.html`);
    await live.waitForSelector('body[data-ready="true"]');
    await live.click('#detect-listen');
    const heard = () => live.$$eval('#detect-timeline li[data-kind=dtmf] .what', (cells) => cells.map((c) => c.textContent.split(' ')[0]).join(''));
    await live.waitForFunction((k) => [...document.querySelectorAll('#detect-timeline li[data-kind=dtmf] .what')]
      .map((c) => c.textContent.split(' ')[0]).join('').includes(k), keys, { timeout: 20000 });
    await live.click('#detect-listen');
    await live.waitForSelector('#detect-status.done');
    assert.match(await heard(), new RegExp(keys));
    assert.match(await live.textContent('#detect-status'), /at \d+ Hz/);
  } finally {
    await listener.close();
  }
});
