#pragma once

#include <cstdint>
#include <vector>

namespace Quorvex::VarnelNet {

// Caller-ID message bodies as they are sent: the message bytes, a two's-complement checksum
// (all bytes sum to 0 modulo 256), then one zero byte. Texts are zero-terminated narrow
// strings; null counts as empty. Each builder returns 0, or -1 / -2 when an argument is
// refused, and then leaves `out` empty.
namespace CallerIdMessage {

// SDMF: type 0x04, length, MMDDHHMM, the number of 1 to 40 bytes.
int BuildSDMF(const char* number, const char* dateTime, std::vector<std::uint8_t>& out);
// MDMF: type 0x80, length, parameter 0x01 (MMDDHHMM), 0x02 number and 0x07 name when they
// are not empty. A number or name of 256 bytes or more, or parameters over 255 bytes in all
// (the length byte), are refused with -1.
int BuildMDMF(const char* number, const char* name, const char* dateTime, std::vector<std::uint8_t>& out);
// MDMF where an absence reason ('O' unavailable, 'P' private; 0 for none) replaces a field:
// parameter 0x04 with the letter instead of the number, 0x08 instead of the name. With no
// absence the bytes are those of BuildMDMF.
int BuildMDMF(const char* number, const char* name, const char* dateTime, char numberAbsence, char nameAbsence,
              std::vector<std::uint8_t>& out);
// Message waiting, SDMF: type 0x06, length 3, then 0x42 0x42 0x42 (on) or 0x6F 0x6F 0x6F (off).
void BuildVmwiSDMF(bool active, std::vector<std::uint8_t>& out);
// Message waiting, MDMF: type 0x82 with the visual indicator parameter 0x0B = 0xFF (on) or
// 0x00 (off).
void BuildVmwiMDMF(bool active, std::vector<std::uint8_t>& out);
// The bytes of data as the whole message body, any length.
int BuildRaw(const char* data, std::vector<std::uint8_t>& out);

// Writes MMDDHHMM from "MM/DD HH:MM" (the characters as they are), or from the local time
// when dateTime is null or empty. Returns 0, -1 (not 11 bytes) or -2 (a separator is wrong).
int FormatDateTime(const char* dateTime, std::uint8_t (&out)[8]);

// Appends the checksum and the zero byte sent after it.
void AddChecksum(std::vector<std::uint8_t>& message);

}  // namespace CallerIdMessage

}  // namespace Quorvex::VarnelNet
