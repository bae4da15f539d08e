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
    if (m_tail) {
        m_tail->next = std::move(record);
    } else {
        m_head = std::move(record);
    }
    m_tail = added;
}

std::unique_ptr<RequestRecord> RequestQueue::PopHead() {
    std::unique_ptr<RequestRecord> head = std::move(m_head);
    if (head) {
        m_head = std::move(head->next);
        if (!m_head) m_tail = nullptr;
    }
    return head;
}

void RequestQueue::Clear() {
    while (!Empty()) PopHead();
}

}  // namespace Quorvex::VarnelNet
