# Compiles the tone tables into C++ at build time, so that the TSV files stay their only source:
#   cmake -DPLANS=tone-plans.tsv -DSIT=sit.tsv -DOUTPUT=ToneTablesData.cpp -P ToneTables.cmake
# Lines starting with # are comments; the first other line is the header, which must name the
# expected columns; every row must have exactly that many tab-separated cells.

include(${CMAKE_CURRENT_LIST_DIR}/TsvRows.cmake)

tsv_rows("${PLANS}" "country;description;tone;pattern" plan_rows)
tsv_rows("${SIT}" "code;meaning;segment1;segment2;segment3" sit_rows)

set(text "// Generated from data/tone-plans.tsv and data/sit.tsv by cmake/ToneTables.cmake: edit those.

#include \"varnel/signal/ToneTables.h\"

namespace Quorvex::VarnelNet {

namespace {

constexpr TonePlanRow kTonePlans[] = {
${plan_rows}};

constexpr SitRow kSits[] = {
${sit_rows}};

}  // namespace

std::span<const TonePlanRow> TonePlanRows() { return kTonePlans; }

std::span<const SitRow> SitRows() { return kSits; }

}  // namespace Quorvex::VarnelNet
")

file(WRITE "${OUTPUT}" "${text}")
