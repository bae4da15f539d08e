# Compiles the tone tables into C++ at build time, so that the TSV files stay their only source:
#   cmake -DPLANS=tone-plans.tsv -DSIT=sit.tsv -DOUTPUT=ToneTablesData.cpp -P ToneTables.cmake
# Lines starting with # are comments; the first other line is the header, which must name the
# expected columns; every row must have exactly that many tab-separated cells.

# The rows of a TSV file as C++ initialisers, "{"a", "b"}," one a line, in out_var.
function(tsv_rows file columns out_var)
  file(READ "${file}" content)
  # A CMake list cannot hold ; [ or ] as text: they travel as placeholders until each cell is
  # written out.
  string(REPLACE ";" "<semicolon>" content "${content}")
  string(REPLACE "[" "<open>" content "${content}")
  string(REPLACE "]" "<close>" content "${content}")
  string(REPLACE "\r" "" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")
  list(LENGTH columns expected)
  string(REPLACE ";" "\t" header "${columns}")
  set(rows "")
  set(seen_header FALSE)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    if(NOT seen_header)
      if(NOT line STREQUAL header)
        message(FATAL_ERROR "${file}:${number}: the header must be '${header}'")
      endif()
      set(seen_header TRUE)
      continue()
    endif()
    string(REPLACE "\t" ";" cells "${line}")
    list(LENGTH cells count)
    if(NOT count EQUAL expected)
      message(FATAL_ERROR "${file}:${number}: ${count} cells, expected ${expected}")
    endif()
    set(row "")
    foreach(cell IN LISTS cells)
      string(REPLACE "\\" "\\\\" cell "${cell}")
      string(REPLACE "\"" "\\\"" cell "${cell}")
      string(REPLACE "<semicolon>" ";" cell "${cell}")
      string(REPLACE "<open>" "[" cell "${cell}")
      string(REPLACE "<close>" "]" cell "${cell}")
      if(row STREQUAL "")
        string(APPEND row "\"${cell}\"")
      else()
        string(APPEND row ", \"${cell}\"")
      endif()
    endforeach()
    string(APPEND rows "    {${row}},\n")
  endforeach()
  if(NOT seen_header)
    message(FATAL_ERROR "${file}: no header line")
  endif()
  set(${out_var} "${rows}" PARENT_SCOPE)
endfunction()

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
