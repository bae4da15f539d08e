"""render() and write_wav() give the bytes the varnel tool writes for the same requests."""

import json
import subprocess
import sys

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
    (["dtmf:123", "tty:HI"], {"snr": 15, "seed": 9, "noise_band": "telephone", "freq_offset": 2, "fsk_rate_offset": -1},
     ["-r", "8000", "--snr", "15", "--seed", "9", "--noise-band", "telephone", "--freq-offset", "2", "--fsk-rate-offset", "-1"]),
    (["cid:5551234"], {"codec_tandem": "2:alaw", "dropout": "20@200", "clip": -10, "fsk_twist": 3, "noise": -40},
     ["-r", "8000", "--codec-tandem", "2:alaw", "--dropout", "20@200", "--clip", "-10", "--fsk-twist", "3", "--noise", "-40"]),
]


@pytest.mark.parametrize("requests,kwargs,options", CASES)
def test_render_equals_the_tools_raw_bytes(tool, requests, kwargs, options):
    samples = varnel.render(requests, **kwargs)
    wide = kwargs.get("bits", 16) == 16 and kwargs.get("encoding", "pcm") == "pcm"
    assert samples.dtype == (np.int16 if wide else np.uint8)
    assert samples.size > 0
    assert samples.tobytes() == tool("--raw", *options, "--", *requests)


@pytest.mark.parametrize("kwargs,options", [
    ({}, []),
    ({"snr": 20, "seed": 3, "freq_offset": 1.5, "mix": "plan:uk:dial:1000 dtmf:9", "mix_dbm0": -20},
     ["--snr", "20", "--seed", "3", "--freq-offset", "1.5", "--mix", "plan:uk:dial:1000 dtmf:9", "--mix-dbm0", "-20"]),
])
def test_labels_are_the_tools_json_lines(tool, tmp_path, kwargs, options):
    requests = ["dtmf:1,2", "cid:5551234|JOHN DOE|12/25 10:30", "tty:HI 5", "set:tty-mode=ascii8", "ttyhex:a3"]
    samples, labels = varnel.render(requests, labels=True, **kwargs)
    raw = tool("--raw", "-r", "8000", "--labels", str(tmp_path / "l.jsonl"), *options, "--", *requests)
    assert samples.tobytes() == raw
    assert labels == [json.loads(line) for line in (tmp_path / "l.jsonl").read_text().splitlines()]
    assert labels[-1]["end"] < samples.size


def test_write_wav_equals_the_tools_file(tool, tmp_path):
    ours, theirs = tmp_path / "ours.wav", tmp_path / "theirs.wav"
    requests = ["dtmf:555-0123", "cid:5551234|JOHN DOE|12/25 10:30"]
    varnel.write_wav(ours, requests, encoding="alaw")
    tool("-o", str(theirs), "-r", "8000", "-e", "alaw", *requests)
    assert ours.read_bytes() == theirs.read_bytes()


@pytest.mark.parametrize("call,text", [
    (lambda: varnel.render(["dtmf:1"], rate=0), "rate: '0' is not an integer from 1 to 16777216"),
    (lambda: varnel.render(["dtmf:1"], snr=101), "snr: '101' is not a ratio from -20 to 100 dB"),
    (lambda: varnel.render(["dtmf:1"], codec_tandem="11"), "codec_tandem: '11' is not N[:ulaw|alaw] with N from 1 to 10"),
    (lambda: varnel.render(["dtmf:1"], seed=2**64),
     "seed: '18446744073709551616' is not a whole number from 0 to 18446744073709551615"),
    (lambda: varnel.render(["dtmf:1"], ptime=20), "ptime: '20' applies to an RTP session only"),
    (lambda: varnel.render(["dtmf:1"], noise=-20, snr=10), "noise and snr both set the noise: give one"),
    (lambda: varnel.write_pcap("/tmp/never.pcap", ["tty:HI"], tty_rtt=True, t140_pt=100), "t140_pt and red_pt are both 100"),
    (lambda: varnel.render(["dtmf:1"], loud=1), "unknown setting 'loud' (rate, bits, encoding, amplitude, dtmf-tone, "
     "dtmf-break, dtmf-pause, tty-mode, tty-rate, cid-format, cid-timing, tty-figs-after-space, cid-standard, cid-alert, "
     "dtmf-twist, tone-modulation-depth, level-per-tone)"),
    (lambda: varnel.render(["pattern:0/x:100"]),
     "request 1 'pattern:0/x:100': Tone pattern element 1 \"0/x\": the duration \"x\" is not a whole number of "
     "milliseconds from 1 to 2147483647."),
    (lambda: varnel.render(["dtmf:1\0" "2"]), "request 1 'dtmf:1\\x002': it holds a NUL character (at byte 7)"),
    (lambda: varnel.render(["ttyfile:/no/such.txt"]),
     "request 1 'ttyfile:/no/such.txt': cannot read '/no/such.txt': No such file or directory"),
    (lambda: varnel.render(["plan:us:ringback:2147483647"]),
     "the rendering would take 34359738352 bytes (2147483.647 s of audio), more than max_bytes=1073741824: raise "
     "max_bytes, or write it to a file with write_wav()"),
    (lambda: varnel.write_wav("/tmp/varnel-never.wav", ["silence:60000"] * 3, rate=16777216),
     "refused before writing /tmp/varnel-never.wav: the audio takes 6039797760 bytes, more than the 4294967256 "
     "that the size fields of a WAV file can describe"),
])
def test_render_refusals_carry_the_engines_text(call, text):
    with pytest.raises(varnel.ArgumentError) as caught:
        call()
    assert str(caught.value) == text
    assert caught.value.hresult == varnel.E_INVALIDARG


def test_scripts_files_and_names_as_the_tool_takes_them(tool, tmp_path):
    text = tmp_path / "text.txt"
    text.write_bytes(b"HELLO GA\n")
    script = "# a call\ndtmf:555 'cid:5551234|JOHN DOE|12/25 10:30'\nttyfile:" + str(text)
    assert varnel.render(script).tobytes() == tool("--raw", "-r", "8000", "-f", "-", input=script)
    assert varnel.render(["modem:ANS:100"], SampleRate=8000, CID_Standard="ETSI").size == 800
    v = varnel.Varnel()
    v.encoding = "alaw"
    v.set("tty_rate", 50)
    assert (v.encoding, v.tty_rate) == (varnel.Encoding.ENC_ALaw, varnel.BaudotRate.BR_50_Baud)
    v.generate_begin()
    assert v.generate_script("dtmf:12 set:dtmf-tone=50 tones:350@100,0@50") == [0, 1, 2]
    queued = v.queued_bytes
    with pytest.raises(varnel.ArgumentError, match=r"^request 2 'vmwi:on': Message waiting is not defined"):
        v.generate_script("set:cid-standard=ntt vmwi:on")
    assert v.queued_bytes == queued and v.cid_standard == varnel.CidStandard.CS_Bell202
    with pytest.raises(ValueError, match="^request 1 is NoneType, not a text such as 'dtmf:123'$"):
        varnel.render([None])


def test_ctrl_c_stops_a_long_render_at_once(tmp_path):
    script = ("import os, signal, threading, time, varnel\n"
              "signal.signal(signal.SIGINT, signal.default_int_handler)\n"
              "threading.Timer(0.2, os.kill, (os.getpid(), signal.SIGINT)).start()\n"
              "start = time.monotonic()\n"
              "try:\n"
              "    varnel.{call}\n"
              "except KeyboardInterrupt:\n"
              "    print(round(time.monotonic() - start - 0.2, 3))\n")
    for call in ("render(['plan:us:ringback:3000000'], rate=96000)",
                 f"write_wav({str(tmp_path / 'long.wav')!r}, ['plan:us:ringback:3000000'], rate=96000)"):
        done = subprocess.run([sys.executable, "-c", script.format(call=call)], capture_output=True, text=True,
                              timeout=60, check=True)
        assert 0 <= float(done.stdout) < 0.1, done
    assert list(tmp_path.iterdir()) == []


def test_render_refuses_what_the_tool_refuses(tmp_path):
    with pytest.raises(varnel.ArgumentError, match="unknown request kind 'bogus'"):
        varnel.render(["bogus:1"])
    with pytest.raises(ValueError):
        varnel.render([])
    path = tmp_path / "refused.wav"
    with pytest.raises(varnel.ArgumentError):
        varnel.write_wav(path, ["dtmf:1", "pattern:0/x:100"])
    assert not path.exists()
