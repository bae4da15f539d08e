// varnel in WebAssembly, for node and browsers: the tool's requests rendered to the bytes the
// tool writes.
//   import { renderWav, renderPcap } from 'varnel';
//   const wav = await renderWav('dtmf:5550123 silence:300', { rate: 8000 });  // varnel -r 8000 -o
//   const pcap = await renderPcap('dtmf:123', { seed: 7, 'pcap-start': '2024-01-01T00:00:00Z' });
// The options are the tool's, by name without the dashes before them; a refusal rejects with a
// RenderError. The module is loaded at the first call.
import createVarnelModule from './varnel-module.js';
import { bind, runJob } from './jobs.js';
import { RenderError } from './render-error.js';

export { RenderError };

const defaultMaxBytes = 2 ** 30;

let loading;
function loaded() {
  loading ??= createVarnelModule().then(bind);
  return loading;
}

// The file a job made by make(api, job, script...) holds, or its refusal thrown.
async function fileOf(script, options, make) {
  const api = await loaded();
  const { reply } = runJob(api, { script, options }, (...job) => make(api, ...job), (job, file) => ({ reply: { file } }));
  if (!reply.ok) throw new RenderError(reply.error);
  return new Uint8Array(reply.file);
}

export function renderWav(script, options = {}, { maxBytes = defaultMaxBytes } = {}) {
  return fileOf(script, options, (api, job, ...text) => api.jobRender(job, ...text, maxBytes, 0));
}

export function renderPcap(script, options = {}, { maxBytes = defaultMaxBytes } = {}) {
  return fileOf(script, options, (api, job, ...text) => api.jobPcap(job, ...text, maxBytes));
}
