// Writes the bash completion of the varnel tool to standard output: its options, request kinds,
// setting names and keyword values, and the tone plans' countries and tones, taken from the
// option registry, the request parser and the tone tables, so that the script cannot drift
// from the tool. Run at build time.

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/DetectCommand.h"
#include "varnel/options/OptionRegistry.h"
#include "varnel/script/Request.h"
#include "varnel/signal/ToneTables.h"

using namespace Quorvex::VarnelNet;

namespace {

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

using Option::Kind;
using Option::OptionRow;
using Option::Target;

// "-o --output": the letter first where there is one.
std::string Spelled(const OptionRow& row) {
    std::string text;
    if (row.letter) text.append("-").append(1, row.letter).append(" ");
    return text.append("--").append(row.name);
}

// Whether a row of another target has the row's name: the kit's -o, --seed and -e are the
// tool's, the session's --seed is listed with the impairments.
bool Shared(const OptionRow& row) {
    const auto all = Option::All();
    return std::any_of(all.begin(), all.end(), [&](const OptionRow* r) {
        return r->name == row.name && r->target != row.target && r->target != Target::Kit;
    });
}

// The case of an option whose value completes to the row's words (a setting's always, with
// none to offer for a number).
std::string ValueCase(const OptionRow& row) {
    std::string text = "        --" + std::string(row.name) + ")\n";
    if (!row.words.empty() || row.target == Target::Setting) {
        text.append("            COMPREPLY=($(compgen -W \"").append(row.words).append("\" -- \"$cur\"))\n");
    }
    return text + "            return ;;\n";
}

}  // namespace

int main() {
    std::string tool, letters, impairments, settings, session;
    // Options whose values are not words to offer.
    std::string freeValues = "--dbm0|--mix|--mix-dbm0|--rtp";
    std::string settingNames, valueCases, setValueCases, rtpValues, impairmentValues;
    for (const OptionRow* row : Option::All()) {
        const std::string name(row->name);
        switch (row->target) {
            case Target::Tool:
            case Target::Kit:
                if (row->target == Target::Tool || !Shared(*row)) tool.append(tool.empty() ? "" : " ").append(Spelled(*row));
                break;
            case Target::Setting:
                if (row->letter) letters.append(" -").append(1, row->letter);
                settings.append(" --").append(name);
                if (row->kind == Kind::Flag) settings.append(" --no-").append(name);
                settingNames.append(settingNames.empty() ? "" : " ").append("set:").append(name).append("=");
                setValueCases.append("                set:").append(name).append("=*) values=\"");
                setValueCases.append(row->kind == Kind::Flag ? std::string("0 1") : std::string(row->words)).append("\" ;;\n");
                if (row->kind != Kind::Flag) valueCases += ValueCase(*row);
                break;
            case Target::Impairment:
                impairments.append(" --").append(name);
                if (row->kind == Kind::Keyword) {
                    impairmentValues += ValueCase(*row);
                } else {
                    freeValues.append("|--").append(name);
                }
                break;
            case Target::Session:
                if (Shared(*row)) break;
                session.append(" --").append(name);
                if (row->TakesValue()) rtpValues += ValueCase(*row);
                break;
        }
    }
    const std::string options = tool + letters + impairments + settings + session;
    std::string kinds;
    for (const Script::KindSyntax& kind : Script::Kinds()) kinds.append(kinds.empty() ? "" : " ").append(kind.word).append(":");

    std::printf(
        "# bash completion for varnel(1): options, request kinds, setting names and keyword values.\n"
        "# Generated from the settings catalog when the tool is built; do not edit.\n"
        "_varnel() {\n"
        "    local cur prev words cword\n"
        "    _init_completion -n =: || return\n"
        "    if [[ ${words[1]-} == detect ]]; then\n"
        "        case $prev in\n"
        "            --expect|--duration|--rtp-listen|-r|--rate|-b|--bits) return ;;\n"
        "            -e|--encoding) COMPREPLY=($(compgen -W \"signed unsigned float mu-law a-law\" -- \"$cur\")); return ;;\n"
        "            --cid-standard) COMPREPLY=($(compgen -W \"bell etsi bt ntt dtmf\" -- \"$cur\")); return ;;\n"
        "        esac\n"
        "        if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W \"%s\" -- \"$cur\")); else _filedir; fi\n"
        "        return\n"
        "    fi\n"
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
        "%s%s%s"
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
        "           (( cword == 1 )) && values+=\" suite score corpus detect\" ;;\n"
        "    esac\n"
        "    COMPREPLY=($(compgen -W \"$values\" -- \"$cur\"))\n"
        "    [[ ${COMPREPLY[0]-} == *[:=] ]] && compopt -o nospace\n"
        "    __ltrim_colon_completions \"$cur\"\n"
        "} &&\n"
        "    complete -F _varnel varnel\n",
        std::string(Cli::kDetectOptionWords).c_str(), valueCases.c_str(), rtpValues.c_str(), impairmentValues.c_str(), freeValues.c_str(), options.c_str(),
        setValueCases.c_str(), settingNames.c_str(),
        PlanToneCases().c_str(), PlanCountries().c_str(), ModemWords().c_str(), kinds.c_str());
    return 0;
}
