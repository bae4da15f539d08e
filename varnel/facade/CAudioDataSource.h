#pragma once

#include <cstdint>
#include <memory>

#include "varnel/engine/CVarnel.h"
#include "varnel/platform/MessageWindow.h"
#include "varnel/platform/Object.h"

namespace Quorvex::VarnelNet {

// Offered by a destination control: the object that does the work behind it.
class ICustomAdapter {
public:
    virtual ~ICustomAdapter() = default;
    virtual std::shared_ptr<Object> GetUnderlyingObject() = 0;
};

// A stream destination: it announces its playback format, lends its message window, and pulls
// audio by calling pFun(Receiver, MSG_DATA_REQUEST, buffer address, size) on its own thread.
// After set_DestEventhande(nullptr, {}) returns, it must not call the previous pFun again.
class CAudioDataSource : public Object {
public:
    virtual std::int32_t get_RecordFormatEx() = 0;
    virtual std::int32_t set_EventHandle(std::intptr_t Receiver, std::intptr_t pFun) = 0;
    virtual bool set_Owner(std::shared_ptr<Object> owner) = 0;
    virtual const WAVEFORMATEX* get_PlayFormatEx() = 0;
    virtual std::int32_t set_DestEventhande(void* Receiver, DataCallback pFun) = 0;  // 0 = accepted
    virtual HWND get_MsgWinHandle() = 0;                                             // nullptr = none
    virtual std::int32_t InternalMsg(std::int32_t iMsg, std::int32_t wparam, std::int32_t lparam) = 0;
};

// The full name a destination control gives as its text form.
inline constexpr const char* kSondixControlTypeName = "Quorvex.SondixNet.SondixControl";

}  // namespace Quorvex::VarnelNet
