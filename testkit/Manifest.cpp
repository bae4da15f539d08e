#include "testkit/Manifest.h"

#include "testkit/Requirements.h"
#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr std::string_view kColumns[] = {"file", "suite", "family", "parameters", "verdict", "sent", "requirement", "source"};
constexpr std::size_t kColumnCount = std::size(kColumns);

std::string Quoted(std::string_view cell) {
    if (cell.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(cell);
    std::string out = "\"";
    for (const char c : cell) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string ParametersText(const Pairs& parameters) {
    std::string text;
    for (const auto& [name, value] : parameters) {
        if (!text.empty()) text += ';';
        text += name + "=" + value;
    }
    return text;
}

[[noreturn]] void Fail(std::size_t line, const std::string& why) {
    throw ManifestError("manifest.csv line " + std::to_string(line) + ": " + why);
}

Pairs ParseParameters(std::string_view text, std::size_t line) {
    Pairs parameters;
    while (!text.empty()) {
        const std::size_t end = text.find(';');
        const std::string_view pair = text.substr(0, end);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos || equals == 0) Fail(line, "the parameter '" + Printable(pair) + "' is not NAME=VALUE");
        parameters.emplace_back(std::string(pair.substr(0, equals)), std::string(pair.substr(equals + 1)));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return parameters;
}

// The cells of the record starting at `at`, which is moved past it (RFC 4180: quoted cells may
// hold commas, doubled quotes and line breaks).
std::vector<std::string> ReadRecord(std::string_view text, std::size_t& at, std::size_t& line) {
    const std::size_t first = line;
    std::vector<std::string> cells(1);
    bool quoted = false;
    while (at < text.size()) {
        const char c = text[at++];
        if (quoted) {
            if (c == '"' && at < text.size() && text[at] == '"') {
                cells.back() += '"';
                ++at;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n') ++line;
                cells.back() += c;
            }
        } else if (c == '"' && cells.back().empty()) {
            quoted = true;
        } else if (c == ',') {
            cells.emplace_back();
        } else if (c == '\n') {
            return cells;
        } else if (c != '\r') {
            cells.back() += c;
        }
    }
    if (quoted) Fail(first, "a quoted cell does not end");
    return cells;
}

}  // namespace

std::string_view ManifestRow::Parameter(std::string_view name) const {
    for (const auto& [key, value] : parameters) {
        if (key == name) return value;
    }
    return {};
}

ManifestRow RowOf(const Suite& suite, const SuiteFile& file) {
    ManifestRow row;
    row.file = file.name + ".wav";
    row.suite = std::string(suite.name);
    row.family = file.family;
    row.parameters = file.parameters;
    row.verdict = file.verdict;
    row.sent = file.sent;
    row.requirement = file.requirement;
    if (const Requirement* r = FindRequirement(file.requirement)) {
        row.source = std::string(r->source);
        if (r->status == "unconfirmed") row.source += " (unconfirmed)";
    }
    return row;
}

std::string ManifestHeader() {
    std::string header;
    for (const std::string_view column : kColumns) header.append(header.empty() ? "" : ",").append(column);
    return header + "\n";
}

std::string ManifestLine(const ManifestRow& row) {
    std::string verdict(VerdictWord(row.verdict));
    if (row.verdict == Verdict::Detect) verdict += " " + row.sent;
    const std::string cells[] = {row.file, row.suite, row.family, ParametersText(row.parameters), verdict, row.sent,
                                 row.requirement, row.source};
    std::string line;
    for (const std::string& cell : cells) line.append(line.empty() ? "" : ",").append(Quoted(cell));
    return line + "\n";
}

std::vector<ManifestRow> ReadManifest(std::string_view text) {
    std::vector<ManifestRow> rows;
    std::size_t at = 0;
    std::size_t line = 1;
    if (ReadRecord(text, at, line) != std::vector<std::string>(std::begin(kColumns), std::end(kColumns))) {
        Fail(1, "the header must be '" + ManifestHeader().substr(0, ManifestHeader().size() - 1) + "'");
    }
    while (at < text.size()) {
        ++line;
        const std::size_t first = line;
        const std::vector<std::string> cells = ReadRecord(text, at, line);
        if (cells.size() == 1 && cells[0].empty()) continue;
        if (cells.size() != kColumnCount) {
            Fail(first, std::to_string(cells.size()) + " cells where " + std::to_string(kColumnCount) + " are expected");
        }
        ManifestRow row;
        row.file = cells[0];
        row.suite = cells[1];
        row.family = cells[2];
        row.parameters = ParseParameters(cells[3], first);
        const std::string_view verdict = cells[4];
        if (verdict == "reject") {
            row.verdict = Verdict::Reject;
        } else if (verdict == "either") {
            row.verdict = Verdict::Either;
        } else if (verdict.rfind("detect ", 0) == 0 && verdict.substr(7) == cells[5]) {
            row.verdict = Verdict::Detect;
        } else {
            Fail(first, "the verdict '" + Printable(verdict) + "' is not 'detect SENT', 'reject' or 'either'");
        }
        row.sent = cells[5];
        row.requirement = cells[6];
        row.source = cells[7];
        if (row.file.empty() || row.file.find('/') != std::string::npos || row.file.find('\0') != std::string::npos ||
            row.file == "." || row.file == "..") {
            Fail(first, "the file '" + Printable(row.file) + "' is not a name in the folder");
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace Quorvex::VarnelNet::Kit
