// The benchmark page: SECONDS of DTMF at 8000 Hz (each key 80 ms of tone and 150 ms of break,
// the tool's defaults), rendered in the render worker as the playground renders. Each render is
// timed from the request to the WAV file's arrival (ms) and inside the worker (workerMs), and
// its bytes hashed. window.bench.renderOnce() is what scripts/measure-web calls.
import { Renderer } from './renderer.js';

const parameters = new URLSearchParams(location.search);
const seconds = Number(parameters.get('seconds') ?? 60);
const rounds = Number(parameters.get('rounds') ?? 5);
const keys = Array.from({ length: Math.floor((seconds * 1000) / 230) }, (_, i) => '0123456789*#ABCD'[i % 16]).join('');
const script = `dtmf:${keys}`;
const options = { rate: 8000 };
const renderer = new Renderer();

async function renderOnce() {
  const started = performance.now();
  const result = await renderer.render(script, options, { maxBytes: Number.MAX_SAFE_INTEGER });
  const ms = performance.now() - started;
  const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', result.wave));
  const sha256 = Array.from(digest, (b) => b.toString(16).padStart(2, '0')).join('');
  return { ms, workerMs: result.ms, bytes: result.wave.byteLength, sha256 };
}

async function run() {
  const body = document.querySelector('#results tbody');
  body.replaceChildren();
  for (let round = 1; round <= rounds; round++) {
    const r = await renderOnce();
    const row = body.insertRow();
    for (const cell of [round, r.ms.toFixed(1), r.workerMs.toFixed(1), r.bytes, r.sha256]) row.insertCell().textContent = cell;
  }
}

document.getElementById('seconds').textContent = String(seconds);
window.bench = {
  script, options, renderOnce,
  ready: renderer.catalog().then(() => { document.getElementById('run').disabled = false; }),
};
document.getElementById('run').addEventListener('click', run);
