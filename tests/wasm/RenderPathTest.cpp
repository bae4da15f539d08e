// The component in a WebAssembly build without threads: requests queued, the buffer stream
// pulled block by block with a completion for every request, and the same requests written as a
// WAV file into the in-memory file system, which holds the stream's bytes after its header. A
// message window, which needs a thread of its own, is refused with an exception.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "varnel/Varnel.h"
#include "varnel/platform/MessageWindow.h"

namespace {

using namespace Quorvex::VarnelNet;

struct Format {
    const char* name;
    std::int32_t bits;
    ENCODING_TYPE encoding;
    std::size_t headerBytes;  // with a fact chunk for G.711
};

void Start(Varnel& v, const Format& format, const std::string& file) {
    v.SampleRate(8000);
    v.BitsPerSample(format.bits);
    v.Encoding(format.encoding);
    file.empty() ? v.GenerateBegin() : v.GenerateBegin(file);
    v.GenerateDTMFs("555-0123#");
    v.GenerateCallerID("5551234", "JOHN DOE", "12/25 10:30");
    v.GenerateTTY("HELLO GA");
    v.GeneratePattern("400*25/400,0/200", 1000);
}

TEST(RenderPath, TheStreamAndTheWaveFileInMemoryHoldTheSameSamples) {
    for (const Format& format : {Format{"pcm16", 16, ENC_PCM, 46}, Format{"pcm8", 8, ENC_PCM, 46},
                                 Format{"ulaw", 16, ENC_MuLaw, 58}}) {
        Varnel stream;
        int completed = 0;
        stream.OnComplete += Varnel::Delegate_OnComplete([&](Object&, const OnCompleteArgs&) { ++completed; });
        Start(stream, format, "");
        std::vector<std::uint8_t> pulled;
        std::vector<std::uint8_t> block(1000);
        for (std::int32_t n; (n = stream.FetchWaveStream(block)) > 0;) pulled.insert(pulled.end(), block.begin(), block.begin() + n);
        stream.GenerateEnd();
        EXPECT_EQ(completed, 4) << format.name;

        const std::string path = std::string("/tmp/render-") + format.name + ".wav";
        Varnel file;
        Start(file, format, path);
        file.GenerateEnd();
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> wave{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_EQ(wave.size(), format.headerBytes + pulled.size() + pulled.size() % 2) << format.name;  // RIFF pads to even
        EXPECT_TRUE(std::equal(pulled.begin(), pulled.end(), wave.begin() + static_cast<std::ptrdiff_t>(format.headerBytes)))
            << format.name;
    }
}

TEST(RenderPath, AMessageWindowNeedsAThread) {
    EXPECT_THROW(CreateMessageWindow(nullptr), std::system_error);
}

}  // namespace
