#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "varnel/detect/Expectation.h"
#include "varnel/script/Labels.h"
#include "varnel/script/Parser.h"

namespace Quorvex::VarnelNet::Cli {

// What one stream of a recording was heard to hold: a WAV file's one stream (no name), or a
// capture's RTP streams ("RTP 0x1234ABCD 127.0.0.1:40000 > 127.0.0.1:5004"), as labels at its rate.
struct HeardStream {
    std::string name;
    int rate = 0;
    std::vector<Script::Label> labels;
};

// The events the requests send, from their labels: the script is rendered, its audio dropped.
// Throws Script::RequestError for a request the engine refuses, Interrupted on a signal.
std::vector<Detect::Compared> ExpectedOf(const Script::Requests& requests);

// The return-path check of varnel detect --expect: each recording's verdict printed, a line a
// file ("matches: 12 keys", or its first difference; its name before it when there are several),
// and a JUnit report of a testcase a file. A capture matches when one of its streams does.
class ExpectReport {
public:
    explicit ExpectReport(std::vector<Detect::Compared> expected) : m_expected(std::move(expected)) {}

    // Prints file's verdict on out, prefixed with "FILE: " when named; returns whether it matches.
    bool Judge(const std::string& file, bool named, const std::vector<HeardStream>& streams, std::FILE* out);
    // The verdicts so far as a JUnit XML file.
    std::string Junit() const;

private:
    std::vector<Detect::Compared> m_expected;
    std::string m_cases;
    std::size_t m_tests = 0;
    std::size_t m_failures = 0;
};

// The labels of the streams as the extension of path asks: Audacity's label track (.txt) or
// JSON lines (.jsonl).
std::string HeardLabels(const std::string& path, const std::vector<HeardStream>& streams);

}  // namespace Quorvex::VarnelNet::Cli
