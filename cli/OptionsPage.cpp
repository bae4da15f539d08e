// Writes the documentation site's page of the tool's options (docs/options.md) to standard
// output, in Markdown: the sections of `varnel --help` with each option a list item, the
// request kinds from the request parser's own list, and the test kit's and the detectors'
// commands as `--help` gives them. --help is written from the option registry, so the page cannot
// drift from the tool; scripts/check-docs fails when the checked-in page differs. Run at build
// time.

#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Options.h"
#include "varnel/script/Request.h"
#include "varnel/platform/Version.h"
#include "varnel/script/SettingText.h"

using namespace Quorvex::VarnelNet;

namespace {

// The column where --help starts an option's description.
constexpr std::size_t kDescriptionColumn = 25;

std::size_t Indent(std::string_view line) {
    const std::size_t first = line.find_first_not_of(' ');
    return first == std::string_view::npos ? line.size() : first;
}

// Text that Markdown would take for markup, taken as written.
std::string Escaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '*' || c == '_' || c == '<' || c == '[' || c == ']' || c == '`' || c == '|') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string Code(std::string_view text) {
    std::string code(1, '`');
    return code.append(text).append(1, '`');
}

// "-o, --output FILE" as "`-o`, `--output FILE`"; "--expect SCRIPT, -f FILE" alike.
std::string Term(std::string_view term) {
    std::string text;
    for (std::size_t at = 0; at < term.size();) {
        const std::size_t comma = term.find(", ", at);
        const std::string_view part = term.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
        text.append(text.empty() ? "" : ", ").append(Code(part));
        at = comma == std::string_view::npos ? term.size() : comma + 2;
    }
    return text;
}

// "Settings (the tool's defaults; ...):" as the heading "Settings" and the sentence
// "The tool's defaults; ...".
void Heading(std::string text, std::string& page) {
    if (!text.empty() && text.back() == ':') text.pop_back();
    const std::size_t open = text.find(" (");
    page.append("\n## ").append(text.substr(0, open)).append("\n");
    if (open == std::string::npos || text.back() != ')') return;
    std::string note = text.substr(open + 2, text.size() - open - 3);
    if (!note.empty() && note[0] >= 'a' && note[0] <= 'z') note[0] = static_cast<char>(note[0] - 'a' + 'A');
    page.append("\n").append(Escaped(note)).append(".\n");
}

std::string RequestKinds() {
    std::string list = "\n";
    for (const Script::KindSyntax& kind : Script::Kinds()) {
        list.append("- ").append(Code(kind.form)).append(": ").append(Escaped(kind.summary));
        if (kind.word == "set") list.append("; NAME is one of ").append(Escaped(Script::SettingNames()));
        list.append(", e.g. ").append(Code(kind.example)).append("\n");
    }
    return list;
}

// The help's lines as Markdown. Unindented lines are a heading (ending in ':' before an
// indented line) or prose; an indented line at most 6 in starts an option, its term before the
// description's column, and its description goes on in the lines indented further. Sections
// whose entries are commands ("varnel suite ...") keep their lines as they are.
std::string Page(const std::string& help) {
    std::vector<std::string> lines;
    std::istringstream in(help);
    for (std::string line; std::getline(in, line);) lines.push_back(line);

    std::string page =
        "# The tool's options\n\n"
        "<!-- Written by build/cli/varnel_options_page from the tool's help (the option registry and\n"
        "the request kinds); scripts/check-docs fails when this copy differs. -->\n\n"
        "This page is `varnel --help` of varnel " +
        std::string(kVarnelVersion) +
        " in sections, written from the same option registry when the\n"
        "tool is built. [The varnel tool](tool.md) explains the outputs, levels and exit status.\n\n"
        "```text\n" +
        lines.front() + "\n```\n";
    std::string prose, entry;
    bool commands = false, requests = false, afterCommands = false;
    const auto flushProse = [&] {
        if (prose.empty()) return;
        if (afterCommands) page.append("\n## Signals and exit status\n");
        afterCommands = false;
        page.append("\n").append(Escaped(prose)).append("\n");
        prose.clear();
    };
    const auto flushEntry = [&] {
        if (!entry.empty()) page.append(entry).append("\n");
        entry.clear();
    };
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty()) {
            flushProse();
            flushEntry();
            if (commands) page.append("```\n");
            afterCommands = commands;
            commands = false;
            continue;
        }
        const std::size_t indent = Indent(line);
        const std::string text = line.substr(indent);
        if (commands) {
            page.append(line).append("\n");
            continue;
        }
        if (indent == 0) {
            flushEntry();
            prose.append(prose.empty() ? "" : " ").append(text);
            const bool opensList = i + 1 < lines.size() && !lines[i + 1].empty() && Indent(lines[i + 1]) > 0;
            if (opensList && text.back() == ':') {
                Heading(prose, page);
                prose.clear();
                afterCommands = false;
                requests = text.rfind("Requests, queued", 0) == 0;
                commands = Indent(lines[i + 1]) == 2 && std::string_view(lines[i + 1]).substr(2, 7) == "varnel ";
                if (requests) page += RequestKinds();
                if (commands) page.append("\n```text\n");
            }
            continue;
        }
        if (requests) continue;
        flushProse();
        if (indent <= 6) {
            flushEntry();
            const bool described = line.size() > kDescriptionColumn && line[kDescriptionColumn - 1] == ' ';
            const std::string term = line.substr(indent, described ? kDescriptionColumn - 1 - indent : std::string::npos);
            entry = std::string("\n- ").append(Term(term.substr(0, term.find_last_not_of(' ') + 1))).append(":");
            if (described) entry.append(" ").append(Escaped(line.substr(kDescriptionColumn)));
        } else {
            entry.append(" ").append(Escaped(text));
        }
    }
    flushProse();
    flushEntry();
    if (commands) page.append("```\n");
    return page;
}

}  // namespace

int main() {
    std::fputs(Page(Cli::HelpText()).c_str(), stdout);
    return 0;
}
