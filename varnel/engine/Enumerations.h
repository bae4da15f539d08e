#pragma once

#include <cstdint>

namespace Quorvex::VarnelNet {

// Layout of Caller-ID messages.
enum CID_FORMAT : std::int32_t {
    CID_SDMF = 0,  // single data message: date/time and number
    CID_MDMF = 1,  // multiple data message: date/time, number and name parameters
    CID_RAW = 2,   // the caller's bytes as the message body
};

// TTY bit rates.
enum BAUDOT_RATE : std::int32_t {
    BR_45_45_Baud = 0,
    BR_50_Baud = 1,
    BR_56_92_Baud = 2,
    BR_74_20_Baud = 3,
    BR_100_Baud = 4,
    BR_110_Baud = 5,
};

// TTY codings. The engine also accepts 3 and 4: Baudot with the second and third figures table.
enum TTY_MODE : std::int32_t {
    Baudot_Mode = 0,
    ASCII7_Mode = 1,
    ASCII8_Mode = 2,
};

// How Caller-ID bits are laid on samples.
enum CID_BIT_TIMING : std::int32_t {
    CBT_WholeSamples = 0,  // every bit has round(rate / 1200) samples
    CBT_Exact = 1,         // bit k ends at sample round((k + 1) * rate / 1200): 1200 bit/s exactly
};

// How samples are written: linear PCM of BitsPerSample bits, or one ITU-T G.711 byte a sample.
enum ENCODING_TYPE : std::int32_t {
    ENC_PCM = 0,
    ENC_MuLaw = 1,
    ENC_ALaw = 2,
};

// Caller-ID dialects.
enum CID_STANDARD : std::int32_t {
    CS_Bell202 = 0,  // Bell 202 FSK: SDMF, MDMF or raw (CID_Format)
    CS_ETSI = 1,     // ETSI EN 300 659: V.23 FSK, MDMF-shaped messages
    CS_BT = 2,       // BT SIN 227: as ETSI, with the UK preamble; its idle-state alert is CA_DTAS
    CS_NTT = 3,      // NTT (Japan): V.23 FSK, framed 7-bit characters with a CRC-16
    CS_DTMF = 4,     // DTMF: A number C, or B00C / B10C
};

// What goes before the Caller-ID data.
enum CID_ALERT : std::int32_t {
    CA_None = 0,     // the data alone, as sent between rings
    CA_DTAS = 1,     // the dual-tone alerting signal and its pause (ETSI, BT; BT always sends it)
    CA_OffHook = 2,  // call waiting: alerting tones, a pause for the acknowledgement, 80 marks
};

// Why a Caller-ID number or name is not sent; the letter goes on the line.
enum class CallerIdAbsence : std::int32_t {
    None = 0,
    Unavailable = 'O',
    Private = 'P',
};

// The tones of modems and fax machines (ITU-T T.30, V.25, V.8).
enum MODEM_TONE : std::int32_t {
    MT_CNG = 0,       // fax calling tone: 1100 Hz, 0.5 s on, 3 s off
    MT_ANS = 1,       // answer tone: 2100 Hz
    MT_ANS_PR = 2,    // 2100 Hz with a 180-degree phase reversal every 450 ms
    MT_ANSAM = 3,     // 2100 Hz amplitude-modulated by 15 Hz at 20 %
    MT_ANSAM_PR = 4,  // both
};

}  // namespace Quorvex::VarnelNet
