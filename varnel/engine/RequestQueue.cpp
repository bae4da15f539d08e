#include "varnel/engine/RequestQueue.h"

namespace Quorvex::VarnelNet {

const char* RequestTypeLabel(REQUEST_TYPE type) {
    switch (type) {
        case RT_CallerID: return "Caller-ID";
        case RT_DTMF: return "DTMF";
        case RT_CustomTone: return "Custom Tone";
        case RT_Silence: return "Silence";
        case RT_TonePattern: return "Tone Pattern";
        case RT_ModemTone: return "Modem Tone";
        default: break;
    }
    return "";
}

void RequestQueue::Append(std::unique_ptr<RequestRecord> record) {
    RequestRecord* added = record.get();
    m_waitingBytes += added->generator->Length();
    if (m_tail) {
        m_tail->next = std::move(record);
    } else {
        m_head = std::move(record);
    }
    m_tail = added;
}

bool RequestQueue::StartHead() {
    if (!m_head || m_head->started) return false;
    m_waitingBytes -= m_head->generator->Length();
    m_head->started = true;
    return true;
}

std::unique_ptr<RequestRecord> RequestQueue::PopHead() {
    std::unique_ptr<RequestRecord> head = std::move(m_head);
    if (head) {
        if (!head->started) m_waitingBytes -= head->generator->Length();
        m_head = std::move(head->next);
        if (!m_head) m_tail = nullptr;
    }
    return head;
}

std::int64_t RequestQueue::Bytes() const {
    return m_waitingBytes + (m_head && m_head->started ? m_head->generator->Length() : 0);
}

void RequestQueue::Clear() {
    while (!Empty()) PopHead();
}

}  // namespace Quorvex::VarnelNet
