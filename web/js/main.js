// The playground: the request box and its menus, the settings, and the audio (play, waveform,
// spectrogram, what sounds when, download), the pcap of the same script with the RTP options,
// around a renderer in a Web Worker. The script and the options are kept as they change and
// can be shared as a link (state.js). For scripts and tests it exposes
// window.varnel.renderWav(script, options) and renderPcap(script, options), promises of the
// WAV and the pcap file's bytes.

import { Editor } from './editor.js';
import { LabelList } from './labels.js';
import { DetectView } from './detect.js';
import { buildMenus } from './menus.js';
import { offer, withdraw } from './downloads.js';
import { Player } from './player.js';
import { Renderer } from './renderer.js';
import { OptionPanel } from './rtp.js';
import { Settings } from './settings.js';
import { keep, openingState, shareLink } from './state.js';
import { clearView, drawSpectrogram, drawWaveform } from './views.js';

// Audio larger than this is refused before it is rendered (renderWav takes maxBytes).
const pageLimit = 32 * 1024 * 1024;

const $ = (id) => document.getElementById(id);
let keeping = 0;  // the timer of keepSoon()
const renderer = new Renderer();
const player = new Player();
const editor = new Editor({ textarea: $('script'), gutter: $('gutter'), marks: $('marks'), notes: $('notes'), onChange: () => keepSoon() });
const labels = new LabelList($('labels'), (start) => player.play(start));
const detection = new DetectView({
  drop: $('detect-drop'), input: $('detect-file'), listenButton: $('detect-listen'), output: $('detect-status'),
  canvas: $('detect-waveform'), list: $('detect-timeline'),
}, renderer);
let settings;
let rtp;
let line;
let shown = null;  // {samples, peaks, rate, summary}
const downloads = ['download-wav', 'download-labels', 'download-label-lines', 'download-pcap'];

function state() {
  return { script: editor.text, settings: settings.options(), line: line.options(), rtp: rtp.options() };
}

// Keeps the script and the options once typing pauses, not at every keystroke.
function keepSoon() {
  clearTimeout(keeping);
  keeping = setTimeout(() => settings && keep(state()), 300);
}

// The name of the files a script makes: its first request's words, e.g. plan-us-dial-1500.
function fileName(summary) {
  const first = summary.requests[0]?.text ?? '';
  const words = first.replace(/[^A-Za-z0-9]+/g, '-').replace(/^-+|-+$/g, '').slice(0, 48).replace(/-+$/, '');
  return words || 'varnel';
}

// Lets the page paint and take input between the steps of showing a large render (the list,
// the player's copy of the samples, the waveform, the spectrogram), so that none is long.
const nextTask = () => new Promise((resolve) => setTimeout(resolve, 0));

function setStatus(text, kind = '') {
  $('status').textContent = text;
  $('status').className = kind;
}

// What sounds when: the labels of the symbols (keys, tone elements, Caller-ID bytes, TTY
// characters...), each with the request it belongs to.
function spans(summary) {
  const rate = summary.format.rate;
  const requests = new Map(summary.requests.map((r) => [r.index, r]));
  return summary.labels.map((l) => ({
    start: l.start / rate, end: (l.end + 1) / rate, kind: `${l.kind} ${l.symbol}`, text: l.text,
    detail: requests.get(l.request)?.text ?? '',
  }));
}

function draw() {
  if (!shown) {
    clearView($('waveform'));
    clearView($('spectrogram'));
    return;
  }
  drawWaveform($('waveform'), shown.peaks, shown.samples.length, shown.rate);
  drawSpectrogram($('spectrogram'), shown.samples, shown.rate);
}

// Nothing rendered is current: the views, the list, the player and the downloads emptied.
function clearOutput() {
  shown = null;
  player.load(new Float32Array(0), 8000);
  labels.clear();
  for (const id of downloads) withdraw($(id));
  draw();
}

// The pcap of the script the page rendered, with the RTP options: offered, or the refusal in
// the RTP panel; a format RTP does not carry (the library's refusal of the rate or encoding, with
// the values it takes) in the page's own words, naming the setting to change.
async function makePcap(script, options, summary, name) {
  try {
    const { pcap, summary: s } = await renderer.pcap(script, { ...options, ...rtp.options() }, { maxBytes: pageLimit });
    offer($('download-pcap'), pcap, 'application/vnd.tcpdump.pcap', `${name}.pcap`);
    rtp.show(`${s.packets} packets (${s.audio} audio, ${s.events} events, ${s.text} text), ${s.format}, ` +
      `ptime ${s.ptime} ms, ${s.source} to ${s.destination}`, 'done');
  } catch (error) {
    withdraw($('download-pcap'));
    const remedy = error.remedies?.length ? error.option : '';
    rtp.show(remedy === 'rate'
      ? `RTP carries G.711 at 8000 Hz, and this audio is ${summary.format.rate} Hz: set the rate to 8000 Hz in the settings`
      : remedy ? `${error.reason}: set the ${remedy} to ${error.remedies.join(' or ')} in the settings`
      : error.message, 'refused');
  }
}

async function render() {
  const script = editor.text;
  const options = { ...settings.options(), ...line.options() };
  editor.clearNotes();
  settings.clearError();
  line.show('', '');
  setStatus('rendering…');
  $('render').disabled = true;
  try {
    const result = await renderer.render(script, options, { maxBytes: pageLimit, views: true });
    const { summary } = result;
    const name = fileName(summary);
    shown = {
      samples: new Float32Array(result.samples), peaks: new Float32Array(result.peaks), rate: summary.format.rate, summary,
    };
    labels.show(spans(summary));
    editor.showWarnings(summary.requests);
    await nextTask();
    await player.load(shown.samples, shown.rate);
    offer($('download-wav'), result.wave, 'audio/wav', `${name}.wav`);
    offer($('download-labels'), summary.labelTrack, 'text/plain', `${name}.txt`);
    offer($('download-label-lines'), summary.labelLines, 'application/jsonl', `${name}.jsonl`);
    await nextTask();
    drawWaveform($('waveform'), shown.peaks, shown.samples.length, shown.rate);
    await nextTask();
    drawSpectrogram($('spectrogram'), shown.samples, shown.rate);
    await makePcap(script, options, summary, name);
    const note = player.refusal ? ` · ${player.refusal}` : '';
    setStatus(`${summary.format.text} · ${summary.seconds.toFixed(3)} s · ${summary.bytes} bytes · rendered in ${result.ms.toFixed(1)} ms${note}`, 'done');
  } catch (error) {
    clearOutput();
    rtp.show('', '');
    if (error.setting && line.has(error.setting)) line.show(error.message, 'refused');
    else if (error.setting) settings.showError(error);
    else editor.showError(error);
    setStatus('refused', 'refused');
  } finally {
    $('render').disabled = false;
  }
}

function followPlayback() {
  const position = player.position();
  $('time').textContent = `${position.toFixed(3)} s`;
  $('time').dataset.seconds = String(position);
  const playhead = $('playhead');
  playhead.hidden = !shown || player.duration === 0;
  if (!playhead.hidden) playhead.style.left = `${(position / player.duration) * 100}%`;
  labels.follow(position);
  $('play').textContent = player.playing ? 'Pause' : 'Play';
  $('play').disabled = !player.buffer;
  $('stop').disabled = !player.buffer;
  if (player.playing) requestAnimationFrame(followPlayback);
}

// Whether a line the menus write renders with the settings. A limit of no bytes stops the
// library once it has measured the requests, before it renders any: a refusal naming one of
// the line's requests is the line's own (the limit's and the settings' are not).
async function check(line) {
  try {
    await renderer.render(line, settings.options(), { maxBytes: 0 });
  } catch (error) {
    if (error.index > 0) throw error;
  }
}

function share() {
  const link = shareLink(window.location, state());
  history.replaceState(null, '', link);
  $('share-link').value = link;
  $('share-link').hidden = false;
  $('share-link').select();
  navigator.clipboard?.writeText(link).catch(() => {});
}

function wire() {
  $('render').addEventListener('click', render);
  $('clear').addEventListener('click', () => {
    editor.text = '';
    $('script').focus();
  });
  $('share').addEventListener('click', share);
  for (const form of [$('settings'), $('line'), $('rtp')]) {
    form.addEventListener('input', keepSoon);
    form.addEventListener('change', keepSoon);
    form.addEventListener('reset', () => setTimeout(keepSoon));
  }
  $('script').addEventListener('keydown', (event) => {
    if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) {
      event.preventDefault();
      if (!$('render').disabled) render();
    }
  });
  $('play').addEventListener('click', () => (player.playing ? player.pause() : player.play()));
  $('stop').addEventListener('click', () => player.stop());
  player.addEventListener('change', () => requestAnimationFrame(followPlayback));
  $('views').addEventListener('click', (event) => {
    if (!shown || player.duration === 0) return;
    const box = $('views').getBoundingClientRect();
    player.play(((event.clientX - box.left) / box.width) * player.duration);
  });
  new ResizeObserver(draw).observe($('views'));
}

function listKinds(catalog) {
  const body = $('kinds').tBodies[0];
  for (const kind of catalog.kinds) {
    const row = body.insertRow();
    row.insertCell().append(Object.assign(document.createElement('code'), { textContent: kind.form }));
    row.insertCell().textContent = kind.summary;
    const example = Object.assign(document.createElement('button'), { type: 'button', className: 'example', textContent: kind.example });
    example.addEventListener('click', () => editor.append(kind.example));
    row.insertCell().append(example);
  }
}

window.varnel = {
  // The WAV file of a script, as the tool writes it with the same settings: options are the
  // tool's settings by option name ({rate: 8000, bits: 16, encoding: 'ulaw', dbm0: -10,
  // 'cid-standard': 'etsi', ...}) and maxBytes, the most audio rendered (32 MiB by default).
  // Rejects with the library's message for a script or setting it refuses.
  async renderWav(script, options = {}) {
    const { maxBytes = pageLimit, ...rest } = options;
    const result = await renderer.render(String(script), rest, { maxBytes });
    return new Uint8Array(result.wave);
  },
  // The pcap file of a script, as `varnel --pcap` writes it: options as renderWav's, with the
  // tool's RTP options beside them ({ptime: 30, 'dtmf-mode': 'rfc4733', 'tone-events': true,
  // seed: 1, 'pcap-start': '2024-01-01T00:00:00Z', 'rtp-dst': '192.0.2.10:5004', ...}).
  async renderPcap(script, options = {}) {
    const { maxBytes = pageLimit, ...rest } = options;
    const result = await renderer.pcap(String(script), rest, { maxBytes });
    return new Uint8Array(result.pcap);
  },
  render,
  player,
  detection,
  ready: (async () => {
    const catalog = await renderer.catalog();
    settings = new Settings($('settings'), catalog);
    line = new OptionPanel($('line'), $('line-status'), catalog.line, { usual: ['snr', 'noise', 'freq-offset', 'seed', 'mix'], more: 'More receiver-test options' });
    rtp = new OptionPanel($('rtp'), $('pcap-status'), catalog.rtp, { usual: ['ptime', 'dtmf-mode', 'tone-events', 'seed', 'pcap-start'], more: 'More RTP options' });
    const opening = openingState(window.location);
    if (opening.script !== undefined) editor.text = opening.script;
    settings.apply(opening.settings ?? {});
    line.apply(opening.line ?? {});
    rtp.apply(opening.rtp ?? {});
    buildMenus({
      tabs: $('menu-tabs'), panels: $('menu-panels'), catalog,
      printRequest: (text) => renderer.printRequest(text),
      check,
      write: (line) => editor.append(line),
      appendKey: (key) => editor.appendKey(key),
    });
    listKinds(catalog);
    wire();
    $('render').disabled = false;
    await render();
    document.body.dataset.ready = 'true';
  })().catch((error) => {
    setStatus(`the library could not be loaded: ${error.message}`, 'refused');
    throw error;
  }),
};
