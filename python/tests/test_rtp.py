"""write_pcap() writes the tool's pcap byte for byte, send_rtp() sends the same packets live."""

import socket
import struct

import pytest

import varnel

START = "2024-01-01T00:00:00Z"


def udp_payloads(pcap):
    """The UDP payloads of a pcap of Ethernet frames (IPv4 or IPv6)."""
    payloads, at = [], 24
    while at < len(pcap):
        length = struct.unpack_from("<I", pcap, at + 8)[0]
        frame = pcap[at + 16:at + 16 + length]
        ip = 20 if frame[12:14] == b"\x08\x00" else 40
        payloads.append(frame[14 + ip + 8:])
        at += 16 + length
    return payloads


@pytest.mark.parametrize("kwargs,options", [
    ({}, []),
    ({"encoding": "alaw", "ptime": 30, "rtp_dst": "[::1]:6000"}, ["-e", "alaw", "--ptime", "30", "--rtp-dst", "[::1]:6000"]),
    ({"dtmf_mode": "rfc4733", "tone_events": True, "tty_rtt": True, "dbm0": -12},
     ["--dtmf-mode", "rfc4733", "--tone-events", "--tty-rtt", "--dbm0", "-12"]),
    ({"dtmf_mode": "rfc2833"}, ["--dtmf-mode", "rfc4733"]),
])
def test_write_pcap_equals_the_tools_file(tool, tmp_path, kwargs, options):
    ours, theirs = tmp_path / "ours.pcap", tmp_path / "theirs.pcap"
    requests = ["dtmf:555-0123", "modem:ans:500", "tty:GA"]
    assert varnel.write_pcap(ours, requests, seed=9, pcap_start=START, **kwargs) > 0
    tool("--pcap", str(theirs), "--seed", "9", "--pcap-start", START, *options, *requests)
    assert ours.read_bytes() == theirs.read_bytes()


def test_send_rtp_sends_the_packets_of_the_pcap(tmp_path):
    receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    receiver.bind(("127.0.0.1", 0))
    receiver.settimeout(5)
    requests = ["dtmf:12", "silence:100"]
    sent = varnel.send_rtp("127.0.0.1", receiver.getsockname()[1], requests, seed=4)
    received = [receiver.recv(2048) for _ in range(sent)]
    varnel.write_pcap(tmp_path / "same.pcap", requests, seed=4)
    assert received == udp_payloads((tmp_path / "same.pcap").read_bytes())


@pytest.mark.parametrize("call,error,text", [
    (lambda: varnel.write_pcap("/tmp/never.pcap", ["dtmf:1"], rate=16000), varnel.ArgumentError,
     "rate: G.711 in RTP runs at 8000 Hz: the output is 16000 Hz, G.711 mu-law mono; give rate=8000"),
    (lambda: varnel.write_pcap("/tmp/never.pcap", ["dtmf:1"], encoding="pcm"), varnel.ArgumentError,
     "encoding: RTP carries G.711 here: the output is 8000 Hz, 16-bit mono; give encoding='ulaw' or encoding='alaw'"),
    (lambda: varnel.write_pcap("/tmp/never.pcap", ["dtmf:1"], event_pt=0), varnel.ArgumentError,
     "event_pt: '0' is the audio's payload type (PCMU): give a dynamic type from 96 to 127"),
    (lambda: varnel.write_pcap("/tmp/never.pcap", ["dtmf:1"], ptime=61), varnel.ArgumentError,
     "ptime: '61' is not a whole number of milliseconds from 10 to 60"),
    (lambda: varnel.write_pcap("/no/such/dir.pcap", ["dtmf:1"]), varnel.ComError,
     "Unable to create or write this pcap file. (No such file or directory)"),
    (lambda: varnel.send_rtp("no-such-host.invalid", 5004, ["dtmf:1"]), varnel.ArgumentError, "does not resolve"),
])
def test_rtp_refusals(call, error, text):
    with pytest.raises(error) as caught:
        call()
    assert text in str(caught.value)
