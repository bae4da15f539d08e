// The npm package as a user gets it: `npm pack` of build-wasm/npm, installed offline into an
// empty folder and imported there by its name; its WAV and pcap files are the native tool's
// bytes for the same scripts and options, in node and in Debian's Chromium (a page and a module
// worker, through playwright-core), and its version is the tool's.
//   VARNEL_NPM_DIR=build-wasm/npm VARNEL_TOOL=build/cli/varnel node --test tests/npm/
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { after, before, test } from 'node:test';

const packageDir = resolve(process.env.VARNEL_NPM_DIR ?? 'build-wasm/npm');
const tool = resolve(process.env.VARNEL_TOOL ?? 'build/cli/varnel');
const chromium = process.env.VARNEL_CHROMIUM || '/usr/bin/chromium';
const playwright = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'node_modules', 'playwright-core');
const noBrowser = !(existsSync(chromium) && existsSync(playwright)) && !process.env.CI &&
  'Chromium or playwright-core (npm ci) not found';

const cases = [
  { kind: 'wav', script: 'dtmf:5550123 silence:300 "cid:5551234|JOHN DOE|12/25 10:30"', options: { rate: '8000' } },
  { kind: 'wav', script: '"tty:CALL 555 1234 NOW" plan:uk:busy:1000', options: { 'tty-rate': '50', encoding: 'alaw', rate: '8000' } },
  { kind: 'pcap', script: 'dtmf:123 silence:200 tone:1000,0,300', options: { seed: '7', 'pcap-start': '2024-01-01T00:00:00Z' } },
  { kind: 'pcap', script: '"tty:HELLO GA" dtmf:9', options: { seed: '3', 'pcap-start': '2024-01-01T00:00:00Z', ptime: '30' } },
  { kind: 'wav', script: 'dtmf:12 bogus:1', options: {}, refused: /^bogus:1: / },
];

let scratch;
let app;

function run(command, args, options = {}) {
  const done = spawnSync(command, args, { encoding: 'buffer', ...options });
  assert.equal(done.status, 0, `${command} ${args.join(' ')}: ${done.stderr}`);
  return done.stdout;
}

before(() => {
  scratch = mkdtempSync(join(tmpdir(), 'varnel-npm-'));
  const packed = JSON.parse(run('npm', ['pack', '--json', '--pack-destination', scratch], { cwd: packageDir }))[0];
  app = join(scratch, 'app');
  run('mkdir', [app]);
  run('npm', ['install', '--offline', '--no-audit', '--no-fund', join(scratch, packed.filename)], { cwd: app });
  writeFileSync(join(app, 'render.mjs'), `import { readFileSync, writeFileSync } from 'node:fs';
import { renderWav, renderPcap, RenderError } from 'varnel';
const [kind, scriptFile, optionsJson, output] = process.argv.slice(2);
const script = readFileSync(scriptFile, 'utf8');
try {
  writeFileSync(output, await (kind === 'wav' ? renderWav : renderPcap)(script, JSON.parse(optionsJson)));
} catch (error) {
  if (!(error instanceof RenderError)) throw error;
  console.error(error.request + ': ' + error.message);
  process.exit(3);
}
`);
});

after(() => rmSync(scratch, { recursive: true, force: true }));

// The file the native tool writes for the script file and the options, as its long options.
function nativeFile(kind, scriptFile, options) {
  const flags = Object.entries(options).flatMap(([name, value]) => [`--${name}`, value]);
  return run(tool, [kind === 'wav' ? '-o' : '--pcap', '-', ...flags, '-f', scriptFile]);
}

test('the package renders the native tool\'s WAV and pcap bytes, or refuses as the library does', () => {
  for (const [i, { kind, script, options, refused }] of cases.entries()) {
    const scriptFile = join(scratch, `script-${i}.txt`);
    writeFileSync(scriptFile, script);
    const output = join(scratch, `npm-${i}.${kind}`);
    const rendered = spawnSync('node', [join(app, 'render.mjs'), kind, scriptFile, JSON.stringify(options), output],
      { cwd: app, encoding: 'utf8' });
    if (refused) {
      assert.equal(rendered.status, 3, rendered.stderr);
      assert.match(rendered.stderr, refused);
      continue;
    }
    assert.equal(rendered.status, 0, rendered.stderr);
    assert.ok(readFileSync(output).equals(nativeFile(kind, scriptFile, options)), `${kind} of ${script} differs from the tool's`);
  }
});

test('in a browser page and in its module worker, the package renders the native tool\'s bytes', { skip: noBrowser }, async () => {
  const { openBrowser, serve } = await import('../web/browser.mjs');
  const installed = join(app, 'node_modules', 'varnel');
  writeFileSync(join(installed, 'check.js'), `import { renderWav, renderPcap } from './index.js';
export async function digest(kind, script, options) {
  const file = await (kind === 'wav' ? renderWav : renderPcap)(script, options);
  const hash = new Uint8Array(await crypto.subtle.digest('SHA-256', file));
  return Array.from(hash, (byte) => byte.toString(16).padStart(2, '0')).join('');
}
if (typeof window === 'undefined') self.onmessage = async ({ data }) => self.postMessage(await digest(...data));
`);
  writeFileSync(join(installed, 'check.html'), '<!doctype html><title>varnel</title>');
  const server = await serve(installed);
  const browser = await openBrowser();
  try {
    await browser.page.goto(`${server.url}check.html`);
    for (const [i, { kind, script, options, refused }] of cases.entries()) {
      if (refused) continue;
      const expected = createHash('sha256').update(nativeFile(kind, join(scratch, `script-${i}.txt`), options)).digest('hex');
      const [inPage, inWorker] = await browser.page.evaluate(async (row) => {
        const inPage = (await import('./check.js')).digest(...row);
        const worker = new Worker('./check.js', { type: 'module' });
        const inWorker = new Promise((resolve) => { worker.onmessage = ({ data }) => resolve(data); });
        worker.postMessage(row);
        return Promise.all([inPage, inWorker]);
      }, [kind, script, options]);
      assert.deepEqual([inPage, inWorker], [expected, expected], `${kind} of ${script} in the browser`);
    }
  } finally {
    await browser.close();
    server.stop();
  }
});

test('the package\'s version is the tool\'s', () => {
  const { version } = JSON.parse(readFileSync(join(app, 'node_modules', 'varnel', 'package.json'), 'utf8'));
  assert.equal(`varnel ${version}`, run(tool, ['--version']).toString().trim());
});
