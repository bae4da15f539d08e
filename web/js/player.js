// Plays the rendered samples through Web Audio and knows where it is: position() in seconds,
// whether playing or paused. Web Audio takes buffers of 3000 to 768000 samples per second;
// audio at another rate is drawn and downloaded, not played.

const lowestRate = 3000;
const highestRate = 768000;
const copyPart = 1 << 20;  // samples copied into the audio buffer a task

export class Player extends EventTarget {
  constructor() {
    super();
    this.context = null;
    this.buffer = null;
    this.source = null;
    this.duration = 0;
    this.offset = 0;     // where a pause left it, or where the playing started
    this.startedAt = 0;  // the context's time at that start
    this.refusal = '';
    this.loads = 0;
  }

  get playing() {
    return this.source !== null;
  }

  // Takes the samples to play, copied in parts of a task each (audio of an hour is a copy of
  // 100 MB); resolves once they are all in, unless another load came first.
  async load(samples, rate) {
    this.halt();
    const loading = ++this.loads;
    this.offset = 0;
    this.duration = samples.length / rate;
    this.buffer = null;
    this.refusal = '';
    if (rate < lowestRate || rate > highestRate) {
      this.refusal = `the browser plays ${lowestRate} to ${highestRate} samples per second, not ${rate}: download the WAV`;
    } else if (samples.length > 0) {
      const buffer = new AudioBuffer({ length: samples.length, sampleRate: rate, numberOfChannels: 1 });
      for (let at = 0; at < samples.length; at += copyPart) {
        if (at > 0) await new Promise((resolve) => setTimeout(resolve, 0));
        if (loading !== this.loads) return;
        buffer.copyToChannel(samples.subarray(at, at + copyPart), 0, at);
      }
      this.buffer = buffer;
    }
    this.changed();
  }

  position() {
    if (!this.playing) return this.offset;
    return Math.min(this.duration, this.offset + this.context.currentTime - this.startedAt);
  }

  play(from = this.offset >= this.duration ? 0 : this.offset) {
    if (!this.buffer) return;
    this.context ??= new AudioContext();
    this.context.resume();
    this.halt();
    const source = this.context.createBufferSource();
    source.buffer = this.buffer;
    source.connect(this.context.destination);
    source.onended = () => {
      if (this.source !== source) return;
      this.source = null;
      this.offset = this.duration;
      this.changed();
    };
    this.offset = Math.min(Math.max(0, from), this.duration);
    this.startedAt = this.context.currentTime;
    source.start(0, this.offset);
    this.source = source;
    this.changed();
  }

  pause() {
    if (!this.playing) return;
    this.offset = this.position();
    this.halt();
    this.changed();
  }

  stop() {
    this.halt();
    this.offset = 0;
    this.changed();
  }

  // Moves to a position, playing on from there if it was playing.
  seek(position) {
    if (this.playing) this.play(position);
    else {
      this.offset = Math.min(Math.max(0, position), this.duration);
      this.changed();
    }
  }

  halt() {
    if (!this.source) return;
    this.source.onended = null;
    this.source.stop();
    this.source.disconnect();
    this.source = null;
  }

  changed() {
    this.dispatchEvent(new Event('change'));
  }
}
