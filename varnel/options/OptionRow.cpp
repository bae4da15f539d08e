#include "varnel/options/OptionRow.h"

#include "varnel/options/Refusal.h"
#include "varnel/options/ValueReaders.h"
#include "varnel/platform/DecimalText.h"

namespace Quorvex::VarnelNet::Option {

namespace {

std::string Bound(const OptionRow& row, double value) {
    std::string text(row.unit == " dBm0" && value > 0.0 ? "+" : "");
    return text.append(ShortestText(value));
}

}  // namespace

std::string RangeText(const OptionRow& row) {
    if (row.most > 0) return std::to_string(row.least) + " to " + std::to_string(row.most);
    return Bound(row, row.lowest) + " to " + Bound(row, row.highest);
}

std::string RangeReason(const OptionRow& row) {
    return "is not " + std::string(row.noun) + " from " + RangeText(row) + std::string(row.unit);
}

std::uint64_t WholeOf(const OptionRow& row, std::string_view text) {
    const std::optional<std::uint64_t> value = ReadWhole(text, row.least, row.most);
    if (!value) Refuse(row.name, text, RangeReason(row));
    return *value;
}

double NumberOf(const OptionRow& row, std::string_view text) {
    const std::optional<double> value = ReadNumber(text, row.lowest, row.highest);
    if (!value) Refuse(row.name, text, RangeReason(row));
    return *value;
}

bool FlagOf(const OptionRow& row, std::string_view text) {
    const std::optional<bool> value = ReadFlag(text);
    if (!value) Refuse(row.name, text, "is not 1 or 0");
    return *value;
}

}  // namespace Quorvex::VarnelNet::Option
