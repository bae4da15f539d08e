#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Script {

namespace {

std::string Message(const std::string& reason, const std::string& request, std::size_t index, std::size_t line) {
    std::string message = "request " + std::to_string(index);
    if (line > 0) message += " (line " + std::to_string(line) + ")";
    return message + " '" + request + "': " + reason;
}

}  // namespace

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

}  // namespace Quorvex::VarnelNet::Script
