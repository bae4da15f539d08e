#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "varnel/platform/HResult.h"

namespace Quorvex::VarnelNet::Script {

// How a front end writes an option's name: the tool "--dbm0", Python "dbm0", the page "dbm0".
using Spelling = std::string (*)(std::string_view name);

// The name as it is: the library's own spelling.
std::string BareName(std::string_view name);

// The text with each {name} written as spell writes it, and {{ and }} as single braces.
std::string SpellNames(std::string_view text, Spelling spell);

// A user's text within a reason that names options: its braces doubled, so that they stay.
std::string Literal(std::string_view text);

// Marks a reason that names options as {name} ("{dbm0} sets the level of every request"), so
// that each front end spells them its own way.
struct NamesOptions {};
inline constexpr NamesOptions kNamesOptions{};

// A request the language refuses: malformed, out of range, or not renderable with the settings
// in effect. Reason() says why; a request of a script also has its text as written (printable:
// control characters escaped), its position (1 for the first request) and its line (0 when its
// text did not come from a script's lines). what() puts them together, any option named bare:
//   request 3 (line 2) 'foo:1': unknown request kind 'foo' (dtmf, tone, ...)
class RequestError : public std::invalid_argument {
public:
    explicit RequestError(const std::string& reason, HRESULT code = E_INVALIDARG);
    // The same reason, for a request of a script.
    RequestError(const std::string& reason, std::string request, std::size_t index, std::size_t line,
                 HRESULT code = E_INVALIDARG);
    // A reason that names options as {name}.
    RequestError(NamesOptions, const std::string& reason, HRESULT code = E_INVALIDARG);
    RequestError(NamesOptions, const std::string& reason, std::string request, std::size_t index, std::size_t line,
                 HRESULT code = E_INVALIDARG);

    // The reason as written, {name}s and all when NamesOptions(); its text in a front end's words.
    const std::string& Reason() const { return m_reason; }
    std::string SpelledReason(Spelling spell) const;
    // what(), the options named as spell writes them.
    std::string Spelled(Spelling spell) const;
    bool NamingOptions() const { return m_names; }
    const std::string& Request() const { return m_request; }
    std::size_t Index() const { return m_index; }
    std::size_t Line() const { return m_line; }
    // E_INVALIDARG, or the engine's code when the engine refused (E_FAIL: not generating).
    HRESULT Code() const { return m_code; }

private:
    std::string m_reason;
    std::string m_request;
    std::size_t m_index = 0;
    std::size_t m_line = 0;
    HRESULT m_code = E_INVALIDARG;
    bool m_names = false;
    bool m_ofRequest = false;
};

}  // namespace Quorvex::VarnelNet::Script
