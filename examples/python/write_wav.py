#!/usr/bin/python3
"""Writes a call into a WAV file: dial tone, a DTMF number, ring-back, then Caller-ID.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/write_wav.py [call.wav]
"""

import sys
import wave

import varnel

path = sys.argv[1] if len(sys.argv) > 1 else "call.wav"
requests = ["plan:us:dial:1000", "dtmf:555-0123", "plan:us:ringback:4000",
            "cid:5551234|JOHN DOE|12/25 10:30"]
varnel.write_wav(path, requests, rate=8000)
with wave.open(path) as w:
    print(f"wrote {path}: {w.getframerate()} Hz, {8 * w.getsampwidth()}-bit, {w.getnframes() / w.getframerate():.2f} s")

# The same samples as a numpy array, and from the component request by request. The component
# starts from its own defaults; render() from the tool's, which time Caller-ID bits exactly (as
# strict receivers need): give the component the same to compare like with like.
samples = varnel.render(requests, rate=8000)
v = varnel.Varnel()
v.sample_rate = 8000
v.cid_bit_timing = "exact"
v.tty_figs_after_space = 1
v.on_complete.connect(lambda request_id: print(f"request {request_id} rendered"))
v.generate_begin()
v.generate_tone_plan("us", "dial", 1000)
v.generate_dtmfs("555-0123")
v.generate_tone_plan("us", "ringback", 4000)
v.generate_caller_id("5551234", "JOHN DOE", "12/25 10:30")
blocks = []
while (block := v.fetch_wave_stream(8000)) is not None and block.size:
    blocks.append(block)
print("stream equals render():", bytes().join(b.tobytes() for b in blocks) == samples.tobytes())
