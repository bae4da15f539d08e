// The test kit's pieces: manifests, what a receiver's output says, the figures of a score, the
// suites and the corpus recipe, the runs on a folder with their progress, stop and failures, and
// the tool's kit commands with receivers that fail.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/Shell.h"
#include "testkit/Corpus.h"
#include "testkit/FolderFiles.h"
#include "testkit/Manifest.h"
#include "testkit/ReceiverProcess.h"
#include "testkit/Requirements.h"
#include "testkit/Runs.h"
#include "testkit/Score.h"

namespace {

using namespace Quorvex::VarnelNet::Kit;

std::string ErrorOf(const std::string& text) {
    try {
        ReadManifest(text);
    } catch (const ManifestError& e) {
        return e.what();
    }
    return "";
}

TEST(KitTest, ManifestsReadBackAndRefuseWhatIsNotOne) {
    ManifestRow row{"a,b.wav", "dtmf", "twist", {{"signal", "us dial tone"}, {"twist_db", "3"}}, Verdict::Detect, "159D",
                    "dtmf-twist-normal", "a \"quoted\", source"};
    const std::vector<ManifestRow> back = ReadManifest(ManifestHeader() + ManifestLine(row) + "\n");
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].file, row.file);
    EXPECT_EQ(back[0].parameters, row.parameters);
    EXPECT_EQ(back[0].verdict, Verdict::Detect);
    EXPECT_EQ(back[0].source, row.source);
    EXPECT_EQ(ManifestLine(row), "\"a,b.wav\",dtmf,twist,signal=us dial tone;twist_db=3,detect 159D,159D,dtmf-twist-normal,"
                                 "\"a \"\"quoted\"\", source\"\n");

    const std::string header = ManifestHeader();
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1: the header must be 'file,suite,family,parameters,verdict,sent,requirement,source'"},
        {header + "a.wav,s,f,,reject,,,\nb.wav,s\n", "line 3: 2 cells where 8 are expected"},
        {header + "a.wav,s,f,,detect 12,13,,\n", "line 2: the verdict 'detect 12' is not 'detect SENT', 'reject' or 'either'"},
        {header + "a.wav,s,f,x,either,,,\n", "line 2: the parameter 'x' is not NAME=VALUE"},
        {header + "../a.wav,s,f,,either,,,\n", "line 2: the file '../a.wav' is not a name in the folder"},
        {header + "\"a.wav,s,f,,either,,,\n", "line 2: a quoted cell does not end"},
    };
    for (const auto& [text, error] : cases) EXPECT_EQ(ErrorOf(text), "manifest.csv " + error);
}

TEST(KitTest, DetectedReadsTheReceiversOutput) {
    const struct {
        const char* output;
        const char* pattern;
        const char* keyMap;
        const char* detected;
    } cases[] = {
        {"DTMF: 1\nDTMF: #\n", "DTMF: (.)", "", "1#"},
        {"multimon-ng 1.2.0\nDTMF: 5\n", "DTMF: (.)", "", "5"},
        {"159D\n", nullptr, "", "159D"},
        {"keys: 1*, none of a-d\n", nullptr, "", "1*"},
        {"DATE 12251030\nNUMBER 5551234\nNAME JOHN\n", "NUMBER (\\d+)", "", "5551234"},
        {"NUMBER 555\nNUMBER 556\n", "NUMBER \\d+", "", "NUMBER 555NUMBER 556"},
        {"key 10\nkey 11\nkey 1\nkey 0\n", "key (\\d+)", "10=*,11=#", "*#10"},
        {"E F 1 e\n", nullptr, "E=*,F=#,1=9", "*#9"},
        // varnel detect's timeline: the key of each line, not its times, levels or frequencies.
        {"1 0.003 0.078 -8.9 -8.9 dBm0 696.8 1209.2 Hz\nD 0.692 0.768 -9.4\n#  1 2\n", nullptr, "", "1D#12"},
        {"A 0.1 0.2\nC 0.3 0.4\nCID 0.1 0.4 dtmf DTMF number= -4.0 dBm0\nDT-AS 0.0 0.1 -9.0 -9.0 dBm0\n", nullptr, "", "AC"},
    };
    for (const auto& c : cases) {
        const std::optional<std::regex> pattern = c.pattern ? std::optional<std::regex>(CompilePattern(c.pattern)) : std::nullopt;
        EXPECT_EQ(Detected(c.output, pattern, ReadKeyMap(c.keyMap)), c.detected) << c.output;
    }
    for (const auto& [text, reason] : {std::pair{"10=*,11", "'11' is not FROM=TO"}, std::pair{"=*", "'=*' is not FROM=TO"},
                                       std::pair{"1=*,1=#", "'1' is mapped twice"}}) {
        try {
            ReadKeyMap(text);
            ADD_FAILURE() << text << " was taken";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), reason);
        }
    }
    const std::pair<std::string, std::string> refused[] = {
        {"(", "not a regular expression ("},
        {std::string(257, 'a'), "longer than 256 characters"},
        {"a{1234567}", "a number of more than 6 digits"},
        {"(a)\\44444444", "a number of more than 6 digits"},
    };
    for (const auto& [text, reason] : refused) {
        try {
            CompilePattern(text);
            ADD_FAILURE() << text << " was taken";
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, reason.size()), reason) << text;
        }
    }
}

// A receiver that takes normal twist up to 6 dB and reverse up to 5 dB, and reports a key never
// sent past that: its figures, requirements and false detections.
TEST(KitTest, ScoreFollowsTheRunOfDetections) {
    const Suite& suite = *FindSuite("dtmf");
    std::vector<ManifestRow> rows;
    std::vector<std::string> detected;
    for (std::size_t i = 0; i < FileCount(suite); ++i) {
        const SuiteFile file = FileAt(suite, i, 0);
        if (file.family != "twist") continue;
        rows.push_back(RowOf(suite, file));
        const int db = std::stoi(std::string(rows.back().Parameter("twist_db")));
        const int limit = rows.back().Parameter("direction") == "normal" ? 6 : 5;
        detected.push_back(db <= limit ? file.sent : db >= 15 ? "" : "E");
    }
    const Report report = Score(rows, detected);
    ASSERT_EQ(report.figures.size(), 2u);
    EXPECT_EQ(report.figures[0].group + ": " + report.figures[0].text, "normal: 6 dB (nothing detected at 15 dB and above)");
    EXPECT_EQ(report.figures[1].group + ": " + report.figures[1].text, "reverse: 5 dB (nothing detected at 15 dB and above)");
    ASSERT_EQ(report.requirements.size(), 2u);
    EXPECT_EQ(report.requirements[0].id, "dtmf-twist-normal");
    EXPECT_EQ(report.requirements[0].failures.size(), 2u);  // 7 and 8 dB
    EXPECT_TRUE(report.requirements[1].failures.empty());
    EXPECT_EQ(report.falseDetections.size(), 17u);          // the 'E' reported at 7-14 and 6-14 dB
    EXPECT_NE(ReportJson(report, "r").find("\"id\": \"dtmf-twist-normal\",\n      \"met\": false"), std::string::npos);
    // Detect files apart, either files apart and never met (reverse 5 dB is one, its keys reported).
    EXPECT_NE(ReportText(report, "r").find("detect files meeting their verdict: 11 of 13\nreject files meeting their verdict: 0 of 0\n"
                                           "either files (counted apart, never as met): 28, what was sent reported in 1\n"),
              std::string::npos);
    EXPECT_EQ(std::count(report.passed.begin(), report.passed.end(), true), 11);
    EXPECT_NE(ReportJson(report, "r").find("\"either\": {\n    \"files\": 28,\n    \"sent_detected\": 1\n  }"), std::string::npos);
}

// Every file of every suite has a name of its own, parses, names a known requirement, and is
// the same for the same seed.
TEST(KitTest, SuitesArePureFunctionsOfTheirIndex) {
    for (const Suite& suite : Suites()) {
        std::set<std::string> names;
        for (std::size_t i = 0; i < FileCount(suite); ++i) {
            const SuiteFile file = FileAt(suite, i, 7);
            EXPECT_TRUE(names.insert(file.name).second) << file.name;
            EXPECT_NO_THROW(JobOf(file, SuiteEncoding::ALaw)) << file.name;
            EXPECT_TRUE(file.requirement.empty() || FindRequirement(file.requirement)) << file.name;
            const SuiteFile again = FileAt(suite, i, 7);
            EXPECT_EQ(ManifestLine(RowOf(suite, file)), ManifestLine(RowOf(suite, again)));
            EXPECT_TRUE(file.requests == again.requests && file.mix == again.mix) << file.name;
            EXPECT_EQ(file.impairments.seed, again.impairments.seed);
        }
    }
}

// Receivers that print the same for every file (a constant, the file's path, nothing) meet no
// requirement of a suite that has files to detect.
TEST(KitTest, AConstantReceiverMeetsNoDetectRequirement) {
    const struct {
        const char* output;  // {} stands for the file's name
        const char* pattern;
    } receivers[] = {{"159D\n", nullptr}, {"NUMBER 5551234\n", "NUMBER (\\d+)"}, {"{}\n", nullptr}, {"", nullptr}};
    for (const Suite& suite : Suites()) {
        std::vector<ManifestRow> rows;
        for (std::size_t i = 0; i < FileCount(suite); ++i) rows.push_back(RowOf(suite, FileAt(suite, i, 11)));
        for (const auto& receiver : receivers) {
            const std::optional<std::regex> pattern =
                receiver.pattern ? std::optional<std::regex>(CompilePattern(receiver.pattern)) : std::nullopt;
            std::vector<std::string> detected;
            for (const ManifestRow& row : rows) {
                std::string output = receiver.output;
                if (output.starts_with("{}")) output.replace(0, 2, row.file);
                detected.push_back(Detected(output, pattern));
            }
            const Report report = Score(rows, detected);
            for (const RequirementResult& r : report.requirements) {
                const bool detects = std::any_of(rows.begin(), rows.end(), [&](const ManifestRow& row) {
                    return row.requirement == r.id && row.verdict == Verdict::Detect;
                });
                EXPECT_TRUE(!detects || !r.failures.empty()) << suite.name << " " << r.id << " " << receiver.output;
            }
        }
    }
}

TEST(KitTest, CorpusRecipesAreCheckedAndClipsDrawnWithinThem) {
    const std::pair<const char*, const char*> refusals[] = {
        {"[1]", "the recipe must be a JSON object"},
        {"{\"seed\": 1}", "\"clips\" is missing: how many clips to render"},
        {"{\"clips\": 0}", "\"clips\" must be from 1 to 100000000"},
        {"{\"clips\": 5, \"level\": -3}", "unknown member \"level\""},
        {"{\"clips\": 5, \"keys\": \"12E\"}", "\"keys\" holds 'E', which is not a DTMF key (0-9 A-D * #)"},
        {"{\"clips\": 5, \"tone_ms\": [80, 40]}", "\"tone_ms\": low is above high"},
        {"{\"clips\": 5, \"level_dbm0\": [-10, -2], \"twist_db\": [0, 4]}",
         "\"level_dbm0\" and \"twist_db\" reach past full scale: the two tones of a key must stay within it"},
        {"{\"clips\": 5, \"noise_band\": \"telephone\"}", "\"noise_band\" needs \"snr_db\""},
    };
    for (const auto& [json, error] : refusals) {
        try {
            ReadCorpusRecipe(json);
            ADD_FAILURE() << json << " was taken";
        } catch (const CorpusError& e) {
            EXPECT_EQ(std::string(e.what()), error) << json;
        }
    }
    const CorpusRecipe recipe = ReadCorpusRecipe(R"({"clips": 50, "seed": 9, "keys": "159", "key_count": [2, 4],
        "level_dbm0": [-30, -10], "snr_db": [5, 30], "noise_band": "telephone", "freq_offset_percent": [-1, 1]})");
    for (std::size_t i = 0; i < recipe.clips; ++i) {
        const Clip clip = ClipAt(recipe, i);
        EXPECT_GE(clip.row.sent.size(), 2u);
        EXPECT_LE(clip.row.sent.size(), 4u);
        EXPECT_EQ(clip.row.sent.find_first_not_of("159"), std::string::npos);
        const double level = std::stod(std::string(clip.row.Parameter("level_dbm0")));
        EXPECT_TRUE(level >= -30.0 && level <= -10.0) << level;
        EXPECT_EQ(ManifestLine(ClipAt(recipe, i).row), ManifestLine(clip.row));
    }
}

// A shard of a suite: progress from 0 to the files written, a stop between files that leaves no
// unfinished file and no manifest (an earlier one removed), and a score of what was written.
TEST(KitTest, RunsReportProgressStopAndScore) {
    const varnel_test::ScratchDir dir;
    const std::string folder = (dir.path() / "bell").string();
    const SuiteRun run{FindSuite("cid-bell"), folder, 2, {2, 3}, SuiteEncoding::MuLaw, {"twist", "snr"}};
    std::vector<std::size_t> heard;
    std::size_t checks = 0;
    std::size_t stopAt = 0;  // 0: never
    const RunControl control{[&] {
                                 if (++checks == stopAt) throw std::runtime_error("stop");
                             },
                             [&](std::size_t done, std::size_t total) { heard.push_back(done * 100 + total); }};
    EXPECT_EQ(WriteSuite(run, control), 12u);  // files 2, 5, ... of 14 + 21
    EXPECT_EQ(heard.front(), 12u);
    EXPECT_EQ(heard.back(), 1212u);
    EXPECT_EQ(heard.size(), 13u);

    const ScoredFolder scored = ScoreFolder({folder, {"sh", "-c", "echo 5551234; exit 2", "sh"}, "", {"snr"}, {}, {}, 1}, control);
    EXPECT_EQ(scored.report.rows.size(), 7u);
    EXPECT_EQ(scored.missing, 14u);
    ASSERT_EQ(scored.report.runFailures.size(), 7u);
    EXPECT_EQ(scored.report.runFailures[0].how, "exit status 2");
    EXPECT_EQ(scored.report.failed, 3u);  // the detect files: each sends a number of its own

    // Four workers, the files finishing out of order: the report of one.
    const std::vector<std::string> uneven = {
        "sh", "-c", "case $1 in *[02468].wav) sleep 0.1;; esac; echo $1; case $1 in *3.wav) exit 3;; esac", "sh"};
    heard.clear();
    const ScoredFolder one = ScoreFolder({folder, uneven, "", {}, {}, {}, 1}, control);
    const ScoredFolder four = ScoreFolder({folder, uneven, "", {}, {}, {}, 4}, control);
    EXPECT_EQ(ReportJson(four.report, "r"), ReportJson(one.report, "r"));
    EXPECT_EQ(ReportText(four.report, "r"), ReportText(one.report, "r"));
    EXPECT_FALSE(four.report.runFailures.empty());
    EXPECT_EQ(heard.back(), 1212u);

    const std::string stopped = (dir.path() / "stopped").string();
    checks = 0;
    stopAt = 20;
    std::filesystem::create_directories(stopped);
    std::filesystem::copy_file(std::filesystem::path(folder) / "manifest.csv", std::filesystem::path(stopped) / "manifest.csv");
    EXPECT_THROW(WriteSuite({run.suite, stopped, 2, {1, 1}, SuiteEncoding::Pcm, {}}, control), std::runtime_error);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(stopped)) {
        EXPECT_TRUE(entry.path().extension() == ".wav" || entry.path().extension() == ".jsonl") << entry.path();
        ++files;
    }
    EXPECT_GT(files, 0u);
}

// Failures carry what failed and the system's reason, for each front end to word.
TEST(KitTest, RunsThrowTheirFailuresWithTheirData) {
    const varnel_test::ScratchDir dir;
    const std::string folder = (dir.path() / "a").string();
    const RunControl control{[] {}, {}};
    const SuiteRun run{FindSuite("dtmf"), folder, 0, {}, SuiteEncoding::Pcm, {"decode"}};
    WriteSuite(run, control);
    std::filesystem::create_directories(dir.path() / "b" / ".decode-0003.wav.part");
    std::filesystem::create_directories(dir.path() / "c" / "manifest.csv");
    const struct {
        std::function<void()> run;
        FileError::Act act;
        std::string path;
    } cases[] = {
        {[&] { WriteSuite({run.suite, "/proc/no/such", 0, {}, SuiteEncoding::Pcm, {}}, control); }, FileError::Act::MakeFolder,
         "/proc/no/such"},
        {[&] { WriteSuite({run.suite, (dir.path() / "b").string(), 0, {}, SuiteEncoding::Pcm, {"decode"}}, control); },
         FileError::Act::Write, (dir.path() / "b" / "decode-0003.wav").string()},
        {[&] { WriteSuite({run.suite, (dir.path() / "c").string(), 0, {}, SuiteEncoding::Pcm, {"decode"}}, control); },
         FileError::Act::Write, (dir.path() / "c" / "manifest.csv").string()},
        {[&] { ScoreFolder({dir.path().string(), {"true"}, "", {}, {}, {}, 1}, control); }, FileError::Act::Read,
         (dir.path() / "manifest.csv").string()},
    };
    for (const auto& c : cases) {
        try {
            c.run();
            ADD_FAILURE() << c.path << " was taken";
        } catch (const FileError& e) {
            EXPECT_EQ(e.Action(), c.act) << c.path;
            EXPECT_EQ(e.Path(), c.path);
            EXPECT_STRNE(e.what(), "");
        }
    }
}

// The tool's kit commands on two files of a suite: their help, and receivers that fail, with the
// exit status and the words the tool prints for each.
TEST(KitTest, TheToolAnswersForItsReceivers) {
    const varnel_test::ScratchDir dir;
    const std::string tool = varnel_test::Quote(VARNEL_CLI_PATH);
    const std::string folder = varnel_test::Quote((dir.path() / "s").string());
    std::string output;
    ASSERT_EQ(varnel_test::RunShell(tool + " suite cid-bell --family twist --shard 1/7 -o " + folder, output), 0) << output;
    const struct {
        std::string args;
        int status;
        std::vector<std::string> words;
    } cases[] = {
        {"suite --help", 0, {"varnel suite [NAME -o DIR]", "--shard I/N writes"}},
        {"score {dir} --json --help", 0, {"varnel score DIR", "COMMAND [ARG...]"}},
        {"corpus -h", 0, {"varnel corpus RECIPE.json"}},
        {"score {dir} -- sh -c 'exit 3'", 1, {"failed on 2 files: twist-0004.wav (exit status 3), twist-0011.wav (exit status 3)\n"}},
        {"score {dir} -- sh -c 'kill -SEGV $$'", 1, {"twist-0004.wav (killed by SIGSEGV)", "files meeting their verdict"}},
        {"score {dir} -- /no/such", 1, {"(cannot run '/no/such': No such file or directory)"}},
        {"score {dir} --timeout 0.5 -- sh -c 'sleep 5 & sleep 5' sh", 1, {"twist-0011.wav (timed out after 0.5 s)\n"}},
        {"score {dir} --timeout 0.5 -- yes 1", 1, {"(timed out after 0.5 s, output past 1 MiB, the rest discarded)"}},
        {"score {dir} -- sh -c 'yes 1 | head -c 3000000'", 1, {"twist-0004.wav (output past 1 MiB, the rest discarded)"}},
        // A stop kills the receiver's process group: nothing of it is left.
        {R"(score {dir} -- sh -c 'sleep $((30+1)).7 & sleep $((30+1)).7' sh 2>/dev/null & p=$!
            count() { grep -las '^sleep.31[.]7' /proc/[0-9]*/cmdline | wc -l; }
            for i in $(seq 100); do [ $(count) -ge 2 ] && break; sleep 0.1; done; echo running $(count)
            kill -TERM $p; wait $p; echo status $?; for i in $(seq 50); do [ $(count) -eq 0 ] && break; sleep 0.1; done; echo left $(count))",
         0, {"running 2\n", "status 143\nleft 0\n"}},
        // With two workers, both receivers' groups.
        {R"(score {dir} -j 2 -- sh -c 'sleep $((30+2)).7 & sleep $((30+2)).7' sh 2>/dev/null & p=$!
            count() { grep -las '^sleep.32[.]7' /proc/[0-9]*/cmdline | wc -l; }
            for i in $(seq 100); do [ $(count) -ge 4 ] && break; sleep 0.1; done; echo running $(count)
            kill -TERM $p; wait $p; echo status $?; for i in $(seq 50); do [ $(count) -eq 0 ] && break; sleep 0.1; done; echo left $(count))",
         0, {"running 4\n", "status 143\nleft 0\n"}},
        {"score {dir} --timeout 0 -- true", 2, {"--timeout: '0' is not a number of seconds from 0.001 to 86400"}},
        {"score {dir} -j 65 -- true", 2, {"--jobs: '65' is not a number of workers from 1 to 64"}},
        {"score {dir} --key-map 10 -- true", 2, {"score: --key-map '10' is refused: '10' is not FROM=TO"}},
        {"score {dir} --key-map 5=1 --pattern '(5)' -- sh -c 'echo 5' sh", 0, {"detected '1'"}},
        {"score {dir} -- echo 5551234", 0, {"NOT MET"}},
        {"score {dir} --json --pattern '(.+)' -- sh -c \"printf '1\\\\377'\"", 0, {"\"detected\": \"1\xEF\xBF\xBD\""}},
        {"score {dir} --strict -- echo 5551234", 1, {"1 requirement NOT MET (--strict)"}},
        {"score {dir} --pattern '(?P<nombre>\\d+)' -- true", 2,
         {"score: --pattern '(?P<nombre>\\d+)' is refused: the group (?P<nombre> is not one of key, number, name, date, time, reason, type, start, end\n"}},
        {"score {dir} --pattern '(?P<key>.)(?P<key>.)' -- true", 2, {"is refused: the group (?P<key> comes twice\n"}},
        {"score {dir} --pattern '(?P<key.)' -- true", 2, {"is refused: (?P< without its closing >\n"}},
        {"score {dir} --pattern 'NUMBER (?P<number>\\d+) (?P<name>.+)' -- echo NUMBER 5551234 ANNA DIAZ", 0,
         {"fields (right of files):\n  all                       number 0/2  name 0/2\n"}},
        {"suite dtmf -o {dir}/r --repeat 0", 2, {"--repeat: '0' is not a number of seeds from 1 to 1000"}},
        {"suite talkoff -o {dir}/t --rate 16000", 2, {"suite: --rate: the suite talkoff is written at 8000 Hz only"}},
        {"suite cid-bell -o {dir}/h --family twist --rate 48000 2>/dev/null && grep -c ';rate_hz=48000,' {dir}/h/manifest.csv && python3 -c "
         "'import sys, wave; print(wave.open(sys.argv[1]).getframerate(), \"Hz\")' {dir}/h/twist-0000.wav",
         0, {"14\n48000 Hz\n"}},
        {R"(score {dir} --junit {dir}/j.xml --pattern '^(\d+)' -- echo 555 >/dev/null && python3 -c 'import sys, xml.etree.ElementTree as E
c = E.parse(sys.argv[1]).find("testsuite/testcase"); print(c.get("classname"), c.get("name"), c.find("failure").get("message"))' {dir}/j.xml)",
         0, {"cid-bell bell-twist 0 of 2 files meet their verdict: twist-0004.wav detected '555', sent '"}},
    };
    for (const auto& c : cases) {
        std::string args = c.args;
        for (std::size_t at; (at = args.find("{dir}")) != std::string::npos;) args.replace(at, 5, folder);
        EXPECT_EQ(varnel_test::RunShell(tool + " " + args, output), c.status) << args << "\n" << output;
        for (const std::string& word : c.words) EXPECT_NE(output.find(word), std::string::npos) << args << ": " << word << "\n" << output;
    }
}

}  // namespace
