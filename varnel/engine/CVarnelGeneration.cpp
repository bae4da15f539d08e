#include <array>

#include "varnel/engine/CVarnel.h"
#include "varnel/engine/ErrorTexts.h"
#include "varnel/engine/OutputFormat.h"
#include "varnel/platform/TextConversion.h"
#include "varnel/wave/CSoundFile.h"

namespace Quorvex::VarnelNet {

namespace {

// Rendering stops once this many bytes or fewer of the caller's buffer remain free.
constexpr std::int32_t kMinimumRoom = 100;
constexpr std::int32_t kFileBlockSize = 8192;

// The classic text, then why the file could not be written.
std::string WaveFileFailure(const std::string& reason) {
    return reason.empty() ? std::string(ErrorText::kWaveFile) : std::string(ErrorText::kWaveFile) + " (" + reason + ")";
}

}  // namespace

void CVarnel::NewGeneration(std::int32_t state) {
    m_state = state;
    ++m_generation;
}

WAVEFORMATEX CVarnel::BuildFormat() const {
    return OutputWaveFormat(m_encoding, m_bitsPerSample, static_cast<std::uint32_t>(m_sampleRate));
}

HRESULT CVarnel::GenerateBegin(const char16_t* OutFileName) {
    Lock lock(m_mutex);
    const HRESULT renderable = CheckRenderable();
    if (FAILED(renderable)) return renderable;
    m_nextRequestID = 0;
    m_ttyShiftState = -1;
    const std::u16string_view name = WideView(OutFileName);
    if (name.empty()) {
        BeginBufferStream(lock);
        return S_OK;
    }
    return BeginFile(lock, name);
}

HRESULT CVarnel::BeginFile(Lock& lock, std::u16string_view name) {
    m_queue.Clear();
    m_pWaveFile.reset();  // an earlier file generation that was never ended is closed as it is
    auto file = std::make_unique<CSoundFile>(Utf16ToUtf8(name), BuildFormat());
    if (!file->IsOpen()) return Fail(E_FAIL, WaveFileFailure(file->Reason()).c_str());
    m_pWaveFile = std::move(file);
    NewGeneration(kToFile);
    DebugLog(lock, 0, "Generation begin (To file '%s').", NarrowToAnsi(name).c_str());
    return S_OK;
}

void CVarnel::BeginBufferStream(Lock& lock) {
    m_queue.Clear();
    // A file generation that was never ended is finished here, so its file is complete.
    m_pWaveFile.reset();
    NewGeneration(kToBufferStream);
    WAVEFORMATEX format = BuildFormat();
    Deliver(lock, MSG_STREAM_FORMAT, reinterpret_cast<std::uintptr_t>(&format), 0);
    DebugLog(lock, 0, "Generation begin, (To buffer stream).");
}

HRESULT CVarnel::GenerateEnd() {
    Lock lock(m_mutex);
    if (m_state == kToFile && m_pWaveFile) {
        // This call owns the file while it renders, so that a notification handler that ends
        // or restarts the generation cannot pull it away.
        const std::unique_ptr<CSoundFile> file = std::move(m_pWaveFile);
        const std::uint64_t generation = m_generation;
        DebugLog(lock, 0, "Start the generation, writing !");
        bool written = true;
        std::array<std::uint8_t, kFileBlockSize> block;
        while (m_generation == generation) {
            const std::int32_t n = Render(lock, block.data(), kFileBlockSize);
            if (n <= 0) break;
            if (file->Write(block.data(), n) != n) written = false;
        }
        written = file->Close() && written;
        if (m_generation == generation) NewGeneration(kIdle);
        DebugLog(lock, 0, "End of the generation.");
        return written ? S_OK : Fail(E_FAIL, WaveFileFailure(file->Reason()).c_str());
    }
    if (m_state == kIdle) return S_OK;
    // A buffer stream, or a file generation whose file could not be opened.
    NewGeneration(kIdle);
    m_queue.Clear();
    DebugLog(lock, 0, "End of the generation.");
    return S_OK;
}

std::int32_t CVarnel::AddRequest(Lock& lock, std::unique_ptr<CGenBase> generator, REQUEST_TYPE type) {
    return AddRequest(lock, std::move(generator), type, RequestTypeLabel(type));
}

std::int32_t CVarnel::AddRequest(Lock& lock, std::unique_ptr<CGenBase> generator, REQUEST_TYPE type,
                                 const char* label) {
    const std::int32_t id = m_nextRequestID;
    m_nextRequestID = static_cast<std::int32_t>(static_cast<std::uint32_t>(id) + 1u);
    m_queue.Append(std::make_unique<RequestRecord>(RequestRecord{type, std::move(generator), id, nullptr, false}));
    if (m_state == kIdle) {
        DebugLog(lock, 0,
                 "Added request to generation queue, type: %s, request ID:%d (no generation is running: the next "
                 "GenerateBegin discards it)",
                 label, id);
    } else {
        DebugLog(lock, 0, "Added request to generation queue, type: %s, request ID:%d", label, id);
    }
    return id;
}

std::int64_t CVarnel::QueuedBytes() const {
    const Lock lock(m_mutex);
    return m_queue.Bytes();
}

std::vector<QueuedRequest> CVarnel::QueuedRequests() const {
    const Lock lock(m_mutex);
    std::vector<QueuedRequest> requests;
    for (const RequestRecord* r = m_queue.Head(); r != nullptr; r = r->next.get()) {
        requests.push_back({r->requestID, r->generator->Length()});
    }
    return requests;
}

void CVarnel::SetSignalDeviation(const SignalDeviation& deviation) {
    const Lock lock(m_mutex);
    m_deviation = deviation;
}

void CVarnel::SetSymbolSink(SymbolSink* sink) {
    const Lock lock(m_mutex);
    m_symbolSink = sink;
}

std::int32_t CVarnel::ExecRequest(std::uint8_t* buffer, std::int32_t size) {
    Lock lock(m_mutex);
    return Render(lock, buffer, size);
}

std::int32_t CVarnel::ExecStreamRequest(std::uint8_t* buffer, std::int32_t size) {
    Lock lock(m_mutex);
    if (m_state != kToBufferStream) return -1;
    return Render(lock, buffer, size);
}

void CVarnel::Discard() {
    const Lock lock(m_mutex);
    NewGeneration(kIdle);
    m_queue.Clear();
    m_pWaveFile.reset();
}

std::int32_t CVarnel::Render(Lock& lock, std::uint8_t* buffer, std::int32_t size) {
    if (m_state == kIdle) return -1;
    if (m_queue.Empty() || size <= kMinimumRoom || buffer == nullptr) return 0;
    const std::uint64_t generation = m_generation;
    std::int32_t remaining = size;
    std::int32_t written = 0;
    while (!m_queue.Empty()) {
        RequestRecord& head = *m_queue.Head();
        if (m_queue.StartHead() && m_symbolSink) head.generator->ReportSymbols({m_symbolSink, head.requestID});
        const std::int32_t n = head.generator->Read(buffer + written, remaining);
        if (n <= 0) {
            // Unlinked before anyone hears of it, so a handler that pulls, queues or ends the
            // generation finds a consistent queue.
            const std::int32_t id = m_queue.PopHead()->requestID;
            DebugLog(lock, 0, "Request completed, requestID:%d", id);
            if (m_generation != generation) break;
            Deliver(lock, MSG_REQUEST_DONE, static_cast<std::uint32_t>(id), 0);
            if (m_generation != generation) break;
            continue;
        }
        remaining -= n;
        written += n;
        if (remaining <= kMinimumRoom) break;
    }
    return written;
}

}  // namespace Quorvex::VarnelNet
