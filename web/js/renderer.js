// The page's side of the render worker (render-worker.js): each call is a message with an id,
// answered by a promise. A refusal rejects with a RenderError (render-error.js).
import { RenderError } from './render-error.js';

export class Renderer {
  constructor() {
    this.worker = new Worker(new URL('./render-worker.js', import.meta.url), { type: 'module' });
    this.pending = new Map();
    this.nextId = 1;
    this.worker.onmessage = ({ data }) => {
      const call = this.pending.get(data.id);
      this.pending.delete(data.id);
      if (data.ok) call.resolve(data);
      else call.reject(new RenderError(data.error));
    };
    this.worker.onerror = (event) => {
      const error = new RenderError({ message: `the render worker failed: ${event.message || 'it could not be loaded'}` });
      for (const call of this.pending.values()) call.reject(error);
      this.pending.clear();
    };
  }

  call(message, transfer = []) {
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject });
      this.worker.postMessage({ id, ...message }, transfer);
    });
  }

  async catalog() {
    return (await this.call({ type: 'catalog' })).catalog;
  }

  // One request in canonical form, quoted as a word of a script.
  async printRequest(request) {
    return (await this.call({ type: 'print', request })).text;
  }

  // {wave: ArrayBuffer, samples: ArrayBuffer of Float32, summary, ms}; the samples and the
  // summary's labels only with views, and then the wave a Blob.
  render(script, options, { maxBytes, views = false }) {
    return this.call({ type: 'render', script, options, maxBytes, views });
  }

  // {pcap: ArrayBuffer, summary, ms}: the packets `varnel --pcap` writes; options take the
  // tool's RTP options beside its settings.
  pcap(script, options, { maxBytes }) {
    return this.call({ type: 'pcap', script, options, maxBytes });
  }

  // {rate, events: [{dbm0, labels}], samples: ArrayBuffer of Float32, peaks}: what `varnel
  // detect --json` hears in a WAV file or a pcap (an ArrayBuffer, handed over), thing by thing.
  detect(file) {
    return this.call({ type: 'detect', file }, [file]);
  }

  // Hearing samples as they come: listen(rate), then hear(Float32Array) for each block, which
  // answers {events} when something more was heard, then finish() -> {events}.
  listen(rate) {
    return this.call({ type: 'listen', rate });
  }

  hear(samples) {
    return this.call({ type: 'hear', samples });
  }

  finish() {
    return this.call({ type: 'finish' });
  }
}
