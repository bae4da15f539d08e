#pragma once

#include <string>

namespace Quorvex::VarnelNet {

// Catches, on the thread that creates it, the text an engine operation stores when it fails
// while the record exists. The engine's store keeps the text of the latest failure that had one,
// on any thread, so after a refusal without a text of its own it still holds an older one; a
// record tells the caller whether its own call gave a reason. Records nest: one made inside
// another (by a handler that calls in) keeps its failures to itself.
class FailureRecord {
public:
    FailureRecord();
    ~FailureRecord();
    FailureRecord(const FailureRecord&) = delete;
    FailureRecord& operator=(const FailureRecord&) = delete;

    // The text of the latest failure on this thread since the record was made; empty if none.
    const std::string& Text() const { return m_text; }

    // Called by the engine with every text it stores.
    static void Note(const char* text);

private:
    FailureRecord* m_outer;
    std::string m_text;
};

}  // namespace Quorvex::VarnelNet
