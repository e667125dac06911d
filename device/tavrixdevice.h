// The opened library: it watches the cable, keeps the link to the attached PVR
// and tells the application when a PVR comes and goes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "device/devicelink.h"
#include "device/tavrixapi.h"

namespace tavrix {

class CTavrixDevice {
public:
    CTavrixDevice(HWND window, std::string socketPath, const LinkTimeouts& timeouts);
    ~CTavrixDevice();  // Stop()
    CTavrixDevice(const CTavrixDevice&) = delete;
    CTavrixDevice& operator=(const CTavrixDevice&) = delete;

    // Connects to a PVR that is already there, then starts the watcher.
    void Start();
    // Ends the watcher and breaks the link; pending calls fail at once.
    void Stop();

    // The link to the attached PVR, or null.
    std::shared_ptr<CDeviceLink> Link();
    bool Present();

    // Control calls wait TAVRIX_PVR_TIMEOUT_MS (default 5000), bulk calls without
    // a time-out of their own that long too, or 10000 ms by default.
    static LinkTimeouts DefaultTimeouts();

private:
    bool TryAttach();
    void Detach();
    void Watch();

    HWND m_window;
    std::string m_socketPath;
    LinkTimeouts m_timeouts;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<CDeviceLink> m_link;
    std::atomic<bool> m_stop{false};
    std::thread m_watcher;
};

}  // namespace tavrix
