// The waveform and the spectrogram of the rendered samples, drawn on canvases at the size they
// are shown (device pixels). The spectrogram takes one Hann-windowed FFT per column, 0 Hz at
// the bottom and half the sample rate at the top, levels from -100 to 0 dB of full scale. The
// waveform has a time axis along its foot, the spectrogram ticks of frequency up its left side.

function fit(canvas) {
  const ratio = window.devicePixelRatio || 1;
  canvas.width = Math.max(1, Math.round(canvas.clientWidth * ratio));
  canvas.height = Math.max(1, Math.round(canvas.clientHeight * ratio));
  return canvas.getContext('2d');
}

function color(name) {
  return getComputedStyle(document.documentElement).getPropertyValue(name).trim();
}

// The step of a scale that puts ticks at least `least` units apart: 1, 2 or 5 times a power of 10.
function step(least) {
  const power = 10 ** Math.floor(Math.log10(least));
  return [1, 2, 5, 10].map((m) => m * power).find((s) => s >= least);
}

function tickFont(context) {
  const ratio = window.devicePixelRatio || 1;
  context.font = `${Math.round(10 * ratio)}px sans-serif`;
  context.fillStyle = color('--axis');
  context.strokeStyle = color('--axis');
  context.lineWidth = 1;
  return ratio;
}

// Ticks along the foot, one at least 70 CSS pixels from the next, in seconds.
function timeAxis(context, width, height, seconds) {
  if (!(seconds > 0)) return;
  const ratio = tickFont(context);
  const every = step((70 * ratio * seconds) / width);
  const digits = Math.max(0, -Math.floor(Math.log10(every)));
  context.textBaseline = 'bottom';
  for (let t = 0; t <= seconds; t += every) {
    const x = Math.round((t / seconds) * width) + 0.5;
    context.beginPath();
    context.moveTo(x, height);
    context.lineTo(x, height - 5 * ratio);
    context.stroke();
    if (t > 0) context.fillText(`${t.toFixed(digits)} s`, x + 2 * ratio, height - 1);
  }
}

// Ticks up the left side, one at least 28 CSS pixels from the next, in Hz.
function frequencyAxis(context, height, top) {
  const ratio = tickFont(context);
  const every = step((28 * ratio * top) / height);
  context.textBaseline = 'middle';
  for (let f = every; f < top; f += every) {
    const y = Math.round(height - (f / top) * height) + 0.5;
    context.beginPath();
    context.moveTo(0, y);
    context.lineTo(5 * ratio, y);
    context.stroke();
    context.fillText(f >= 1000 ? `${f / 1000} kHz` : `${f} Hz`, 7 * ratio, y);
  }
}

// The waveform from the peaks of the samples (the render worker's: [low, high] of each block of
// them, in order), a column drawing the blocks under it; sampleCount at the rate for the axis.
export function drawWaveform(canvas, peaks, sampleCount, rate) {
  const context = fit(canvas);
  const { width, height } = canvas;
  context.fillStyle = color('--view-background');
  context.fillRect(0, 0, width, height);
  context.fillStyle = color('--wave');
  const middle = height / 2;
  const count = peaks.length / 2;
  if (count === 0) return;
  for (let x = 0; x < width; x++) {
    const first = Math.floor((x * count) / width);
    const last = Math.max(first + 1, Math.floor(((x + 1) * count) / width));
    let low = 1;
    let high = -1;
    for (let i = first; i < last && i < count; i++) {
      if (peaks[2 * i] < low) low = peaks[2 * i];
      if (peaks[2 * i + 1] > high) high = peaks[2 * i + 1];
    }
    const top = middle - high * middle;
    context.fillRect(x, top, 1, Math.max(1, (high - low) * middle));
  }
  timeAxis(context, width, height, sampleCount / rate);
}

// The twiddle factors of an FFT of n points, made once a size.
const twiddles = new Map();
function twiddlesOf(n) {
  if (!twiddles.has(n)) {
    const cos = new Float64Array(n / 2);
    const sin = new Float64Array(n / 2);
    for (let k = 0; k < n / 2; k++) {
      cos[k] = Math.cos((-2 * Math.PI * k) / n);
      sin[k] = Math.sin((-2 * Math.PI * k) / n);
    }
    twiddles.set(n, { cos, sin });
  }
  return twiddles.get(n);
}

// An iterative radix-2 FFT of re/im in place (length a power of two).
function fft(re, im) {
  const n = re.length;
  const { cos, sin } = twiddlesOf(n);
  for (let i = 1, j = 0; i < n; i++) {
    let bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      [re[i], re[j]] = [re[j], re[i]];
      [im[i], im[j]] = [im[j], im[i]];
    }
  }
  for (let size = 2; size <= n; size <<= 1) {
    const stride = n / size;
    for (let start = 0; start < n; start += size) {
      for (let k = 0; k < size / 2; k++) {
        const wr = cos[k * stride];
        const wi = sin[k * stride];
        const a = start + k;
        const b = a + size / 2;
        const tr = re[b] * wr - im[b] * wi;
        const ti = re[b] * wi + im[b] * wr;
        re[b] = re[a] - tr;
        im[b] = im[a] - ti;
        re[a] += tr;
        im[a] += ti;
      }
    }
  }
}

// Dark blue through red to pale yellow, by level from 0 to 1, in 256 steps: heat[3 * step + k].
const stops = [[8, 10, 40], [80, 20, 120], [200, 40, 80], [250, 140, 30], [255, 250, 200]];
const heat = new Uint8Array(256 * 3);
for (let step = 0; step < 256; step++) {
  const x = (step / 255) * (stops.length - 1);
  const i = Math.min(Math.floor(x), stops.length - 2);
  for (let k = 0; k < 3; k++) heat[3 * step + k] = Math.round(stops[i][k] + (stops[i + 1][k] - stops[i][k]) * (x - i));
}

export function drawSpectrogram(canvas, samples, rate) {
  const context = fit(canvas);
  const { width, height } = canvas;
  const size = rate <= 16000 ? 256 : rate <= 48000 ? 512 : 1024;
  const hann = Float32Array.from({ length: size }, (_, i) => 0.5 - 0.5 * Math.cos((2 * Math.PI * i) / size));
  const scale = 4 / size;  // a full-scale sine peaks at 0 dB
  const image = context.createImageData(width, height);
  const re = new Float64Array(size);
  const im = new Float64Array(size);
  const bins = size / 2;
  const levels = new Uint8Array(bins);  // the heat step of each bin
  for (let x = 0; x < width; x++) {
    const centre = Math.floor(((x + 0.5) * samples.length) / width);
    for (let i = 0; i < size; i++) {
      const at = centre - size / 2 + i;
      re[i] = at >= 0 && at < samples.length ? samples[at] * hann[i] : 0;
      im[i] = 0;
    }
    fft(re, im);
    for (let k = 0; k < bins; k++) {
      const magnitude = Math.sqrt(re[k] * re[k] + im[k] * im[k]) * scale;
      const level = (20 * Math.log10(magnitude + 1e-12) + 100) / 100;
      levels[k] = Math.round(Math.min(Math.max(level, 0), 1) * 255);
    }
    for (let y = 0; y < height; y++) {
      const step = 3 * levels[Math.min(bins - 1, Math.floor(((height - 1 - y) * bins) / height))];
      const at = (y * width + x) * 4;
      image.data[at] = heat[step];
      image.data[at + 1] = heat[step + 1];
      image.data[at + 2] = heat[step + 2];
      image.data[at + 3] = 255;
    }
  }
  context.putImageData(image, 0, 0);
  frequencyAxis(context, height, rate / 2);
}

// An empty view, for when nothing rendered is current.
export function clearView(canvas) {
  const context = fit(canvas);
  context.fillStyle = color('--view-background');
  context.fillRect(0, 0, canvas.width, canvas.height);
}
