#include "varnel/engine/FailureRecord.h"

namespace Quorvex::VarnelNet {

namespace {

thread_local FailureRecord* t_current = nullptr;

}  // namespace

FailureRecord::FailureRecord() : m_outer(t_current) { t_current = this; }

FailureRecord::~FailureRecord() { t_current = m_outer; }

void FailureRecord::Note(const char* text) {
    if (t_current) t_current->m_text = text;
}

}  // namespace Quorvex::VarnelNet
