#pragma once

namespace Quorvex::VarnelNet::ErrorText {

// The texts the engine stores for a failed operation, exactly as hosts see them.
inline constexpr const char* kNotGenerating =
    "Not in generate state, Please call GenerateBegin() method first.";
inline constexpr const char* kNegativeFrequency = "Frequency parameter can't be negative.";
inline constexpr const char* kDurationNotPositive = "Duration parameter must bigger than zero.";
inline constexpr const char* kInvalidParameters = "Invaild parameters.";
inline constexpr const char* kWaveFile = "Unable to create or write this wave file.";
inline constexpr const char* kSampleRate =
    "Sample rate out of range: it must be from 1 to 16777216 Hz.";
inline constexpr const char* kEncoding =
    "Encoding out of range: it must be ENC_PCM (0), ENC_MuLaw (1) or ENC_ALaw (2).";
inline constexpr const char* kFormatFixed =
    "The format cannot change during a file generation: call GenerateEnd first.";
inline constexpr const char* kDurationRange =
    "Duration out of range: it must not be negative, and a request renders at most 2147483647 bytes (samples "
    "in 8-bit PCM and G.711, half as many in 16-bit).";
inline constexpr const char* kTextEmpty = "Text parameter is empty!";
inline constexpr const char* kCallerIdParameters = "Invaild parameters, GenerateCallerID() failed";
inline constexpr const char* kBitWithoutSamples =
    "Sample rate too low for this signal: one of its bits would have no samples.";
inline constexpr const char* kAmplitudeNaN = "Amplitude parameter is not a number.";
inline constexpr const char* kInvalidParameter = "Invaild parameter.";
inline constexpr const char* kBufferTooSmall = "Buffer too small!";
inline constexpr const char* kDtmfTwist = "DTMF twist out of range: it must be from -20 to 20 dB.";
inline constexpr const char* kDtmfTwistLevel =
    "DTMF level too high for the twist set: the two tones together would pass full scale; lower Amplitude or the "
    "twist.";
inline constexpr const char* kModulationDepth =
    "Modulation depth out of range: it must be from 0 to 100 percent.";
inline constexpr const char* kLevelPerTone = "TONE_LevelPerTone must be 0 or 1.";
inline constexpr const char* kToneDuration = "Duration out of range: it must be from 1 to 2147483647 ms.";
inline constexpr const char* kModemTone =
    "Unknown modem tone: the kinds are MT_CNG (0), MT_ANS (1), MT_ANS_PR (2), MT_ANSAM (3) and MT_ANSAM_PR (4).";
inline constexpr const char* kTTYDataType =
    "Invaild parameter. Must be Safe array contain VT_ARRAY or VT_UI1 or VT_BSTR.";

inline constexpr const char* kCidStandard = "CID_Standard must be CS_Bell202, CS_ETSI, CS_BT, CS_NTT or CS_DTMF.";
inline constexpr const char* kCidAlert = "CID_Alert must be CA_None, CA_DTAS or CA_OffHook.";
inline constexpr const char* kCidFormatUnknown = "CID_Format must be CID_SDMF, CID_MDMF or CID_RAW.";
inline constexpr const char* kAbsence = "Absence reason must be 0, 'O' (unavailable) or 'P' (private).";
inline constexpr const char* kSignalsEmpty = "Signals parameter is empty!";

}  // namespace Quorvex::VarnelNet::ErrorText
