// The detection view: a WAV file or a pcap dropped on it (or picked), or the microphone heard
// live, through the library's composition of every detector in the render worker, so that what
// it lists is what `varnel detect --json` prints for the same file. The timeline has a row for
// each thing heard (its labels in the row's data-labels, a JSON line each) (a key, an MF signal, a tone with the plans it fits, a SIT, a modem tone, a
// Caller-ID message with its fields and check, a TTY or real-time text message), its first and
// last time and level, beside the waveform of what was heard with the spans marked.

import { clearView, drawWaveform } from './views.js';

const seconds = (value) => `${value.toFixed(3)} s`;

// What a row says of a thing heard: a key's text and tones, the plans a tone fits, a SIT's code,
// a modem tone, a Caller-ID message's fields and check, a message's text.
function words({ labels }) {
  const [first] = labels;
  const fields = first.fields ?? {};
  const hz = (label) => `${label.hz.join('+')} Hz`;
  if (first.kind === 'tty' || first.kind === 't140') {
    return labels.filter((l) => [...l.text].length === 1).map((l) => l.text).join('');
  }
  if (first.kind === 'plan') return `${fields.plans} ${hz(labels.find((l) => l.hz) ?? { hz: [] })}`;
  if (first.kind === 'sit') return `${fields.code} ${labels.map((l) => l.hz.join('')).join('/')} Hz`;
  if (first.kind === 'modem') return `${fields.tone}${fields.reversals ? ` reversals ${fields.reversals}` : ''}${fields.flags ? ` flags ${fields.flags}` : ''}`;
  if (first.kind === 'cid' && first.symbol === 'message') {
    const shown = Object.entries(fields).filter(([name]) => !['standard', 'alert', 'checksum', 'level_dbm0'].includes(name));
    return [fields.standard, first.text, fields.alert, ...shown.map(([name, value]) => `${name}=${value}`),
      fields.checksum ? `checksum ${fields.checksum}` : ''].filter(Boolean).join(' ');
  }
  if (first.kind === 'cid') return `alert ${hz(first)}`;
  return `${first.text}${first.hz ? ` ${hz(first)}` : ''}`;
}

const level = ({ dbm0 }) => (dbm0.length ? `${dbm0.map((d) => d.toFixed(1)).join(' ')} dBm0` : '');

export class DetectView {
  constructor(elements, renderer) {
    Object.assign(this, elements);
    this.renderer = renderer;
    this.shown = null;  // {peaks, count, rate, events}
    this.capture = null;  // {context, stream, node} while the microphone is heard
    this.drop.addEventListener('dragover', (event) => {
      event.preventDefault();
      this.drop.classList.add('over');
    });
    this.drop.addEventListener('dragleave', () => this.drop.classList.remove('over'));
    this.drop.addEventListener('drop', (event) => {
      event.preventDefault();
      this.drop.classList.remove('over');
      const [file] = event.dataTransfer.files;
      if (file) this.detectFile(file);
    });
    this.input.addEventListener('change', () => this.input.files[0] && this.detectFile(this.input.files[0]));
    this.listenButton.addEventListener('click', () => (this.capture ? this.stop() : this.listen()));
    new ResizeObserver(() => this.draw()).observe(this.canvas);
  }

  status(text, kind = '') {
    this.output.textContent = text;
    this.output.className = kind;
  }

  async detectFile(file) {
    if (this.capture) await this.stop();
    this.status(`reading ${file.name}…`);
    try {
      const result = await this.renderer.detect(await file.arrayBuffer());
      const samples = new Float32Array(result.samples);
      this.show({ peaks: new Float32Array(result.peaks), count: samples.length, rate: result.rate, events: result.events });
      this.status(`${file.name}: ${result.events.length} heard, ${seconds(samples.length / result.rate)} at ${result.rate} Hz`, 'done');
    } catch (error) {
      this.show(null);
      this.status(`${file.name}: ${error.message}`, 'refused');
    }
  }

  // Hears the microphone at the audio context's rate, the timeline growing as things are heard.
  async listen() {
    try {
      const stream = await navigator.mediaDevices.getUserMedia({ audio: { echoCancellation: false, noiseSuppression: false, autoGainControl: false } });
      const context = new AudioContext();
      this.capture = { context, stream };
      this.show({ peaks: new Float32Array(0), count: 0, rate: context.sampleRate, events: [] });
      await context.audioWorklet.addModule(new URL('./capture-worklet.js', import.meta.url));
      await this.renderer.listen(context.sampleRate);
      const node = new AudioWorkletNode(context, 'varnel-capture');
      const silent = new GainNode(context, { gain: 0 });
      context.createMediaStreamSource(stream).connect(node).connect(silent).connect(context.destination);
      const peaks = [];
      let count = 0;
      node.port.onmessage = async ({ data }) => {
        let low = 1;
        let high = -1;
        for (const value of data) {
          if (value < low) low = value;
          if (value > high) high = value;
        }
        peaks.push(low, high);
        count += data.length;
        const heard = await this.renderer.hear(data);
        if (!this.capture) return;
        this.show({ ...this.shown, peaks: Float32Array.from(peaks), count, events: heard.events ?? this.shown.events });
        this.status(`listening at ${context.sampleRate} Hz: ${seconds(count / context.sampleRate)}`);
      };
      this.listenButton.textContent = 'Stop';
      this.status(`listening at ${context.sampleRate} Hz`);
    } catch (error) {
      await this.stop();
      this.status(`the microphone could not be heard: ${error.message}`, 'refused');
    }
  }

  async stop() {
    const { capture } = this;
    this.capture = null;
    this.listenButton.textContent = 'Listen';
    if (!capture) return;
    capture.stream.getTracks().forEach((track) => track.stop());
    await capture.context.close();
    const { events } = await this.renderer.finish();
    this.show({ ...this.shown, events });
    this.status(`listened ${seconds(this.shown.count / this.shown.rate)} at ${this.shown.rate} Hz: ${events.length} heard`, 'done');
  }

  show(shown) {
    this.shown = shown;
    const heard = shown ? shown.events.filter((event) => event.labels.length > 0) : [];
    this.list.replaceChildren(...heard.map((event) => {
      const first = event.labels[0];
      const last = event.labels[event.labels.length - 1];
      const row = document.createElement('li');
      row.dataset.labels = event.labels.map((label) => JSON.stringify(label)).join('\n');
      row.dataset.kind = first.kind;
      const cells = [first.kind, `${seconds(first.start / shown.rate)} – ${seconds((last.end + 1) / shown.rate)}`, words(event), level(event)];
      row.append(...cells.map((text, i) => Object.assign(document.createElement('span'), { className: ['kind', 'when', 'what', 'level'][i], textContent: text })));
      return row;
    }));
    this.draw();
  }

  // The waveform, each thing heard shaded over it.
  draw() {
    const { shown, canvas } = this;
    if (!shown || shown.count === 0) {
      clearView(canvas);
      return;
    }
    drawWaveform(canvas, shown.peaks, shown.count, shown.rate);
    const context = canvas.getContext('2d');
    context.fillStyle = 'rgba(255, 200, 60, 0.18)';
    for (const { labels } of shown.events.filter((event) => event.labels.length > 0)) {
      const first = Math.min(...labels.map((l) => l.start));
      const end = Math.max(...labels.map((l) => l.end + 1));
      context.fillRect((first / shown.count) * canvas.width, 0, Math.max(1, ((end - first) / shown.count) * canvas.width), canvas.height);
    }
  }
}
