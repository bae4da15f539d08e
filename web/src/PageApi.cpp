// The functions the page's worker calls (through Emscripten's cwrap): a small C interface
// rather than embind, because everything that crosses is text (scripts, setting values, JSON)
// or a byte buffer the worker reads straight out of the module's memory, and the module then
// carries no binding runtime. Nothing throws across it: a refusal becomes JSON.
//
// A job gathers the options of one rendering, renders once and keeps what it made until it is
// deleted:
//   job = varnel_job_new(); varnel_job_setting(job, "rate", 4, "8000", 4); varnel_job_dbm0(job, "-10", 3);
//   varnel_job_render(job, script, length, maxBytes, forViews) -> 1 rendered, 0 refused
// Texts are UTF-8 with their length in bytes, so that a NUL in them reaches the language (which
// refuses it) instead of ending them.
//   varnel_job_text(job): the summary (PageRendering.h), or the refusal
//     {error: {message, reason, request, index, line}}, after any call that returned 0
//   varnel_job_wave/_wave_size, varnel_job_samples/_sample_count; varnel_job_delete(job)

#include <emscripten/emscripten.h>

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "Catalog.h"
#include "JsonText.h"
#include "PageRendering.h"
#include "varnel/script/Level.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Printer.h"
#include "varnel/script/RequestError.h"

using namespace Quorvex::VarnelNet;

namespace {

struct Job {
    Script::RenderOptions options;
    Web::PageRendering rendering;
    std::string text;
};

std::string ErrorJson(const std::string& message, const Script::RequestError* error) {
    Web::JsonText json;
    json.BeginObject().Key("error").BeginObject().Key("message").String(message);
    json.Key("reason").String(error ? error->Reason() : message);
    json.Key("request").String(error ? error->Request() : std::string());
    json.Key("index").Integer(error ? static_cast<std::int64_t>(error->Index()) : 0);
    json.Key("line").Integer(error ? static_cast<std::int64_t>(error->Line()) : 0);
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
        text = ErrorJson(e.what(), &e);
    } catch (const std::exception& e) {
        text = ErrorJson(e.what(), nullptr);
    }
    return 0;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE Job* varnel_job_new() { return new Job; }

EMSCRIPTEN_KEEPALIVE void varnel_job_delete(Job* job) { delete job; }

EMSCRIPTEN_KEEPALIVE int varnel_job_setting(Job* job, const char* name, std::size_t nameLength, const char* value,
                                             std::size_t valueLength) {
    return Guarded(job->text, [&] {
        job->options.settings.push_back(
            Script::ParseNamedSetting(std::string_view(name, nameLength), std::string_view(value, valueLength)));
    });
}

EMSCRIPTEN_KEEPALIVE int varnel_job_dbm0(Job* job, const char* value, std::size_t length) {
    return Guarded(job->text, [&] { job->options.dbm0 = Script::ReadDbm0(std::string_view(value, length), "dbm0"); });
}

EMSCRIPTEN_KEEPALIVE int varnel_job_render(Job* job, const char* script, std::size_t length, double maxBytes,
                                            int forViews) {
    return Guarded(job->text, [&] {
        const auto limit = maxBytes >= 0x1p64 ? UINT64_MAX : static_cast<std::uint64_t>(maxBytes > 0 ? maxBytes : 0);
        job->rendering = Web::RenderForPage(job->options, std::string_view(script, length), limit, forViews != 0);
        job->text = job->rendering.summary;
    });
}

EMSCRIPTEN_KEEPALIVE const char* varnel_job_text(const Job* job) { return job->text.c_str(); }
EMSCRIPTEN_KEEPALIVE const std::uint8_t* varnel_job_wave(const Job* job) { return job->rendering.wave.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t varnel_job_wave_size(const Job* job) { return job->rendering.wave.size(); }
EMSCRIPTEN_KEEPALIVE const float* varnel_job_samples(const Job* job) { return job->rendering.samples.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t varnel_job_sample_count(const Job* job) { return job->rendering.samples.size(); }

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
