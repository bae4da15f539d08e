#pragma once

#include <memory>
#include <optional>
#include <string>

#include <pybind11/numpy.h>

#include "varnel/detect/CallerIdDecoder.h"
#include "varnel/detect/DtmfDetector.h"
#include "varnel/detect/Hearing.h"
#include "varnel/detect/TtyDetector.h"
#include "varnel/detect/ToneListeners.h"

namespace varnel_python {

// varnel.detect(): every detector on the samples as `varnel detect --json` runs them
// (Detect::Hearing, the rules across detectors applied), as its JSON lines. The samples are
// taken as KeyListener takes them. Throws ArgumentError for a rate the detectors do not take.
std::string HeardJson(const pybind11::array& samples, int sampleRate);

// varnel.DtmfDetector: the library's DTMF receiver on samples Python holds
// (int16, full scale 32768, or any other number type as float, full scale 1.0), the keys as
// JSON lines in the labels' schema, those of `varnel detect --json`. The samples are fed without
// the GIL.
class KeyListener {
public:
    // Throws ArgumentError for a rate the detector does not take.
    explicit KeyListener(int sampleRate);
    // The keys that ended within these samples.
    std::string Feed(const pybind11::array& samples);
    // The input has ended: a key still sounding.
    std::string Finish();

private:
    std::string Heard();

    std::string m_heard;
    std::unique_ptr<Quorvex::VarnelNet::Detect::DtmfDetector> m_detector;
};

// varnel.ToneDetector: the library's MF and tone receivers (Detect::ToneListeners) alike, the
// signals and tones as the labels of `varnel detect --json`.
class ToneListener {
public:
    // Throws ArgumentError for a rate the detectors do not take.
    explicit ToneListener(int sampleRate);
    std::string Feed(const pybind11::array& samples);
    std::string Finish();

private:
    std::string Heard();

    std::string m_heard;
    std::unique_ptr<Quorvex::VarnelNet::Detect::ToneListeners> m_listeners;
};

// varnel.CallerIdDecoder: the library's Caller-ID receiver the same way, its messages and alerts
// as the labels of `varnel detect --json` (kind "cid").
class CallerIdListener {
public:
    // Listens for every standard, or for the one its word names ("bell", "etsi", "bt", "ntt",
    // "dtmf"). Throws ArgumentError for a rate the decoder does not take or another word.
    CallerIdListener(int sampleRate, const std::optional<std::string>& standard);
    // The messages and alerts reported within these samples.
    std::string Feed(const pybind11::array& samples);
    // The input has ended: what is still pending.
    std::string Finish();

private:
    std::string Heard();

    std::string m_heard;
    std::unique_ptr<Quorvex::VarnelNet::Detect::CallerIdDecoder> m_decoder;
};

// varnel.TtyDetector: the library's TTY receiver the same way, each character frame of the
// messages it hears a label, those of `varnel detect --json`.
class TextListener {
public:
    // Throws ArgumentError for a rate the detector does not take.
    explicit TextListener(int sampleRate);
    // The frames of the messages that ended within these samples.
    std::string Feed(const pybind11::array& samples);
    // The input has ended: a message still open.
    std::string Finish();

private:
    std::string Heard();

    std::string m_heard;
    std::unique_ptr<Quorvex::VarnelNet::Detect::TtyDetector> m_detector;
};

}  // namespace varnel_python
