#include "device/tavrixdevice.h"

#include <cstdlib>

#include "device/sockettransport.h"
#include "platform/trace.h"

namespace tavrix {

namespace {

// How often the watcher looks for a PVR while none is attached, and how long
// it waits for the cable to drop between checks of its stop flag.
constexpr int kPollMs = 100;
// A PVR that does not answer its greeting this fast is not taken as attached.
constexpr int kHelloMs = 1000;

}  // namespace

LinkTimeouts CTavrixDevice::DefaultTimeouts() {
    LinkTimeouts timeouts;
    if (const char* text = std::getenv("TAVRIX_PVR_TIMEOUT_MS"); text != nullptr) {
        const long ms = std::strtol(text, nullptr, 10);
        if (ms > 0 && ms < 3600000) {
            timeouts.controlMs = static_cast<int>(ms);
            timeouts.bulkMs = static_cast<int>(ms);
        }
    }
    return timeouts;
}

CTavrixDevice::CTavrixDevice(HWND window, std::string socketPath, const LinkTimeouts& timeouts)
    : m_window(window), m_socketPath(std::move(socketPath)), m_timeouts(timeouts) {}

CTavrixDevice::~CTavrixDevice() {
    Stop();
}

void CTavrixDevice::Start() {
    TryAttach();
    m_watcher = std::thread([this] { Watch(); });
}

void CTavrixDevice::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        if (m_link) {
            m_link->Break();
        }
    }
    m_wake.notify_all();
    if (m_watcher.joinable()) {
        m_watcher.join();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_link.reset();
}

std::shared_ptr<CDeviceLink> CTavrixDevice::Link() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_link && m_link->Alive() ? m_link : nullptr;
}

bool CTavrixDevice::Present() {
    return Link() != nullptr;
}

bool CTavrixDevice::TryAttach() {
    auto transport = CSocketTransport::Connect(m_socketPath);
    if (!transport) {
        return false;
    }
    DeviceDescriptor descriptor{};
    auto link = CDeviceLink::Open(std::move(transport), m_timeouts,
                                  std::min(kHelloMs, m_timeouts.controlMs), &descriptor);
    if (!link) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop) {
            link->Break();
            return false;
        }
        m_link = link;
    }
    TRACE_AT("TAVRIX: PVR attached (%s)", m_socketPath.c_str());
    if (m_window != nullptr) {
        PostMessage(m_window, TAVRIX_WM_ARRIVAL);
    }
    return true;
}

void CTavrixDevice::Detach() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_link) {
            return;
        }
        m_link->Break();
        m_link.reset();
        if (m_stop) {
            return;
        }
    }
    TRACE_AT("TAVRIX: PVR removed");
    if (m_window != nullptr) {
        PostMessage(m_window, TAVRIX_WM_REMOVAL);
    }
}

void CTavrixDevice::Watch() {
    while (!m_stop) {
        std::shared_ptr<CDeviceLink> link;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            link = m_link;
        }
        if (link) {
            // The watcher, not the application, keeps an idle link alive: the
            // UI thread may sit in a message box for as long as it likes.
            if (link->WaitForHangup(kPollMs) || !link->KeepAlive(m_timeouts.keepAliveMs)) {
                Detach();
            }
            continue;
        }
        if (!TryAttach()) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(kPollMs),
                            [this] { return m_stop.load(); });
        }
    }
}

}  // namespace tavrix
