"""detect(), DtmfDetector and ToneDetector hear what `varnel detect --json` hears, in blocks of any
size."""

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


def test_the_tone_detector_hears_what_the_tool_hears(tool, tmp_path):
    requests = ["mf:K5S", "r2b:3", "plan:uk:busy:2000", "sit:nc", "modem:ansam-pr"]
    wav = tmp_path / "tones.wav"
    varnel.write_wav(wav, requests, rate=16000)
    expected = [json.loads(line) for line in tool("detect", "--json", str(wav)).decode().splitlines()]
    samples = varnel.render(requests, rate=16000)
    assert varnel.detect(samples, 16000) == expected
    detector = varnel.ToneDetector(16000)
    heard = [label for start in range(0, samples.size, 333) for label in detector.feed(samples[start:start + 333])]
    assert sorted(map(str, heard + detector.finish())) == sorted(map(str, expected))
    assert {label["kind"] for label in expected} == {"mf", "r2b", "plan", "sit", "modem"}


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


def test_detect_hears_the_caller_id_the_tool_hears(tool, tmp_path):
    requests = ["set:cid-standard=etsi", "set:cid-alert=dtas", "cid:01632960000|ANNA SMITH|12/25 10:30"]
    wav = tmp_path / "cid.wav"
    varnel.write_wav(wav, requests, rate=8000)
    expected = [json.loads(line) for line in tool("detect", "--json", str(wav)).decode().splitlines()]
    samples = varnel.render(requests, rate=8000)
    assert varnel.detect(samples, 8000) == expected
    decoder = varnel.CallerIdDecoder(8000)
    heard = [label for start in range(0, samples.size, 333) for label in decoder.feed(samples[start:start + 333])]
    assert heard + decoder.finish() == expected
    etsi = varnel.CallerIdDecoder(8000, standard="etsi")
    assert etsi.feed(samples) + etsi.finish() == expected
    with pytest.raises(varnel.ArgumentError, match="standard is bell, etsi, bt, ntt or dtmf, not 'v23'"):
        varnel.CallerIdDecoder(8000, standard="v23")
    assert [(label["symbol"], label["kind"]) for label in expected] == [("tone", "cid"), ("message", "cid")]
    assert expected[1]["fields"] == {"date": "12251030", "number": "01632960000", "name": "ANNA SMITH", "standard": "etsi",
                                     "alert": "DT-AS", "checksum": "ok", "level_dbm0": expected[1]["fields"]["level_dbm0"]}


@pytest.mark.parametrize("rate,requests,left_out", [
    (8000, ["dtmf:3333"], "mf"),  # the key explains the R1 7 heard with it
    (48000, ["dtmf:5", "silence:200", "tty:CALL 911 NOW"], "plan"),  # the TTY's carrier
])
def test_detect_applies_the_tools_rules_across_detectors(tool, tmp_path, rate, requests, left_out):
    wav = tmp_path / "rules.wav"
    varnel.write_wav(wav, requests, rate=rate)
    expected = [json.loads(line) for line in tool("detect", "--json", str(wav)).decode().splitlines()]
    samples = varnel.render(requests, rate=rate)
    tones = varnel.ToneDetector(rate)
    assert left_out in {label["kind"] for label in tones.feed(samples) + tones.finish()}
    assert varnel.detect(samples, rate) == expected
    assert left_out not in {label["kind"] for label in expected}


def test_a_tone_that_only_touches_a_tty_message_is_kept(tool, tmp_path):
    wav = tmp_path / "after.wav"
    varnel.write_wav(wav, ["dtmf:3", "tty:HELLO", "plan:uk:busy:1000"], rate=16000)
    heard = [json.loads(line) for line in tool("detect", "--json", str(wav)).decode().splitlines()]
    assert any("busy:uk" in label.get("fields", {}).get("plans", "") for label in heard)
