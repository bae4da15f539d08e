#include "support/TestDestination.h"

#include <cstdio>
#include <map>

#include "support/WaveFiles.h"

namespace varnel_test {

namespace {

// The window procedure finds its data source here: while the engine holds the window, the
// window's user data is the engine's.
std::mutex g_sourcesMutex;
std::map<HWND, TestDataSource*> g_sources;

}  // namespace

TestDataSource::TestDataSource(WAVEFORMATEX format, bool withWindow) : m_format(format) {
    if (!withWindow) return;
    const std::lock_guard lock(g_sourcesMutex);
    m_window = CreateMessageWindow(&WindowProc);
    g_sources[m_window] = this;
}

TestDataSource::~TestDataSource() {
    Stop();
    if (!m_window) return;
    DestroyWindow(m_window);
    const std::lock_guard lock(g_sourcesMutex);
    g_sources.erase(m_window);
}

std::intptr_t TestDataSource::WindowProc(HWND hwnd, std::uint32_t msg, std::uint64_t, std::int64_t) {
    TestDataSource* self = nullptr;
    {
        const std::lock_guard lock(g_sourcesMutex);
        const auto it = g_sources.find(hwnd);
        if (it != g_sources.end()) self = it->second;
    }
    if (!self) return 0;
    const std::lock_guard lock(self->m_mutex);
    if (msg == kWhoAmI) {
        self->m_records.windowThread = std::this_thread::get_id();
        return 1;
    }
    self->m_records.unknown.push_back(msg);
    return 0;
}

bool TestDataSource::set_Owner(std::shared_ptr<Object> owner) {
    const std::lock_guard lock(m_mutex);
    m_records.owners.push_back(owner ? owner->ToString() : std::string("(null)"));
    return true;
}

std::int32_t TestDataSource::set_DestEventhande(void* Receiver, DataCallback pFun) {
    const std::lock_guard pull(m_pullMutex);
    {
        const std::lock_guard lock(m_mutex);
        m_records.bindings.push_back({Receiver != nullptr, static_cast<bool>(pFun)});
    }
    m_receiver = Receiver;
    m_callback = std::move(pFun);
    return 0;
}

void TestDataSource::Start() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = false;
    }
    m_puller = std::thread([this] { PullLoop(); });
}

void TestDataSource::Stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_changed.notify_all();
    }
    if (m_puller.joinable()) m_puller.join();
}

void TestDataSource::PullLoop() {
    std::vector<std::uint8_t> block(4096);
    for (;;) {
        std::int32_t n = -1;
        {
            const std::lock_guard pull(m_pullMutex);
            if (m_callback) {
                n = m_callback(m_receiver, MSG_DATA_REQUEST, reinterpret_cast<std::uintptr_t>(block.data()),
                               static_cast<std::int64_t>(block.size()));
            }
        }
        std::unique_lock lock(m_mutex);
        if (n > 0) {
            m_records.pulled.insert(m_records.pulled.end(), block.begin(), block.begin() + n);
        } else {
            ++m_records.emptyPulls;
            m_changed.notify_all();
            // Nothing to play: a short pause, cut short by Stop.
            m_changed.wait_for(lock, 1ms, [&] { return m_stop; });
        }
        if (m_stop) return;
    }
}

std::int32_t TestDataSource::Call(std::int32_t msg, std::uint64_t wparam, std::int64_t lparam) {
    const std::lock_guard pull(m_pullMutex);
    return m_callback ? m_callback(m_receiver, msg, wparam, lparam) : -2;
}

bool TestDataSource::WaitForEmptyPull() {
    std::unique_lock lock(m_mutex);
    const std::uint64_t seen = m_records.emptyPulls;
    return m_changed.wait_for(lock, kPatience, [&] { return m_records.emptyPulls > seen; });
}

std::thread::id TestDataSource::WindowThread() {
    SendMessageA(m_window, kWhoAmI, 0, 0);
    const std::lock_guard lock(m_mutex);
    return m_records.windowThread;
}

std::vector<std::int32_t> QueueEveryKind(Varnel& v) {
    const std::uint8_t bytes[] = {'H', 'I', ' ', '4', '2'};
    return {v.GenerateDTMFs("159#*D"),
            v.GenerateTone(60, 20, 350.0f, 440.0f, 0.0f),
            v.GenerateSilence(25.0f),
            v.GenerateTTY("GA 123"),
            v.GenerateTTYEx(bytes),
            v.GenerateCallerID("5551234", "CAFÉ", "01/02 03:04"),
            v.GenerateCallerID("5550000", "", "12/31 23:59")};
}

std::vector<std::uint8_t> RenderedToFile(const std::function<void(Varnel&)>& queue, std::int32_t rate,
                                         std::int32_t bits, const std::string& path) {
    Varnel v;
    v.SampleRate(rate);
    v.BitsPerSample(bits);
    v.GenerateBegin(path);
    queue(v);
    v.GenerateEnd();
    const auto wave = ReadWave(path);
    std::remove(path.c_str());
    return wave ? wave->data : std::vector<std::uint8_t>();
}

}  // namespace varnel_test
