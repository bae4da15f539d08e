#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "testkit/Suite.h"

namespace Quorvex::VarnelNet::Kit {

// One line of a folder's manifest.csv: a file, the family and parameters it comes from, the
// verdict it calls for, what it sends, and the requirement with its source.
struct ManifestRow {
    std::string file;       // the WAV file's name in the folder
    std::string suite;      // the suite, or "corpus"
    std::string family;
    Pairs parameters;       // written "name=value;name=value"
    Verdict verdict = Verdict::Either;
    std::string sent;       // the keys or the number the file carries
    std::string requirement;
    std::string source;     // where the requirement is published, with its status when unsure

    // The parameter's value, or an empty text.
    std::string_view Parameter(std::string_view name) const;
};

// The row of a suite's file (its WAV file named name + ".wav").
ManifestRow RowOf(const Suite& suite, const SuiteFile& file);

// "file,suite,family,parameters,verdict,sent,requirement,source"
std::string ManifestHeader();
// One CSV line (RFC 4180 quoting), ending with a newline. The verdict is written as the issue
// of a test plan reads: "detect KEYS", "reject", "either".
std::string ManifestLine(const ManifestRow& row);

class ManifestError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The rows of a manifest's text; throws ManifestError naming the line of anything else.
std::vector<ManifestRow> ReadManifest(std::string_view text);

}  // namespace Quorvex::VarnelNet::Kit
