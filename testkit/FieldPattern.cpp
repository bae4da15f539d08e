#include "testkit/FieldPattern.h"

#include <algorithm>
#include <stdexcept>

#include "testkit/Score.h"
#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

std::string KnownNames() {
    std::string known;
    for (const std::string_view name : kFieldNames) known.append(known.empty() ? "" : ", ").append(name);
    return known;
}

}  // namespace

std::optional<std::size_t> FieldPattern::Group(std::string_view name) const {
    for (const auto& [group, number] : groups) {
        if (group == name) return number;
    }
    return std::nullopt;
}

FieldPattern CompileFieldPattern(std::string_view text) {
    FieldPattern pattern;
    std::string plain;
    std::size_t groups = 0;
    bool inClass = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            plain.append(text.substr(i, 2));
            ++i;
            continue;
        }
        if (inClass || c != '(') {
            inClass = c == '[' ? true : c == ']' ? false : inClass;
            plain += c;
            continue;
        }
        const std::string_view rest = text.substr(i);
        if (rest.rfind("(?P<", 0) == 0) {
            const std::size_t close = rest.find('>');
            if (close == std::string_view::npos) throw std::invalid_argument("(?P< without its closing >");
            const std::string name(rest.substr(4, close - 4));
            if (std::find(std::begin(kFieldNames), std::end(kFieldNames), name) == std::end(kFieldNames)) {
                throw std::invalid_argument("the group (?P<" + Printable(name) + "> is not one of " + KnownNames());
            }
            if (pattern.Group(name)) throw std::invalid_argument("the group (?P<" + name + "> comes twice");
            pattern.groups.emplace_back(name, ++groups);
            plain += '(';
            i += close;
            continue;
        }
        if (rest.rfind("(?", 0) != 0) ++groups;
        plain += c;
    }
    pattern.regex = CompilePattern(plain);
    return pattern;
}

}  // namespace Quorvex::VarnelNet::Kit
