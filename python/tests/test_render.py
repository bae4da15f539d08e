"""render() and write_wav() give the bytes the varnel tool writes for the same requests."""

import numpy as np
import pytest

import varnel

CASES = [
    # requests, keyword arguments, the tool's options
    (["dtmf:555", "silence:200", "cid:5551234|JOHN DOE|12/25 10:30"], {}, ["-r", "8000"]),
    (["tone:300,100,350,440", "tty:HELLO 123"], {"rate": 11025, "bits": 8}, ["-r", "11025", "-b", "8"]),
    (["dtmf:123", "mf:K5551234S"], {"encoding": "alaw"}, ["-r", "8000", "-e", "alaw"]),
    (["cid:01632960000|ANNA SMITH", "vmwi:on"], {"cid_standard": "bt", "encoding": varnel.Encoding.ENC_MuLaw},
     ["-r", "8000", "-e", "ulaw", "--cid-standard", "bt"]),
    (["tty:CALL 555 1234"], {"tty_rate": 50, "tty_figs_after_space": True, "rate": 16000},
     ["-r", "16000", "--tty-rate", "50", "--tty-figs-after-space"]),
    (["plan:uk:busy:1000", "sit:nc", "modem:ansam-pr:500"], {"dbm0": -10}, ["-r", "8000", "--dbm0", "-10"]),
    (["set:cid-standard=etsi", "cid:-P|-O", "tones:350|440@300,0@100"], {"cid_alert": varnel.CidAlert.CA_OffHook},
     ["-r", "8000", "--cid-alert", "offhook"]),
]


@pytest.mark.parametrize("requests,kwargs,options", CASES)
def test_render_equals_the_tools_raw_bytes(tool, requests, kwargs, options):
    samples = varnel.render(requests, **kwargs)
    wide = kwargs.get("bits", 16) == 16 and kwargs.get("encoding", "pcm") == "pcm"
    assert samples.dtype == (np.int16 if wide else np.uint8)
    assert samples.size > 0
    assert samples.tobytes() == tool("--raw", *options, "--", *requests)


def test_write_wav_equals_the_tools_file(tool, tmp_path):
    ours, theirs = tmp_path / "ours.wav", tmp_path / "theirs.wav"
    requests = ["dtmf:555-0123", "cid:5551234|JOHN DOE|12/25 10:30"]
    varnel.write_wav(ours, requests, encoding="alaw")
    tool("-o", str(theirs), "-r", "8000", "-e", "alaw", *requests)
    assert ours.read_bytes() == theirs.read_bytes()


@pytest.mark.parametrize("call,text", [
    (lambda: varnel.render(["dtmf:1"], rate=0), "Sample rate out of range: it must be from 1 to 16777216 Hz."),
    (lambda: varnel.render(["pattern:0/x:100"]),
     'Tone pattern element 1 "0/x": the duration "x" is not a whole number of milliseconds from 1 to 2147483647.'),
])
def test_render_refusals_carry_the_engines_text(call, text):
    with pytest.raises(varnel.ArgumentError) as caught:
        call()
    assert str(caught.value) == text
    assert caught.value.hresult == varnel.E_INVALIDARG


def test_render_refuses_what_the_tool_refuses(tmp_path):
    with pytest.raises(varnel.ArgumentError, match="unknown request kind 'bogus'"):
        varnel.render(["bogus:1"])
    with pytest.raises(ValueError):
        varnel.render([])
    path = tmp_path / "refused.wav"
    with pytest.raises(varnel.ArgumentError):
        varnel.write_wav(path, ["dtmf:1", "pattern:0/x:100"])
    assert not path.exists()
