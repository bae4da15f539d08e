// The score's measures: Wilson intervals of known answers, what named groups read, and the
// alignment of keys sent and reported into the confusion of keys.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "testkit/Measures.h"
#include "testkit/Reading.h"
#include "testkit/Statistics.h"
#include "varnel/platform/DecimalText.h"

namespace {

using namespace Quorvex::VarnelNet::Kit;

TEST(MeasuresTest, WilsonIntervalsOfKnownAnswers) {
    const struct {
        std::size_t k, n;
        double low, high;
    } cases[] = {{0, 10, 0.0, 0.2775}, {5, 10, 0.2366, 0.7634}, {10, 10, 0.7225, 1.0}, {81, 263, 0.2553, 0.3662}, {0, 0, 0.0, 1.0}};
    for (const auto& c : cases) {
        const Proportion p = WilsonInterval(c.k, c.n);
        EXPECT_NEAR(p.low, c.low, 5e-5) << c.k << "/" << c.n;
        EXPECT_NEAR(p.high, c.high, 5e-5) << c.k << "/" << c.n;
    }
    const ErrorSummary s = Summarise({1.0, -4.0, 2.0, 3.0});
    EXPECT_EQ(s.mean, 0.5);
    EXPECT_EQ(s.p95, 4.0);
    EXPECT_EQ(s.worst, -4.0);
}

TEST(MeasuresTest, NamedGroupsReadFieldsKeysAndTimes) {
    const struct {
        const char* pattern;  // nullptr: none
        const char* output;
        const char* detected;
        const char* fields;  // name=value;...
        const char* keys;    // key start end, ...
    } cases[] = {
        {"NUMBER (?P<number>\\d+)|NAME (?P<name>.+)", "NAME ANNA DIAZ\nNUMBER 5551234\n", "5551234", "name=ANNA DIAZ;number=5551234;", ""},
        {"(?P<key>[0-9*#]) at (?P<start>[\\d.]+)(?:-(?P<end>[\\d.]+))?", "5 at 0.05-0.1\n# at 1\n", "5#", "", "5 0.05 0.1,# 1 -,"},
        {"(?:DTMF|tone): (?P<key>.)", "DTMF: 1\ntone: 2\n", "12", "", "1 - -,2 - -,"},
        {"[(](\\d)[)] (?P<key>.)", "(7) 9\n", "9", "", "9 - -,"},
        {nullptr, "1 0.003 0.078 -8.9 dBm0\nD 0.692 0.768\n9 a b\n", "1D9", "", "1 0.003 0.078,D 0.692 0.768,"},
        {"(\\d)", "1 0.003 0.078\n", "100030078", "", ""},
    };
    const auto time = [](const std::optional<double>& t) { return t ? Quorvex::VarnelNet::ShortestText(*t) : std::string("-"); };
    for (const auto& c : cases) {
        const std::optional<FieldPattern> pattern = c.pattern ? std::optional(CompileFieldPattern(c.pattern)) : std::nullopt;
        const Reading reading = ReadOutput(c.output, pattern, {});
        std::string fields, keys;
        for (const auto& [name, value] : reading.fields) fields += name + "=" + value + ";";
        for (const ReportedKey& k : reading.keys) keys += k.key + " " + time(k.start) + " " + time(k.end) + ",";
        EXPECT_EQ(reading.detected, c.detected) << c.output;
        EXPECT_EQ(fields, c.fields) << c.output;
        EXPECT_EQ(keys, c.keys) << c.output;
    }
}

TEST(MeasuresTest, KeysAlignIntoTheConfusionOfKeys) {
    Report report;
    for (const auto& [sent, detected] : {std::pair{"1234", "1234"}, {"1234", "124"}, {"55", "565"}, {"", "7"}, {"12", "13"}}) {
        report.rows.push_back({"f.wav", "dtmf", "decode", {}, Verdict::Either, sent, "", ""});
        report.detected.push_back(detected);
    }
    const Measures m = Measure(report, std::vector<FileEvidence>(report.rows.size()), std::nullopt);
    const std::vector<std::string> symbols = {"1", "2", "3", "4", "5", "6", "7", "none"};
    EXPECT_EQ(m.confusion.symbols, symbols);
    const std::map<std::pair<std::string, std::string>, std::size_t> counts = {
        {{"1", "1"}, 3}, {{"2", "2"}, 2}, {{"2", "3"}, 1}, {{"3", "3"}, 1}, {{"3", "none"}, 1}, {{"4", "4"}, 2},
        {{"5", "5"}, 2}, {{"none", "6"}, 1}, {{"none", "7"}, 1}};
    EXPECT_EQ(m.confusion.counts, counts);
}

}  // namespace
