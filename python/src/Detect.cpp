#include "Detect.h"

#include <cstdint>
#include <span>
#include <stdexcept>

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

// Feeds the samples, without the GIL, as 16-bit ones or as numbers of full scale 1.0.
template <typename Detector>
void FeedTo(Detector& detector, const py::array& samples) {
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

std::string Taken(std::string& heard) {
    std::string taken;
    taken.swap(heard);
    return taken;
}

}  // namespace

KeyListener::KeyListener(int sampleRate) : m_detector(DetectorAt(sampleRate, m_heard)) {}

std::string KeyListener::Heard() { return Taken(m_heard); }

std::string KeyListener::Feed(const py::array& samples) {
    FeedTo(*m_detector, samples);
    return Heard();
}

std::string KeyListener::Finish() {
    m_detector->Finish();
    return Heard();
}

TextListener::TextListener(int sampleRate) : m_detector(TextDetectorAt(sampleRate, m_heard)) {}

std::string TextListener::Heard() { return Taken(m_heard); }

std::string TextListener::Feed(const py::array& samples) {
    FeedTo(*m_detector, samples);
    return Heard();
}

std::string TextListener::Finish() {
    m_detector->Finish();
    return Heard();
}

}  // namespace varnel_python
