#include "varnel/script/Check.h"

#include "varnel/platform/PrintableText.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/script/RequestError.h"
#include "varnel/signal/CallerIdStandard.h"

namespace Quorvex::VarnelNet::Script {

namespace {

std::string Setting(const SettingSpec& spec, const SettingValues& settings) {
    std::string text = "{";
    return text.append(spec.option).append("} ").append(ValueText(spec, settings.Get(spec)));
}

// The alerts a standard defines, as "none, dtas or offhook".
std::string AlertsOf(CallerIdStandard standard) {
    std::vector<std::string> words;
    for (const SettingKeyword& k : SettingsCatalog::kCidAlert.keywords) {
        if (CallerIdPlan::CheckAlert(standard, static_cast<CallerIdAlert>(k.value)).empty()) words.emplace_back(k.word);
    }
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        text.append(i == 0 ? "" : i + 1 == words.size() ? " or " : ", ").append("{cid-alert} ").append(words[i]);
    }
    return text;
}

std::string CheckAlert(const SettingValues& settings) {
    const auto standard = static_cast<CallerIdStandard>(settings.Integer(SettingsCatalog::kCidStandard));
    const auto alert = static_cast<CallerIdAlert>(settings.Integer(SettingsCatalog::kCidAlert));
    if (CallerIdPlan::CheckAlert(standard, alert).empty()) return "";
    return Setting(SettingsCatalog::kCidAlert, settings) + " is not defined for " +
           Setting(SettingsCatalog::kCidStandard, settings) + ": use " + AlertsOf(standard);
}

// The first character of text that the standard cannot carry, named by its position (in
// characters, from 1): outside Windows-1252 for the FSK standards with 8-bit characters, outside
// printable 7-bit ASCII for NTT.
std::string CheckCharacters(const std::string& text, std::string_view field, CallerIdStandard standard) {
    const std::u16string wide = Utf8ToUtf16(text);
    std::size_t position = 0;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t c = wide[i];
        const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size();
        const std::u16string_view character(&wide[i], pair ? 2 : 1);
        if (pair) ++i;
        ++position;
        const bool carried = standard == CallerIdStandard::Ntt ? c >= 0x20 && c <= 0x7E
                                                               : c == u'?' || NarrowToAnsi(character) != "?";
        if (carried) continue;
        const char* set = standard == CallerIdStandard::Ntt ? "printable 7-bit characters" : "Windows-1252 characters";
        return "the " + std::string(field) + "'s character " + std::to_string(position) + " '" +
               Literal(Printable(Utf16ToUtf8(character))) + "' cannot be sent: " + std::string(CallerIdPlan::Name(standard)) +
               " Caller-ID carries " + set + " only";
    }
    return "";
}

std::string CheckCallerId(const CallerId& r, const SettingValues& settings) {
    if (std::string alert = CheckAlert(settings); !alert.empty()) return alert;
    const auto standard = static_cast<CallerIdStandard>(settings.Integer(SettingsCatalog::kCidStandard));
    const std::int32_t format = settings.Integer(SettingsCatalog::kCidFormat);
    const bool named = !r.name.empty() || r.nameAbsence != CallerIdAbsence::None;
    if (format == CID_RAW) {
        if (named) return "{cid-format} raw sends the number's bytes as the whole message: it has no name";
        if (r.numberAbsence != CallerIdAbsence::None) {
            return "{cid-format} raw sends the number's bytes as the whole message: it has no absence reason";
        }
    }
    if (format == CID_SDMF && standard == CallerIdStandard::Bell202 && named) {
        return "{cid-format} sdmf sends no name: use {cid-format} mdmf, or leave the name out";
    }
    if (standard == CallerIdStandard::Dtmf) return "";  // digits only: the engine says so
    if (std::string number = CheckCharacters(r.number, "number", standard); !number.empty()) return number;
    return CheckCharacters(r.name, "name", standard);
}

struct Checker {
    const SettingValues& settings;
    std::string operator()(const CallerId& r) const { return CheckCallerId(r, settings); }
    std::string operator()(const Vmwi&) const { return CheckAlert(settings); }
    template <class Other>
    std::string operator()(const Other&) const {
        return "";
    }
};

}  // namespace

std::string CheckRequest(const Request& request, const SettingValues& settings) {
    return std::visit(Checker{settings}, request);
}

}  // namespace Quorvex::VarnelNet::Script
