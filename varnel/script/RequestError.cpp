#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Script {

namespace {

std::string Message(const std::string& reason, const std::string& request, std::size_t index, std::size_t line) {
    std::string message = "request " + std::to_string(index);
    if (line > 0) message += " (line " + std::to_string(line) + ")";
    return message + " '" + request + "': " + reason;
}

}  // namespace

std::string BareName(std::string_view name) { return std::string(name); }

std::string SpellNames(std::string_view text, Spelling spell) {
    std::string spelled;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if ((c == '{' || c == '}') && at + 1 < text.size() && text[at + 1] == c) {
            spelled += c;
            ++at;
            continue;
        }
        const std::size_t close = c == '{' ? text.find('}', at) : std::string_view::npos;
        if (close == std::string_view::npos) {
            spelled += c;
            continue;
        }
        spelled += spell(text.substr(at + 1, close - at - 1));
        at = close;
    }
    return spelled;
}

std::string Literal(std::string_view text) {
    std::string literal;
    for (const char c : text) {
        literal += c;
        if (c == '{' || c == '}') literal += c;
    }
    return literal;
}

RequestError::RequestError(const std::string& reason, HRESULT code)
    : std::invalid_argument(reason), m_reason(reason), m_code(code) {}

RequestError::RequestError(const std::string& reason, std::string request, std::size_t index, std::size_t line,
                           HRESULT code)
    : std::invalid_argument(Message(reason, request, index, line)),
      m_reason(reason),
      m_request(std::move(request)),
      m_index(index),
      m_line(line),
      m_code(code) {}

RequestError::RequestError(NamesOptions, const std::string& reason, HRESULT code)
    : std::invalid_argument(SpellNames(reason, BareName)), m_reason(reason), m_code(code), m_names(true) {}

RequestError::RequestError(NamesOptions, const std::string& reason, std::string request, std::size_t index, std::size_t line,
                           HRESULT code)
    : std::invalid_argument(Message(SpellNames(reason, BareName), request, index, line)),
      m_reason(reason),
      m_request(std::move(request)),
      m_index(index),
      m_line(line),
      m_code(code),
      m_names(true),
      m_ofRequest(true) {}

std::string RequestError::SpelledReason(Spelling spell) const { return m_names ? SpellNames(m_reason, spell) : m_reason; }

std::string RequestError::Spelled(Spelling spell) const {
    if (!m_names) return what();
    const std::string reason = SpellNames(m_reason, spell);
    return m_ofRequest ? Message(reason, m_request, m_index, m_line) : reason;
}

}  // namespace Quorvex::VarnelNet::Script
