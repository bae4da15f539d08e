#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "varnel/detect/TtyDetector.h"
#include "varnel/script/Labels.h"

namespace Quorvex::VarnelNet::Cli {

// The TTY messages `varnel detect` heard in a stream, kept to be printed after its keys.
class TtyLines {
public:
    using Fields = std::vector<std::pair<std::string, std::string>>;

    explicit TtyLines(int sampleRate);

    void Feed(std::span<const double> samples) { detector_.Feed(samples); }
    void Finish() { detector_.Finish(); }

    // A timeline line a message: "TTY START END CODING RATE "TEXT" LEVEL dBm0" (the times in
    // seconds, the text's quotes, backslashes and control characters escaped), or with json
    // a label a character frame, of the kind and symbol a rendering labels it with; nothing when
    // out is null. The labels are added to heard.
    void Print(bool json, std::FILE* out, std::vector<Script::Label>& heard, const Fields& fields = {}) const;
    // Whether a message heard overlaps samples first to last: a tone there is the TTY's carrier.
    bool Overlaps(std::uint64_t first, std::uint64_t last) const;

private:
    struct Message {
        Detect::TtyMessage heard;  // its views point into the members below
        std::string coding, rate, text;
        std::vector<Detect::TtyCharacter> characters;
    };

    int rate_;
    std::vector<Message> messages_;
    Detect::TtyDetector detector_;
};

}  // namespace Quorvex::VarnelNet::Cli
