// The page's renderer, in a Web Worker so that the page never waits for it: it loads the
// library's module once and answers each message in turn (renderer.js sends them).
//   {id, type: 'catalog'}                         -> {id, ok, catalog}
//   {id, type: 'print', request}                  -> {id, ok, text}
//   {id, type: 'render', script, options, maxBytes, views}
//                                                 -> {id, ok, wave, samples, peaks, summary, ms}
//   {id, type: 'pcap', script, options, maxBytes} -> {id, ok, pcap, summary, ms}
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
