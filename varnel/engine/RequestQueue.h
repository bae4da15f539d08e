#pragma once

#include <cstdint>
#include <memory>

#include "varnel/generators/CGenBase.h"

namespace Quorvex::VarnelNet {

enum REQUEST_TYPE : std::uint32_t {
    RT_CallerID = 0,
    RT_DTMF = 1,
    RT_CustomTone = 2,
    RT_Silence = 3,
    RT_TTY = 4,
    RT_TonePattern = 5,  // a tone pattern, a tone of the tables, a special information tone
    RT_ModemTone = 6,
};

// The label a request type shows in the log; TTY requests make their own.
const char* RequestTypeLabel(REQUEST_TYPE type);

// One queued request; it owns the generator that renders it.
struct RequestRecord {
    REQUEST_TYPE type;
    std::unique_ptr<CGenBase> generator;
    std::int32_t requestID;
    std::unique_ptr<RequestRecord> next;
    bool started = false;  // its first Read has been made
};

// First-in-first-out list of requests: appended at the tail in constant time, rendered and
// removed at the head only. It keeps the sum of the lengths of the records that have not
// started, so that the bytes still queued are known in constant time however long the list.
class RequestQueue {
public:
    RequestQueue() = default;
    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;
    ~RequestQueue() { Clear(); }

    bool Empty() const { return m_head == nullptr; }
    RequestRecord* Head() const { return m_head.get(); }

    void Append(std::unique_ptr<RequestRecord> record);
    // Marks the head started, before its first Read; true when it had not started yet.
    bool StartHead();
    std::unique_ptr<RequestRecord> PopHead();
    // The bytes still to render: the started head's Length as it renders, and every other
    // record's whole Length (-1 for each signal without end, as the lengths add up).
    std::int64_t Bytes() const;
    // Discards every record and its generator, one at a time.
    void Clear();

private:
    std::unique_ptr<RequestRecord> m_head;
    RequestRecord* m_tail = nullptr;
    std::int64_t m_waitingBytes = 0;  // the Length of every record not started, added up
};

}  // namespace Quorvex::VarnelNet
