// The detection view: a WAV file or a pcap dropped on it (or picked), or the microphone heard
// live, through the library's composition of every detector in the render worker, so that what
// it lists is what `varnel detect --json` prints for the same file. The timeline has a row for
// each thing heard (a key, an MF signal, a tone with the plans it fits, a SIT, a modem tone, a
// Caller-ID message with its fields and check, a TTY or real-time text message), its first and
// last time and level, beside the waveform of what was heard with the spans marked.

import { clearView, drawWaveform } from './views.js';

const seconds = (value) => `${value.toFixed(3)} s`;

// Labels that continue the one before: the next character of a message, the next element of a tone.
function continues(label, before) {
  return before && label.kind === before.kind && label.index > 0 && label.index === before.index + 1 &&
    ['tty', 't140', 'plan', 'sit'].includes(label.kind);
}

// What a row says of its labels: the text, plans, code or tone, and the fields a message carries.
function words(group) {
  const [first] = group;
  const fields = first.fields ?? {};
  if (first.kind === 'tty' || first.kind === 't140') {
    return group.filter((l) => [...l.text].length === 1).map((l) => l.text).join('');
  }
  if (first.kind === 'plan') return `${fields.plans} ${group.filter((l) => l.symbol === 'tone').map((l) => l.hz?.join('+')).slice(0, 1).join('')} Hz`;
  if (first.kind === 'sit') return `${fields.code} ${group.map((l) => l.hz?.join('')).join('/')} Hz`;
  if (first.kind === 'modem') return `${fields.tone}${fields.reversals ? ` reversals ${fields.reversals}` : ''}`;
  if (first.kind === 'cid' && first.symbol === 'message') {
    const shown = Object.entries(fields).filter(([name]) => !['standard', 'alert', 'checksum', 'level_dbm0'].includes(name));
    return [fields.standard, first.text, fields.alert, ...shown.map(([name, value]) => `${name}=${value}`),
      fields.checksum ? `checksum ${fields.checksum}` : ''].filter(Boolean).join(' ');
  }
  if (first.kind === 'cid') return `alert ${first.hz?.join('+')} Hz`;
  return `${first.text ?? ''}${first.hz ? ` ${first.hz.join('+')} Hz` : ''}`;
}

function level(group) {
  const fields = group[0].fields ?? {};
  if (fields.level_dbm0) return `${fields.level_dbm0} dBm0`;
  if (fields.low_dbm0) return `${fields.low_dbm0} ${fields.high_dbm0} dBm0`;
  return '';
}

// The labels in rows: consecutive labels of one message or tone together.
function groups(labels) {
  const rows = [];
  labels.forEach((label, i) => {
    if (continues(label, labels[i - 1])) rows[rows.length - 1].push(label);
    else rows.push([label]);
  });
  return rows;
}

export class DetectView {
  constructor(elements, renderer) {
    Object.assign(this, elements);
    this.renderer = renderer;
    this.shown = null;  // {peaks, count, rate, labels}
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
      this.show({ peaks: new Float32Array(result.peaks), count: samples.length, rate: result.rate, labels: result.labels });
      this.status(`${file.name}: ${result.labels.length} labels, ${seconds(samples.length / result.rate)} at ${result.rate} Hz`, 'done');
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
      await context.audioWorklet.addModule(new URL('./capture-worklet.js', import.meta.url));
      await this.renderer.listen(context.sampleRate);
      const node = new AudioWorkletNode(context, 'varnel-capture');
      const silent = new GainNode(context, { gain: 0 });
      context.createMediaStreamSource(stream).connect(node).connect(silent).connect(context.destination);
      const peaks = [];
      let count = 0;
      this.capture = { context, stream };
      this.show({ peaks: new Float32Array(0), count: 0, rate: context.sampleRate, labels: [] });
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
        this.show({ ...this.shown, peaks: Float32Array.from(peaks), count, labels: heard.labels ?? this.shown.labels });
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
    const { labels } = await this.renderer.finish();
    this.show({ ...this.shown, labels });
    this.status(`heard ${seconds(this.shown.count / this.shown.rate)} at ${this.shown.rate} Hz: ${labels.length} labels`, 'done');
  }

  show(shown) {
    this.shown = shown;
    const rows = shown ? groups(shown.labels) : [];
    this.list.replaceChildren(...rows.map((group) => {
      const first = group[0];
      const last = group[group.length - 1];
      const row = document.createElement('li');
      row.dataset.labels = group.map((label) => JSON.stringify(label)).join('\n');
      row.dataset.kind = first.kind;
      const cells = [first.kind, `${seconds(first.start / shown.rate)} – ${seconds((last.end + 1) / shown.rate)}`, words(group), level(group)];
      row.append(...cells.map((text, i) => Object.assign(document.createElement('span'), { className: ['kind', 'when', 'what', 'level'][i], textContent: text })));
      return row;
    }));
    this.draw();
  }

  // The waveform, each row's span shaded over it.
  draw() {
    const { shown, canvas } = this;
    if (!shown || shown.count === 0) {
      clearView(canvas);
      return;
    }
    drawWaveform(canvas, shown.peaks, shown.count, shown.rate);
    const context = canvas.getContext('2d');
    context.fillStyle = 'rgba(255, 200, 60, 0.18)';
    for (const group of groups(shown.labels)) {
      const x = (group[0].start / shown.count) * canvas.width;
      const width = Math.max(1, ((group[group.length - 1].end + 1 - group[0].start) / shown.count) * canvas.width);
      context.fillRect(x, 0, width, canvas.height);
    }
  }
}
