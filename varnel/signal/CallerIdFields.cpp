#include "varnel/signal/CallerIdFields.h"

#include <algorithm>
#include <cstdio>

#include "varnel/signal/NttMessage.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr std::uint8_t kSdmfCallerId = 0x04;
constexpr std::uint8_t kSdmfMessageWaiting = 0x06;
constexpr std::uint8_t kMdmfCallerId = 0x80;
constexpr std::uint8_t kMdmfMessageWaiting = 0x82;
constexpr std::size_t kDateDigits = 8;

std::string Text(std::span<const std::uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string ParameterName(std::uint8_t type) {
    switch (type) {
        case 0x01: return "date";
        case 0x02: return "number";
        case 0x04: return "number absence";
        case 0x07: return "name";
        case 0x08: return "name absence";
        case 0x0B: return "message waiting";
        default: break;
    }
    char unnamed[16];
    std::snprintf(unnamed, sizeof unnamed, "parameter 0x%02X", type);
    return unnamed;
}

std::string ParameterValue(std::uint8_t type, std::span<const std::uint8_t> value) {
    if (type == 0x0B) return !value.empty() && value[0] != 0 ? "on" : "off";
    return Text(value);
}

// type, length, value ... until the body ends.
void ReadParameters(std::span<const std::uint8_t> body, std::vector<CallerIdField>& fields) {
    while (body.size() >= 2) {
        const std::uint8_t type = body[0];
        const std::size_t length = std::min<std::size_t>(body[1], body.size() - 2);
        const std::span<const std::uint8_t> value = body.subspan(2, length);
        fields.push_back({ParameterName(type), ParameterValue(type, value)});
        body = body.subspan(2 + length);
    }
}

// The body of an FSK message: after the type and length, within the length.
std::span<const std::uint8_t> Body(std::span<const std::uint8_t> message) {
    if (message.size() < 2) return {};
    return message.subspan(2, std::min<std::size_t>(message[1], message.size() - 2));
}

DecodedCallerId DecodeFsk(std::span<const std::uint8_t> message) {
    DecodedCallerId decoded;
    if (message.empty()) return {"raw", {}};
    const std::span<const std::uint8_t> body = Body(message);
    switch (message[0]) {
        case kSdmfCallerId:
            decoded.layout = "SDMF";
            decoded.fields.push_back({"date", Text(body.first(std::min(body.size(), kDateDigits)))});
            if (body.size() > kDateDigits) decoded.fields.push_back({"number", Text(body.subspan(kDateDigits))});
            break;
        case kSdmfMessageWaiting:
            decoded.layout = "SDMF";
            decoded.fields.push_back({"message waiting", !body.empty() && body[0] == 0x42 ? "on" : "off"});
            break;
        case kMdmfCallerId:
        case kMdmfMessageWaiting:
            decoded.layout = "MDMF";
            ReadParameters(body, decoded.fields);
            break;
        default: decoded.layout = "raw"; break;
    }
    return decoded;
}

// DLE SOH header DLE STX, then the body with DLE doubled, up to DLE ETX; parity stripped.
DecodedCallerId DecodeNtt(std::span<const std::uint8_t> frame) {
    std::vector<std::uint8_t> body;
    std::size_t i = 5;
    for (; i < frame.size(); ++i) {
        const std::uint8_t octet = frame[i] & 0x7F;
        if (octet == NttMessage::kDle) {
            if (i + 1 >= frame.size() || (frame[i + 1] & 0x7F) != NttMessage::kDle) break;
            ++i;
        }
        body.push_back(octet);
    }
    DecodedCallerId decoded{"NTT", {}};
    ReadParameters(Body(body), decoded.fields);
    return decoded;
}

// A number C, or B00C (unavailable) / B10C (private); other keys are raw.
DecodedCallerId DecodeDtmf(std::span<const std::uint8_t> keys) {
    const std::string text = Text(keys);
    DecodedCallerId decoded{"DTMF", {}};
    if (text == "B00C" || text == "B10C") {
        decoded.fields.push_back({"number absence", text == "B10C" ? "P" : "O"});
    } else if (text.size() >= 2 && text.front() == 'A' && text.back() == 'C') {
        decoded.fields.push_back({"number", text.substr(1, text.size() - 2)});
    } else {
        decoded.layout = "raw";
    }
    return decoded;
}

}  // namespace

DecodedCallerId DecodeCallerId(CallerIdStandard standard, std::span<const std::uint8_t> message) {
    switch (standard) {
        case CallerIdStandard::Ntt: return DecodeNtt(message);
        case CallerIdStandard::Dtmf: return DecodeDtmf(message);
        case CallerIdStandard::Bell202:
        case CallerIdStandard::Etsi:
        case CallerIdStandard::Bt: break;
    }
    return DecodeFsk(message);
}

}  // namespace Quorvex::VarnelNet
