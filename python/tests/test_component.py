"""varnel.Varnel: properties, streams, errors, events and threads."""

import os
import sys
import threading

import numpy as np
import pytest

import varnel

NOT_GENERATING = "Not in generate state, Please call GenerateBegin() method first."


def stream(rate=8000, bits=16):
    v = varnel.Varnel()
    v.sample_rate = rate
    v.bits_per_sample = bits
    v.generate_begin()
    return v


def pull(v, block=4096):
    parts = []
    while True:
        part = v.fetch_wave_stream(block)
        if part is None or part.size == 0:
            break
        parts.append(part)
    return np.concatenate(parts) if parts else np.zeros(0, np.int16)


def test_properties_take_and_give_intenums():
    v = varnel.Varnel()
    assert v.sample_rate == 11025 and v.bits_per_sample == 16
    v.cid_standard = varnel.CidStandard.CS_ETSI
    assert v.cid_standard is varnel.CidStandard.CS_ETSI
    v.tty_rate = 1
    assert v.tty_rate is varnel.BaudotRate.BR_50_Baud
    v.set("CID_Alert", "dtas")
    assert v.cid_alert is varnel.CidAlert.CA_DTAS
    v.set("tty-rate", varnel.BaudotRate.BR_110_Baud)
    assert v.tty_rate is varnel.BaudotRate.BR_110_Baud


def test_stream_is_the_rendering_split_into_blocks():
    v = stream()
    ids = [v.generate_dtmfs("555"), v.generate_silence(200), v.generate_caller_id("5551234", "JOHN DOE", "12/25 10:30")]
    assert ids == [0, 1, 2]
    pulled = pull(v, 1000)
    assert pulled.dtype == np.int16
    # The component's own Caller-ID timing; render takes the tool's defaults (exact timing).
    expected = varnel.render(["dtmf:555", "silence:200", "cid:5551234|JOHN DOE|12/25 10:30"], cid_timing="whole")
    assert np.array_equal(pulled, expected)


def test_fetch_into_a_callers_buffer_without_a_copy():
    v = stream(bits=8)
    v.generate_dtmfs("1")
    target = np.zeros(50000, np.uint8)
    written = v.fetch_wave_stream(target)
    expected = varnel.render(["dtmf:1"], bits=8)
    assert written == expected.size
    assert np.array_equal(target[:written], expected)
    room = bytearray(1000)
    v.generate_dtmfs("2")
    assert v.fetch_wave_stream(room, 500, 300) == 300
    assert room[:500] == bytes(500)
    assert bytes(room[500:800]) == varnel.render(["dtmf:2"], bits=8).tobytes()[:300]
    with pytest.raises(BufferError):
        v.fetch_wave_stream(b"read-only bytes")


def test_fetch_gives_empty_when_nothing_is_queued_and_none_when_not_generating():
    v = varnel.Varnel()
    assert v.fetch_wave_stream(1000) is None
    assert v.fetch_wave_stream(bytearray(1000)) is None
    v.generate_begin()
    empty = v.fetch_wave_stream(1000)
    assert empty.size == 0
    v.generate_end()
    assert v.fetch_wave_stream(1000) is None


@pytest.mark.parametrize("action,kind,text", [
    (lambda v: v.generate_dtmfs("1"), varnel.ComError, NOT_GENERATING),
    (lambda v: setattr(v, "sample_rate", 0), varnel.ArgumentError,
     "Sample rate out of range: it must be from 1 to 16777216 Hz."),
    (lambda v: (v.generate_begin(), v.generate_pattern("0/x", 100)), varnel.ArgumentError,
     'Tone pattern element 1 "0/x": the duration "x" is not a whole number of milliseconds from 1 to 2147483647.'),
])
def test_errors_carry_the_engines_text_and_code(action, kind, text):
    v = varnel.Varnel()
    with pytest.raises(kind) as caught:
        action(v)
    assert str(caught.value) == text
    assert caught.value.hresult == (varnel.E_INVALIDARG if kind is varnel.ArgumentError else varnel.E_FAIL)
    assert isinstance(caught.value, ValueError if kind is varnel.ArgumentError else RuntimeError)


def test_events_arrive_once_per_request_and_disconnect_stops_them():
    v = stream()
    done, lines = [], []
    handler = v.on_complete.connect(done.append)
    v.on_debug.connect(lambda message, ref_code: lines.append((message, ref_code)))
    ids = [v.generate_dtmfs("12"), v.generate_tone(100, 0, 440), v.generate_tty("HI")]
    pull(v)
    assert done == ids
    assert any(message.endswith("Request completed, requestID:0") for message, _ in lines)
    v.on_complete.disconnect(handler)
    v.generate_silence(10)
    pull(v)
    assert done == ids
    with pytest.raises(ValueError):
        v.on_complete.disconnect(handler)


def test_a_raising_handler_is_reported_and_rendering_goes_on(monkeypatch):
    reported = []
    monkeypatch.setattr(sys, "unraisablehook", reported.append)
    v = stream()
    done = []

    def broken(request_id):
        raise KeyError(request_id)

    v.on_complete.connect(broken)
    v.on_complete.connect(done.append)
    v.generate_dtmfs("1")
    v.generate_dtmfs("2")
    pulled = pull(v)
    assert done == [0, 1]
    assert [type(r.exc_value) for r in reported] == [KeyError, KeyError]
    assert np.array_equal(pulled, varnel.render(["dtmf:1", "dtmf:2"]))


def test_threads_queue_while_another_pulls():
    v = stream()
    keys = ["1", "23", "456", "7890"] * 5
    queued = threading.Event()
    parts = []

    def puller():
        while True:
            part = v.fetch_wave_stream(512)
            if part.size:
                parts.append(part)
            elif queued.is_set() and v.queued_bytes == 0:
                return

    def queuer(chunk):
        for k in chunk:
            v.generate_dtmfs(k)

    reader = threading.Thread(target=puller)
    reader.start()
    writer = threading.Thread(target=queuer, args=(keys,))
    writer.start()
    writer.join()
    queued.set()
    reader.join(timeout=60)
    assert not reader.is_alive()
    assert np.array_equal(np.concatenate(parts), varnel.render([f"dtmf:{k}" for k in keys]))


@pytest.mark.skipif(not varnel.HAVE_SONDIX, reason="built without the SDL destination")
def test_events_from_a_destinations_thread(tmp_path, monkeypatch):
    monkeypatch.setenv("SDL_AUDIODRIVER", "disk")
    monkeypatch.setenv("SDL_DISKAUDIODELAY", "1")
    monkeypatch.setenv("SDL_DISKAUDIOFILE", str(tmp_path / "played.raw"))
    control = varnel.SondixControl(rate=8000, bits=16, samples_per_buffer=512)
    assert control.is_playing, control.error
    assert control.driver == "disk"
    v = varnel.Varnel()
    seen = []
    all_done = threading.Event()

    def complete(request_id):
        seen.append((request_id, threading.get_ident()))
        if len(seen) == 3:
            all_done.set()

    v.on_complete.connect(complete)
    v.destination = control
    v.generate_begin()
    ids = [v.generate_dtmfs("12"), v.generate_silence(50), v.generate_tone(100, 0, 1000)]
    assert control.wait_until_drained(20)
    assert all_done.wait(20)
    v.destination = None
    assert [request_id for request_id, _ in seen] == ids
    assert all(thread != threading.get_ident() for _, thread in seen)
    del control  # closing the device writes out its last buffer
    played = (tmp_path / "played.raw").read_bytes()
    # The device plays silence whenever the queue runs dry, possibly between two requests.
    for request in ["dtmf:12", "tone:100,0,1000"]:
        assert varnel.render([request]).tobytes() in played
