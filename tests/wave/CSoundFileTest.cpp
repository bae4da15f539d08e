#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/FileSizeLimit.h"
#include "support/Shell.h"
#include "varnel/wave/CSoundFile.h"
#include "varnel/wave/WaveHeader.h"

using namespace Quorvex::VarnelNet;
namespace fs = std::filesystem;

namespace {

WAVEFORMATEX Format(std::uint32_t rate, std::uint16_t bits) {
    CSoundBase base;
    base.SetSamplesPerSec(rate);
    base.SetBitsPerSample(bits);
    return base.Format();
}

WAVEFORMATEX G711Format(std::uint16_t tag, std::uint32_t rate) {
    CSoundBase base;
    base.SetFormatTag(tag);
    base.SetSamplesPerSec(rate);
    base.SetBitsPerSample(8);
    return base.Format();
}

std::vector<std::uint8_t> Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return v;
}

// Checks the chunk layout of a finished file holding `data`.
void ExpectWellFormed(const std::vector<std::uint8_t>& file, const std::vector<std::uint8_t>& data) {
    const std::size_t n = data.size();
    ASSERT_EQ(file.size(), 46 + n + n % 2);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(U32(file, 4), file.size() - 8);
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(U32(file, 16), 18u);
    EXPECT_EQ(std::string(file.begin() + 38, file.begin() + 42), "data");
    EXPECT_EQ(U32(file, 42), n);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), file.begin() + 46));
    if (n % 2) {
        EXPECT_EQ(file.back(), 0);
    }
}

// What attempt returns, computed by a process that cannot write everywhere: when the tests run
// as root, a child that has become the unprivileged user "nobody" (65534).
std::string AsUnprivileged(const std::function<std::string()>& attempt) {
    if (::geteuid() != 0) return attempt();
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
        const std::string result = attempt();
        const ssize_t ignored = ::write(fds[1], result.data(), result.size());
        static_cast<void>(ignored);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string result;
    char chunk[256];
    for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;) result.append(chunk, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? result : "the child could not drop its privileges";
}

class CSoundFileTest : public testing::Test {
protected:
    void SetUp() override {
        std::string templ = testing::TempDir() + "varnel-wave-XXXXXX";
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        dir = templ;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

}  // namespace

TEST_F(CSoundFileTest, EmptyFileIsTheBareHeader) {
    {
        CSoundFile file(Path("empty.wav"), Format(8000, 16));
        ASSERT_TRUE(file.IsOpen());
        EXPECT_TRUE(file.Close());
        EXPECT_TRUE(file.Close());
    }
    const std::vector<std::uint8_t> expected = {
        'R', 'I', 'F', 'F', 38, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0,
        1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0, 0, 0,
        'd', 'a', 't', 'a', 0, 0, 0, 0};
    EXPECT_EQ(Slurp(Path("empty.wav")), expected);
}

TEST_F(CSoundFileTest, FormatRecordAndHeaderFields) {
    struct Case { std::uint32_t rate; std::uint16_t bits; std::uint32_t bytesPerSec; std::uint16_t align; };
    const Case cases[] = {{8000, 8, 8000, 1}, {44100, 16, 88200, 2}, {8000, 16, 16000, 2}, {11025, 8, 11025, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + "/" + std::to_string(c.bits));
        const WAVEFORMATEX f = Format(c.rate, c.bits);
        EXPECT_EQ(f.wFormatTag, 1);
        EXPECT_EQ(f.nChannels, 1);
        EXPECT_EQ(f.nSamplesPerSec, c.rate);
        EXPECT_EQ(f.nAvgBytesPerSec, c.bytesPerSec);
        EXPECT_EQ(f.nBlockAlign, c.align);
        EXPECT_EQ(f.wBitsPerSample, c.bits);
        EXPECT_EQ(f.cbSize, 0);

        CSoundFile file(Path("fmt.wav"), f);
        ASSERT_TRUE(file.IsOpen());
        ASSERT_TRUE(file.Close());
        const std::vector<std::uint8_t> b = Slurp(Path("fmt.wav"));
        ASSERT_EQ(b.size(), 46u);
        EXPECT_EQ(U32(b, 24), c.rate);
        EXPECT_EQ(U32(b, 28), c.bytesPerSec);
        EXPECT_EQ(U16(b, 32), c.align);
        EXPECT_EQ(U16(b, 34), c.bits);
        EXPECT_EQ(0, std::memcmp(&f, b.data() + 20, sizeof f));  // the record as it is, 18 bytes
    }
}

TEST_F(CSoundFileTest, ChunkSizesAndPadByte) {
    struct Case { std::uint16_t bits; std::size_t n; std::size_t block; std::uint32_t riff; };
    const Case cases[] = {{8, 1, 1, 40}, {8, 101, 7, 140}, {8, 100, 100, 138}, {8, 8191, 8192, 8230},
                          {16, 2, 2, 40}, {16, 8192, 8192, 8230}, {16, 100000, 8192, 100038}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + "-bit, " + std::to_string(c.n) + " bytes");
        const std::vector<std::uint8_t> data = Pattern(c.n);
        {
            CSoundFile file(Path("data.wav"), Format(8000, c.bits));
            ASSERT_TRUE(file.IsOpen());
            for (std::size_t at = 0; at < c.n; at += c.block) {
                const int len = static_cast<int>(std::min(c.block, c.n - at));
                ASSERT_EQ(file.Write(data.data() + at, len), len);
            }
            EXPECT_TRUE(file.Close());
            EXPECT_EQ(file.Write(data.data(), 1), -1);
        }
        const std::vector<std::uint8_t> b = Slurp(Path("data.wav"));
        ExpectWellFormed(b, data);
        EXPECT_EQ(U32(b, 4), c.riff);
    }
}

TEST_F(CSoundFileTest, AnyExtensionGetsRiffLayout) {
    for (const char* name : {"tone.raw", "tone.pcm", "tone"}) {
        {
            CSoundFile file(Path(name), Format(8000, 8));
            ASSERT_TRUE(file.IsOpen()) << name;
            file.Write("abc", 3);
        }
        ExpectWellFormed(Slurp(Path(name)), {'a', 'b', 'c'});
    }
}

TEST_F(CSoundFileTest, MissingDirectoryFailsToOpen) {
    CSoundFile file(Path("no-such-dir/x.wav"), Format(8000, 16));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Write("ab", 2), -1);
    file.Close();
    EXPECT_FALSE(fs::exists(dir / "no-such-dir"));
}

TEST_F(CSoundFileTest, SecondWriterOnOpenFileFails) {
    const std::vector<std::uint8_t> data = Pattern(64);
    {
        CSoundFile first(Path("busy.wav"), Format(8000, 16));
        ASSERT_TRUE(first.IsOpen());
        ASSERT_EQ(first.Write(data.data(), 32), 32);
        {
            CSoundFile second(Path("busy.wav"), Format(44100, 8));
            EXPECT_FALSE(second.IsOpen());
        }
        ASSERT_EQ(first.Write(data.data() + 32, 32), 32);
        EXPECT_TRUE(first.Close());
    }
    ExpectWellFormed(Slurp(Path("busy.wav")), data);
    // Once closed, the name can be written again.
    CSoundFile again(Path("busy.wav"), Format(8000, 16));
    EXPECT_TRUE(again.IsOpen());
}

TEST_F(CSoundFileTest, DestroyingAnUnfinishedWriterSettlesTheFile) {
    const std::vector<std::uint8_t> data = Pattern(5);
    {
        CSoundFile file(Path("left.wav"), Format(8000, 8));
        ASSERT_EQ(file.Write(data.data(), 5), 5);
    }
    const std::vector<std::uint8_t> b = Slurp(Path("left.wav"));
    ExpectWellFormed(b, data);
    EXPECT_EQ(U32(b, 4), 44u);
}

// Each failure says why, in the operating system's words or the size limit's.
TEST_F(CSoundFileTest, FailuresGiveTheirReason) {
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory(dir / "read-only");
    fs::permissions(dir / "read-only", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const std::vector<std::uint8_t> data = Pattern(4096);
    const std::string readOnly = Path("read-only/x.wav");
    const std::string missing = Path("no-such-dir/x.wav");
    struct Case {
        const char* what;
        std::function<std::string()> attempt;  // the reason of the failure
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"missing folder",
         [&] {
             CSoundFile file(missing, Format(8000, 16));
             return file.IsOpen() ? std::string("opened") : file.Reason();
         },
         "No such file or directory"},
        {"read-only folder",
         [&] {
             return AsUnprivileged([&] {
                 CSoundFile file(readOnly, Format(8000, 16));
                 return file.IsOpen() ? std::string("opened") : file.Reason();
             });
         },
         "Permission denied"},
        {"full disk",
         [&] {
             CSoundFile file("/dev/full", Format(8000, 16));
             file.Write(data.data(), 4096);
             return file.Close() ? std::string("closed") : file.Reason();
         },
         "No space left on device"},
        {"4 GiB",
         [&] {
             CSoundFile file("/dev/null", Format(8000, 16));
             const std::vector<std::uint8_t> block(1 << 20);
             while (file.Write(block.data(), 1 << 20) != -1) {
             }
             return file.Close() ? std::string("closed") : file.Reason();
         },
         "The audio passes the 4 GiB that the size fields of a WAV file can describe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.attempt(), c.reason);
    }
    EXPECT_FALSE(fs::exists(readOnly));
}

// A file that could not be written completely leaves the old one as it was; a complete one
// replaces it. Nothing is replaced before Close.
TEST_F(CSoundFileTest, OnlyACompleteFileReplacesTheOldOne) {
    const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
    const std::vector<std::uint8_t> data = Pattern(100000);
    std::ofstream(Path("keep.wav"), std::ios::binary).write("old", 3);
    {
        const varnel_test::FileSizeLimit limit(50000);
        CSoundFile file(Path("keep.wav"), Format(8000, 16));
        ASSERT_TRUE(file.IsOpen());
        file.Write(data.data(), static_cast<int>(data.size()));
        EXPECT_FALSE(file.Close());
        EXPECT_EQ(file.Reason(), "File too large");
    }
    EXPECT_EQ(Slurp(Path("keep.wav")), old);
    {
        CSoundFile file(Path("keep.wav"), Format(8000, 16));
        ASSERT_EQ(file.Write(data.data(), 1000), 1000);
        EXPECT_EQ(Slurp(Path("keep.wav")), old);
    }  // destroyed unfinished: settled and kept
    ExpectWellFormed(Slurp(Path("keep.wav")), std::vector<std::uint8_t>(data.begin(), data.begin() + 1000));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// The header's layout, shared by the writer and by whoever writes a WAV file in one go.
TEST_F(CSoundFileTest, HeaderBytesForAKnownLength) {
    const WaveHeader pcm(Format(8000, 8));
    EXPECT_EQ(pcm.Size(), 46u);
    EXPECT_EQ(pcm.MaxDataBytes(), 0xFFFFFFFFull - 38 - 1);
    std::vector<std::uint8_t> expected = {'R', 'I', 'F', 'F', 42, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                          18, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0,
                                          0, 0, 'd', 'a', 't', 'a', 3, 0, 0, 0};
    EXPECT_EQ(pcm.Settled(3), expected);
    expected[4] = 0;
    expected[42] = 18;
    EXPECT_EQ(pcm.Unsettled(), expected);
    const WaveHeader g711(G711Format(WAVE_FORMAT_ALAW, 8000));
    EXPECT_EQ(g711.Size(), 58u);
    EXPECT_EQ(g711.MaxDataBytes(), pcm.MaxDataBytes() - 12);
    const std::vector<std::uint8_t> settled = g711.Settled(0xFFFFFFFFull - 50 - 1);
    EXPECT_EQ(U32(settled, 4), 0xFFFFFFFEu);  // an even count: no pad byte
    EXPECT_EQ(U32(settled, 46), 0xFFFFFFFFu - 51);
    EXPECT_EQ(U32(settled, 54), 0xFFFFFFFFu - 51);
    // What the writer leaves is the settled header of its data.
    {
        CSoundFile file(Path("h.wav"), G711Format(WAVE_FORMAT_ALAW, 8000));
        ASSERT_EQ(file.Write("abcde", 5), 5);
    }
    const std::vector<std::uint8_t> written = Slurp(Path("h.wav"));
    EXPECT_EQ(std::vector<std::uint8_t>(written.begin(), written.begin() + 58), g711.Settled(5));
}

TEST_F(CSoundFileTest, RefusesDataBeyondThe32BitSizes) {
    CSoundFile file("/dev/null", Format(8000, 16));
    ASSERT_TRUE(file.IsOpen());
    // The RIFF size (38 header bytes after its field, the data, a pad byte) must fit 32 bits
    // for the largest data chunk and would not for one byte more; "fact" takes 12 more bytes.
    const std::uint64_t kMax = file.MaxDataBytes();
    EXPECT_LE(38 + kMax + kMax % 2, 0xFFFFFFFFull);
    EXPECT_GT(38 + (kMax + 1) + (kMax + 1) % 2, 0xFFFFFFFFull);
    CSoundFile g711("/dev/null", G711Format(WAVE_FORMAT_MULAW, 8000));
    EXPECT_EQ(g711.MaxDataBytes(), kMax - 12);

    const int kBlock = 1 << 20;
    const std::vector<std::uint8_t> block(kBlock);
    std::uint64_t accepted = 0;
    for (int result = 0; (result = file.Write(block.data(), kBlock)) != -1;) {
        ASSERT_EQ(result, kBlock);
        accepted += kBlock;
        ASSERT_LE(accepted, kMax);
    }
    EXPECT_GT(accepted + kBlock, kMax);
    EXPECT_EQ(accepted, std::uint64_t{4095} << 20);
    // The refused block is dropped whole; the data may still grow up to the limit exactly.
    const int rest = static_cast<int>(kMax - accepted);
    EXPECT_EQ(file.Write(block.data(), rest), rest);
    EXPECT_EQ(file.Write(block.data(), 1), -1);
    EXPECT_FALSE(file.Close());
}

TEST_F(CSoundFileTest, SoxReadsTheFiles) {
    VARNEL_REQUIRE_TOOL("sox");
    struct Case { const char* name; std::uint32_t rate; std::uint16_t bits; std::size_t n; };
    const Case cases[] = {{"a.wav", 8000, 8, 1001}, {"b.wav", 44100, 16, 8820}, {"c.wav", 8000, 16, 0}};
    for (const Case& c : cases) {
        {
            CSoundFile file(Path(c.name), Format(c.rate, c.bits));
            const std::vector<std::uint8_t> data = Pattern(c.n);
            ASSERT_EQ(file.Write(data.data(), static_cast<int>(c.n)), static_cast<int>(c.n));
            ASSERT_TRUE(file.Close());
        }
        // sox must read the header and count every sample.
        const std::string cmd = "sox --i -s '" + Path(c.name) + "' | grep -qx " +
                                std::to_string(c.n / (c.bits / 8));
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
}

// G.711: format tag 7 (mu-law) or 6 (A-law), 8 bits, and a "fact" chunk whose sample count
// Close settles, here for three samples and a pad byte.
TEST_F(CSoundFileTest, G711FileHasAFactChunkWithTheSampleCount) {
    for (const std::uint16_t tag : {WAVE_FORMAT_MULAW, WAVE_FORMAT_ALAW}) {
        SCOPED_TRACE(tag);
        const WAVEFORMATEX f = G711Format(tag, 8000);
        EXPECT_EQ(f.nAvgBytesPerSec, 8000u);
        EXPECT_EQ(f.nBlockAlign, 1);
        {
            CSoundFile file(Path("g711.wav"), f);
            ASSERT_TRUE(file.IsOpen());
            ASSERT_EQ(file.Write("\x01\x02", 2), 2);
            ASSERT_EQ(file.Write("\x03", 1), 1);
            EXPECT_TRUE(file.Close());
        }
        const std::vector<std::uint8_t> expected = {
            'R', 'I', 'F', 'F', 54, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0,
            static_cast<std::uint8_t>(tag), 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 0, 0,
            'f', 'a', 'c', 't', 4, 0, 0, 0, 3, 0, 0, 0,
            'd', 'a', 't', 'a', 3, 0, 0, 0, 1, 2, 3, 0};
        EXPECT_EQ(Slurp(Path("g711.wav")), expected);

        { CSoundFile empty(Path("empty.wav"), f); }
        const std::vector<std::uint8_t> b = Slurp(Path("empty.wav"));
        ASSERT_EQ(b.size(), 58u);
        EXPECT_EQ(U32(b, 4), 50u);
        EXPECT_EQ(U32(b, 46), 0u);
        EXPECT_EQ(U32(b, 54), 0u);
    }
}

// sox takes the tags for what they are: it decodes known G.711 codes to their linear values.
TEST_F(CSoundFileTest, SoxDecodesG711Files) {
    VARNEL_REQUIRE_TOOL("sox");
    struct Case {
        std::uint16_t tag;
        const char* encoding;
        std::vector<std::uint8_t> codes;
        std::vector<std::int16_t> linear;
    };
    const Case cases[] = {{WAVE_FORMAT_MULAW, "u-law", {0xFF, 0x80, 0x00, 0x7F}, {0, 32124, -32124, 0}},
                          {WAVE_FORMAT_ALAW, "A-law", {0xD5, 0x55, 0xAA, 0x2A, 0xD4}, {8, -8, 32256, -32256, 24}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        {
            CSoundFile file(Path("g711.wav"), G711Format(c.tag, 8000));
            ASSERT_EQ(file.Write(c.codes.data(), static_cast<int>(c.codes.size())), static_cast<int>(c.codes.size()));
            ASSERT_TRUE(file.Close());
        }
        std::string output;
        ASSERT_EQ(varnel_test::RunShell("sox --i -e " + varnel_test::Quote(Path("g711.wav")), output), 0) << output;
        EXPECT_EQ(output, std::string(c.encoding) + "\n");
        ASSERT_EQ(varnel_test::RunShell("sox --i -s " + varnel_test::Quote(Path("g711.wav")), output), 0) << output;
        EXPECT_EQ(output, std::to_string(c.codes.size()) + "\n");
        const std::string decode = "sox " + varnel_test::Quote(Path("g711.wav")) + " -t raw -e signed -b 16 -L " +
                                   varnel_test::Quote(Path("linear.raw"));
        ASSERT_EQ(varnel_test::RunShell(decode, output), 0) << output;
        const std::vector<std::uint8_t> raw = Slurp(Path("linear.raw"));
        std::vector<std::int16_t> linear(raw.size() / 2);
        std::memcpy(linear.data(), raw.data(), linear.size() * 2);
        EXPECT_EQ(linear, c.linear);
    }
}
