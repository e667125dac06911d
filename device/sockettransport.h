// The cable as a Unix-domain stream socket.
#pragma once

#include <memory>
#include <string>

#include "device/transport.h"

namespace tavrix {

class CSocketTransport : public CTransport {
public:
    // Null when nothing listens at path.
    static std::unique_ptr<CSocketTransport> Connect(const std::string& path);
    ~CSocketTransport() override;
    CSocketTransport(const CSocketTransport&) = delete;
    CSocketTransport& operator=(const CSocketTransport&) = delete;

    IoStatus Send(std::span<const ConstChunk> chunks, Deadline deadline, bool interruptible,
                  std::size_t* done) override;
    IoStatus Receive(void* data, std::size_t size, Deadline deadline, bool interruptible,
                     std::size_t* done) override;
    void Interrupt() override;
    void ClearInterrupt() override;
    bool WaitForHangup(int timeoutMs) override;
    void Shutdown() override;

private:
    CSocketTransport(int fd, int wake) : m_fd(fd), m_wake(wake) {}
    // Waits until the socket is ready for events; Ok, TimedOut, Interrupted or Failed.
    IoStatus WaitReady(short events, Deadline deadline, bool interruptible);

    int m_fd;
    int m_wake;  // eventfd raised by Interrupt
};

}  // namespace tavrix
