#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace Quorvex::VarnelNet {

// One diagnostic line: the text (UTF-8) and its reference code.
class OnDebugArgs {
public:
    OnDebugArgs(std::string InfoMsg, std::int32_t RefCode) : m_InfoMsg(std::move(InfoMsg)), m_RefCode(RefCode) {}
    const std::string& InfoMsg() const { return m_InfoMsg; }
    std::int32_t RefCode() const { return m_RefCode; }

private:
    std::string m_InfoMsg;
    std::int32_t m_RefCode;
};

// A request that has been rendered completely.
class OnCompleteArgs {
public:
    explicit OnCompleteArgs(std::int32_t RequestID) : m_RequestID(RequestID) {}
    std::int32_t RequestID() const { return m_RequestID; }

private:
    std::int32_t m_RequestID;
};

}  // namespace Quorvex::VarnelNet
