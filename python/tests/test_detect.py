"""detect() and DtmfDetector hear what `varnel detect --json` hears, in blocks of any size."""

import json

import numpy as np
import pytest

import varnel


@pytest.mark.parametrize("rate,requests,kwargs", [
    (8000, ["dtmf:159D"], {}),
    (16000, ["dtmf:0#", "silence:100", "dtmf:7"], {"snr": 20, "seed": 4}),
    (48000, ["plan:us:dial:400", "dtmf:42"], {"dbm0": -20}),
])
def test_detect_hears_what_the_tool_hears(tool, tmp_path, rate, requests, kwargs):
    wav = tmp_path / "keys.wav"
    varnel.write_wav(wav, requests, rate=rate, **kwargs)
    expected = [json.loads(line) for line in tool("detect", "--json", str(wav)).decode().splitlines()]
    samples = varnel.render(requests, rate=rate, **kwargs)
    assert varnel.detect(samples, rate) == expected
    assert varnel.detect(samples / 32768.0, rate) == expected
    detector = varnel.DtmfDetector(rate)
    heard = [key for start in range(0, samples.size, 333) for key in detector.feed(samples[start:start + 333])]
    assert heard + detector.finish() == expected
    assert [key["text"] for key in expected] == list("".join(r[5:] for r in requests if r.startswith("dtmf:")))


def test_detect_hears_tty_as_the_tool_does(tool, tmp_path):
    wav = tmp_path / "tty.wav"
    requests = ["dtmf:5", "silence:200", "tty:CALL 911 NOW"]
    varnel.write_wav(wav, requests, rate=16000)
    expected = [json.loads(line) for line in tool("detect", "--json", str(wav)).decode().splitlines()]
    samples = varnel.render(requests, rate=16000)
    assert varnel.detect(samples, 16000) == expected
    assert "".join(c["text"] for c in expected if c["kind"] == "tty" and len(c["text"]) == 1) == "CALL 911 NOW"


def test_a_rate_the_detector_does_not_take_is_refused():
    with pytest.raises(varnel.ArgumentError):
        varnel.DtmfDetector(4000)
