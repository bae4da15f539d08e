"""varnel: telephony signal synthesis (DTMF, tones, Caller-ID FSK, MF, TTY) into numpy arrays.

    import varnel
    samples = varnel.render(["dtmf:555", "silence:200", "cid:5551234|JOHN DOE|12/25 10:30"])
    varnel.write_wav("call.wav", ["dtmf:555-0123"], rate=8000)
    varnel.write_pcap("call.pcap", ["dtmf:555-0123"], seed=1)      # RTP, G.711 mu-law
    varnel.send_rtp("127.0.0.1", 5004, ["dtmf:555-0123"])          # the same packets, live

    v = varnel.Varnel()
    v.sample_rate = 8000
    v.on_complete.connect(lambda request_id: print("done", request_id))
    v.generate_begin()
    v.generate_dtmfs("123")
    block = v.fetch_wave_stream(1600)   # numpy int16 (16-bit PCM) or uint8 (8-bit, G.711)

Refusals raise ArgumentError (a ValueError) or ComError (a RuntimeError), with the engine's
text and .hresult.
"""

import enum as _enum

from . import _varnel
from ._varnel import ArgumentError, ComError, Error, Event, E_FAIL, E_INVALIDARG, HAVE_SONDIX, __version__

__all__ = [
    "ArgumentError", "BaudotRate", "CallerIdAbsence", "CidAlert", "CidBitTiming", "CidFormat",
    "CidStandard", "ComError", "E_FAIL", "E_INVALIDARG", "Encoding", "Error", "Event", "HAVE_SONDIX",
    "ModemTone", "OPTIONS", "TtyMode", "Varnel", "render", "send_rtp", "write_pcap", "write_wav",
]


class CidFormat(_enum.IntEnum):
    """CID_FORMAT: layout of Caller-ID messages."""
    CID_SDMF = 0
    CID_MDMF = 1
    CID_RAW = 2


class BaudotRate(_enum.IntEnum):
    """BAUDOT_RATE: TTY bit rates."""
    BR_45_45_Baud = 0
    BR_50_Baud = 1
    BR_56_92_Baud = 2
    BR_74_20_Baud = 3
    BR_100_Baud = 4
    BR_110_Baud = 5


class TtyMode(_enum.IntEnum):
    """TTY_MODE: TTY codings (the engine also takes 3 and 4, Baudot with other figures tables)."""
    Baudot_Mode = 0
    ASCII7_Mode = 1
    ASCII8_Mode = 2


class CidBitTiming(_enum.IntEnum):
    """CID_BIT_TIMING: how Caller-ID bits are laid on samples."""
    CBT_WholeSamples = 0
    CBT_Exact = 1


class Encoding(_enum.IntEnum):
    """ENCODING_TYPE: linear PCM or one ITU-T G.711 byte a sample."""
    ENC_PCM = 0
    ENC_MuLaw = 1
    ENC_ALaw = 2


class CidStandard(_enum.IntEnum):
    """CID_STANDARD: Caller-ID dialects."""
    CS_Bell202 = 0
    CS_ETSI = 1
    CS_BT = 2
    CS_NTT = 3
    CS_DTMF = 4


class CidAlert(_enum.IntEnum):
    """CID_ALERT: what goes before the Caller-ID data."""
    CA_None = 0
    CA_DTAS = 1
    CA_OffHook = 2


class CallerIdAbsence(_enum.IntEnum):
    """CallerIdAbsence: why a Caller-ID number or name is not sent."""
    NONE = 0
    Unavailable = ord("O")
    Private = ord("P")


class ModemTone(_enum.IntEnum):
    """MODEM_TONE: the tones of modems and fax machines."""
    MT_CNG = 0
    MT_ANS = 1
    MT_ANS_PR = 2
    MT_ANSAM = 3
    MT_ANSAM_PR = 4


def _enum_property(name, kind):
    base = getattr(_varnel._Varnel, name)

    def get(self):
        value = base.__get__(self)
        try:
            return kind(value)
        except ValueError:
            return value

    def put(self, value):
        if isinstance(value, str):
            _varnel._Varnel.set(self, name, value)   # a word, as render() takes it: "alaw", "etsi"
        else:
            base.__set__(self, int(value))

    return property(get, put, doc=base.__doc__)


class Varnel(_varnel._Varnel):
    """Quorvex.VarnelNet.Varnel, the telephony signal component.

    Properties (C++ names): sample_rate (SampleRate), bits_per_sample (BitsPerSample),
    encoding (Encoding), amplitude (Amplitude), dtmf_tone_time (DTMF_ToneTime),
    dtmf_break_time (DTMF_BreakTime), dtmf_pause_time (DTMF_PauseTime), dtmf_twist
    (DTMF_Twist), tty_mode (TTY_Mode), tty_rate (TTY_Rate), tty_figs_after_space
    (TTY_FigsAfterSpace), cid_format (CID_Format), cid_bit_timing (CID_BitTiming),
    cid_standard (CID_Standard), cid_alert (CID_Alert), tone_modulation_depth
    (TONE_ModulationDepth), tone_level_per_tone (TONE_LevelPerTone), destination
    (Destination).

    Methods: generate_begin (GenerateBegin), generate_end (GenerateEnd), generate_dtmfs
    (GenerateDTMFs), generate_silence (GenerateSilence), generate_tone (GenerateTone),
    generate_tty (GenerateTTY), generate_tty_ex (GenerateTTYEx), generate_caller_id
    (GenerateCallerID), generate_vmwi (GenerateVMWI), generate_mf (GenerateMF), generate_r2mf
    (GenerateR2MF), generate_pattern (GeneratePattern), generate_tone_plan
    (GenerateTonePlan), generate_sit (GenerateSIT), generate_modem_tone (GenerateModemTone),
    generate_script (GenerateScript), fetch_wave_stream (FetchWaveStream), set (Set), dispose
    (Dispose); the property queued_bytes (QueuedBytes).

    Keyword properties take their enumeration or its word ("alaw", "etsi"); set() takes any
    setting by the names render() takes. The class starts from the component's defaults,
    render() and write_wav() from the tool's (see render).

    Events: on_complete (OnComplete, fn(request_id)) and on_debug (OnDebug, fn(message,
    ref_code)). They are raised on the thread that renders (the caller of fetch_wave_stream
    or generate_end, or a destination's thread); the GIL is released while the component
    works.
    """

    cid_format = _enum_property("cid_format", CidFormat)
    tty_rate = _enum_property("tty_rate", BaudotRate)
    tty_mode = _enum_property("tty_mode", TtyMode)
    cid_bit_timing = _enum_property("cid_bit_timing", CidBitTiming)
    encoding = _enum_property("encoding", Encoding)
    cid_standard = _enum_property("cid_standard", CidStandard)
    cid_alert = _enum_property("cid_alert", CidAlert)

    def __init__(self):
        super().__init__()
        self._destination = None

    @property
    def destination(self):
        """Destination: the bound SondixControl, or None."""
        return self._destination

    @destination.setter
    def destination(self, control):
        if not HAVE_SONDIX:
            raise ComError("this build has no playback destination")
        self._set_destination(control)
        self._destination = control

    def generate_caller_id(self, number, name="", date_time="",
                           number_absence=CallerIdAbsence.NONE, name_absence=CallerIdAbsence.NONE):
        """GenerateCallerID(Number, Name, DataTime[, NumberAbsence, NameAbsence]) -> request id."""
        return super().generate_caller_id(number, name, date_time, int(number_absence), int(name_absence))

    def generate_modem_tone(self, kind, duration_ms=3300):
        """GenerateModemTone(Kind, DurationMs) -> request id."""
        return super().generate_modem_tone(int(kind), duration_ms)

    def set(self, name, value):
        """Set(SettingSpec, SettingValue): a setting by property name ("SampleRate"), the tool's
        option ("rate", "cid-standard") or its keyword form ("cid_standard"), with a value as the
        tool takes it ("8000", "etsi") or an enumeration."""
        super().set(name, _setting_text(name, value))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.dispose()
        return False


if HAVE_SONDIX:
    SondixControl = _varnel.SondixControl
    __all__.append("SondixControl")


def _setting_text(option, value):
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, _enum.Enum):
        word = _varnel._keyword_of(option, int(value))
        return word if word else str(int(value))
    return str(value)


def _requests(requests):
    """A script (one text) as it is; a list of requests, each checked to be a text."""
    if isinstance(requests, str):
        if not requests.strip():
            raise ValueError("no requests to render")
        return requests
    requests = list(requests)
    if not requests:
        raise ValueError("no requests to render")
    for index, request in enumerate(requests, 1):
        if not isinstance(request, str):
            raise ValueError(f"request {index} is {type(request).__name__}, not a text such as 'dtmf:123'")
    return requests


def _settings(rate, bits, encoding, options):
    """The keyword arguments as (name, text) pairs, which the library applies by its option
    registry (OPTIONS): settings, impairments and, for RTP, the session's options."""
    pairs = [("rate", _setting_text("rate", rate)), ("bits", _setting_text("bits", bits)),
             ("encoding", _setting_text("encoding", encoding))]
    pairs += [(name, _setting_text(name, value)) for name, value in options.items()]
    return pairs


# The keyword arguments besides the settings' names: (keyword, target, kind, placeholder,
# default, help) of every impairment and RTP session option, from the library's registry.
OPTIONS = tuple(_varnel._options())


def _level(dbm0):
    return None if dbm0 is None else float(dbm0)


def render(requests, rate=8000, bits=16, encoding="pcm", dbm0=None, max_bytes=1 << 30, labels=False, **settings):
    """Renders requests written as the varnel tool takes them ("dtmf:555", "silence:200",
    "cid:5551234|JOHN DOE|12/25 10:30", "set:cid-standard=etsi", ...), as a list or as one
    script ("dtmf:555 silence:200 # a comment"), into a numpy array: int16 for 16-bit PCM, uint8
    for 8-bit PCM and G.711. The samples are those that `varnel --raw` writes, with the tool's
    defaults (cid_timing="exact", tty_figs_after_space=1), which differ from the class's so that
    real receivers decode them. Settings are the tool's options with '_' for '-' (tty_rate=50,
    cid_standard="etsi", dtmf_twist=2) or the component's property names; so are the
    impairments (snr=20, noise=-30, noise_band="telephone", freq_offset=1.5, fsk_twist=3,
    clip=-10, codec_tandem="2:alaw", dropout="20@500", seed=7; varnel.OPTIONS lists them), and
    mix="plan:us:dial:3000" sounds a second script under the requests (mix_dbm0=-20 its level);
    dbm0 is --dbm0 (each tone at that level). A result larger than max_bytes is refused before
    anything is rendered. Ctrl-C stops a long render with KeyboardInterrupt. With labels=True it returns
    (samples, labels): a dict for every symbol (key, tone, silence, Caller-ID message and byte,
    TTY character) with the keys of `varnel --labels FILE.jsonl`: request, kind, symbol, start
    and end (its first and last sample), and text, hz, index, value, fields where it has them."""
    return _varnel._render(_requests(requests), _settings(rate, bits, encoding, settings), _level(dbm0),
                           int(max_bytes), bool(labels))


def write_wav(path, requests, rate=8000, bits=16, encoding="pcm", dbm0=None, **settings):
    """Writes the requests into a RIFF/WAVE file, as `varnel -o PATH` does (see render): an old
    file is replaced only once the new one is complete, and audio beyond what a WAV file can
    describe (4 GiB) is refused before anything is written."""
    _varnel._write_wav(str(path), _requests(requests), _settings(rate, bits, encoding, settings), _level(dbm0))


def write_pcap(path, requests, rate=8000, encoding="ulaw", dbm0=None, **options):
    """Writes the requests as RTP packets in a libpcap file, as `varnel --pcap PATH` does (G.711
    at 8000 Hz; Ethernet, IPv4 or IPv6, UDP), and returns how many packets it holds. Besides the
    settings of render(), it takes the tool's RTP options with '_' for '-': ptime=20,
    dtmf_mode="rfc4733" (or its older name "rfc2833"), tone_events=True, tty_rtt=True,
    event_pt=101, t140_pt=98, red_pt=100, seed=N (reproducible SSRCs, sequence numbers and
    timestamps), pcap_start (seconds since 1970, "YYYY-MM-DDTHH:MM:SSZ", or "now", the default),
    rtp_src and rtp_dst ("ADDR:PORT", "[IPV6]:PORT").
    An old file is replaced only once the new one is complete."""
    return _varnel._write_pcap(str(path), _requests(requests), _settings(rate, 16, encoding, options), _level(dbm0))


def send_rtp(host, port, requests, rate=8000, encoding="ulaw", dbm0=None, **options):
    """Sends the requests as RTP packets over UDP to host:port, as `varnel --rtp HOST:PORT` does,
    each at its time on the monotonic clock, and returns how many it sent. Takes the options of
    write_pcap (rtp_src binds the sending socket; rtp_dst and pcap_start do not apply). A host
    that does not resolve raises ArgumentError; a destination that answers ICMP port unreachable
    stops the send with ComError. Ctrl-C stops it within a packet time (KeyboardInterrupt), after
    the end of a telephone event sounding then (its last packet with the E bit, three times)."""
    return _varnel._send_rtp(str(host), int(port), _requests(requests), _settings(rate, 16, encoding, options),
                             _level(dbm0))


# The receiver test kit.
import json as _json  # noqa: E402
import os as _os  # noqa: E402


def _shard(shard):
    index, count = shard
    return int(index), int(count)


def _families(families):
    if families is None:
        return []
    if isinstance(families, str):
        raise ValueError("families is a list of family names, not one text")
    return [str(family) for family in families]


def suite(name, folder, seed=0, shard=(1, 1), encoding="pcm", families=None, repeat=1):
    """Writes a receiver test suite into folder, as `varnel suite NAME -o DIR` does: every file as
    NAME.wav with its labels as NAME.jsonl, and manifest.csv. seed makes the noise; shard=(I, N)
    writes files I, I + N, ... (the manifest still lists them all); encoding is "pcm", "ulaw" or
    "alaw"; families, a list of names, keeps only those; repeat writes each file that many times
    with as many seeds (as --repeat). Returns how many files it wrote."""
    index, count = _shard(shard)
    return _varnel._suite(str(name), _os.fspath(folder), int(seed), index, count, str(encoding), _families(families),
                          int(repeat))


def score(folder, receiver, pattern=None, families=None, timeout=None, key_map=None, jobs=1):
    """Runs the receiver on every file of a folder written by suite() or corpus(), as `varnel score
    DIR -- COMMAND` does, and returns the report `varnel score --json` prints, as a dict.
    receiver is the command as a list, "{}" in an argument standing for the file (without one,
    the file is added last); pattern is a regular expression read from each line of its output
    (its first group when it has one, or its named groups, as --pattern reads them); without it
    the keypad characters of the output count. The report has the measures of --json too.
    timeout, in seconds, kills the receiver's process group on a file that takes longer;
    key_map ("10=*,11=#") reads a symbol the receiver prints as a key; jobs runs the receiver on
    that many files at once, the report the same as with one. The
    files the receiver failed on (a failure exit, a signal, the timeout, output past 1 MiB, a
    program that cannot be run) are the report's "receiver_failures", which is there only when
    there are some; they raise nothing."""
    if isinstance(receiver, str):
        raise ValueError("receiver is the command as a list of arguments, not one text")
    return _json.loads(_varnel._score(_os.fspath(folder), [str(arg) for arg in receiver],
                                      "" if pattern is None else str(pattern), _families(families),
                                      "" if timeout is None else repr(float(timeout)),
                                      "" if key_map is None else str(key_map), str(jobs)))


def corpus(recipe, folder, shard=(1, 1)):
    """Writes a labelled corpus of DTMF clips into folder, as `varnel corpus RECIPE.json -o DIR`
    does; recipe is the recipe as a dict or as JSON text. Returns how many clips it wrote."""
    text = recipe if isinstance(recipe, str) else _json.dumps(recipe)
    index, count = _shard(shard)
    return _varnel._corpus(text, _os.fspath(folder), index, count)


__all__ += ["corpus", "score", "suite"]


def _heard(lines):
    return [_json.loads(line) for line in lines.splitlines()]


class DtmfDetector:
    """The library's streaming DTMF receiver, as `varnel detect` runs it, at a rate from 8000 to
    48000 Hz. feed(samples) takes the next samples (a numpy array: int16, or numbers with full
    scale 1.0) and returns the keys that ended within them; finish() ends the input and returns
    a key still sounding. Keys come as dicts in the labels' schema, those of `varnel detect
    --json` (kind "dtmf", symbol "key", start and end: its first and last sample, counted from
    the first sample fed; text the key, hz its nominal frequencies). Blocks of any size give
    the keys feeding all at once gives."""

    def __init__(self, rate):
        self._listener = _varnel._KeyListener(int(rate))

    def feed(self, samples):
        import numpy as _np
        return _heard(self._listener.feed(_np.asarray(samples)))

    def finish(self):
        return _heard(self._listener.finish())


class ToneDetector:
    """The library's streaming MF and tone receivers, as `varnel detect` runs them, at a rate from
    8000 to 48000 Hz: MF R1 and R2 signals (kind "mf", "r2f" or "r2b", symbol "key"), the
    call-progress tones of the country plans (kind "plan", each tone and silence, field "plans"
    the plans they fit, best first), SITs (kind "sit", field "code") and modem and fax tones
    (kind "modem", field "tone"), as dicts in the labels' schema, those of `varnel detect
    --json`. feed(samples) and finish() as DtmfDetector's."""

    def __init__(self, rate):
        self._listener = _varnel._ToneListener(int(rate))

    def feed(self, samples):
        import numpy as _np
        return _heard(self._listener.feed(_np.asarray(samples)))

    def finish(self):
        return _heard(self._listener.finish())


class CallerIdDecoder:
    """The library's streaming Caller-ID receiver (Bell 202, ETSI, BT and NTT FSK, DTMF), as
    `varnel detect` runs it, fed as DtmfDetector is. feed and finish return the messages and
    dual-tone alerts reported as dicts in the labels' schema, kind "cid": a message has symbol
    "message", text its layout and fields its decoded fields (none when its check failed) with
    "standard", "alert", "checksum" and "level_dbm0"; an alert symbol "tone". standard, one of
    "bell", "etsi", "bt", "ntt" or "dtmf", listens for that standard only (as `varnel detect
    --cid-standard` does); None for all."""

    def __init__(self, rate, standard=None):
        self._listener = _varnel._CallerIdListener(int(rate), standard)

    def feed(self, samples):
        import numpy as _np
        return _heard(self._listener.feed(_np.asarray(samples)))

    def finish(self):
        return _heard(self._listener.finish())



class TtyDetector:
    """The library's streaming TTY receiver (Baudot or ASCII at 45.45 to 110 bit/s, 1400/1800
    Hz), as `varnel detect` runs it, fed as DtmfDetector is. Each message heard comes as its
    character frames, dicts in the labels' schema (kind "tty", symbol "character", text the
    character or "FIGS"/"LTRS", value its code, index its position), once the carrier has been
    away for 100 ms or at finish()."""

    def __init__(self, rate):
        self._listener = _varnel._TextListener(int(rate))

    def feed(self, samples):
        import numpy as _np
        return _heard(self._listener.feed(_np.asarray(samples)))

    def finish(self):
        return _heard(self._listener.finish())


def detect(samples, rate):
    """Everything `varnel detect --json` hears in the samples, in its order: the DTMF keys (see
    DtmfDetector), the MF signals, the tones (see ToneDetector), the Caller-ID (see
    CallerIdDecoder), then the frames of the TTY messages (see TtyDetector), with the tool's
    rules across them: an MF signal a DTMF key heard with it explains is left out, and so is a
    tone under a TTY message (its carrier)."""
    import numpy as _np
    return _heard(_varnel._detect(_np.asarray(samples), int(rate)))


__all__ += ["CallerIdDecoder", "DtmfDetector", "ToneDetector", "TtyDetector", "detect"]
