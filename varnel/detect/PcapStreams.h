#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <vector>

#include "varnel/detect/PcmReader.h"
#include "varnel/rtp/Endpoint.h"

namespace Quorvex::VarnelNet::Detect {

// A telephone event of RFC 4733 as its packets carry it: the event code, its first sample and
// the sample after its last (of the stream's clock, counted from the stream's first packet),
// the volume (its level in dBm0 without the sign) and whether a packet with the end bit came.
struct TelephoneEvent {
    std::uint8_t code = 0;
    std::uint64_t first = 0;
    std::uint64_t end = 0;
    std::uint8_t volume = 0;
    bool ended = false;
};

// A block of real-time text (RFC 4103, T.140 in RTP) as its packets carry it: its time (a sample
// of kStreamRate from the stream's first packet) and its UTF-8 characters.
struct TextBlock {
    std::uint64_t first = 0;
    std::string text;
};

// One RTP stream of a capture: a synchronisation source between two UDP endpoints.
struct RtpStream {
    // A packet of G.711 audio: its first sample from the stream's first packet, its payload
    // type (0 mu-law, 8 A-law) and where its codes lie in `codes`.
    struct Chunk {
        std::uint64_t first = 0;
        std::uint8_t payloadType = 0;
        std::size_t offset = 0;
        std::size_t length = 0;
    };

    std::uint32_t ssrc = 0;
    Rtp::Endpoint source;
    Rtp::Endpoint destination;
    int payloadType = -1;      // of the first audio packet; -1 when no packet was G.711
    int eventPayloadType = -1;  // of the first telephone event; -1 when none came
    int textPayloadType = -1;   // T.140's, of the first text block; -1 when none came
    std::uint64_t packets = 0;  // every RTP packet of the stream
    std::vector<Chunk> chunks;  // in arrival order
    std::vector<std::uint8_t> codes;
    std::vector<TelephoneEvent> events;  // by first sample, repeated packets of one event merged
    std::vector<TextBlock> texts;        // by time, a block sent again (RFC 2198 redundancy) kept once
};

// Bytes that are not a capture, refused by the caller as what it took them for.
class NotCapture : public ReadError {
public:
    NotCapture() : ReadError("it is not a pcap file") {}
};

// Whether the bytes open a libpcap savefile (its magic number in either byte order).
bool IsPcap(std::span<const std::uint8_t> first4);
// Whether a file's first byte may begin a savefile's magic number (classic or pcapng): a WAV
// file's never does.
bool MayBePcap(int firstByte);

// The RTP streams of a libpcap classic savefile (either byte order, micro- or nanosecond
// time stamps; link types Ethernet with or without a VLAN tag, Linux cooked capture v1 and v2,
// raw IP) in the order their first packets came. Packets that are not UDP over IPv4 or IPv6,
// IP fragments, and UDP payloads that are not RTP version 2 (or are RTCP) are passed over, as
// is a packet of a stream timed before the stream's first packet. An audio packet is placed by
// its RTP timestamp, so reordered packets land where they belong; a telephone event is a 4-byte
// payload of a dynamic payload type, its packets merged by their timestamp. Any other payload of
// a dynamic type is real-time text at 1000 Hz: RFC 2198 redundant blocks of one dynamic type
// (T.140's) under another, each block placed by its timestamp and kept once, or T.140 alone
// when it is UTF-8; empty blocks and the byte order mark are passed over.
// Throws NotCapture for bytes that open no savefile, ReadError for a pcapng file, a file cut
// inside its header or a record, holding
// a record longer than any snapshot or a link type not read, a stream spanning more than
// kMostSeconds of audio or more than kMostStreams streams.
std::vector<RtpStream> ReadPcapStreams(std::istream& in);

inline constexpr int kStreamRate = 8000;
inline constexpr std::uint64_t kMostSeconds = 4 * 3600;
inline constexpr std::size_t kMostStreams = 256;

// A stream's audio as samples at kStreamRate where full scale is 1.0, from its first packet to
// its last audio sample: the packets in order of their timestamps, silence where none came; where
// two packets overlap, the one starting earlier (the first to arrive of those starting together).
class StreamAudio {
public:
    explicit StreamAudio(const RtpStream& stream);
    // Up to out.size() samples, 0 at the end.
    std::size_t Read(std::span<double> out);

private:
    const RtpStream* stream_;
    std::vector<std::size_t> order_;  // chunks by first sample, arrival order among equals
    std::size_t next_ = 0;            // of order_
    std::uint64_t at_ = 0;            // the sample Read gives next
};

}  // namespace Quorvex::VarnelNet::Detect
