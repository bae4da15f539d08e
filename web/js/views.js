// The waveform and the spectrogram of the rendered samples, drawn on canvases at the size they
// are shown (device pixels). The spectrogram takes one Hann-windowed FFT per column, 0 Hz at
// the bottom and half the sample rate at the top, levels from -100 to 0 dB of full scale.

function fit(canvas) {
  const ratio = window.devicePixelRatio || 1;
  canvas.width = Math.max(1, Math.round(canvas.clientWidth * ratio));
  canvas.height = Math.max(1, Math.round(canvas.clientHeight * ratio));
  return canvas.getContext('2d');
}

function color(name) {
  return getComputedStyle(document.documentElement).getPropertyValue(name).trim();
}

export function drawWaveform(canvas, samples) {
  const context = fit(canvas);
  const { width, height } = canvas;
  context.fillStyle = color('--view-background');
  context.fillRect(0, 0, width, height);
  context.fillStyle = color('--wave');
  const middle = height / 2;
  const count = samples.length;
  if (count === 0) return;
  for (let x = 0; x < width; x++) {
    const first = Math.floor((x * count) / width);
    const last = Math.max(first + 1, Math.floor(((x + 1) * count) / width));
    let low = 1;
    let high = -1;
    for (let i = first; i < last && i < count; i++) {
      const value = samples[i];
      if (value < low) low = value;
      if (value > high) high = value;
    }
    const top = middle - high * middle;
    context.fillRect(x, top, 1, Math.max(1, (high - low) * middle));
  }
}

// An iterative radix-2 FFT of re/im in place (length a power of two).
function fft(re, im) {
  const n = re.length;
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
    const step = (-2 * Math.PI) / size;
    for (let start = 0; start < n; start += size) {
      for (let k = 0; k < size / 2; k++) {
        const wr = Math.cos(step * k);
        const wi = Math.sin(step * k);
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

// Dark blue through red to pale yellow, by level from 0 to 1.
const stops = [[8, 10, 40], [80, 20, 120], [200, 40, 80], [250, 140, 30], [255, 250, 200]];
function heat(level) {
  const x = Math.min(Math.max(level, 0), 1) * (stops.length - 1);
  const i = Math.min(Math.floor(x), stops.length - 2);
  const f = x - i;
  return stops[i].map((c, k) => Math.round(c + (stops[i + 1][k] - c) * f));
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
  const levels = new Float32Array(bins);
  for (let x = 0; x < width; x++) {
    const centre = Math.floor(((x + 0.5) * samples.length) / width);
    for (let i = 0; i < size; i++) {
      const at = centre - size / 2 + i;
      re[i] = at >= 0 && at < samples.length ? samples[at] * hann[i] : 0;
      im[i] = 0;
    }
    fft(re, im);
    for (let k = 0; k < bins; k++) {
      const magnitude = Math.hypot(re[k], im[k]) * scale;
      levels[k] = (20 * Math.log10(magnitude + 1e-12) + 100) / 100;
    }
    for (let y = 0; y < height; y++) {
      const [r, g, b] = heat(levels[Math.min(bins - 1, Math.floor(((height - 1 - y) * bins) / height))]);
      const at = (y * width + x) * 4;
      image.data[at] = r;
      image.data[at + 1] = g;
      image.data[at + 2] = b;
      image.data[at + 3] = 255;
    }
  }
  context.putImageData(image, 0, 0);
  context.fillStyle = '#fff';
  context.font = `${Math.round(11 * (window.devicePixelRatio || 1))}px sans-serif`;
  context.fillText(`${rate / 2} Hz`, 4, 14 * (window.devicePixelRatio || 1));
}
