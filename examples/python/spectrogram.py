#!/usr/bin/python3
"""Plots the spectrogram of a Bell 202 Caller-ID burst (1200/2200 Hz FSK) to a PNG.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/spectrogram.py [cid.png]
"""

import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import varnel  # noqa: E402

path = sys.argv[1] if len(sys.argv) > 1 else "cid-spectrogram.png"
rate = 8000
samples = varnel.render(["silence:100", "cid:5551234|JOHN DOE|12/25 10:30", "silence:100"], rate=rate)

fig, (wave_axes, spec_axes) = plt.subplots(2, 1, figsize=(10, 6), sharex=True)
time = np.arange(samples.size) / rate
wave_axes.plot(time, samples / 32768.0, linewidth=0.3)
wave_axes.set_ylabel("amplitude")
wave_axes.set_title("Bell 202 Caller-ID: 5551234, JOHN DOE, 12/25 10:30")
with np.errstate(divide="ignore"):  # the silence has no power: log10(0) is -inf, drawn dark
    spec_axes.specgram(samples, NFFT=128, Fs=rate, noverlap=96, cmap="magma")
spec_axes.set_ylim(0, 3000)
spec_axes.set_ylabel("Hz")
spec_axes.set_xlabel("s (seizure 0101..., marks at 1200 Hz, then the message)")
fig.tight_layout()
fig.savefig(path, dpi=100)
print(f"wrote {path}: {samples.size / rate:.3f} s of Caller-ID at {rate} Hz")
