// The compiled tone tables against their TSV files, row for row and cell for cell, and the
// lookups on them.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "varnel/signal/ToneTables.h"

namespace {

using namespace Quorvex::VarnelNet;
using Cells = std::vector<std::string>;

// The data rows of a TSV file: comment lines and the header left out, each split at its tabs.
std::vector<Cells> ReadTsv(const char* path) {
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << path;
    std::vector<Cells> rows;
    bool header = true;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (header) {
            header = false;
            continue;
        }
        Cells cells(1);
        for (const char c : line) {
            if (c == '\t') {
                cells.emplace_back();
            } else {
                cells.back() += c;
            }
        }
        rows.push_back(cells);
    }
    return rows;
}

TEST(ToneTables, TonePlansEqualTheFileRowForRow) {
    const std::vector<Cells> file = ReadTsv(VARNEL_TONE_PLANS_TSV);
    const auto table = TonePlanRows();
    ASSERT_EQ(table.size(), file.size());
    ASSERT_GE(table.size(), 230u);
    for (std::size_t i = 0; i < file.size(); ++i) {
        const TonePlanRow& row = table[i];
        EXPECT_EQ(Cells({std::string(row.country), std::string(row.description), std::string(row.tone),
                         std::string(row.pattern)}),
                  file[i])
            << "row " << i;
    }
}

TEST(ToneTables, SpecialInformationTonesEqualTheFileRowForRow) {
    const std::vector<Cells> file = ReadTsv(VARNEL_SIT_TSV);
    const auto table = SitRows();
    ASSERT_EQ(table.size(), file.size());
    ASSERT_EQ(table.size(), 5u);
    for (std::size_t i = 0; i < file.size(); ++i) {
        const SitRow& row = table[i];
        EXPECT_EQ(Cells({std::string(row.code), std::string(row.meaning), std::string(row.segment1),
                         std::string(row.segment2), std::string(row.segment3)}),
                  file[i])
            << "row " << i;
    }
}

TEST(ToneTables, LookupsIgnoreCaseAndTakeGbForTheUnitedKingdom) {
    struct Case {
        const char* country;
        const char* tone;
        const char* pattern;  // nullptr: no such row
    };
    const Case cases[] = {
        {"uk", "busy", "400/375,0/375"},
        {"GB", "Busy", "400/375,0/375"},
        {"in", "dial", "400*25"},
        {"za", "ringback", "400*33/400,0/200,400*33/400,0/2000"},
        {"my", "info", nullptr},  // Malaysia has no info tone
        {"xx", "dial", nullptr},
        {"uk", "", nullptr},
    };
    for (const Case& c : cases) {
        const TonePlanRow* row = FindTonePlan(c.country, c.tone);
        if (!c.pattern) {
            EXPECT_EQ(row, nullptr) << c.country << " " << c.tone;
            continue;
        }
        ASSERT_NE(row, nullptr) << c.country << " " << c.tone;
        EXPECT_EQ(row->pattern, c.pattern);
    }
    EXPECT_TRUE(HasTonePlanCountry("gb"));
    EXPECT_FALSE(HasTonePlanCountry("gbr"));
    EXPECT_EQ(TonePlanTones("my"), "dial, busy, ringback, congestion");
    const std::string countries = TonePlanCountries();
    EXPECT_EQ(countries.substr(0, 14), "at, au, bg, br");
    EXPECT_EQ(countries.size(), 40u * 4u - 2u) << countries;  // forty codes, each once

    ASSERT_NE(FindSit("VC"), nullptr);
    EXPECT_EQ(SitPattern(*FindSit("vc")), "!985.2/380,!1370.6/274,!1776.7/380");
    EXPECT_EQ(FindSit("xx"), nullptr);
    EXPECT_EQ(SitCodes(), "nc, ic, vc, ro, itu");
}

}  // namespace
