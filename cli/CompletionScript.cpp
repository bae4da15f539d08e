// Writes the bash completion of the varnel tool to standard output: its options, request kinds,
// setting names and keyword values, and the tone plans' countries and tones, taken from the
// settings catalog, the request parser and the tone tables, so that the script cannot drift
// from the tool. Run at build time.

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "varnel/script/Impairments.h"
#include "varnel/engine/SettingsCatalog.h"
#include "varnel/rtp/SessionOptions.h"
#include "varnel/script/Request.h"
#include "varnel/signal/ToneTables.h"

using namespace Quorvex::VarnelNet;

namespace {

std::string Words(const SettingSpec& spec) {
    std::string words;
    for (const SettingKeyword& k : spec.keywords) words.append(words.empty() ? "" : " ").append(k.word);
    return words;
}

std::string ModemWords() {
    std::string prefixed;
    for (const std::string_view word : Script::ModemToneWords()) prefixed.append(prefixed.empty() ? "" : " ").append("modem:").append(word);
    return prefixed;
}

// plan: completes to the countries ("plan:at: plan:au: ..."), then to the country's tones.
std::string PlanCountries() {
    std::string words;
    std::string last;
    for (const TonePlanRow& row : TonePlanRows()) {
        if (row.country == last) continue;
        last = row.country;
        words.append(words.empty() ? "" : " ").append("plan:").append(row.country).append(":");
    }
    return words;
}

std::string PlanToneCases() {
    std::string cases;
    std::string last;
    for (const TonePlanRow& row : TonePlanRows()) {
        const std::string country(row.country);
        if (country != last) {
            if (!last.empty()) cases.append("\" ;;\n");
            cases.append("                plan:").append(country).append(":*) values=\"");
            last = country;
        } else {
            cases.append(" ");
        }
        cases.append("plan:").append(country).append(":").append(row.tone);
    }
    return cases.empty() ? cases : cases.append("\" ;;\n");
}

}  // namespace

int main() {
    std::string options =
        "-o --output --raw --play --pcap --rtp --sdp --dry-run --print-requests -f --script --dbm0 --labels --mix --mix-dbm0 "
        "--shard --family --pattern --json -v --verbose --list-plans -h --help --version -r -b -e -a";
    // Options whose values are not words to offer.
    std::string freeValues = "--dbm0|--mix|--mix-dbm0|--rtp";
    for (const Script::ImpairmentOption& option : Script::ImpairmentOptions()) {
        options.append(" --").append(option.name);
        if (option.name != "noise-band") freeValues.append("|--").append(option.name);
    }
    std::string settingNames, valueCases, setValueCases;
    for (const SettingSpec* spec : SettingsCatalog::All()) {
        const std::string option(spec->option);
        options.append(" --").append(option);
        if (spec->kind == SettingKind::Flag) options.append(" --no-").append(option);
        settingNames.append(settingNames.empty() ? "" : " ").append("set:").append(option).append("=");
        const std::string words = spec->kind == SettingKind::Flag ? std::string("0 1") : Words(*spec);
        if (spec->kind != SettingKind::Flag) {
            valueCases.append("        --").append(option).append(")\n            COMPREPLY=($(compgen -W \"").append(words);
            valueCases.append("\" -- \"$cur\"))\n            return ;;\n");
        }
        setValueCases.append("                set:").append(option).append("=*) values=\"").append(words).append("\" ;;\n");
    }
    std::string rtpValues;  // the RTP options that take a value: their words, or nothing to offer
    for (const Rtp::SessionOptionSpec& spec : Rtp::SessionOptionSpecs()) {
        const auto impairments = Script::ImpairmentOptions();
        if (std::any_of(impairments.begin(), impairments.end(), [&](const auto& o) { return o.name == spec.name; })) {
            continue;  // --seed: listed with the impairments
        }
        options.append(" --").append(spec.name);
        if (spec.value.empty()) continue;
        rtpValues.append("        --").append(spec.name).append(")\n");
        if (!spec.words.empty()) rtpValues.append("            COMPREPLY=($(compgen -W \"").append(spec.words).append("\" -- \"$cur\"))\n");
        rtpValues.append("            return ;;\n");
    }
    std::string kinds;
    for (const Script::KindSyntax& kind : Script::Kinds()) kinds.append(kinds.empty() ? "" : " ").append(kind.word).append(":");

    std::printf(
        "# bash completion for varnel(1): options, request kinds, setting names and keyword values.\n"
        "# Generated from the settings catalog when the tool is built; do not edit.\n"
        "_varnel() {\n"
        "    local cur prev words cword\n"
        "    _init_completion -n =: || return\n"
        "    case $prev in\n"
        "        -o|--output|-f|--script|--labels|--pcap|--sdp)\n"
        "            _filedir\n"
        "            return ;;\n"
        "        -r) prev=--rate ;;\n"
        "        -b) prev=--bits ;;\n"
        "        -e) prev=--encoding ;;\n"
        "        -a) prev=--amplitude ;;\n"
        "    esac\n"
        "    case $prev in\n"
        "%s%s"
        "        --noise-band)\n"
        "            COMPREPLY=($(compgen -W \"flat telephone\" -- \"$cur\"))\n"
        "            return ;;\n"
        "        %s)\n"
        "            return ;;\n"
        "    esac\n"
        "    local values=\"\"\n"
        "    case $cur in\n"
        "        -*)\n"
        "            COMPREPLY=($(compgen -W \"%s\" -- \"$cur\"))\n"
        "            return ;;\n"
        "        set:*=*)\n"
        "            case $cur in\n"
        "%s"
        "            esac\n"
        "            # '=' breaks words for readline: complete the part after it\n"
        "            COMPREPLY=($(compgen -W \"$values\" -- \"${cur#*=}\"))\n"
        "            return ;;\n"
        "        set:*) values=\"%s\" ;;\n"
        "        vmwi:*) values=\"vmwi:on vmwi:off\" ;;\n"
        "        sit:*) values=\"sit:nc sit:ic sit:vc sit:ro sit:itu\" ;;\n"
        "        plan:*:*)\n"
        "            case $cur in\n"
        "%s"
        "            esac ;;\n"
        "        plan:*) values=\"%s\" ;;\n"
        "        modem:*) values=\"%s\" ;;\n"
        "        *) values=\"%s\"\n"
        "           (( cword == 1 )) && values+=\" suite score corpus\" ;;\n"
        "    esac\n"
        "    COMPREPLY=($(compgen -W \"$values\" -- \"$cur\"))\n"
        "    [[ ${COMPREPLY[0]-} == *[:=] ]] && compopt -o nospace\n"
        "    __ltrim_colon_completions \"$cur\"\n"
        "} &&\n"
        "    complete -F _varnel varnel\n",
        valueCases.c_str(), rtpValues.c_str(), freeValues.c_str(), options.c_str(), setValueCases.c_str(), settingNames.c_str(),
        PlanToneCases().c_str(), PlanCountries().c_str(), ModemWords().c_str(), kinds.c_str());
    return 0;
}
