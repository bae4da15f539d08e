#include "varnel/signal/ToneTables.h"

#include <algorithm>

namespace Quorvex::VarnelNet {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// The country code the table uses: ISO 3166 calls the United Kingdom "gb", the table "uk".
std::string_view TableCountry(std::string_view country) { return SameText(country, "gb") ? "uk" : country; }

void AppendListed(std::string& list, std::string_view item) {
    if (!list.empty()) list += ", ";
    list += item;
}

}  // namespace

const TonePlanRow* FindTonePlan(std::string_view country, std::string_view tone) {
    const std::string_view code = TableCountry(country);
    for (const TonePlanRow& row : TonePlanRows()) {
        if (SameText(row.country, code) && SameText(row.tone, tone)) return &row;
    }
    return nullptr;
}

bool HasTonePlanCountry(std::string_view country) {
    const std::string_view code = TableCountry(country);
    const auto rows = TonePlanRows();
    return std::any_of(rows.begin(), rows.end(), [&](const TonePlanRow& row) { return SameText(row.country, code); });
}

std::string TonePlanCountries() {
    const auto rows = TonePlanRows();
    std::string list;
    for (auto row = rows.begin(); row != rows.end(); ++row) {
        const bool first = std::none_of(rows.begin(), row, [&](const TonePlanRow& r) { return r.country == row->country; });
        if (first) AppendListed(list, row->country);
    }
    return list;
}

std::string TonePlanTones(std::string_view country) {
    const std::string_view code = TableCountry(country);
    std::string list;
    for (const TonePlanRow& row : TonePlanRows()) {
        if (SameText(row.country, code)) AppendListed(list, row.tone);
    }
    return list;
}

const SitRow* FindSit(std::string_view code) {
    for (const SitRow& row : SitRows()) {
        if (SameText(row.code, code)) return &row;
    }
    return nullptr;
}

std::string SitCodes() {
    std::string list;
    for (const SitRow& row : SitRows()) AppendListed(list, row.code);
    return list;
}

std::string SitPattern(const SitRow& row) {
    std::string pattern;
    for (const std::string_view segment : {row.segment1, row.segment2, row.segment3}) {
        pattern.append(pattern.empty() ? "!" : ",!").append(segment);
    }
    return pattern;
}

}  // namespace Quorvex::VarnelNet
