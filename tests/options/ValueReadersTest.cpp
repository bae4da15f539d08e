// The readers of option values, and the registry's rows against their help.

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "varnel/options/OptionRegistry.h"
#include "varnel/options/Refusal.h"
#include "varnel/options/ValueReaders.h"
#include "varnel/script/Impairments.h"

namespace {

using namespace Quorvex::VarnelNet;
using namespace Quorvex::VarnelNet::Option;

constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();

TEST(ValueReadersTest, EachReaderTakesItsFormAndNothingElse) {
    const struct {
        std::optional<std::uint64_t> read;
        std::optional<std::uint64_t> expected;
    } cases[] = {
        {ReadWhole("0"), 0}, {ReadWhole("007"), 7}, {ReadWhole("18446744073709551615"), kMost},
        {ReadWhole("18446744073709551616"), std::nullopt}, {ReadWhole("99999999999999999999"), std::nullopt},
        {ReadWhole(""), std::nullopt}, {ReadWhole("-1"), std::nullopt}, {ReadWhole("+1"), std::nullopt},
        {ReadWhole("1 "), std::nullopt}, {ReadWhole("60", 10, 60), 60}, {ReadWhole("61", 10, 60), std::nullopt},
        {ReadWhole("9", 10, 60), std::nullopt},
        {ReadTime("1970-01-01T00:00:00Z"), 0}, {ReadTime("2024-02-29T12:00:00.5Z"), 1709208000500000},
        {ReadTime("2024-02-30T00:00:00Z"), std::nullopt}, {ReadTime("2024-02-29T12:00:00.Z"), std::nullopt},
        {ReadTime("2106-02-07T06:28:15Z"), 4294967295000000}, {ReadTime("2106-02-07T06:28:16Z"), std::nullopt},
        {ReadTime("1.25"), 1250000}, {ReadTime("4294967296"), std::nullopt}, {ReadTime("1.1234567"), std::nullopt},
        {ReadTime("now"), std::nullopt},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].read, cases[i].expected) << i;
    EXPECT_EQ(ReadNumber("-50", -50, 50), -50.0);
    EXPECT_EQ(ReadNumber("8e3", 0, 1e4), 8000.0);
    EXPECT_EQ(ReadNumber("50.001", -50, 50), std::nullopt);
    EXPECT_EQ(ReadNumber("nan", -50, 50), std::nullopt);
    EXPECT_EQ(ReadFlag("1"), true);
    EXPECT_EQ(ReadFlag("yes"), std::nullopt);
}

TEST(ValueReadersTest, SharesAreOneToNAndRefusedByPart) {
    const struct {
        const char* text;
        const char* refusal;  // or "" when read
    } cases[] = {
        {"1/1", ""}, {"1000000/1000000", ""}, {"3/2", "shard I: '3' is not a whole number from 1 to 2"},
        {"0/3", "shard I: '0' is not a whole number from 1 to 3"}, {"/3", "shard I: '' is not a whole number from 1 to 3"},
        {"1/0", "shard N: '0' is not a whole number from 1 to 1000000"},
        {"1/1000001", "shard N: '1000001' is not a whole number from 1 to 1000000"}, {"12", "shard: '12' is not I/N"},
    };
    for (const auto& c : cases) {
        try {
            const Share share = ReadShare("shard", c.text, 1000000);
            EXPECT_STREQ(c.refusal, "") << c.text;
            EXPECT_LE(share.index, share.count);
        } catch (const OptionRefused& e) {
            EXPECT_STREQ(e.what(), c.refusal);
        }
    }
}

// A help that states a range states the row's (2^64-1 standing for the largest seed), and a
// default the row's.
TEST(ValueReadersTest, HelpTextsStateTheRowsRangeAndDefault) {
    for (const OptionRow* row : All()) {
        const bool ranged = row->kind == Kind::Number || row->most > 0;
        if (row->help.empty() || row->target == Target::Setting || !ranged) continue;
        const std::string help(row->help);
        const std::string range = RangeText(*row), power = "0 to 2^64-1";
        EXPECT_TRUE(help.find(range) != std::string::npos || (row->most == kMost && help.find(power) != std::string::npos))
            << row->name << ": " << range;
        if (row->target == Target::Session && !row->fallback.empty() && row->fallback != "now") {
            EXPECT_NE(help.find("default " + std::string(row->fallback)), std::string::npos) << row->name;
        }
    }
}

// A row's default is what its target holds without the option.
TEST(ValueReadersTest, DefaultsAreTheTargetsOwn) {
    for (const OptionRow* row : All()) {
        if (row->fallback.empty()) continue;
        const std::string name(row->name), fallback(row->fallback);
        if (row->target == Target::Impairment) {
            Script::Impairments impairments;
            Script::SetImpairment(impairments, name, fallback);
            EXPECT_TRUE(impairments == Script::Impairments{}) << name;
        } else if (row->target == Target::Session) {
            Rtp::SessionOptions given, none;
            Rtp::SetSessionOption(given, name, fallback);
            EXPECT_TRUE(given.Source() == none.Source() && given.Destination() == none.Destination()) << name;
            given.source = given.destination = std::nullopt;
            EXPECT_TRUE(given == none) << name;
        }
    }
}

}  // namespace
