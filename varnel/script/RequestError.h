#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "varnel/platform/HResult.h"

namespace Quorvex::VarnelNet::Script {

// A request the language refuses: malformed, out of range, or not renderable with the settings
// in effect. Reason() says why; a request of a script also has its text as written (printable:
// control characters escaped), its position (1 for the first request) and its line (0 when its
// text did not come from a script's lines). what() puts them together:
//   request 3 (line 2) 'foo:1': unknown request kind 'foo' (dtmf, tone, ...)
class RequestError : public std::invalid_argument {
public:
    explicit RequestError(const std::string& reason, HRESULT code = E_INVALIDARG);
    // The same reason, for a request of a script.
    RequestError(const std::string& reason, std::string request, std::size_t index, std::size_t line,
                 HRESULT code = E_INVALIDARG);

    const std::string& Reason() const { return m_reason; }
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
};

}  // namespace Quorvex::VarnelNet::Script
