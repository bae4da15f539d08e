#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "varnel/engine/CVarnel.h"
#include "varnel/engine/ErrorTexts.h"
#include "varnel/generators/CEncBaudotCode.h"
#include "varnel/platform/TextConversion.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr std::array<const char*, 6> kRateLabels = {"45.45 baud", "50.00 baud", "56.92 baud",
                                                    "74.20 baud", "100.0 baud", "110.0 baud"};
constexpr std::array<const char*, 5> kModeLabels = {"Baudot Mode", "ASCII-7 Mode", "ASCII-8 Mode",
                                                    "Baudot Mode 3", "Baudot Mode 4"};

}  // namespace

HRESULT CVarnel::GenerateCallerID(const char16_t* Number, const char16_t* Name,
                                  const char16_t* DataTime, std::int32_t* pRequestID) {
    return QueueCallerID(Number, Name, DataTime, 0, 0, true, pRequestID);
}

HRESULT CVarnel::GenerateTTY(const char16_t* Text, std::int32_t* pRequestID) {
    Lock lock(m_mutex);
    if (m_state == kIdle) return Fail(E_FAIL, ErrorText::kNotGenerating);
    if (!Text || !*Text) return Fail(E_INVALIDARG, ErrorText::kTextEmpty);
    std::int32_t id = 0;
    const HRESULT hr = QueueTTY(lock, NarrowToAnsi(WideView(Text)).c_str(), &id);
    if (SUCCEEDED(hr) && pRequestID) *pRequestID = id;
    return hr;
}

std::int32_t CVarnel::GenerateTTY2(const char* data, std::int32_t length) {
    // The text ends at the first zero byte; a positive length also bounds it, so that data
    // without a terminator is never read past its end.
    const std::string text = !data        ? std::string()
                             : length > 0 ? std::string(data, ::strnlen(data, static_cast<std::size_t>(length)))
                                          : std::string(data);
    std::int32_t id = -1;
    Lock lock(m_mutex);
    QueueTTY(lock, text.c_str(), &id);
    return id;
}

HRESULT CVarnel::QueueTTY(Lock& lock, const char* text, std::int32_t* pRequestID) {
    if (const HRESULT hr = CheckRenderable(); FAILED(hr)) return hr;
    auto encoder = NewGenerator<CEncBaudotCode>();
    encoder->SetShiftState(m_ttyShiftState);
    encoder->Init(RequestFormat(), m_sampleRate, LinearAmplitude());
    encoder->SetBaudRate(m_ttyRate);  // an index above 5 leaves 45.45 baud
    if (encoder->BytesPerBit() == 0) return Fail(E_INVALIDARG, ErrorText::kBitWithoutSamples);
    encoder->SetFigsAfterSpace(m_ttyFigsAfterSpace != 0);
    encoder->SetText(text, m_ttyMode);
    m_ttyShiftState = encoder->ShiftState();

    char label[64];
    std::snprintf(label, sizeof label, "TTY ( %s, %s )",
                  kRateLabels[static_cast<std::size_t>(encoder->RateIndex())],
                  kModeLabels[static_cast<std::size_t>(encoder->Mode())]);
    *pRequestID = AddRequest(lock, std::move(encoder), RT_TTY, label);
    return S_OK;
}

}  // namespace Quorvex::VarnelNet
