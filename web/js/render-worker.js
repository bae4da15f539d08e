// The page's renderer, in a Web Worker so that the page never waits for it: it loads the
// library's module once and answers each message in turn (renderer.js sends them).
//   {id, type: 'catalog'}                         -> {id, ok, catalog}
//   {id, type: 'print', request}                  -> {id, ok, text}
//   {id, type: 'render', script, options, maxBytes, views}
//                                                 -> {id, ok, wave, samples, peaks, summary, ms}
//   {id, type: 'pcap', script, options, maxBytes} -> {id, ok, pcap, summary, ms}
//   {id, type: 'detect', file}                    -> {id, ok, rate, events, samples, peaks}
//   {id, type: 'listen', rate}                    -> {id, ok}
//   {id, type: 'hear', samples}                   -> {id, ok, events?}
//   {id, type: 'finish'}                          -> {id, ok, events}
// detect hears a WAV file or a pcap (an ArrayBuffer) as `varnel detect --json` does: events are
// what was heard, [{dbm0: [levels], labels: [the objects of the lines it prints]}...]; listen
// starts hearing samples as they come (Float32Arrays at the rate), hear answers with everything
// heard so far when something more was heard, and finish ends the input with the last of it.
// views asks for what the page shows besides the WAV: the samples, their peaks (the lowest and
// the highest of each block of samples, at most 4096 blocks: what the waveform draws)
// and the labels; the WAV and the label files then come as Blobs (made here, so that the page's
// thread walks none of them), else the WAV as its bytes.
// The options are the tool's settings and, for the pcap, its RTP options, by name.
// A refusal answers {id, ok: false, error: {message, reason, request, index, line, option,
// remedies, setting}}, setting naming the option the page gave that was refused, option the one
// the library's refusal names.
import createVarnelModule from '../varnel-web.js';
import { bind, runJob, withText } from './jobs.js';

const ready = createVarnelModule().then(bind);

const peakBlocks = 4096;

// [low, high, low, high...] of each block of the samples, at most peakBlocks blocks.
function peaksOf(samples) {
  const block = Math.max(1, Math.ceil(samples.length / peakBlocks));
  const peaks = new Float32Array(2 * Math.ceil(samples.length / block));
  for (let b = 0; b < peaks.length / 2; b++) {
    let low = 1;
    let high = -1;
    for (let i = b * block, end = Math.min(samples.length, i + block); i < end; i++) {
      const value = samples[i];
      if (value < low) low = value;
      if (value > high) high = value;
    }
    peaks[2 * b] = low;
    peaks[2 * b + 1] = high;
  }
  return peaks;
}

function render(api, message) {
  const { maxBytes, views } = message;
  return runJob(api, message, (job, ...script) => api.jobRender(job, ...script, maxBytes, views ? 1 : 0), (job, wave, summary) => {
    const samples = new Float32Array(api.module.HEAPU8.buffer, api.jobSamples(job), api.jobSampleCount(job)).slice();
    if (!views) return { reply: { wave, samples: samples.buffer }, transfer: [wave, samples.buffer] };
    const peaks = peaksOf(samples);
    summary.labelTrack = new Blob([summary.labelTrack], { type: 'text/plain' });
    summary.labelLines = new Blob([summary.labelLines], { type: 'application/jsonl' });
    return {
      reply: { wave: new Blob([wave], { type: 'audio/wav' }), samples: samples.buffer, peaks: peaks.buffer },
      transfer: [samples.buffer, peaks.buffer],
    };
  });
}

function pcap(api, message) {
  return runJob(api, message, (job, ...script) => api.jobPcap(job, ...script, message.maxBytes),
    (job, file) => ({ reply: { pcap: file }, transfer: [file] }));
}

// Copies the bytes into the module's heap for the action, which gets their pointer.
function withBytes(api, bytes, action) {
  const pointer = api.module._malloc(Math.max(1, bytes.length));
  api.module.HEAPU8.set(bytes, pointer);
  try {
    return action(pointer);
  } finally {
    api.module._free(pointer);
  }
}

function detect(api, { file }) {
  const bytes = new Uint8Array(file);
  const detected = withBytes(api, bytes, (pointer) => api.detect(pointer, bytes.length));
  try {
    const result = JSON.parse(api.detectText(detected));
    if (result.error) return { reply: { ok: false, error: result.error }, transfer: [] };
    const samples = new Float32Array(api.module.HEAPU8.buffer, api.detectSamples(detected), api.detectSampleCount(detected)).slice();
    const peaks = peaksOf(samples);
    return {
      reply: { ok: true, rate: result.rate, events: result.events, samples: samples.buffer, peaks: peaks.buffer },
      transfer: [samples.buffer, peaks.buffer],
    };
  } finally {
    api.detectDelete(detected);
  }
}

let listening = 0;  // the module's listening, while the microphone is heard

function listen(api, { rate }) {
  if (listening) api.listenDelete(listening);
  listening = api.listenNew(rate);
  if (!listening) return { reply: { ok: false, error: { message: `a rate of ${rate} Hz is outside the 8000 to 48000 Hz the detectors take` } }, transfer: [] };
  return { reply: { ok: true }, transfer: [] };
}

function hear(api, { samples }) {
  if (!listening) return { reply: { ok: false, error: { message: 'nothing is being heard' } }, transfer: [] };
  const floats = new Uint8Array(samples.buffer, samples.byteOffset, samples.byteLength);
  const more = withBytes(api, floats, (pointer) => api.listenFeed(listening, pointer, samples.length));
  return { reply: more ? { ok: true, events: JSON.parse(api.listenEvents(listening)) } : { ok: true }, transfer: [] };
}

function finish(api) {
  if (!listening) return { reply: { ok: true, events: [] }, transfer: [] };
  api.listenFinish(listening);
  const events = JSON.parse(api.listenEvents(listening));
  api.listenDelete(listening);
  listening = 0;
  return { reply: { ok: true, events }, transfer: [] };
}

function answer(api, message) {
  switch (message.type) {
    case 'catalog':
      return { reply: { ok: true, catalog: JSON.parse(api.catalog()) }, transfer: [] };
    case 'print': {
      const result = JSON.parse(withText(api, [message.request], (...text) => api.printRequest(...text)));
      return { reply: { ok: !result.error, ...result }, transfer: [] };
    }
    case 'render':
      return render(api, message);
    case 'pcap':
      return pcap(api, message);
    case 'detect':
      return detect(api, message);
    case 'listen':
      return listen(api, message);
    case 'hear':
      return hear(api, message);
    case 'finish':
      return finish(api);
    default:
      return { reply: { ok: false, error: { message: `unknown message '${message.type}'` } }, transfer: [] };
  }
}

self.onmessage = async ({ data }) => {
  let result;
  try {
    result = answer(await ready, data);
  } catch (error) {
    result = { reply: { ok: false, error: { message: String(error && error.message ? error.message : error) } }, transfer: [] };
  }
  self.postMessage({ id: data.id, ...result.reply }, result.transfer);
};
