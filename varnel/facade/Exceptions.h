#pragma once

#include <stdexcept>
#include <string>

#include "varnel/platform/HResult.h"

namespace Quorvex::VarnelNet {

// A refused call: its HRESULT, and what() saying why this call was refused.
class Exception : public std::runtime_error {
public:
    Exception(HRESULT hr, const std::string& message) : std::runtime_error(message), m_hr(hr) {}
    HRESULT HResult() const { return m_hr; }

private:
    HRESULT m_hr;
};

// An argument out of range, empty or of the wrong kind (E_INVALIDARG).
class ArgumentException : public Exception {
public:
    explicit ArgumentException(const std::string& message = {}) : Exception(E_INVALIDARG, message) {}
};

// Any other failure, with its HRESULT (E_FAIL: not possible in the current state).
class COMException : public Exception {
public:
    COMException(const std::string& message, HRESULT hr) : Exception(hr, message) {}
};

// Throws the exception that belongs to a failed HRESULT.
[[noreturn]] inline void ThrowExceptionForHR(HRESULT hr, const std::string& message) {
    if (hr == E_INVALIDARG) throw ArgumentException(message);
    throw COMException(message, hr);
}

}  // namespace Quorvex::VarnelNet
