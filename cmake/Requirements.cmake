# Compiles data/receiver-requirements.tsv into C++ at build time, so that the TSV file stays the
# only source of the requirements the suites name:
#   cmake -DTSV=receiver-requirements.tsv -DOUTPUT=RequirementsData.cpp -P Requirements.cmake

include(${CMAKE_CURRENT_LIST_DIR}/TsvRows.cmake)

tsv_rows("${TSV}" "id;suite;requirement;source;status" rows)

file(WRITE "${OUTPUT}" "// Generated from data/receiver-requirements.tsv by cmake/Requirements.cmake: edit that.

#include \"testkit/Requirements.h\"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr Requirement kRequirements[] = {
${rows}};

}  // namespace

std::span<const Requirement> Requirements() { return kRequirements; }

}  // namespace Quorvex::VarnelNet::Kit
")
