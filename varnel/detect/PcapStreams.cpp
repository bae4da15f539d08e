#include "varnel/detect/PcapStreams.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>
#include <optional>

#include "varnel/detect/RtpPacket.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/rtp/ByteOrder.h"
#include "varnel/rtp/DatagramFramer.h"
#include "varnel/rtp/PcapSavefile.h"
#include "varnel/signal/G711.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

using Rtp::GetBig16;

constexpr std::uint32_t kMagicNanoseconds = 0xA1B23C4D;
constexpr std::uint32_t kMagicNg = 0x0A0D0D0A;
constexpr std::uint32_t kLongestRecord = 262144;  // libpcap's largest snapshot length
constexpr std::size_t kMergeWindow = 8;            // events and text blocks looked back at for a packet's
constexpr std::uint64_t kTextRate = 1000;          // T.140's clock
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The link types read: their number in the file header.
constexpr std::uint32_t kLinkNull = 0;
constexpr std::uint32_t kLinkRaw = 101;
constexpr std::uint32_t kLinkCooked = 113;
constexpr std::uint32_t kLinkIpv4 = 228;
constexpr std::uint32_t kLinkIpv6 = 229;
constexpr std::uint32_t kLinkCooked2 = 276;

using Framer = Rtp::DatagramFramer;

std::uint32_t Get32(const std::uint8_t* at, bool big) { return big ? Rtp::GetBig32(at) : Rtp::GetLittle32(at); }

bool Read(std::istream& in, std::uint8_t* to, std::size_t count) {
    in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(in.gcount()) == count;
}

struct Datagram {
    Rtp::Endpoint source;
    Rtp::Endpoint destination;
    std::span<const std::uint8_t> payload;
};

// The IP packet's UDP datagram; nothing for another protocol, a fragment or a packet cut short.
std::optional<Datagram> Udp(std::span<const std::uint8_t> ip) {
    if (ip.empty()) return std::nullopt;
    Datagram datagram;
    std::span<const std::uint8_t> udp;
    if (ip[0] >> 4 == 4 && ip.size() >= Framer::kIpv4Bytes) {
        const std::size_t header = (ip[0] & 0x0F) * 4u;
        const std::size_t total = GetBig16(&ip[2]);
        const bool fragment = (GetBig16(&ip[6]) & 0x3FFF) != 0;  // more fragments, or an offset
        if (header < Framer::kIpv4Bytes || total < header || total > ip.size() || fragment || ip[9] != Framer::kUdpProtocol) {
            return std::nullopt;
        }
        std::copy_n(&ip[12], 4, datagram.source.address.begin());
        std::copy_n(&ip[16], 4, datagram.destination.address.begin());
        udp = ip.subspan(header, total - header);
    } else if (ip[0] >> 4 == 6 && ip.size() >= Framer::kIpv6Bytes) {
        const std::size_t length = GetBig16(&ip[4]);
        if (ip[6] != Framer::kUdpProtocol || Framer::kIpv6Bytes + length > ip.size()) return std::nullopt;
        datagram.source.ipv6 = datagram.destination.ipv6 = true;
        std::copy_n(&ip[8], 16, datagram.source.address.begin());
        std::copy_n(&ip[24], 16, datagram.destination.address.begin());
        udp = ip.subspan(Framer::kIpv6Bytes, length);
    } else {
        return std::nullopt;
    }
    if (udp.size() < Framer::kUdpBytes) return std::nullopt;
    const std::size_t length = GetBig16(&udp[4]);
    if (length < Framer::kUdpBytes || length > udp.size()) return std::nullopt;
    datagram.source.port = GetBig16(&udp[0]);
    datagram.destination.port = GetBig16(&udp[2]);
    datagram.payload = udp.subspan(Framer::kUdpBytes, length - Framer::kUdpBytes);
    return datagram;
}

// The IP packet a frame of the link type carries; empty for a frame holding something else.
std::span<const std::uint8_t> IpOf(std::span<const std::uint8_t> frame, std::uint32_t linkType) {
    std::size_t at = 0;
    std::uint16_t protocol = 0;
    if (linkType == Rtp::PcapSavefile::kLinkTypeEthernet) {
        at = 12;
        while (at + 2 <= frame.size() && (GetBig16(&frame[at]) == 0x8100 || GetBig16(&frame[at]) == 0x88A8)) at += 4;  // VLAN tags
        if (at + 2 > frame.size()) return {};
        protocol = GetBig16(&frame[at]);
        at += 2;
    } else if (linkType == kLinkCooked || linkType == kLinkCooked2) {
        at = linkType == kLinkCooked ? 16 : 20;
        if (frame.size() < at) return {};
        protocol = GetBig16(&frame[linkType == kLinkCooked ? 14 : 0]);
    } else {
        at = linkType == kLinkNull ? 4 : 0;  // the null link's address family, in the capturing host's order
        if (frame.size() <= at) return {};
        protocol = frame[at] >> 4 == 6 ? Framer::kEtherTypeIpv6 : Framer::kEtherTypeIpv4;
    }
    if (protocol != Framer::kEtherTypeIpv4 && protocol != Framer::kEtherTypeIpv6) return {};
    return frame.subspan(at);
}

class Streams {
public:
    void Add(const Datagram& datagram) {
        const std::optional<RtpPacket> packet = ReadRtp(datagram.payload);
        if (!packet) return;
        RtpStream& stream = Find(packet->ssrc, datagram);
        ++stream.packets;
        if (stream.packets == 1) origins_[index_] = packet->timestamp;
        const std::int64_t offset = static_cast<std::int32_t>(packet->timestamp - origins_[index_]);
        if (offset < 0) return;
        if (IsAudio(*packet)) {
            Audio(stream, static_cast<std::uint64_t>(offset), packet->payloadType, packet->payload);
        } else if (IsTelephoneEvent(*packet) && stream.textPayloadType < 0) {
            Event(stream, static_cast<std::uint64_t>(offset), packet->payloadType, packet->payload);
        } else if (packet->payloadType >= 96) {
            Text(stream, static_cast<std::uint64_t>(offset), *packet);
        }
    }

    std::vector<RtpStream> Take() {
        for (RtpStream& stream : streams_) {
            std::stable_sort(stream.events.begin(), stream.events.end(),
                             [](const TelephoneEvent& a, const TelephoneEvent& b) { return a.first < b.first; });
            std::stable_sort(stream.texts.begin(), stream.texts.end(), [](const TextBlock& a, const TextBlock& b) { return a.first < b.first; });
        }
        return std::move(streams_);
    }

private:
    RtpStream& Find(std::uint32_t ssrc, const Datagram& datagram) {
        for (index_ = 0; index_ < streams_.size(); ++index_) {
            const RtpStream& s = streams_[index_];
            if (s.ssrc == ssrc && s.source == datagram.source && s.destination == datagram.destination) return streams_[index_];
        }
        if (streams_.size() == kMostStreams) throw ReadError("it holds more than " + std::to_string(kMostStreams) + " RTP streams");
        RtpStream& stream = streams_.emplace_back();
        stream.ssrc = ssrc;
        stream.source = datagram.source;
        stream.destination = datagram.destination;
        origins_.push_back(0);
        return stream;
    }

    static void Budget(const RtpStream& stream, std::uint64_t end) {
        if (end > kMostSeconds * kStreamRate) {
            throw ReadError("its stream " + Hex(stream.ssrc) + " spans more than " + std::to_string(kMostSeconds / 3600) + " hours");
        }
    }

    static void Audio(RtpStream& stream, std::uint64_t first, std::uint8_t payloadType, std::span<const std::uint8_t> payload) {
        Budget(stream, first + payload.size());
        if (stream.payloadType < 0) stream.payloadType = payloadType;
        stream.chunks.push_back({first, payloadType, stream.codes.size(), payload.size()});
        stream.codes.insert(stream.codes.end(), payload.begin(), payload.end());
    }

    // Packets of one event share its timestamp: the longest duration and any end bit are kept.
    // They follow each other, so only the last few events are looked at for the one a packet
    // belongs to (a packet reordered past them starts an event again).
    static void Event(RtpStream& stream, std::uint64_t first, std::uint8_t payloadType, std::span<const std::uint8_t> payload) {
        const std::uint64_t end = first + GetBig16(&payload[2]);
        Budget(stream, end);
        if (stream.eventPayloadType < 0) stream.eventPayloadType = payloadType;
        const auto last = stream.events.rbegin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(stream.events.size(), kMergeWindow));
        auto same = std::find_if(stream.events.rbegin(), last, [&](const TelephoneEvent& e) { return e.first == first; });
        if (same == last) {
            stream.events.push_back({payload[0], first, end, static_cast<std::uint8_t>(payload[1] & 0x3F), false});
            same = stream.events.rbegin();
        }
        same->end = std::max(same->end, end);
        same->ended = same->ended || (payload[1] & 0x80) != 0;
    }

    // A block of a text packet: how many ticks before the packet's timestamp it was new, its bytes.
    struct Block {
        std::uint32_t age = 0;
        std::size_t length = 0;
        std::span<const std::uint8_t> bytes;
    };
    static constexpr std::size_t kMostBlocks = 16;

    // The blocks of a text packet, oldest first: RFC 2198 headers (4 bytes each while the F bit
    // is set, then one of a byte) naming one dynamic payload type, T.140's, under the packet's
    // own; else the whole payload as one block of the packet's type when it is UTF-8. Returns how
    // many, 0 when it is neither; t140 becomes the type of their text.
    static std::size_t Blocks(const RtpPacket& packet, std::array<Block, kMostBlocks>& blocks, int& t140) {
        const std::span<const std::uint8_t> payload = packet.payload;
        std::size_t at = 0, count = 0, lengths = 0;
        int type = -1;
        bool redundant = true;
        while (redundant && at < payload.size() && (payload[at] & 0x80) != 0) {
            const int blockType = payload[at] & 0x7F;
            redundant = at + 4 <= payload.size() && count + 1 < kMostBlocks && (type < 0 || blockType == type);
            if (!redundant) break;
            type = blockType;
            const std::size_t length = static_cast<std::size_t>(payload[at + 2] & 0x03) << 8 | payload[at + 3];
            blocks[count++] = {static_cast<std::uint32_t>(GetBig16(&payload[at + 1]) >> 2), length, {}};
            lengths += length;
            at += 4;
        }
        if (redundant && at < payload.size()) {
            const int primary = payload[at] & 0x7F;
            if ((type < 0 || primary == type) && primary >= 96 && primary != packet.payloadType && at + 1 + lengths <= payload.size()) {
                std::size_t from = at + 1;
                for (std::size_t i = 0; i < count; ++i) {
                    blocks[i].bytes = payload.subspan(from, blocks[i].length);
                    from += blocks[i].length;
                }
                blocks[count++] = {0, payload.size() - from, payload.subspan(from)};
                t140 = primary;
                return count;
            }
        }
        const std::string text(payload.begin(), payload.end());
        if (Utf16ToUtf8(Utf8ToUtf16(text)) != text) return 0;  // not UTF-8
        blocks[0] = {0, payload.size(), payload};
        t140 = packet.payloadType;
        return 1;
    }

    static void Text(RtpStream& stream, std::uint64_t offset, const RtpPacket& packet) {
        std::array<Block, kMostBlocks> blocks{};
        int t140 = -1;
        const std::size_t count = Blocks(packet, blocks, t140);
        for (std::size_t i = 0; i < count; ++i) {
            std::string text(blocks[i].bytes.begin(), blocks[i].bytes.end());
            for (std::size_t bom; (bom = text.find(kByteOrderMark)) != std::string::npos;) text.erase(bom, kByteOrderMark.size());
            if (text.empty() || blocks[i].age > offset) continue;
            const std::uint64_t first = (offset - blocks[i].age) * (kStreamRate / kTextRate);
            Budget(stream, first);
            const auto last = stream.texts.rbegin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(stream.texts.size(), kMergeWindow));
            if (std::find_if(stream.texts.rbegin(), last, [&](const TextBlock& b) { return b.first == first; }) != last) continue;
            if (stream.textPayloadType < 0) stream.textPayloadType = t140;
            stream.texts.push_back({first, std::move(text)});
        }
    }

    static std::string Hex(std::uint32_t value) {
        std::array<char, 11> text{};
        std::snprintf(text.data(), text.size(), "0x%08X", value);
        return text.data();
    }

    std::vector<RtpStream> streams_;
    std::vector<std::uint32_t> origins_;  // each stream's first RTP timestamp
    std::size_t index_ = 0;               // of the stream Find returned
};

}  // namespace

bool IsPcap(std::span<const std::uint8_t> first4) {
    if (first4.size() < 4) return false;
    for (const bool big : {false, true}) {
        const std::uint32_t magic = Get32(first4.data(), big);
        if (magic == Rtp::PcapSavefile::kMagicMicroseconds || magic == kMagicNanoseconds) return true;
    }
    return false;
}

bool MayBePcap(int firstByte) { return firstByte == 0xD4 || firstByte == 0xA1 || firstByte == 0x4D || firstByte == 0x0A; }

std::vector<RtpStream> ReadPcapStreams(std::istream& in) {
    std::array<std::uint8_t, Rtp::PcapSavefile::kHeaderBytes> header{};
    const bool whole = Read(in, header.data(), header.size());
    if (Get32(header.data(), false) == kMagicNg) throw ReadError("it is a pcapng file: save it as pcap (editcap -F pcap)");
    if (!IsPcap(header)) throw NotCapture();
    if (!whole) throw ReadError("it is cut inside its pcap header");
    const bool big = Get32(header.data(), true) == Rtp::PcapSavefile::kMagicMicroseconds || Get32(header.data(), true) == kMagicNanoseconds;
    const std::uint32_t linkType = Get32(&header[20], big) & 0x0FFFFFFF;  // the top bits hold FCS flags
    if (linkType != Rtp::PcapSavefile::kLinkTypeEthernet && linkType != kLinkNull && linkType != kLinkRaw && linkType != kLinkCooked &&
        linkType != kLinkIpv4 && linkType != kLinkIpv6 && linkType != kLinkCooked2) {
        throw ReadError("its link type " + std::to_string(linkType) + " is not read (Ethernet, Linux cooked, raw IP and null are)");
    }
    Streams streams;
    std::vector<std::uint8_t> frame;
    std::array<std::uint8_t, Rtp::PcapSavefile::kRecordHeaderBytes> record{};
    for (std::uint64_t count = 1;; ++count) {
        in.read(reinterpret_cast<char*>(record.data()), record.size());
        if (in.gcount() == 0) break;
        const std::string which = "its record " + std::to_string(count);
        if (static_cast<std::size_t>(in.gcount()) != record.size()) throw ReadError(which + " is cut inside its header");
        const std::uint32_t length = Get32(&record[8], big);
        if (length > kLongestRecord) throw ReadError(which + " claims " + std::to_string(length) + " bytes, more than any capture holds");
        frame.resize(length);
        if (!Read(in, frame.data(), length)) throw ReadError(which + " is cut short");
        if (const std::optional<Datagram> datagram = Udp(IpOf(frame, linkType))) streams.Add(*datagram);
    }
    return streams.Take();
}

StreamAudio::StreamAudio(const RtpStream& stream) : stream_(&stream), order_(stream.chunks.size()) {
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) { return stream.chunks[a].first < stream.chunks[b].first; });
}

std::size_t StreamAudio::Read(std::span<double> out) {
    std::size_t done = 0;
    while (done < out.size() && next_ < order_.size()) {
        const RtpStream::Chunk& chunk = stream_->chunks[order_[next_]];
        if (chunk.first + chunk.length <= at_) {
            ++next_;
        } else if (chunk.first > at_) {
            const std::size_t silence = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.first - at_, out.size() - done));
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(done), silence, 0.0);
            done += silence;
            at_ += silence;
        } else {
            const std::size_t from = static_cast<std::size_t>(at_ - chunk.first);
            const std::size_t count = std::min(chunk.length - from, out.size() - done);
            const std::uint8_t* codes = stream_->codes.data() + chunk.offset + from;
            for (std::size_t i = 0; i < count; ++i) {
                out[done + i] = (chunk.payloadType == 0 ? LinearFromMuLaw(codes[i]) : LinearFromALaw(codes[i])) / 32768.0;
            }
            done += count;
            at_ += count;
        }
    }
    return done;
}

}  // namespace Quorvex::VarnelNet::Detect
