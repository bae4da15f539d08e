#include "varnel/signal/CallerIdStandard.h"

#include <cstring>
#include <span>

#include "varnel/signal/CallerIdMessage.h"
#include "varnel/signal/DtmfKeypad.h"
#include "varnel/signal/NttMessage.h"

namespace Quorvex::VarnelNet::CallerIdPlan {

namespace {

// The dual-tone alerting signal and the subscriber alerting signal.
constexpr double kDtasLowHz = 2130.0;
constexpr double kDtasHighHz = 2750.0;
constexpr double kSasHz = 440.0;

constexpr AlertStep Dtas(double ms) { return {{kDtasLowHz, kDtasHighHz}, 2, ms}; }
constexpr AlertStep Pause(double ms) { return {{0.0, 0.0}, 0, ms}; }

// On-hook alerting (ETSI and BT): the dual tone for 100 ms; the data starts 100 ms after it
// (both standards ask for 45 ms at least, ETSI for 500 ms at most).
const AlertStep kOnHookAlert[] = {Dtas(100.0), Pause(100.0)};
// Call waiting: the 80 ms alerting signal, then 250 ms of silence in which the set answers with
// its acknowledgement (it starts within 100 ms and lasts up to 90 ms; the data follows it by 50
// ms or more). Bell's subscriber alerting tone (440 Hz, 300 ms) goes first, straight into the
// CPE alerting signal.
const AlertStep kEtsiCallWaiting[] = {Dtas(80.0), Pause(250.0)};
const AlertStep kBellCallWaiting[] = {{{kSasHz, 0.0}, 1, 300.0}, Dtas(80.0), Pause(250.0)};

constexpr int kCallWaitingMarks = 80;

struct Limits {
    std::size_t number;  // the longest number; 0: only the layout's own limits
    std::size_t name;
};

// The longest fields: ETSI EN 300 659-3 takes numbers of 20 characters and names of 50, BT SIN
// 227 numbers of 18 and names of 20; NTT and DTMF numbers of 20 digits.
Limits LimitsOf(CallerIdStandard standard) {
    switch (standard) {
        case CallerIdStandard::Etsi: return {20, 50};
        case CallerIdStandard::Bt: return {18, 20};
        case CallerIdStandard::Ntt:
        case CallerIdStandard::Dtmf: return {20, 0};
        case CallerIdStandard::Bell202: break;
    }
    return {0, 0};
}

std::size_t Length(const char* text) { return text ? std::strlen(text) : 0; }

std::string Join(std::string_view a, std::string_view b, std::string_view c = {}) {
    std::string text(a);
    text += b;
    text += c;
    return text;
}

bool IsDigits(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The days of each month; the year is not sent, so February may have its 29th.
constexpr int kMonthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Why "MM/DD HH:MM" is not a real date and time (a month, a day of that month, an hour and a
// minute), or an empty text.
std::string CheckRealDate(const char* dateTime) {
    const std::string_view text = dateTime;
    constexpr const char* kNotReal = "Caller-ID date must be MM/DD HH:MM with a real month, day, hour and minute.";
    if (text.size() != 11 || text[2] != '/' || text[5] != ' ' || text[8] != ':') return kNotReal;
    int fields[4];
    for (int i = 0; i < 4; ++i) {
        const std::string_view pair = text.substr(static_cast<std::size_t>(3 * i), 2);
        if (!IsDigits(pair)) return kNotReal;
        fields[i] = (pair[0] - '0') * 10 + (pair[1] - '0');
    }
    if (fields[0] < 1 || fields[0] > 12 || fields[1] < 1 || fields[2] > 23 || fields[3] > 59) return kNotReal;
    const int days = kMonthDays[fields[0] - 1];
    if (fields[1] > days) {
        return Join("Caller-ID date ", text.substr(0, 5),
                    " is not a real date: month " + std::string(text.substr(0, 2)) + " has " + std::to_string(days) +
                        " days.");
    }
    return {};
}

std::string CheckAbsence(char absence, std::string_view field) {
    if (absence == 0 || absence == 'O' || absence == 'P') return {};
    return Join("Caller-ID ", field, " absence must be 0, 'O' (unavailable) or 'P' (private).");
}

std::string CheckLength(const char* text, std::size_t limit, CallerIdStandard standard, std::string_view field) {
    if (limit == 0 || Length(text) <= limit) return {};
    return Join("Caller-ID ", field,
                Join(" too long for ", Name(standard), ": at most " + std::to_string(limit) + " characters."));
}

constexpr const char* kDateShape = "Caller-ID date must be MM/DD HH:MM.";

// Bell 202 with the layouts and limits it has always had.
std::string BuildBell(CallerIdLayout layout, const CallerIdContent& c, std::vector<std::uint8_t>& out) {
    const char* number = c.number;
    const char absence[2] = {c.numberAbsence, '\0'};
    if (c.numberAbsence != 0) number = absence;  // SDMF carries the letter as the number
    switch (layout) {
        case CallerIdLayout::Sdmf: {
            if (Length(number) == 0) return "Caller-ID number is empty.";
            if (Length(number) > 40) return "Caller-ID number too long for SDMF: at most 40 characters.";
            if (CallerIdMessage::BuildSDMF(number, c.dateTime, out) != 0) return kDateShape;
            return {};
        }
        case CallerIdLayout::Mdmf: {
            const int built =
                CallerIdMessage::BuildMDMF(c.number, c.name, c.dateTime, c.numberAbsence, c.nameAbsence, out);
            if (built == -1 && (c.dateTime == nullptr || *c.dateTime == '\0' || Length(c.dateTime) == 11)) {
                return "Caller-ID number and name too long for MDMF: at most 255 bytes of parameters.";
            }
            if (built != 0) return kDateShape;
            return {};
        }
        case CallerIdLayout::Raw: CallerIdMessage::BuildRaw(c.number, out); return {};
    }
    return {};
}

std::string CheckNoNameOrDate(CallerIdStandard standard, const CallerIdContent& c) {
    if (Length(c.name) != 0 || c.nameAbsence != 0) return Join(Name(standard), " Caller-ID carries no name.");
    if (Length(c.dateTime) != 0) return Join(Name(standard), " Caller-ID carries no date and time.");
    return {};
}

std::string BuildNtt(CallerIdLayout layout, const CallerIdContent& c, std::vector<std::uint8_t>& out) {
    if (layout == CallerIdLayout::Raw) {
        const std::string_view body = c.number ? std::string_view(c.number) : std::string_view();
        for (const char ch : body) {
            if (static_cast<unsigned char>(ch) >= 0x80) return "NTT Caller-ID carries 7-bit characters only.";
        }
        out = NttMessage::Frame(std::span(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
        return {};
    }
    if (std::string refusal = CheckNoNameOrDate(CallerIdStandard::Ntt, c); !refusal.empty()) return refusal;
    if (c.numberAbsence == 0) {
        if (Length(c.number) == 0) return "Caller-ID number is empty.";
        for (const char ch : std::string_view(c.number)) {
            if (ch < 0x20 || ch > 0x7E) return "NTT Caller-ID numbers are printable 7-bit characters only.";
        }
    }
    out = NttMessage::Frame(NttMessage::CallerIdBody(c.number, c.numberAbsence));
    return {};
}

std::string BuildDtmf(CallerIdLayout layout, const CallerIdContent& c, std::vector<std::uint8_t>& out) {
    std::string keys;
    if (layout == CallerIdLayout::Raw) {
        for (char ch : c.number ? std::string_view(c.number) : std::string_view()) {
            if (ch >= 'a' && ch <= 'd') ch = static_cast<char>(ch - 'a' + 'A');
            if (!DtmfKeypad::Find(ch)) return "DTMF Caller-ID keys are 0-9, A-D, * and # only.";
            keys += ch;
        }
        if (keys.empty()) return "Caller-ID number is empty.";
    } else {
        if (std::string refusal = CheckNoNameOrDate(CallerIdStandard::Dtmf, c); !refusal.empty()) return refusal;
        if (c.numberAbsence != 0) {
            keys = c.numberAbsence == 'P' ? "B10C" : "B00C";
        } else {
            const std::string_view number = c.number ? std::string_view(c.number) : std::string_view();
            if (number.empty()) return "Caller-ID number is empty.";
            if (!IsDigits(number)) return "DTMF Caller-ID numbers are digits only.";
            keys = Join("A", number, "C");
        }
    }
    out.assign(keys.begin(), keys.end());
    return {};
}

}  // namespace

std::string_view Name(CallerIdStandard standard) {
    switch (standard) {
        case CallerIdStandard::Bell202: return "Bell 202";
        case CallerIdStandard::Etsi: return "ETSI";
        case CallerIdStandard::Bt: return "BT";
        case CallerIdStandard::Ntt: return "NTT";
        case CallerIdStandard::Dtmf: return "DTMF";
    }
    return "unknown";
}

std::string CheckAlert(CallerIdStandard standard, CallerIdAlert alert) {
    if (alert == CallerIdAlert::None) return {};
    switch (standard) {
        case CallerIdStandard::Bell202:
            if (alert == CallerIdAlert::Dtas) {
                return "Bell 202 on-hook Caller-ID has no dual-tone alert: use CA_None, or CA_OffHook for call "
                       "waiting.";
            }
            return {};
        case CallerIdStandard::Etsi:
        case CallerIdStandard::Bt: return {};
        case CallerIdStandard::Ntt:
        case CallerIdStandard::Dtmf: break;
    }
    return Join(Name(standard), " Caller-ID defines no alerting signal or call waiting: use CA_None.");
}

CallerIdFrame FrameOf(CallerIdStandard standard, CallerIdAlert alert) {
    CallerIdFrame frame;
    const auto alertOf = [&](std::span<const AlertStep> steps) { frame.alert.assign(steps.begin(), steps.end()); };
    if (alert == CallerIdAlert::OffHook) {
        alertOf(standard == CallerIdStandard::Bell202 ? std::span<const AlertStep>(kBellCallWaiting)
                                                      : std::span<const AlertStep>(kEtsiCallWaiting));
        frame.markBits = kCallWaitingMarks;
        return frame;
    }
    switch (standard) {
        case CallerIdStandard::Bell202:
            frame.seizureBits = 300;
            frame.markBits = 181;
            break;
        case CallerIdStandard::Etsi:
            if (alert == CallerIdAlert::Dtas) alertOf(kOnHookAlert);
            frame.seizureBits = 300;
            frame.markBits = 180;
            break;
        case CallerIdStandard::Bt:
            // SIN 227 always sends the idle-state alert first (CA_DTAS); CA_None sends the data
            // alone, as asked. The shortest preamble SIN 227 allows.
            if (alert == CallerIdAlert::Dtas) alertOf(kOnHookAlert);
            frame.seizureBits = 96;
            frame.markBits = 55;
            break;
        case CallerIdStandard::Ntt: frame.markBits = 80; break;
        case CallerIdStandard::Dtmf: break;
    }
    return frame;
}

std::string BuildCallerId(CallerIdStandard standard, CallerIdLayout layout, const CallerIdContent& content,
                          std::vector<std::uint8_t>& out) {
    out.clear();
    std::string refusal = CheckAbsence(content.numberAbsence, "number");
    if (refusal.empty()) refusal = CheckAbsence(content.nameAbsence, "name");
    const Limits limits = LimitsOf(standard);
    if (refusal.empty() && content.numberAbsence == 0) refusal = CheckLength(content.number, limits.number, standard, "number");
    if (refusal.empty() && content.nameAbsence == 0) refusal = CheckLength(content.name, limits.name, standard, "name");
    if (!refusal.empty()) return refusal;
    if (layout == CallerIdLayout::Sdmf && standard != CallerIdStandard::Bell202) {
        return Join(Name(standard), " Caller-ID has no SDMF layout: use MDMF or raw.");
    }

    switch (standard) {
        case CallerIdStandard::Bell202: refusal = BuildBell(layout, content, out); break;
        case CallerIdStandard::Etsi:
        case CallerIdStandard::Bt:
            if (layout == CallerIdLayout::Raw) {
                CallerIdMessage::BuildRaw(content.number, out);
                break;
            }
            if (Length(content.dateTime) != 0) refusal = CheckRealDate(content.dateTime);
            if (refusal.empty()) {
                CallerIdMessage::BuildMDMF(content.number, content.name, content.dateTime, content.numberAbsence,
                                           content.nameAbsence, out);
            }
            break;
        case CallerIdStandard::Ntt: refusal = BuildNtt(layout, content, out); break;
        case CallerIdStandard::Dtmf: refusal = BuildDtmf(layout, content, out); break;
    }
    if (!refusal.empty()) out.clear();
    return refusal;
}

std::string BuildMessageWaiting(CallerIdStandard standard, CallerIdLayout layout, bool active,
                                std::vector<std::uint8_t>& out) {
    out.clear();
    if (standard == CallerIdStandard::Ntt || standard == CallerIdStandard::Dtmf) {
        return Join("Message waiting is not defined for ", Name(standard), " Caller-ID.");
    }
    if (layout == CallerIdLayout::Raw) {
        return standard == CallerIdStandard::Bell202 ? "Message waiting has no raw layout: use SDMF or MDMF."
                                                     : "Message waiting has no raw layout: use MDMF.";
    }
    if (layout == CallerIdLayout::Sdmf) {
        if (standard != CallerIdStandard::Bell202) {
            return Join(Name(standard), " Caller-ID has no SDMF layout: use MDMF or raw.");
        }
        CallerIdMessage::BuildVmwiSDMF(active, out);
        return {};
    }
    CallerIdMessage::BuildVmwiMDMF(active, out);
    return {};
}

}  // namespace Quorvex::VarnelNet::CallerIdPlan
