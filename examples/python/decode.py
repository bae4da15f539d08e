#!/usr/bin/python3
"""Renders DTMF digits and a Caller-ID burst with varnel and decodes them with receivers of
their own, multimon-ng (DTMF) and minimodem (Bell 202 Caller-ID): what was sent must come back.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/decode.py
"""

import os
import subprocess
import sys
import tempfile

import varnel

RATE = 22050  # multimon-ng reads raw 16-bit samples at 22050 Hz


def multimon(samples, decoder):
    """The lines multimon-ng prints for the samples (int16 at RATE)."""
    done = subprocess.run(["multimon-ng", "-q", "-a", decoder, "-t", "raw", "-"],
                          input=samples.tobytes(), capture_output=True, check=True)
    return done.stdout.decode(errors="replace").splitlines()


def main():
    digits = "5550123"
    samples = varnel.render([f"dtmf:{digits}", "silence:300"], rate=RATE)
    heard = "".join(line.split(":")[1].strip() for line in multimon(samples, "DTMF") if line.startswith("DTMF:"))
    print(f"DTMF    sent {digits}  decoded {heard}  ({samples.size / RATE:.2f} s)")

    # minimodem wants exactly 1200 bit/s on average: the exact bit timing.
    caller = "cid:5551234|JOHN DOE|12/25 10:30"
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "cid.wav")
        varnel.write_wav(path, ["silence:200", caller, "silence:200"], rate=8000, cid_timing="exact")
        done = subprocess.run(["minimodem", "--rx", "-q", "-f", path, "callerid"],
                              capture_output=True, check=True, text=True)
    lines = [line for line in done.stdout.splitlines() if line.strip()]
    print(f"Caller  sent {caller[4:]!r}  decoded by minimodem:")
    for line in lines:
        print("        " + line)

    ok = heard == digits and any("5551234" in line for line in lines) and any("JOHN DOE" in line for line in lines)
    print("OK" if ok else "MISMATCH")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
