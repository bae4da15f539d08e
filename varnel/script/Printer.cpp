#include "varnel/script/Printer.h"

#include "varnel/platform/DecimalText.h"
#include "varnel/script/SettingText.h"

namespace Quorvex::VarnelNet::Script {

namespace {

const char* AbsenceText(CallerIdAbsence absence) {
    return absence == CallerIdAbsence::Unavailable ? "-O" : "-P";
}

std::string FieldOf(const std::string& text, CallerIdAbsence absence) {
    return absence == CallerIdAbsence::None ? text : AbsenceText(absence);
}

struct Printer {
    std::string operator()(const Dtmf& r) const { return "dtmf:" + r.keys; }
    std::string operator()(const Tone& r) const {
        std::string text = "tone:" + std::to_string(r.onMs) + "," + std::to_string(r.offMs);
        std::size_t count = r.hz.size();
        while (count > 1 && r.hz[count - 1] == 0.0f) --count;
        for (std::size_t i = 0; i < count; ++i) text.append(1, ',').append(ShortestText(r.hz[i]));
        return text;
    }
    std::string operator()(const Silence& r) const { return "silence:" + ShortestText(r.ms); }
    std::string operator()(const Tones& r) const {
        std::string text = "tones:";
        for (std::size_t i = 0; i < r.steps.size(); ++i) {
            const ToneStep& step = r.steps[i];
            if (i > 0) text += ",";
            if (step.hz.empty()) text += "0";
            for (std::size_t k = 0; k < step.hz.size(); ++k) text.append(k > 0 ? "|" : "").append(ShortestText(step.hz[k]));
            text.append(1, '@').append(std::to_string(step.ms));
        }
        return text;
    }
    std::string operator()(const CallerId& r) const {
        std::string text = "cid:" + FieldOf(r.number, r.numberAbsence);
        const std::string name = FieldOf(r.name, r.nameAbsence);
        if (!name.empty() || !r.dateTime.empty()) text += "|" + name;
        if (!r.dateTime.empty()) text += "|" + r.dateTime;
        return text;
    }
    std::string operator()(const Vmwi& r) const { return r.active ? "vmwi:on" : "vmwi:off"; }
    std::string operator()(const Mf& r) const {
        return (r.system == MfSystem::R1 ? "mf:" : r.system == MfSystem::R2Forward ? "r2f:" : "r2b:") + r.signals;
    }
    std::string operator()(const Tty& r) const { return "tty:" + r.text; }
    std::string operator()(const TtyHex& r) const {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string text = "ttyhex:";
        for (const std::uint8_t b : r.bytes) {
            text += kDigits[b >> 4];
            text += kDigits[b & 0x0F];
        }
        return text;
    }
    std::string operator()(const TtyFile& r) const { return "ttyfile:" + r.path; }
    std::string operator()(const Set& r) const {
        return "set:" + std::string(r.spec->option) + "=" + ValueText(*r.spec, r.value);
    }
    std::string operator()(const Plan& r) const {
        return "plan:" + std::string(r.row->country) + ":" + std::string(r.row->tone) + ":" + std::to_string(r.ms);
    }
    std::string operator()(const Pattern& r) const {
        return "pattern:" + PrintTonePattern(r.pattern) + ":" + std::to_string(r.ms);
    }
    std::string operator()(const Sit& r) const { return "sit:" + std::string(r.row->code); }
    std::string operator()(const Modem& r) const {
        return "modem:" + std::string(ModemToneWords()[static_cast<std::size_t>(r.tone)]) + ":" + std::to_string(r.ms);
    }
};

}  // namespace

std::string Print(const Request& request) { return std::visit(Printer{}, request); }

std::string Quote(std::string_view text) {
    const bool plain = !text.empty() && text.front() != '#' &&
                       text.find_first_of(" \t\n\r\v\f\"'\\") == std::string_view::npos;
    if (plain) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace Quorvex::VarnelNet::Script
