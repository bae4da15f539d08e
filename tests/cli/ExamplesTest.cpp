// Every example command of the README, of the pages under docs/ and of the man page renders the
// bytes recorded in examples.tsv (length and FNV-1a of what it writes), with the clock fixed for
// Caller-ID dates: the examples keep their bytes from one version to the next, and a new example
// needs a row.
//
// VARNEL_WRITE_EXAMPLES=FILE writes the table the current build produces, to review a
// deliberate change.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/Runner.h"
#include "support/Shell.h"
#include "support/WaveFiles.h"
#include "varnel/platform/LocalTime.h"

namespace {

using namespace Quorvex::VarnelNet;
using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;

LocalTime FixedTime() { return LocalTime{10, 30, 0, 0, 12, 25}; }

// The words of a command line, quoted as in a shell.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' || c == '\'') {
            const std::size_t close = line.find(c, i + 1);
            word += line.substr(i + 1, close - i - 1);
            i = close;
            inWord = true;
        } else if (c == ' ') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

// The example commands: lines "build/cli/varnel ..." of the README and of docs/*.md and the man
// page's "varnel ...", up to a pipe or a comment, each once; those that play go to standard
// output instead. Examples that read standard input or write no audio, and the commands of the
// test kit and the detectors, are left out.
std::vector<std::string> Examples() {
    std::vector<std::string> examples;
    const auto take = [&](std::string line, const std::string& prefix) {
        if (line.rfind(prefix, 0) != 0) return;
        line = line.substr(prefix.size());
        for (const char* end : {" | ", "  #"}) line = line.substr(0, line.find(end));
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (line.find("--play") != std::string::npos) line.replace(line.find("--play"), 6, "--raw");
        const bool audio = line.find("-o ") != std::string::npos || line.find("--raw") != std::string::npos;
        const bool listed = std::find(examples.begin(), examples.end(), line) != examples.end();
        const std::string command = line.substr(0, line.find(' '));
        if (command == "suite" || command == "score" || command == "corpus" || command == "detect") return;
        if (audio && !listed && line.find("ttyfile:-") == std::string::npos && line.find("-f ") == std::string::npos) {
            examples.push_back(line);
        }
    };
    std::vector<std::filesystem::path> documents = {VARNEL_README_PATH};
    for (const auto& entry : std::filesystem::directory_iterator(VARNEL_DOCS_DIR)) {
        if (entry.path().extension() == ".md") documents.push_back(entry.path());
    }
    std::sort(documents.begin() + 1, documents.end());
    for (const std::filesystem::path& document : documents) {
        const Bytes text = ReadFileBytes(document.string());
        std::istringstream lines(std::string(text.begin(), text.end()));
        for (std::string line; std::getline(lines, line);) take(line, "build/cli/varnel ");
    }
    const Bytes page = ReadFileBytes(VARNEL_MAN_PATH);
    std::istringstream pageLines(std::string(page.begin(), page.end()));
    for (std::string line; std::getline(pageLines, line);) {
        for (std::size_t at; (at = line.find("\\-")) != std::string::npos;) line.erase(at, 1);
        take(line, "varnel ");
    }
    return examples;
}

std::string Fingerprint(const Bytes& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const std::uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3ull;
    std::ostringstream text;
    text << bytes.size() << "\t" << std::hex << hash;
    return text.str();
}

// What the example writes: its file, or standard output.
Bytes Render(const std::string& example, const std::string& path) {
    std::vector<std::string> args = Words(example);
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "-o" && args[i + 1] != "-") args[i + 1] = path;
    }
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = Cli::Run(Cli::ParseArguments(args), out, err);
    EXPECT_EQ(status, 0) << example;
    std::fflush(out);
    Bytes bytes(static_cast<std::size_t>(std::ftell(out)));
    std::rewind(out);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), out), bytes.size());
    std::fclose(out);
    std::fclose(err);
    return std::find(args.begin(), args.end(), path) != args.end() ? ReadFileBytes(path) : bytes;
}

TEST(ExamplesTest, EveryExampleKeepsItsBytes) {
    SetLocalTimeSource(FixedTime);
    std::map<std::string, std::string> recorded;
    std::ifstream table(VARNEL_EXAMPLES_TABLE);
    for (std::string line; std::getline(table, line);) {
        const std::size_t tab = line.find('\t', line.find('\t') + 1);
        if (!line.empty() && line[0] != '#') recorded[line.substr(tab + 1)] = line.substr(0, tab);
    }
    const ScratchDir dir;
    const std::string path = (dir.path() / "example.wav").string();
    std::ostringstream written;
    for (const std::string& example : Examples()) {
        const std::string fingerprint = Fingerprint(Render(example, path));
        written << fingerprint << "\t" << example << "\n";
        const auto row = recorded.find(example);
        if (row == recorded.end()) {
            ADD_FAILURE() << "no row in examples.tsv for: " << example;
            continue;
        }
        EXPECT_EQ(fingerprint, row->second) << example;
    }
    if (const char* out = std::getenv("VARNEL_WRITE_EXAMPLES")) std::ofstream(out) << written.str();
    SetLocalTimeSource(nullptr);
}

}  // namespace
