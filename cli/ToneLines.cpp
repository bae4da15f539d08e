#include "cli/ToneLines.h"

#include <string>

#include "varnel/script/HeardLabels.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

using Detect::ToneEvent;
using Detect::ToneEventKind;

std::string Number(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// "350.0+440.0 Hz", "400.0*25 Hz".
std::string Tones(const ToneEvent& event) {
    std::string text;
    for (int t = 0; t < event.toneCount; ++t) {
        if (t > 0) text += '+';
        text += Number("%.1f", event.hz[static_cast<std::size_t>(t)]);
    }
    if (event.modulationHz > 0.0) {
        text += '*';
        text += Number("%g", event.modulationHz);
    }
    text += " Hz";
    return text;
}

std::string Cadence(const ToneEvent& event, const char* empty) {
    if (event.cadenceCount == 0) return empty;
    std::string text;
    for (int i = 0; i < event.cadenceCount; ++i) {
        if (i > 0) text += '/';
        text += Number("%.3f", event.cadenceMs[static_cast<std::size_t>(i)] / 1000.0);
    }
    return text;
}

std::string Line(const ToneEvent& event) {
    switch (event.kind) {
        case ToneEventKind::Progress: {
            std::string plans;
            for (int i = 0; i < event.matchCount; ++i) {
                if (i > 0) plans += ',';
                plans += Script::PlanName(event.matches[static_cast<std::size_t>(i)]);
            }
            return "TONE " + plans + " " + Tones(event) + " cadence " + Cadence(event, "continuous");
        }
        case ToneEventKind::Sit: {
            std::string hz;
            for (std::size_t i = 0; i < 3; ++i) {
                if (i > 0) hz += '/';
                hz += Number("%.1f", event.segmentHz[i]);
            }
            return "SIT " + std::string(SitRows()[static_cast<std::size_t>(event.sit)].code) + " " + hz + " Hz " + Cadence(event, "");
        }
        case ToneEventKind::Modem: break;
    }
    std::string text = "MODEM " + Script::ModemName(event.modem) + " " + Tones(event);
    if (event.modulationHz > 0.0) {
        text += " depth ";
        text += Number("%.2f", event.depth);
    }
    if (event.reversals > 0) text += " reversals " + std::to_string(event.reversals);
    if (event.flags > 0) text += " flags " + std::to_string(event.flags);
    return text;
}

}  // namespace

void PrintMfLines(const std::vector<Detect::MfEvent>& events, int rate, std::FILE* out) {
    for (const Detect::MfEvent& event : events) {
        const std::string name(Detect::MfSignalName(event.system, event.signal));
        const std::string system(Detect::MfSystemWord(event.system));
        std::fprintf(out, "MF %.3f %.3f %s %s %.1f+%.1f Hz %.1f %.1f dBm0\n", static_cast<double>(event.first) / rate,
                     static_cast<double>(event.last + 1) / rate, name.c_str(), system.c_str(), event.lowHz, event.highHz, event.lowDbm0,
                     event.highDbm0);
    }
}

void PrintToneLines(const std::vector<Detect::ToneEvent>& events, int rate, std::FILE* out) {
    for (const ToneEvent& event : events) {
        const std::string line = Line(event);
        const std::size_t space = line.find(' ');
        std::fprintf(out, "%s %.3f %.3f%s %.1f dBm0\n", line.substr(0, space).c_str(), static_cast<double>(event.first) / rate,
                     static_cast<double>(event.last + 1) / rate, line.substr(space).c_str(), event.dbm0);
    }
}

}  // namespace Quorvex::VarnelNet::Cli
