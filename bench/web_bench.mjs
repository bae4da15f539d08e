// Runs the playground's benchmark page (web/bench.html) in Debian's Chromium beside the native
// tool, in alternating rounds of one run: 60 s of DTMF at 8000 Hz rendered by `varnel -o` (the
// process's wall time) and by the page's render worker (from the request to the WAV's arrival),
// both hashed; with RENDER_DTMF (bench/render_dtmf, native) also the render alone, in process,
// without the tool's start and file. Then the size of what the page loads to render, gzipped.
//   node bench/web_bench.mjs SITE_DIR VARNEL_TOOL [ROUNDS [RENDER_DTMF]]   (scripts/measure-web)
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { openBrowser, serve } from '../tests/web/browser.mjs';

const [site, tool, roundsText = '5', renderDtmf] = process.argv.slice(2);
if (!site || !tool) {
  console.error('usage: node bench/web_bench.mjs SITE_DIR VARNEL_TOOL [ROUNDS]');
  process.exit(2);
}
const rounds = Number(roundsText);

function sizes() {
  const files = ['varnel-web.wasm', 'varnel-web.js', ...readdirSync(join(site, 'js')).map((f) => join('js', f))];
  let total = 0;
  console.log('what the page loads to render (bytes, gzip -9):');
  for (const file of files) {
    const bytes = readFileSync(join(site, file));
    const gz = gzipSync(bytes, { level: 9 }).length;
    total += gz;
    console.log(`  ${file.padEnd(24)} ${String(bytes.length).padStart(8)}  gzipped ${String(gz).padStart(7)}`);
  }
  console.log(`  ${'together'.padEnd(24)} ${''.padStart(8)}  gzipped ${String(total).padStart(7)}`);
}

const server = await serve(site);
const browser = await openBrowser();
const scratch = mkdtempSync(join(tmpdir(), 'varnel-bench-'));
try {
  const { page } = browser;
  await page.goto(`${server.url}bench.html?seconds=60`);
  const { script, options } = await page.evaluate(async () => {
    await window.bench.ready;
    return { script: window.bench.script, options: window.bench.options };
  });
  await page.evaluate(() => window.bench.renderOnce());  // the worker's first render compiles the code
  const output = join(scratch, 'dtmf.wav');
  const nativeArgs = ['-o', output, '--rate', String(options.rate), script];
  console.log('60 s of DTMF at 8000 Hz, ms per render:');
  const ratios = [];
  for (let round = 1; round <= rounds; round++) {
    const started = process.hrtime.bigint();
    execFileSync(tool, nativeArgs, { stdio: 'ignore' });
    const nativeMs = Number(process.hrtime.bigint() - started) / 1e6;
    const nativeHash = createHash('sha256').update(readFileSync(output)).digest('hex');
    const web = await page.evaluate(() => window.bench.renderOnce());
    ratios.push(web.ms / nativeMs);
    const inProcess = renderDtmf ? `  (in process ${execFileSync(renderDtmf, ['60', '1']).toString().split(' ')[0].padStart(6)})` : '';
    console.log(`  round ${round}  native ${nativeMs.toFixed(1).padStart(7)}${inProcess}  page ${web.ms.toFixed(1).padStart(7)}` +
      `  (worker ${web.workerMs.toFixed(1).padStart(7)})  page/native ${(web.ms / nativeMs).toFixed(2)}` +
      `  ${web.sha256 === nativeHash ? 'same bytes' : `DIFFERENT BYTES ${web.sha256} ${nativeHash}`}`);
  }
  ratios.sort((a, b) => a - b);
  console.log(`  median page/native ${ratios[Math.floor(ratios.length / 2)].toFixed(2)}`);
  sizes();
} finally {
  await browser.close();
  server.stop();
  rmSync(scratch, { recursive: true, force: true });
}
