// The functions the page's worker calls (through Emscripten's cwrap): a small C interface
// rather than embind, because everything that crosses is text (scripts, setting values, JSON)
// or a byte buffer the worker reads straight out of the module's memory, and the module then
// carries no binding runtime. Nothing throws across it: a refusal becomes JSON.
//
// A job gathers the options of one rendering, renders once and keeps what it made until it is
// deleted:
//   job = varnel_job_new(); varnel_job_setting(job, "rate", 4, "8000", 4); varnel_job_dbm0(job, "-10", 3);
//   varnel_job_render(job, script, length, maxBytes, forViews) -> 1 rendered, 0 refused
//   varnel_job_pcap(job, script, length, maxBytes) -> the same, the file a pcap (PagePcap.h)
// An option is any of the option registry's that a rendering takes (Option::ApplyOptions): a
// setting, an impairment (snr, freq-offset...), mix and mix-dbm0, or an RTP session's (ptime,
// dtmf-mode...), which only the pcap takes: the WAV refuses it.
// A detection hears a recording as `varnel detect --json` does (PageDetection.h):
//   detection = varnel_detect(bytes, size); varnel_detect_text(detection) -> {rate, events} (what was
//   heard, Web::EventsJson) or {error: {message, ...}}; varnel_detect_samples/_sample_count (the
//   waveform's); varnel_detect_delete(detection)
// A listening hears samples as they come (the microphone's), every detector of the tool at once:
//   listening = varnel_listen_new(rate) (0 for a rate refused); varnel_listen_feed(listening,
//   samples, count) -> 1 when something more was heard; varnel_listen_finish(listening);
//   varnel_listen_events(listening): what was heard so far (Web::EventsJson); varnel_listen_delete
// Texts are UTF-8 with their length in bytes, so that a NUL in them reaches the language (which
// refuses it) instead of ending them.
//   varnel_job_text(job): the summary (PageRendering.h, PagePcap.h), or the refusal
//     {error: {message, reason, request, index, line, option, remedies}}, after any call that
//     returned 0; option names the option refused (Option::Refusal), reason then leaves its
//     name out ("'61' is not ..."), remedies are the option's values that would be taken
//   varnel_job_file/_file_size (the WAV or the pcap), varnel_job_samples/_sample_count;
//   varnel_job_delete(job)

#include <emscripten/emscripten.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "Catalog.h"
#include "PageDetection.h"
#include "JsonText.h"
#include "PagePcap.h"
#include "PageRendering.h"
#include "varnel/detect/Hearing.h"
#include "varnel/options/OptionRegistry.h"
#include "varnel/options/Refusal.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/rtp/SessionOptions.h"
#include "varnel/script/Level.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Printer.h"
#include "varnel/script/RequestError.h"

using namespace Quorvex::VarnelNet;

namespace {

// A job of the C interface: the options given so far, then what it made.
struct PageJob {
    Script::RenderOptions options;
    Rtp::SessionOptions session;
    std::string rtpOption;  // the first option given that only a session takes
    Web::PageRendering rendering;
    std::vector<std::uint8_t> file;
    std::string text;
};

// A recording heard, or the refusal.
struct PageDetected {
    Web::PageDetection detection;
    std::string text;
};

// Samples heard as they come, and what was heard when last asked (Web::EventsJson).
struct PageListening {
    explicit PageListening(int rate) : hearing(rate) {}

    Detect::Hearing hearing;
    std::string events;
};

std::uint64_t Limit(double maxBytes) {
    return maxBytes >= 0x1p64 ? UINT64_MAX : static_cast<std::uint64_t>(maxBytes > 0 ? maxBytes : 0);
}

// An option's refusal as the page words it beside the option's field: without the option's name.
std::string FieldReason(const Option::Refusal& refusal) {
    if (refusal.together) return Option::NeutralText(refusal);
    if (!refusal.remedies.empty()) return refusal.reason;
    return "'" + Printable(refusal.value) + "' " + refusal.reason;
}

std::string ErrorJson(const std::string& message, const Script::RequestError* error) {
    Web::JsonText json;
    const auto* refused = dynamic_cast<const Option::OptionRefused*>(error);
    json.BeginObject().Key("error").BeginObject().Key("message").String(message);
    json.Key("reason").String(refused ? FieldReason(refused->Refused()) : error ? error->SpelledReason(Script::BareName) : message);
    json.Key("request").String(error ? error->Request() : std::string());
    json.Key("index").Integer(error ? static_cast<std::int64_t>(error->Index()) : 0);
    json.Key("line").Integer(error ? static_cast<std::int64_t>(error->Line()) : 0);
    json.Key("option").String(refused ? refused->Refused().option : std::string());
    json.Key("remedies").BeginArray();
    if (refused) {
        for (const std::string& remedy : refused->Refused().remedies) json.String(remedy);
    }
    json.EndArray();
    json.EndObject().EndObject();
    return json.Text();
}

// Runs the action; a refusal is stored as the text. Returns whether it succeeded.
template <class Action>
int Guarded(std::string& text, Action action) {
    try {
        action();
        return 1;
    } catch (const Script::RequestError& e) {
        text = ErrorJson(e.Spelled(Script::BareName), &e);
    } catch (const std::exception& e) {
        text = ErrorJson(e.what(), nullptr);
    }
    return 0;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE PageJob* varnel_job_new() { return new PageJob; }

EMSCRIPTEN_KEEPALIVE void varnel_job_delete(PageJob* job) { delete job; }

EMSCRIPTEN_KEEPALIVE int varnel_job_setting(PageJob* job, const char* name, std::size_t nameLength, const char* value,
                                             std::size_t valueLength) {
    const std::string_view option(name, nameLength);
    return Guarded(job->text, [&] {
        Option::ApplyOptions(job->options, &job->session, {{std::string(option), std::string(value, valueLength)}});
        if (Option::SessionOnly(option) && job->rtpOption.empty()) job->rtpOption = option;
    });
}

EMSCRIPTEN_KEEPALIVE int varnel_job_dbm0(PageJob* job, const char* value, std::size_t length) {
    return Guarded(job->text, [&] { job->options.dbm0 = Script::ReadDbm0(std::string_view(value, length), "dbm0"); });
}

EMSCRIPTEN_KEEPALIVE int varnel_job_render(PageJob* job, const char* script, std::size_t length, double maxBytes,
                                            int forViews) {
    return Guarded(job->text, [&] {
        if (!job->rtpOption.empty()) throw Script::RequestError(job->rtpOption + " applies to the pcap only");
        job->rendering = Web::RenderForPage(job->options, std::string_view(script, length), Limit(maxBytes), forViews != 0);
        job->file = std::move(job->rendering.wave);
        job->text = job->rendering.summary;
    });
}

EMSCRIPTEN_KEEPALIVE int varnel_job_pcap(PageJob* job, const char* script, std::size_t length, double maxBytes) {
    return Guarded(job->text, [&] {
        Web::PagePcap pcap = Web::PcapForPage(job->options, job->session, std::string_view(script, length), Limit(maxBytes));
        job->file = std::move(pcap.file);
        job->text = std::move(pcap.summary);
    });
}

EMSCRIPTEN_KEEPALIVE const char* varnel_job_text(const PageJob* job) { return job->text.c_str(); }
EMSCRIPTEN_KEEPALIVE const std::uint8_t* varnel_job_file(const PageJob* job) { return job->file.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t varnel_job_file_size(const PageJob* job) { return job->file.size(); }
EMSCRIPTEN_KEEPALIVE const float* varnel_job_samples(const PageJob* job) { return job->rendering.samples.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t varnel_job_sample_count(const PageJob* job) { return job->rendering.samples.size(); }

EMSCRIPTEN_KEEPALIVE PageDetected* varnel_detect(const std::uint8_t* bytes, std::size_t size) {
    auto* detected = new PageDetected;
    Guarded(detected->text, [&] {
        detected->detection = Web::DetectForPage(std::span(bytes, size));
        Web::JsonText json;
        json.BeginObject().Key("rate").Integer(detected->detection.rate).EndObject();
        detected->text = json.Text();
        detected->text.insert(detected->text.size() - 1, ",\"events\":" + detected->detection.events);
    });
    return detected;
}

EMSCRIPTEN_KEEPALIVE const char* varnel_detect_text(const PageDetected* detected) { return detected->text.c_str(); }
EMSCRIPTEN_KEEPALIVE const float* varnel_detect_samples(const PageDetected* detected) { return detected->detection.samples.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t varnel_detect_sample_count(const PageDetected* detected) { return detected->detection.samples.size(); }
EMSCRIPTEN_KEEPALIVE void varnel_detect_delete(PageDetected* detected) { delete detected; }

EMSCRIPTEN_KEEPALIVE PageListening* varnel_listen_new(int rate) {
    if (rate < Detect::Hearing::kLowestRate || rate > Detect::Hearing::kHighestRate) return nullptr;
    return new PageListening(rate);
}

EMSCRIPTEN_KEEPALIVE int varnel_listen_feed(PageListening* listening, const float* samples, std::size_t count) {
    const std::size_t before = listening->hearing.Reported();
    std::array<double, 512> block{};
    for (std::size_t at = 0; at < count; at += block.size()) {
        const std::size_t length = std::min(block.size(), count - at);
        std::copy(samples + at, samples + at + length, block.begin());
        listening->hearing.Feed(std::span<const double>(block.data(), length));
    }
    return listening->hearing.Reported() != before ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void varnel_listen_finish(PageListening* listening) { listening->hearing.Finish(); }

EMSCRIPTEN_KEEPALIVE const char* varnel_listen_events(PageListening* listening) {
    listening->events = Web::EventsJson(Script::HeardEvents(listening->hearing.Heard()));
    return listening->events.c_str();
}

EMSCRIPTEN_KEEPALIVE void varnel_listen_delete(PageListening* listening) { delete listening; }

// The page's catalog (Catalog.h), made once.
EMSCRIPTEN_KEEPALIVE const char* varnel_catalog() {
    static const std::string catalog = Web::CatalogJson();
    return catalog.c_str();
}

// One request in its canonical form, quoted as a word of a script: {text} or {error: ...}. The
// menus write their requests through it. The text lives until the next call.
EMSCRIPTEN_KEEPALIVE const char* varnel_print_request(const char* request, std::size_t length) {
    static std::string text;
    Guarded(text, [&] {
        Web::JsonText json;
        json.BeginObject().Key("text").String(Script::Quote(Script::Print(Script::ParseRequest(std::string_view(request, length))))).EndObject();
        text = json.Text();
    });
    return text.c_str();
}

}  // extern "C"
