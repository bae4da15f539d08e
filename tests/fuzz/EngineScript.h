#pragma once

// Runs the engine's commands of the fuzz script language (FuzzScript.h) on a CVarnel:
//
//   settings   rate N, bits N, encoding N, amp F, tone-time N, break-time N, pause-time N,
//              twist F, tty-mode N, tty-rate N, figs N, cid-format N, cid-timing N,
//              cid-standard N, cid-alert N, depth N, per-tone N
//   generation begin (a buffer stream; a file generation would render without bound), end
//   requests   dtmf KEYS, tone ON OFF F1 F2 F3, silence F, tones NOTATION, tty TEXT,
//              tty2 N BYTES (N > 0: BYTES exactly, unterminated, length N cut to their size;
//              otherwise zero-terminated with length N), cid NUMBER|NAME|DATETIME,
//              cidex NUMBERABSENCE NAMEABSENCE NUMBER|NAME|DATETIME, vmwi N, mf KEYS,
//              r2mf BACKWARD SIGNALS, pattern MS PATTERN, plan MS COUNTRY|TONE, sit CODE,
//              modem KIND MS
//   pulls      pull N (ExecRequest on exactly N bytes), pullnull N (a null buffer),
//              drain (8192-byte pulls until one renders nothing)
//   queries    get (every getter, and each with a null out-parameter), version, queued
//   handlers   ondone COMMAND, ondebug COMMAND: run COMMAND from inside the data callback on
//              each MSG_REQUEST_DONE or MSG_DEBUG_TEXT (not from inside a handler; a few times)
//
// Every pull is checked: it reports -1, or 0 up to the size offered; a drain that empties the
// queue (with no handler set) renders exactly the QueuedBytes it began with.

#include <cstdint>
#include <string>

#include "FuzzScript.h"
#include "varnel/engine/CVarnel.h"

namespace Quorvex::VarnelNet::Fuzz {

class EngineScript {
public:
    EngineScript(CVarnel& engine, PullBudget& budget);
    ~EngineScript();
    EngineScript(const EngineScript&) = delete;
    EngineScript& operator=(const EngineScript&) = delete;

    // Runs one command; false when it is not one of the engine's.
    bool Run(const Command& command);

private:
    // Whether another request-making command may run (a few per input, so that generators that
    // hold a buffer per request cannot add up to gigabytes).
    bool MayQueue();
    std::int32_t OnNotification(std::int32_t msg, std::uint64_t wparam, std::int64_t lparam);
    void RunHandler(const std::string& command);
    bool RunSetting(const Command& command);
    bool RunRequest(const Command& command);
    void Pull(std::int32_t size, bool nullBuffer);
    void Drain();
    void QueryAll();

    CVarnel& m_engine;
    PullBudget& m_budget;
    int m_requests = 0;
    std::string m_onDone;
    std::string m_onDebug;
    int m_handlerRuns = 0;
    bool m_inHandler = false;
};

}  // namespace Quorvex::VarnelNet::Fuzz
