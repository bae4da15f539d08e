#include "cli/DetectFrontEnd.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "cli/RefusalText.h"
#include "cli/Text.h"
#include "cli/UsageError.h"
#include "varnel/options/ValueReaders.h"
#include "varnel/script/TextFiles.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

constexpr double kLongestListen = 24.0 * 3600.0;

void SetExpected(DetectOptions& detect, const std::string& option, const std::string& script) {
    if (detect.expect) throw UsageError("give one script to expect: --expect SCRIPT or -f FILE");
    Worded([&] { detect.expect = Script::ParseScript(script); });
    if (detect.expect->empty()) throw UsageError(option + " needs a script of one request or more");
}

std::string ScriptFile(const std::string& path) {
    if (path.empty()) throw UsageError("-f/--script needs a file name (- for standard input)");
    try {
        return Script::ReadWholeFile(path);
    } catch (const std::system_error& e) {
        throw UsageError("cannot read the script " + (path == "-" ? std::string("on standard input") : "'" + Printable(path) + "'") + ": " +
                         e.code().message());
    }
}

Rtp::Endpoint ListenEndpoint(const std::string& text) {
    Rtp::Endpoint endpoint;
    if (text.find(':') == std::string::npos) {
        const std::optional<std::uint64_t> port = Option::ReadWhole(text, 0, 65535);
        if (!port) throw UsageError("--rtp-listen needs [ADDRESS:]PORT, a port from 0 (any) to 65535, not '" + Printable(text) + "'");
        endpoint.port = static_cast<std::uint16_t>(*port);
        return endpoint;
    }
    Worded([&] { endpoint = Rtp::ParseEndpoint(text, "rtp-listen"); });
    return endpoint;
}

bool WriteFile(const std::string& path, const std::string& text, std::FILE* err) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file << text;
    if (file.flush()) return true;
    std::fprintf(err, "varnel: %s: %s\n", Printable(path).c_str(), std::strerror(errno));
    return false;
}

}  // namespace

bool ParseDetectFrontEnd(const std::string& arg, const DetectValue& value, DetectOptions& detect) {
    if (arg == "--expect") {
        SetExpected(detect, arg, value(arg));
    } else if (arg == "-f" || arg == "--script") {
        SetExpected(detect, "-f/--script", ScriptFile(value("-f/--script")));
    } else if (arg == "--junit") {
        if (!detect.junitPath.empty()) throw UsageError("--junit given twice");
        detect.junitPath = value(arg);
        if (detect.junitPath.empty()) throw UsageError("--junit needs a file name");
    } else if (arg == "--labels") {
        if (!detect.labelsPath.empty()) throw UsageError("--labels given twice");
        detect.labelsPath = value(arg);
        Worded([&] { Script::LabelFormatOf(detect.labelsPath); });
    } else if (arg == "--rtp-listen") {
        if (detect.listen) throw UsageError("--rtp-listen given twice");
        detect.listen = ListenEndpoint(value(arg));
    } else if (arg == "--duration") {
        const std::string& seconds = value(arg);
        detect.seconds = Option::ReadNumber(seconds, 0.001, kLongestListen);
        if (!detect.seconds) throw UsageError("--duration needs seconds from 0.001 to 86400, not '" + Printable(seconds) + "'");
    } else {
        return false;
    }
    return true;
}

void CheckDetectFrontEnd(const DetectOptions& detect) {
    if (!detect.junitPath.empty() && !detect.expect) throw UsageError("--junit reports the verdicts of --expect: give a script to expect");
    if (detect.seconds && !detect.listen) throw UsageError("--duration limits --rtp-listen: give a port to listen on");
    if (detect.listen && !detect.files.empty()) throw UsageError("--rtp-listen reads no file: give a port or files, not both");
    if (detect.listen && detect.raw) throw UsageError("--rtp-listen receives G.711: -r, -e and -b describe raw files");
    if (!detect.labelsPath.empty() && detect.files.size() > 1) throw UsageError("--labels writes the labels of one recording: give one file");
}

bool WriteDetectOutputs(const DetectOptions& detect, const std::vector<HeardStream>& heard, const ExpectReport* expect, std::FILE* err) {
    bool written = true;
    if (!detect.labelsPath.empty()) written = WriteFile(detect.labelsPath, HeardLabels(detect.labelsPath, heard), err);
    if (expect && !detect.junitPath.empty()) written = WriteFile(detect.junitPath, expect->Junit(), err) && written;
    return written;
}

}  // namespace Quorvex::VarnelNet::Cli
