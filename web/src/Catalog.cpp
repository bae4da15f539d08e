#include "Catalog.h"

#include <iterator>

#include "JsonText.h"
#include "varnel/options/OptionRegistry.h"
#include "varnel/signal/ModemTones.h"
#include "varnel/signal/ToneTables.h"
#include "varnel/script/Request.h"
#include "varnel/script/SettingText.h"

namespace Quorvex::VarnelNet::Web {

namespace {

std::string_view KindName(SettingKind kind) {
    switch (kind) {
        case SettingKind::Integer: return "integer";
        case SettingKind::Number: return "number";
        case SettingKind::Keyword: return "keyword";
        case SettingKind::NumberKeyword: return "numberKeyword";
        case SettingKind::Flag: return "flag";
    }
    return "integer";
}

void WriteKinds(JsonText& json) {
    json.Key("kinds").BeginArray();
    for (const Script::KindSyntax& kind : Script::Kinds()) {
        json.BeginObject();
        json.Key("word").String(kind.word).Key("form").String(kind.form);
        json.Key("example").String(kind.example).Key("summary").String(kind.summary);
        json.EndObject();
    }
    json.EndArray();
}

void WriteSettings(JsonText& json) {
    Script::SettingValues defaults;
    for (const Script::Set& setting : Script::RenderDefaults()) defaults.Apply(setting);
    json.Key("settings").BeginArray();
    for (const SettingSpec* spec : SettingsCatalog::All()) {
        json.BeginObject();
        json.Key("option").String(spec->option).Key("name").String(spec->name);
        json.Key("kind").String(KindName(spec->kind));
        json.Key("words").BeginArray();
        for (const SettingKeyword& keyword : spec->keywords) json.String(keyword.word);
        json.EndArray();
        json.Key("default").String(Script::ValueText(*spec, defaults.Get(*spec)));
        json.Key("unit").String(spec->unit).Key("description").String(spec->description);
        json.EndObject();
    }
    json.EndArray();
}

void WritePlans(JsonText& json) {
    json.Key("plans").BeginArray();
    std::string_view country;
    for (const TonePlanRow& row : TonePlanRows()) {
        if (row.country != country) {
            if (!country.empty()) json.EndArray().EndObject();
            country = row.country;
            json.BeginObject().Key("country").String(row.country).Key("name").String(row.description);
            json.Key("tones").BeginArray();
        }
        json.BeginObject().Key("tone").String(row.tone).Key("pattern").String(row.pattern).EndObject();
    }
    if (!country.empty()) json.EndArray().EndObject();
    json.EndArray();
}

void WriteSitsAndModems(JsonText& json) {
    json.Key("sits").BeginArray();
    for (const SitRow& row : SitRows()) {
        json.BeginObject().Key("code").String(row.code).Key("meaning").String(row.meaning).EndObject();
    }
    json.EndArray();
    json.Key("modems").BeginArray();
    const auto words = Script::ModemToneWords();
    for (std::size_t i = 0; i < words.size() && i < std::size(kModemTones); ++i) {
        json.BeginObject().Key("word").String(words[i]).Key("name").String(kModemTones[i].name);
        json.Key("ms").Integer(kModemTones[i].nominalMs).EndObject();
    }
    json.EndArray();
}

// The rows an option panel of the page offers, under key.
template <class Wanted>
void WriteRows(JsonText& json, std::string_view key, Wanted wanted) {
    json.Key(key).BeginArray();
    for (const Option::OptionRow* row : Option::All()) {
        if (!wanted(*row)) continue;
        json.BeginObject().Key("option").String(row->name).Key("value").String(row->TakesValue() ? row->placeholder : "");
        json.Key("words").BeginArray();
        for (std::string_view words = row->words; !words.empty();) {
            const std::size_t space = words.find(' ');
            json.String(words.substr(0, space));
            words = space == std::string_view::npos ? std::string_view() : words.substr(space + 1);
        }
        json.EndArray().Key("help").String(row->help).EndObject();
    }
    json.EndArray();
}

}  // namespace

std::string CatalogJson() {
    JsonText json;
    json.BeginObject();
    WriteKinds(json);
    WriteSettings(json);
    WritePlans(json);
    WriteSitsAndModems(json);
    WriteRows(json, "rtp", [](const Option::OptionRow& row) { return row.target == Option::Target::Session; });
    // A receiver test: the impairments and a script mixed under the requests.
    WriteRows(json, "line", [](const Option::OptionRow& row) {
        return row.target == Option::Target::Impairment || (row.target == Option::Target::Tool && (row.name == "mix" || row.name == "mix-dbm0"));
    });
    json.EndObject();
    return json.Text();
}

}  // namespace Quorvex::VarnelNet::Web
