// One connection to one attached PVR: requests, replies and bulk data over a
// transport.
//
// Calls are serialised; a bulk call can be cancelled from another thread. A
// cancelled call leaves its reply (and perhaps part of a payload) on the wire;
// the link owes them and skips them before the next exchange, so the device
// keeps its open file and stream and the link stays usable. Any failure of the
// cable or a time-out breaks the link for good: to the application the PVR is
// then gone, and the next attach is a new link.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "device/tavrixapi.h"
#include "device/transport.h"
#include "device/wireprotocol.h"

namespace tavrix {

struct LinkTimeouts {
    int controlMs = 5000;
    int bulkMs = 10000;  // bulk calls that give no time-out of their own
};

class CDeviceLink {
public:
    // Greets the device and reads its descriptor; null when it does not answer.
    static std::shared_ptr<CDeviceLink> Open(std::unique_ptr<CTransport> transport,
                                             const LinkTimeouts& timeouts, int helloTimeoutMs,
                                             DeviceDescriptor* descriptor);
    CDeviceLink(std::unique_ptr<CTransport> transport, const LinkTimeouts& timeouts);
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    bool Alive() const { return m_alive.load(); }
    // One control request. The reply payload is copied up to capacity.
    bool Control(wire::Code code, const void* payload, std::uint32_t size, std::int32_t* status,
                 void* reply = nullptr, std::uint32_t capacity = 0,
                 std::uint32_t* replySize = nullptr);
    int BulkOut(const void* data, std::uint32_t length, int timeoutMs);
    int BulkIn(void* data, std::uint32_t length, int timeoutMs);
    // Thread-safe: the bulk call pending now returns at once.
    void CancelBulk();
    // Thread-safe: true when the device is gone or the link broke.
    bool WaitForHangup(int timeoutMs);
    // Thread-safe: the link is dead from now on.
    void Break();

private:
    bool Exchange(wire::Code code, const void* payload, std::uint32_t size, Deadline deadline,
                  std::int32_t* status, void* reply, std::uint32_t capacity,
                  std::uint32_t* replySize);
    bool SkipOwed(Deadline deadline);
    bool OpenBulk(wire::Code code, std::uint32_t length, int timeoutMs, Deadline* deadline,
                  std::uint64_t* generation);
    bool Discard(std::uint64_t bytes, Deadline deadline);
    bool Fail(IoStatus status, const char* what);
    bool Cancelled(std::uint64_t generation) const {
        return m_cancelGeneration.load() != generation;
    }
    // Receives exactly size bytes; an interrupt that is not a cancel is ignored.
    IoStatus ReceiveExact(void* data, std::size_t size, Deadline deadline, std::uint64_t generation,
                          bool interruptible, std::size_t* done);
    bool CheckReply(const wire::Header& reply, wire::Code code, std::uint32_t seq);

    std::unique_ptr<CTransport> m_transport;
    LinkTimeouts m_timeouts;
    std::mutex m_io;
    std::atomic<bool> m_alive{true};
    std::atomic<std::uint64_t> m_cancelGeneration{0};
    std::uint32_t m_seq = 0;
    int m_owedReplies = 0;
    std::uint64_t m_owedPayload = 0;
};

}  // namespace tavrix
