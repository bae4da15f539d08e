#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace Quorvex::VarnelNet::Cli {

// A line on a terminal that shows how far a long render has come, redrawn in place:
// "varnel: rendering 42% (0:12:34 of 0:30:00 of audio)". It appears only for a render that
// takes more than 10 s of work: once 1 s has passed, as soon as the rate so far says the whole
// render takes longer. Nothing is shown when the stream is not a terminal.
class Progress {
public:
    using Clock = std::function<double()>;  // seconds, from any origin

    Progress(std::FILE* err, bool terminal, std::uint64_t totalBytes, double bytesPerSecond,
             Clock clock = SteadySeconds);
    // Ends a line that was shown, so that what follows starts on a line of its own.
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // doneBytes of totalBytes are rendered.
    void Update(std::uint64_t doneBytes);

    // "1:02:03": hours, minutes and whole seconds of audio.
    static std::string AudioTime(double seconds);
    static double SteadySeconds();

private:
    void Draw(std::uint64_t doneBytes);

    std::FILE* m_err;
    bool m_terminal;
    std::uint64_t m_total;
    double m_bytesPerSecond;
    Clock m_clock;
    double m_start;
    double m_lastDraw = -1.0;
    bool m_shown = false;
};

}  // namespace Quorvex::VarnelNet::Cli
