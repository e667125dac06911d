// One connection to one attached PVR: requests, replies and bulk data over a
// transport.
//
// Calls are serialised; a bulk call can be cancelled from another thread. A
// cancelled call leaves its reply (and perhaps part of a payload) on the wire;
// the link owes them and skips them before the next exchange, so the device
// keeps its open file and stream and the link stays usable. Any failure of the
// cable or a time-out breaks the link for good: to the application the PVR is
// then gone, and the next attach is a new link. So does a reply that does not
// fit what was asked (see replycheck.h).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "device/replycheck.h"
#include "device/tavrixapi.h"
#include "device/transport.h"
#include "device/wireprotocol.h"

namespace tavrix {

struct LinkTimeouts {
    int controlMs = 5000;
    int bulkMs = 10000;  // bulk calls that give no time-out of their own
    // A link left idle this long says hello, so the device knows the host is
    // still there however long the application is busy elsewhere.
    int keepAliveMs = 10000;
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
    // One control request answered under rule. The reply payload, exactly
    // ExpectedLength(rule, *status) bytes, lands in reply; one that would not
    // fit capacity breaks the link.
    bool Control(const ReplyRule& rule, const void* payload, std::uint32_t size,
                 std::int32_t* status, void* reply = nullptr, std::uint32_t capacity = 0);
    // Bytes accepted or delivered, never more than length; -1 on failure.
    int BulkOut(const void* data, std::uint32_t length, int timeoutMs);
    int BulkIn(void* data, std::uint32_t length, int timeoutMs);
    // Thread-safe: when no call has been made for idleMs, greets the device.
    // False when the link is dead.
    bool KeepAlive(int idleMs);
    // A reply made sense on the wire but not as a record: the link is dead.
    void Reject(const char* what);
    // Thread-safe: the bulk call pending now returns at once.
    void CancelBulk();
    // Thread-safe: true when the device is gone or the link broke.
    bool WaitForHangup(int timeoutMs);
    // Thread-safe: the link is dead from now on.
    void Break();

private:
    // A reply that a cancelled call left on the wire.
    struct Owed {
        ReplyRule rule;
        std::uint32_t seq;
    };

    bool Exchange(const ReplyRule& rule, const void* payload, std::uint32_t size, Deadline deadline,
                  std::int32_t* status, void* reply, std::uint32_t capacity);
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
    bool CheckReply(const wire::Header& reply, const ReplyRule& rule, std::uint32_t seq);
    void Touch() { m_lastCall = std::chrono::steady_clock::now(); }
    // Marks the end of a bulk call for KeepAlive, however the call ends.
    struct CallEnd {
        CDeviceLink* link;
        ~CallEnd() { link->Touch(); }
    };

    std::unique_ptr<CTransport> m_transport;
    LinkTimeouts m_timeouts;
    std::mutex m_io;
    std::atomic<bool> m_alive{true};
    std::atomic<std::uint64_t> m_cancelGeneration{0};
    std::uint32_t m_seq = 0;
    std::vector<Owed> m_owed;
    std::uint64_t m_owedPayload = 0;
    std::chrono::steady_clock::time_point m_lastCall = std::chrono::steady_clock::now();
};

}  // namespace tavrix
