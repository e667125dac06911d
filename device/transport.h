// The cable between the library and the PVR.
//
// The library only needs a reliable byte stream that can wait with a deadline,
// be interrupted from another thread, and tell when the other end went away.
// The Unix-domain socket is one such cable; a USB transport can take its place.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <span>
#include <string>

namespace tavrix {

using Deadline = std::chrono::steady_clock::time_point;

enum class IoStatus { Ok, Closed, TimedOut, Interrupted, Failed };

struct ConstChunk {
    const void* data;
    std::size_t size;
};

class CTransport {
public:
    virtual ~CTransport() = default;

    // Sends all chunks in order. *done: bytes sent, also on failure. An
    // interruptible call returns Interrupted once Interrupt() was called.
    virtual IoStatus Send(std::span<const ConstChunk> chunks, Deadline deadline, bool interruptible,
                          std::size_t* done) = 0;
    virtual IoStatus Receive(void* data, std::size_t size, Deadline deadline, bool interruptible,
                             std::size_t* done) = 0;
    // Thread-safe. Stays in effect until ClearInterrupt().
    virtual void Interrupt() = 0;
    virtual void ClearInterrupt() = 0;
    // Thread-safe. True when the other end is gone or the link was shut down
    // within timeoutMs.
    virtual bool WaitForHangup(int timeoutMs) = 0;
    // Thread-safe. Every pending and later call fails.
    virtual void Shutdown() = 0;
};

}  // namespace tavrix
