#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Quorvex::VarnelNet {

// The Caller-ID dialects: the line signal, its preamble and its message layouts.
enum class CallerIdStandard : std::uint8_t {
    Bell202 = 0,  // Bell 202 FSK, SDMF/MDMF/raw
    Etsi = 1,     // ETSI EN 300 659: V.23 FSK, MDMF-shaped messages
    Bt = 2,       // BT SIN 227: as ETSI, with the UK preamble (its idle-state alert is Dtas)
    Ntt = 3,      // NTT: V.23 FSK, its own framed 7-bit link layer with a CRC-16
    Dtmf = 4,     // DTMF digits: A number C, or B00C / B10C
};

// What comes before the data.
enum class CallerIdAlert : std::uint8_t {
    None = 0,     // the data alone, as between rings
    Dtas = 1,     // the dual-tone alerting signal and its pause (ETSI, BT)
    OffHook = 2,  // call waiting: the alerting tones, a pause for the acknowledgement, 80 marks
};

enum class CallerIdLayout : std::uint8_t { Sdmf = 0, Mdmf = 1, Raw = 2 };

// What a Caller-ID message says. Texts are zero-terminated narrow strings, null counting as
// empty. An absence reason ('O' unavailable, 'P' private; 0 none) replaces its field.
struct CallerIdContent {
    const char* number = nullptr;
    const char* name = nullptr;
    const char* dateTime = nullptr;  // "MM/DD HH:MM"; empty: the local time (where sent)
    char numberAbsence = 0;
    char nameAbsence = 0;
};

// One step of the alerting part: up to two tones, or silence, for a time.
struct AlertStep {
    double hz[2] = {0.0, 0.0};
    int toneCount = 0;
    double ms = 0.0;
};

// Everything a transmission sends besides its message.
struct CallerIdFrame {
    std::vector<AlertStep> alert;  // tones and pauses before the data
    int seizureBits = 0;           // alternating bits, space first
    int markBits = 0;              // mark bits before the first character
};

// Building a transmission: each function returns an empty text when it succeeds, or why the
// request is refused (and then leaves its output empty).
namespace CallerIdPlan {

std::string_view Name(CallerIdStandard standard);

// Whether the standard defines the alert, and the frame it sends with it.
std::string CheckAlert(CallerIdStandard standard, CallerIdAlert alert);
CallerIdFrame FrameOf(CallerIdStandard standard, CallerIdAlert alert);

// The message, as the octets sent after the preamble; for DTMF the keys, one character each.
// FSK messages end with their check (checksum and a zero octet, or NTT's CRC).
std::string BuildCallerId(CallerIdStandard standard, CallerIdLayout layout, const CallerIdContent& content,
                          std::vector<std::uint8_t>& out);
// The message-waiting indication (Bell SDMF type 0x06; Bell MDMF, ETSI and BT type 0x82).
std::string BuildMessageWaiting(CallerIdStandard standard, CallerIdLayout layout, bool active,
                                std::vector<std::uint8_t>& out);

}  // namespace CallerIdPlan

}  // namespace Quorvex::VarnelNet
