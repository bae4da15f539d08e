// The microphone's samples for the detection view: the first channel gathered into blocks of
// `block` samples, each posted on the node's port as a Float32Array (handed over).
const block = 2048;

class CaptureProcessor extends AudioWorkletProcessor {
  constructor() {
    super();
    this.samples = new Float32Array(block);
    this.filled = 0;
  }

  process(inputs) {
    const channel = inputs[0]?.[0];
    if (!channel) return true;
    for (let i = 0; i < channel.length; i++) {
      this.samples[this.filled++] = channel[i];
      if (this.filled === block) {
        this.port.postMessage(this.samples, [this.samples.buffer]);
        this.samples = new Float32Array(block);
        this.filled = 0;
      }
    }
    return true;
  }
}

registerProcessor('varnel-capture', CaptureProcessor);
