#pragma once

#include <string>

#include "varnel/engine/SettingsCatalog.h"

namespace Quorvex::VarnelNet::Refusal {

// The component's own reasons for refusing a call, where the engine gives none.
inline constexpr const char* kDisposed = "This Varnel component has been disposed: its engine is released.";
inline constexpr const char* kTooOld = "Version of Sondix.Net too old!";
inline constexpr const char* kTTYExEmpty = "BinaryData is empty: GenerateTTYEx needs at least one byte.";
inline constexpr const char* kCallerIdNumber = "Number is empty: GenerateCallerID needs the caller's number.";
inline constexpr const char* kCallerIdNumberOrAbsence =
    "Number is empty: GenerateCallerID needs the caller's number, or a NumberAbsence other than None.";
inline constexpr const char* kOffsetNegative = "Offset must not be negative.";
inline constexpr const char* kCountNegative = "Count must not be negative.";
inline constexpr const char* kOffsetBeyond = "Offset is beyond the end of AudioData.";
inline constexpr const char* kCountBeyond = "Offset + Count is beyond the end of AudioData.";

// "Destination must be a Quorvex.SondixNet.SondixControl, not <its name>."
std::string ForDestination(const std::string& name);

// The values a catalog row admits, for a value the engine refused without a text: "BitsPerSample
// must be 8 or 16.", "TTY_Mode must be from 0 to 4.", "CID_BitTiming must be 0 (whole) or 1
// (exact).", "DTMF_Twist must be from -20 to 20."
std::string ForSetting(const SettingSpec& setting);

// For a row the engine cannot read: "<name> cannot be read: the engine has no getter for it."
std::string ForReading(const SettingSpec& setting);

}  // namespace Quorvex::VarnelNet::Refusal
