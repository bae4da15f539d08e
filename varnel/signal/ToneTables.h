#pragma once

#include <span>
#include <string>
#include <string_view>

namespace Quorvex::VarnelNet {

// The built-in tone tables. Their rows are compiled from data/tone-plans.tsv and data/sit.tsv at
// build time (cmake/ToneTables.cmake), cell for cell; the patterns are in the notation of
// TonePattern.h.

// A call-progress tone of a country: "uk", "United Kingdom", "busy", "400/375,0/375".
struct TonePlanRow {
    std::string_view country;      // ISO 3166 alpha-2, lower case; the United Kingdom is "uk"
    std::string_view description;  // the country's name
    std::string_view tone;         // dial, busy, ringback, congestion, callwaiting, info
    std::string_view pattern;
};

// A special information tone: three segments "HZ/MS", sent once and without gaps.
struct SitRow {
    std::string_view code;  // nc, ic, vc, ro, itu
    std::string_view meaning;
    std::string_view segment1;
    std::string_view segment2;
    std::string_view segment3;
};

// Every row, in the order of its file.
std::span<const TonePlanRow> TonePlanRows();
std::span<const SitRow> SitRows();

// The row of a country and tone, both compared without regard to case; "gb" names "uk".
// nullptr when there is none.
const TonePlanRow* FindTonePlan(std::string_view country, std::string_view tone);
// Whether the table has any tone of the country ("gb" included).
bool HasTonePlanCountry(std::string_view country);
// "at, au, bg, ..." in the table's order, each country once; "gb" is not listed.
std::string TonePlanCountries();
// "dial, busy, ..." of one country, in the table's order.
std::string TonePlanTones(std::string_view country);

// The row of a code, compared without regard to case; nullptr when there is none.
const SitRow* FindSit(std::string_view code);
// "nc, ic, vc, ro, itu".
std::string SitCodes();
// The segments as a pattern of elements played once: "!985.2/380,!1428.5/380,!1776.7/380".
std::string SitPattern(const SitRow& row);

}  // namespace Quorvex::VarnelNet
