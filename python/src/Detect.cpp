#include "Detect.h"

#include <cstdint>
#include <span>
#include <stdexcept>

#include "varnel/facade/Exceptions.h"
#include "varnel/script/HeardCallerIdLabels.h"
#include "varnel/script/Labels.h"

namespace py = pybind11;
using namespace Quorvex::VarnelNet;

namespace varnel_python {

namespace {

std::unique_ptr<Detect::DtmfDetector> DetectorAt(int sampleRate, std::string& heard) {
    try {
        return std::make_unique<Detect::DtmfDetector>(sampleRate, [&heard](const Detect::DtmfEvent& event) {
            const Script::Label label = Script::HeardKeyLabel(event.key, event.first, event.last + 1, "dtmf");
            heard += Script::JsonLabels(std::span(&label, 1));
        });
    } catch (const std::invalid_argument& e) {
        throw ArgumentException(e.what());
    }
}

std::unique_ptr<Detect::CallerIdDecoder> DecoderAt(int sampleRate, std::string& heard) {
    const auto add = [&heard](const Script::Label& label) { heard += Script::JsonLabels(std::span(&label, 1)); };
    try {
        return std::make_unique<Detect::CallerIdDecoder>(
            sampleRate, [add](const Detect::HeardCallerId& message) { add(Script::HeardCallerIdLabel(message)); },
            [add](const Detect::AlertEvent& alert) { add(Script::HeardAlertLabel(alert)); });
    } catch (const std::invalid_argument& e) {
        throw ArgumentException(e.what());
    }
}

// Feeds int16 samples as they are and any other numbers as doubles, without the GIL.
template <typename Receiver>
void FeedArray(const py::array& samples, Receiver& receiver) {
    if (py::isinstance<py::array_t<std::int16_t>>(samples)) {
        const auto wide = py::array_t<std::int16_t, py::array::c_style | py::array::forcecast>::ensure(samples);
        const std::span<const std::int16_t> span(wide.data(), static_cast<std::size_t>(wide.size()));
        py::gil_scoped_release nogil;
        receiver.Feed(span);
    } else {
        const auto numbers = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(samples);
        if (!numbers) throw ArgumentException("the samples are not numbers");
        const std::span<const double> span(numbers.data(), static_cast<std::size_t>(numbers.size()));
        py::gil_scoped_release nogil;
        receiver.Feed(span);
    }
}

}  // namespace

KeyListener::KeyListener(int sampleRate) : m_detector(DetectorAt(sampleRate, m_heard)) {}

std::string KeyListener::Heard() {
    std::string heard;
    heard.swap(m_heard);
    return heard;
}

std::string KeyListener::Feed(const py::array& samples) {
    FeedArray(samples, *m_detector);
    return Heard();
}

std::string KeyListener::Finish() {
    m_detector->Finish();
    return Heard();
}

CallerIdListener::CallerIdListener(int sampleRate) : m_decoder(DecoderAt(sampleRate, m_heard)) {}

std::string CallerIdListener::Heard() {
    std::string heard;
    heard.swap(m_heard);
    return heard;
}

std::string CallerIdListener::Feed(const py::array& samples) {
    FeedArray(samples, *m_decoder);
    return Heard();
}

std::string CallerIdListener::Finish() {
    m_decoder->Finish();
    return Heard();
}

}  // namespace varnel_python
