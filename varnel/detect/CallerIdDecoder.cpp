#include "varnel/detect/CallerIdDecoder.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>

#include "varnel/signal/ModemSpec.h"
#include "varnel/signal/NttMessage.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

constexpr double kLeastMarkBits = 30.0;
// Bell 202's mark is 1200 Hz, V.23's 1300: the limit lies between.
constexpr double kBellMarkBelowHz = 1250.0;
// BT's preamble: the library sends 96 bits of seizure (9 characters) and 55 of mark; ETSI's
// are 300 and 180.
constexpr int kBtSeizureBelow = 20;
constexpr double kBtMarkBelow = 120.0;
// A trailing byte within this many bits of the checksum belongs to the message.
constexpr double kTrailingGapBits = 2.0;
constexpr std::uint8_t kSeizure = 0x55;

bool IsMessageType(std::uint8_t value) { return value == 0x04 || value == 0x06 || value == 0x80 || value == 0x82; }

bool EvenParity(std::uint8_t octet) {
    int ones = 0;
    for (int bit = 0; bit < 8; ++bit) ones += (octet >> bit) & 1;
    return ones % 2 == 0;
}

// DLE SOH header DLE STX ... DLE ETX CRC CRC, every octet but the CRC's of even parity, the CRC
// over header to CRC leaving 0.
bool NttFrameGood(std::span<const std::uint8_t> frame) {
    constexpr std::uint8_t kOpening[] = {NttMessage::kDle, NttMessage::kSoh, NttMessage::kHeader, NttMessage::kDle,
                                         NttMessage::kStx};
    if (frame.size() < 9) return false;
    for (std::size_t i = 0; i < std::size(kOpening); ++i) {
        if ((frame[i] & 0x7F) != kOpening[i]) return false;
    }
    for (std::size_t i = 0; i + 2 < frame.size(); ++i) {
        if (!EvenParity(frame[i])) return false;
    }
    return NttMessage::Crc16(frame.subspan(2)) == 0;
}

}  // namespace

std::string_view StandardWord(CallerIdStandard standard) {
    switch (standard) {
        case CallerIdStandard::Bell202: return "bell";
        case CallerIdStandard::Etsi: return "etsi";
        case CallerIdStandard::Bt: return "bt";
        case CallerIdStandard::Ntt: return "ntt";
        case CallerIdStandard::Dtmf: return "dtmf";
    }
    return "unknown";
}

std::optional<CallerIdStandard> StandardOfWord(std::string_view word) {
    for (const CallerIdStandard standard : {CallerIdStandard::Bell202, CallerIdStandard::Etsi, CallerIdStandard::Bt,
                                            CallerIdStandard::Ntt, CallerIdStandard::Dtmf}) {
        if (StandardWord(standard) == word) return standard;
    }
    return std::nullopt;
}

CallerIdDecoder::Assembler::Assembler(CallerIdDecoder& owner, const ModemSpec& modem, int sampleRate)
    : owner_(owner), bell_(modem.markHz == kBell202.markHz),
      demodulator_(modem, sampleRate, [this](const FskByte& byte) { OnByte(byte); }, [this](std::uint64_t) { Flush(); }) {}

void CallerIdDecoder::Assembler::Flush() {
    if (hasPending_) {
        hasPending_ = false;
        owner_.Report(pending_);
    }
    Drop();
    seizure_ = 0;
}

void CallerIdDecoder::Assembler::OnByte(const FskByte& byte) {
    if (hasPending_) {
        const bool trailing = byte.value == 0 && byte.idleBits < kTrailingGapBits;
        if (trailing) pending_.last = byte.last;
        hasPending_ = false;
        owner_.Report(pending_);
        if (trailing) return;
    }
    if (stage_ != Stage::Idle && byte.idleBits >= kLeastMarkBits) Drop();  // a message broken off
    if (stage_ == Stage::Idle) {
        Start(byte);
        return;
    }
    Append(byte);
}

void CallerIdDecoder::Assembler::Start(const FskByte& byte) {
    const bool ntt = !bell_ && (byte.value & 0x7F) == NttMessage::kDle;
    if (byte.idleBits < kLeastMarkBits || (!ntt && !IsMessageType(byte.value))) {
        if (byte.value == kSeizure) ++seizure_;
        return;
    }
    stage_ = ntt ? Stage::Ntt : Stage::Typed;
    count_ = 0;
    dlePending_ = false;
    crcFrom_ = 0;
    markBits_ = byte.idleBits;
    first_ = byte.first;
    levelSum_ = 0.0;
    Append(byte);
}

void CallerIdDecoder::Assembler::Append(const FskByte& byte) {
    if (count_ == bytes_.size()) {
        Drop();
        return;
    }
    bytes_[count_++] = byte.value;
    levelSum_ += byte.dbm0;
    pendingEnd_ = byte.last;
    if (stage_ == Stage::Typed) {
        if (count_ == 2) expected_ = 2u + bytes_[1] + 1u;
        if (count_ >= 2 && count_ == expected_) Complete();
        return;
    }
    // NTT: after the opening five octets, DLE DLE is a data DLE and DLE ETX ends the message.
    const std::uint8_t octet = byte.value & 0x7F;
    if (crcFrom_ != 0) {
        if (count_ == crcFrom_ + 2) Complete();
    } else if (count_ > 5 && dlePending_) {
        dlePending_ = false;
        if (octet == NttMessage::kEtx) crcFrom_ = count_;
    } else if (count_ > 5 && octet == NttMessage::kDle) {
        dlePending_ = true;
    }
}

void CallerIdDecoder::Assembler::Complete() {
    const std::span<const std::uint8_t> message(bytes_.data(), count_);
    const Stage stage = stage_;
    Drop();
    const double markHz = demodulator_.MarkHz();
    const bool bellTones = markHz < kBellMarkBelowHz;
    const int seizure = seizure_;
    seizure_ = 0;
    if (bellTones != bell_ && owner_.bell_ && owner_.v23_) return;  // the other demodulator's message

    HeardCallerId heard;
    heard.first = first_;
    heard.last = pendingEnd_;
    heard.dbm0 = levelSum_ / static_cast<double>(message.size());
    bool good = false;
    if (stage == Stage::Ntt) {
        heard.standard = CallerIdStandard::Ntt;
        good = NttFrameGood(message);
    } else {
        heard.standard = bell_                                                            ? CallerIdStandard::Bell202
                         : seizure > 0 && seizure < kBtSeizureBelow && markBits_ < kBtMarkBelow ? CallerIdStandard::Bt
                                                                                                : CallerIdStandard::Etsi;
        unsigned sum = 0;
        for (const std::uint8_t octet : message) sum += octet;
        good = sum % 256u == 0;
    }
    heard.check = good ? CallerIdCheck::Good : CallerIdCheck::Bad;
    DecodedCallerId decoded = DecodeCallerId(heard.standard, message);
    heard.layout = decoded.layout;
    if (good) heard.fields = std::move(decoded.fields);
    pending_ = std::move(heard);
    hasPending_ = true;
}

CallerIdDecoder::CallerIdDecoder(int sampleRate, MessageSink onMessage, AlertSink onAlert,
                                 std::optional<CallerIdStandard> standard)
    : onMessage_(std::move(onMessage)), onAlert_(std::move(onAlert)),
      second_(static_cast<std::uint64_t>(sampleRate > 0 ? sampleRate : 0)) {
    const auto listens = [standard](std::initializer_list<CallerIdStandard> standards) {
        return !standard || std::find(standards.begin(), standards.end(), *standard) != standards.end();
    };
    using enum CallerIdStandard;
    if (listens({Bell202})) bell_.emplace(*this, kBell202, sampleRate);
    if (listens({Etsi, Bt, Ntt})) v23_.emplace(*this, kV23, sampleRate);
    if (listens({Bell202, Etsi, Bt})) {
        alert_.emplace(sampleRate, [this](const AlertEvent& alert) {
            alertHeard_ = true;
            alertEnd_ = alert.last;
            if (onAlert_) onAlert_(alert);
        });
    }
    if (listens({Dtmf})) dtmf_.emplace(sampleRate, [this](const DtmfEvent& key) { OnKey(key); });
}

void CallerIdDecoder::Feed(std::span<const double> samples) {
    if (dtmf_) dtmf_->Feed(samples);
    while (!samples.empty()) {
        const std::size_t count = samples.size() < FskDemodulator::kChunk ? samples.size() : FskDemodulator::kChunk;
        const std::span<const double> chunk = samples.first(count);
        samples = samples.subspan(count);
        // Silence none of them can hear anything in: it only moves their state on.
        if ((!bell_ || bell_->Resting()) && (!v23_ || v23_->Resting()) && (!alert_ || alert_->Resting()) &&
            std::all_of(chunk.begin(), chunk.end(), [](double sample) { return sample == 0.0; })) {
            if (bell_) bell_->Rest(count);
            if (v23_) v23_->Rest(count);
            if (alert_) alert_->Rest(count);
            continue;
        }
        if (bell_) bell_->Measure(chunk);
        if (v23_) v23_->Measure(chunk);
        for (std::size_t i = 0; i < count; ++i) {
            if (bell_) bell_->Decide(i);
            if (v23_) v23_->Decide(i);
            if (alert_) alert_->Push(chunk[i]);
        }
    }
}

void CallerIdDecoder::Feed(std::span<const std::int16_t> samples) {
    std::array<double, 256> block{};
    while (!samples.empty()) {
        const std::size_t count = samples.size() < block.size() ? samples.size() : block.size();
        for (std::size_t i = 0; i < count; ++i) block[i] = samples[i] / 32768.0;
        Feed(std::span<const double>(block.data(), count));
        samples = samples.subspan(count);
    }
}

void CallerIdDecoder::Finish() {
    if (alert_) alert_->Finish();
    if (dtmf_) dtmf_->Finish();
    if (bell_) bell_->Flush();
    if (v23_) v23_->Flush();
}

// A for a number, B for an absence, each closed by C.
void CallerIdDecoder::OnKey(const DtmfEvent& key) {
    if (keyCount_ > 0 && key.first > keysLast_ + second_) keyCount_ = 0;
    if (key.key == 'A' || key.key == 'B') keyCount_ = 0;
    else if (keyCount_ == 0) return;
    if (keyCount_ == keys_.size()) {
        keyCount_ = 0;
        return;
    }
    if (keyCount_ == 0) {
        keysFirst_ = key.first;
        keysDbm0_ = 0.0;
    }
    keys_[keyCount_++] = key.key;
    keysLast_ = key.last;
    keysDbm0_ += (key.rowDbm0 + key.columnDbm0) / 2.0;
    if (key.key != 'C') return;
    const std::span<const std::uint8_t> keys(reinterpret_cast<const std::uint8_t*>(keys_.data()), keyCount_);
    HeardCallerId heard;
    heard.first = keysFirst_;
    heard.last = keysLast_;
    heard.standard = CallerIdStandard::Dtmf;
    heard.check = CallerIdCheck::None;
    heard.dbm0 = keysDbm0_ / static_cast<double>(keyCount_);
    DecodedCallerId decoded = DecodeCallerId(CallerIdStandard::Dtmf, keys);
    keyCount_ = 0;
    if (decoded.layout != "DTMF" || keys.size() < 3) return;  // keys that only look like it: AC, A12B34C
    heard.layout = decoded.layout;
    heard.fields = std::move(decoded.fields);
    Report(heard);
}

void CallerIdDecoder::Report(HeardCallerId& message) {
    message.alertSeen = alertHeard_ && alertEnd_ < message.first && message.first - alertEnd_ <= second_;
    if (onMessage_) onMessage_(message);
}

}  // namespace Quorvex::VarnelNet::Detect
