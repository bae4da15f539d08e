#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "varnel/detect/TtyDetector.h"

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
    // a label a character frame, of the kind and symbol a rendering labels it with.
    void Print(bool json, std::FILE* out, const Fields& fields = {}) const;

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
