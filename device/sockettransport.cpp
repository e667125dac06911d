#include "device/sockettransport.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tavrix {

namespace {

constexpr int kSocketBuffer = 4 << 20;

int MillisecondsLeft(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    // Round up, so a wait never ends a hair before its deadline.
    return left.count() < 0 ? 0 : static_cast<int>(std::min<long long>(left.count() + 1, 1 << 30));
}

}  // namespace

std::unique_ptr<CSocketTransport> CSocketTransport::Connect(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return nullptr;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSocketBuffer, sizeof kSocketBuffer);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kSocketBuffer, sizeof kSocketBuffer);
    int result = 0;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    const int wake = result == 0 ? ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) : -1;
    if (wake < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<CSocketTransport>(new CSocketTransport(fd, wake));
}

CSocketTransport::~CSocketTransport() {
    ::close(m_fd);
    ::close(m_wake);
}

IoStatus CSocketTransport::WaitReady(short events, Deadline deadline, bool interruptible) {
    while (true) {
        pollfd fds[2] = {{m_fd, events, 0}, {m_wake, POLLIN, 0}};
        const int ready = ::poll(fds, interruptible ? 2 : 1, MillisecondsLeft(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return IoStatus::Failed;
        }
        if (interruptible && (fds[1].revents & POLLIN) != 0) {
            return IoStatus::Interrupted;
        }
        if (fds[0].revents != 0) {
            // Errors and hang-ups show up in the send or receive that follows.
            return IoStatus::Ok;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return IoStatus::TimedOut;
        }
    }
}

IoStatus CSocketTransport::Send(std::span<const ConstChunk> chunks, Deadline deadline,
                                bool interruptible, std::size_t* done) {
    *done = 0;
    std::vector<iovec> iov;
    iov.reserve(chunks.size());
    for (const ConstChunk& chunk : chunks) {
        if (chunk.size > 0) {
            iov.push_back({const_cast<void*>(chunk.data), chunk.size});
        }
    }
    std::size_t first = 0;
    while (first < iov.size()) {
        msghdr msg{};
        msg.msg_iov = iov.data() + first;
        msg.msg_iovlen = iov.size() - first;
        ssize_t sent = ::sendmsg(m_fd, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return errno == EPIPE || errno == ECONNRESET ? IoStatus::Closed : IoStatus::Failed;
            }
            const IoStatus wait = WaitReady(POLLOUT, deadline, interruptible);
            if (wait != IoStatus::Ok) {
                return wait;
            }
            continue;
        }
        *done += static_cast<std::size_t>(sent);
        while (first < iov.size() && static_cast<std::size_t>(sent) >= iov[first].iov_len) {
            sent -= static_cast<ssize_t>(iov[first].iov_len);
            ++first;
        }
        if (first < iov.size()) {
            iov[first].iov_base = static_cast<char*>(iov[first].iov_base) + sent;
            iov[first].iov_len -= static_cast<std::size_t>(sent);
        }
    }
    return IoStatus::Ok;
}

IoStatus CSocketTransport::Receive(void* data, std::size_t size, Deadline deadline,
                                   bool interruptible, std::size_t* done) {
    *done = 0;
    auto* out = static_cast<char*>(data);
    while (*done < size) {
        const ssize_t got = ::recv(m_fd, out + *done, size - *done, MSG_DONTWAIT);
        if (got > 0) {
            *done += static_cast<std::size_t>(got);
            continue;
        }
        if (got == 0) {
            return IoStatus::Closed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return errno == ECONNRESET ? IoStatus::Closed : IoStatus::Failed;
        }
        const IoStatus wait = WaitReady(POLLIN, deadline, interruptible);
        if (wait != IoStatus::Ok) {
            return wait;
        }
    }
    return IoStatus::Ok;
}

void CSocketTransport::Interrupt() {
    const std::uint64_t one = 1;
    while (::write(m_wake, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void CSocketTransport::ClearInterrupt() {
    std::uint64_t count = 0;
    while (::read(m_wake, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool CSocketTransport::WaitForHangup(int timeoutMs) {
    pollfd fd{m_fd, POLLRDHUP, 0};
    int ready = 0;
    do {
        ready = ::poll(&fd, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready < 0 || (fd.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void CSocketTransport::Shutdown() {
    ::shutdown(m_fd, SHUT_RDWR);
}

}  // namespace tavrix
