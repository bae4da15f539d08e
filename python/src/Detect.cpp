#include "Detect.h"

#include <cstdint>
#include <span>
#include <stdexcept>

#include "varnel/script/HeardCallerIdLabels.h"
#include "varnel/script/HeardLabels.h"
#include "varnel/script/HeardSignalLabels.h"
#include "varnel/facade/Exceptions.h"
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

std::unique_ptr<Detect::ToneListeners> ListenersAt(int sampleRate, std::string& heard) {
    try {
        return std::make_unique<Detect::ToneListeners>(
            sampleRate,
            [&heard](const Detect::MfEvent& event) {
                const Script::Label label = Script::MfLabel(event);
                heard += Script::JsonLabels(std::span(&label, 1));
            },
            [&heard](const Detect::ToneEvent& event) { heard += Script::JsonLabels(Script::ToneLabels(event)); });
    } catch (const std::invalid_argument& e) {
        throw ArgumentException(e.what());
    }
}

std::unique_ptr<Detect::CallerIdDecoder> DecoderAt(int sampleRate, const std::optional<std::string>& word, std::string& heard) {
    std::optional<CallerIdStandard> standard;
    if (word) {
        standard = Detect::StandardOfWord(*word);
        if (!standard) throw ArgumentException("standard is bell, etsi, bt, ntt or dtmf, not '" + *word + "'");
    }
    const auto add = [&heard](const Script::Label& label) { heard += Script::JsonLabels(std::span(&label, 1)); };
    try {
        return std::make_unique<Detect::CallerIdDecoder>(
            sampleRate, [add](const Detect::HeardCallerId& message) { add(Script::HeardCallerIdLabel(message)); },
            [add](const Detect::AlertEvent& alert) { add(Script::HeardAlertLabel(alert)); }, standard);
    } catch (const std::invalid_argument& e) {
        throw ArgumentException(e.what());
    }
}

std::unique_ptr<Detect::TtyDetector> TextDetectorAt(int sampleRate, std::string& heard) {
    try {
        return std::make_unique<Detect::TtyDetector>(sampleRate, [&heard](const Detect::TtyMessage& message) {
            std::int32_t index = 0;
            for (const Detect::TtyCharacter& c : message.characters) {
                const Script::Label label = Script::HeardCharacterLabel(Detect::TtyCharacterText(c, message.coding), index++,
                                                                        Detect::TtyCharacterCode(c, message.coding), c.first, c.last + 1);
                heard += Script::JsonLabels(std::span(&label, 1));
            }
        });
    } catch (const std::invalid_argument& e) {
        throw ArgumentException(e.what());
    }
}

// Feeds a detector samples Python holds: int16 as they are, any other numbers as doubles.
template <typename Detector>
void FeedArray(Detector& detector, const py::array& samples) {
    if (py::isinstance<py::array_t<std::int16_t>>(samples)) {
        const auto wide = py::array_t<std::int16_t, py::array::c_style | py::array::forcecast>::ensure(samples);
        const std::span<const std::int16_t> span(wide.data(), static_cast<std::size_t>(wide.size()));
        py::gil_scoped_release nogil;
        detector.Feed(span);
    } else {
        const auto numbers = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(samples);
        if (!numbers) throw ArgumentException("the samples are not numbers");
        const std::span<const double> span(numbers.data(), static_cast<std::size_t>(numbers.size()));
        py::gil_scoped_release nogil;
        detector.Feed(span);
    }
}

}  // namespace

std::string HeardJson(const py::array& samples, int sampleRate) {
    std::unique_ptr<Detect::Hearing> hearing;
    try {
        hearing = std::make_unique<Detect::Hearing>(sampleRate);
    } catch (const std::invalid_argument& e) {
        throw ArgumentException(e.what());
    }
    FeedArray(*hearing, samples);
    hearing->Finish();
    return Script::JsonLabels(Script::HeardSignalLabels(hearing->Heard()));
}

KeyListener::KeyListener(int sampleRate) : m_detector(DetectorAt(sampleRate, m_heard)) {}

std::string KeyListener::Heard() {
    std::string heard;
    heard.swap(m_heard);
    return heard;
}

std::string KeyListener::Feed(const py::array& samples) {
    FeedArray(*m_detector, samples);
    return Heard();
}

std::string KeyListener::Finish() {
    m_detector->Finish();
    return Heard();
}

ToneListener::ToneListener(int sampleRate) : m_listeners(ListenersAt(sampleRate, m_heard)) {}

std::string ToneListener::Heard() {
    std::string heard;
    heard.swap(m_heard);
    return heard;
}

std::string ToneListener::Feed(const py::array& samples) {
    FeedArray(*m_listeners, samples);
    return Heard();
}

std::string ToneListener::Finish() {
    m_listeners->Finish();
    return Heard();
}

CallerIdListener::CallerIdListener(int sampleRate, const std::optional<std::string>& standard)
    : m_decoder(DecoderAt(sampleRate, standard, m_heard)) {}

std::string CallerIdListener::Heard() {
    std::string heard;
    heard.swap(m_heard);
    return heard;
}

std::string CallerIdListener::Feed(const py::array& samples) {
    FeedArray(*m_decoder, samples);
    return Heard();
}

std::string CallerIdListener::Finish() {
    m_decoder->Finish();
    return Heard();
}

TextListener::TextListener(int sampleRate) : m_detector(TextDetectorAt(sampleRate, m_heard)) {}

std::string TextListener::Heard() {
    std::string heard;
    heard.swap(m_heard);
    return heard;
}

std::string TextListener::Feed(const py::array& samples) {
    FeedArray(*m_detector, samples);
    return Heard();
}

std::string TextListener::Finish() {
    m_detector->Finish();
    return Heard();
}

}  // namespace varnel_python
