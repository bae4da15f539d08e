#include "testkit/Suite.h"

#include "varnel/platform/DecimalText.h"
#include "varnel/script/Level.h"
#include "varnel/script/Printer.h"
#include "varnel/script/RequestError.h"
#include "varnel/signal/LineImpairments.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

// 20 log10 of a tone count: a tone of a sum of N equal tones is 1/N of the sum's amplitude.
constexpr double kTonesDb[] = {0.0, 0.0, 6.020599913279624, 9.542425094393248};

const Suite kSuites[] = {
    {"dtmf", "DTMF receivers: the classic receiver test plan (ITU-T Q.24 figures)", DtmfFamilies(), false},
    {"cid-bell", "Bell 202 Caller-ID receivers (on-hook MDMF, its number, name and date drawn for each file)", BellCallerIdFamilies(),
     false},
    {"cid-etsi", "ETSI V.23 Caller-ID receivers (on-hook MDMF after the dual-tone alert, its fields drawn for each file)",
     EtsiCallerIdFamilies(), false},
    {"talkoff", "DTMF receivers' talk-off: over an hour of speech and music without keys, made by espeak-ng and fluidsynth",
     TalkOffFamilies(), true},
    {"tty", "text-telephone receivers: Baudot at 45.45 and 50 bit/s, ASCII-7 and ASCII-8 at 110, texts drawn for each file, "
            "scored by character errors", TtyFamilies(), false},
};

// The requests as a script's entries, numbered from 1.
Script::Requests EntriesOf(std::span<const Script::Request> requests) {
    Script::Requests entries;
    entries.reserve(requests.size());
    for (const Script::Request& request : requests) {
        Script::Entry entry;
        entry.request = request;
        entry.text = Script::Print(request);
        entry.index = entries.size() + 1;
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace

std::string_view VerdictWord(Verdict verdict) {
    switch (verdict) {
        case Verdict::Detect: return "detect";
        case Verdict::Reject: return "reject";
        case Verdict::Either: break;
    }
    return "either";
}

std::span<const Suite> Suites() { return kSuites; }

const Suite* FindSuite(std::string_view name) {
    for (const Suite& suite : kSuites) {
        if (suite.name == name) return &suite;
    }
    return nullptr;
}

const Family* FindFamily(const Suite& suite, std::string_view name) {
    for (const Family& family : suite.families) {
        if (family.name == name) return &family;
    }
    return nullptr;
}

std::size_t FileCount(const Suite& suite) {
    std::size_t count = 0;
    for (const Family& family : suite.families) count += family.count;
    return count;
}

SuiteFile FileAt(const Suite& suite, std::size_t index, std::uint64_t seed) { return RepeatAt(suite, index, seed, 0); }

SuiteFile RepeatAt(const Suite& suite, std::size_t index, std::uint64_t seed, std::size_t repeat) {
    std::size_t first = 0;
    for (const Family& family : suite.families) {
        if (index < first + family.count) {
            const std::uint64_t fileSeed = FileSeed(seed, index);
            SuiteFile file = family.file(index - first, repeat == 0 ? fileSeed : RepeatSeed(fileSeed, repeat));
            file.family = std::string(family.name);
            if (repeat > 0) {
                file.name += "-r" + std::to_string(repeat);
                file.parameters.emplace_back("repeat", std::to_string(repeat));
            }
            return file;
        }
        first += family.count;
    }
    return {};
}

const Family& FamilyAt(const Suite& suite, std::size_t index) {
    std::size_t first = 0;
    for (const Family& family : suite.families) {
        if (index < first + family.count) return family;
        first += family.count;
    }
    return suite.families.back();
}

std::uint64_t FileSeed(std::uint64_t seed, std::size_t index) {
    SplitMix64 mixer(seed ^ (0xD1B54A32D192ED03ull * (static_cast<std::uint64_t>(index) + 1)));
    return mixer.Next();
}

std::uint64_t RepeatSeed(std::uint64_t fileSeed, std::size_t repeat) {
    SplitMix64 mixer(fileSeed ^ (0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(repeat)));
    return mixer.Next();
}

SplitMix64 PayloadDraws(std::string_view suite, std::uint64_t fileSeed) {
    std::uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a of the suite's name
    for (const char c : suite) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    SplitMix64 mixer(fileSeed ^ hash);
    return SplitMix64(mixer.Next());
}

std::size_t Draw(SplitMix64& draws, std::size_t count) {
    return static_cast<std::size_t>(draws.Uniform() * static_cast<double>(count));
}

Render::Job JobOf(const SuiteFile& file, SuiteEncoding encoding, std::int32_t rate) {
    RequestList requests = {SetInteger(SettingsCatalog::kSampleRate, rate),
                            encoding == SuiteEncoding::MuLaw  ? SetInteger(SettingsCatalog::kEncoding, ENC_MuLaw)
                            : encoding == SuiteEncoding::ALaw ? SetInteger(SettingsCatalog::kEncoding, ENC_ALaw)
                                                              : SetInteger(SettingsCatalog::kBitsPerSample, 16)};
    requests.insert(requests.end(), file.requests.begin(), file.requests.end());
    if (std::optional<Option::Refusal> refusal = Script::CheckImpairments(file.impairments, rate)) {
        throw Option::OptionRefused(std::move(*refusal));
    }
    Render::Job job;
    job.requests = EntriesOf(requests);
    job.options.impairments = file.impairments;
    if (!file.mix.empty()) job.options.mix = Script::Mix{EntriesOf(file.mix), {}};
    job.options.labels = true;
    return job;
}

std::string Decimal(double value, int decimals) { return ShortestText(Rounded(value, decimals)); }

double AmplitudeFor(double dbm0, int tones) { return dbm0 - Script::kFullScaleDbm0 + kTonesDb[tones]; }

}  // namespace Quorvex::VarnelNet::Kit
