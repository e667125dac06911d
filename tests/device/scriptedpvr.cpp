#include "scriptedpvr.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "device/tavrixapi.h"

namespace {

constexpr std::int64_t kAvfSize = 4096;

}  // namespace

CScriptedPvr::CScriptedPvr(std::string socketPath, Script script)
    : m_socketPath(std::move(socketPath)), m_script(std::move(script)) {}

CScriptedPvr::~CScriptedPvr() {
    if (m_wake.Valid()) {
        const std::uint64_t one = 1;
        if (::write(m_wake.Get(), &one, sizeof one) < 0) {
            // The thread also ends when the host goes.
        }
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_listen.Valid()) {
        ::unlink(m_socketPath.c_str());
    }
}

bool CScriptedPvr::Start() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_socketPath.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, m_socketPath.c_str(), m_socketPath.size() + 1);
    ::unlink(m_socketPath.c_str());
    m_listen.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    m_wake.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_listen.Valid() || !m_wake.Valid() ||
        ::bind(m_listen.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listen.Get(), 4) != 0) {
        return false;
    }
    m_thread = std::thread([this] { Serve(); });
    return true;
}

bool CScriptedPvr::WaitHostGone(int timeoutMs) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_hostGone.load()) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool CScriptedPvr::Read(void* data, std::size_t size) {
    auto* out = static_cast<char*>(data);
    while (size > 0) {
        pollfd fds[2] = {{m_host.Get(), POLLIN, 0}, {m_wake.Get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return false;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return false;
        }
        if (fds[0].revents == 0) {
            continue;
        }
        const ssize_t got = ::recv(m_host.Get(), out, size, 0);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            m_hostGone = true;
            return false;
        }
        out += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool CScriptedPvr::Write(const Answer& answer) {
    std::string bytes(reinterpret_cast<const char*>(&answer.header), sizeof answer.header);
    bytes += answer.payload;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        std::size_t size = bytes.size() - sent;
        if (answer.trickleMs > 0 && sent >= sizeof answer.header) {
            pollfd wake{m_wake.Get(), POLLIN, 0};
            if (::poll(&wake, 1, answer.trickleMs) != 0) {
                return false;
            }
            size = 1;
        } else if (answer.trickleMs > 0) {
            size = sizeof answer.header - sent;
        }
        const ssize_t n = ::send(m_host.Get(), bytes.data() + sent, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

CScriptedPvr::Answer CScriptedPvr::Honest(const wire::Header& request, const std::string& payload) {
    const auto code = static_cast<wire::Code>(request.code);
    Answer answer{wire::MakeHeader(code, request.seq, 0, 1), std::string(), true, false, 0};
    const auto fill = [&answer](const void* data, std::size_t size) {
        answer.payload.assign(static_cast<const char*>(data), size);
    };
    switch (code) {
        case wire::Code::Hello:
        case wire::Code::GetDescriptor: {
            DeviceDescriptor descriptor{};
            std::strcpy(descriptor.productName, "Scripted");
            std::strcpy(descriptor.oemName, "Tavrix");
            descriptor.stbVersion = 0x0105;
            descriptor.usbVersion = TAVRIX_USB_VERSION;
            descriptor.speed = 1;
            fill(&descriptor, sizeof descriptor);
            break;
        }
        case wire::Code::FindFile:
            m_listed = false;
            break;
        case wire::Code::FindNext: {
            // A folder of two files, in one page.
            wire::FindNextRequest find{};
            std::memcpy(&find, payload.data(), std::min(payload.size(), sizeof find));
            const StbDiskSpace space{1000, 2000};
            fill(&space, sizeof space);
            const int count = m_listed ? 0 : std::clamp(find.capacity, 0, 2);
            for (int i = 0; i < count; ++i) {
                StbFindData entry{};
                entry.name[0] = static_cast<char>('a' + i);
                entry.kind = STB_ENTRY_FILE;
                entry.size = 100 + i;
                answer.payload.append(reinterpret_cast<const char*>(&entry), sizeof entry);
            }
            m_listed = m_listed || count > 0;
            answer.header.status = count;
            break;
        }
        case wire::Code::RequestAvfSize:
            fill(&kAvfSize, sizeof kAvfSize);
            break;
        case wire::Code::BulkIn:
        case wire::Code::BulkOut: {
            wire::BulkRequest bulk{};
            std::memcpy(&bulk, payload.data(), std::min(payload.size(), sizeof bulk));
            answer.header.status = static_cast<std::int32_t>(bulk.length);
            if (code == wire::Code::BulkIn) {
                answer.payload.assign(bulk.length, 'x');
            }
            break;
        }
        default:
            break;
    }
    answer.header.length = static_cast<std::uint32_t>(answer.payload.size());
    return answer;
}

void CScriptedPvr::Serve() {
    pollfd fds[2] = {{m_listen.Get(), POLLIN, 0}, {m_wake.Get(), POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0 && errno == EINTR) {
    }
    if ((fds[0].revents & POLLIN) == 0) {
        return;
    }
    m_host.Reset(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    // One host only: nobody can attach again after this one.
    ::unlink(m_socketPath.c_str());
    m_listen.Reset();
    if (!m_host.Valid()) {
        return;
    }
    while (true) {
        wire::Header request{};
        if (!Read(&request, sizeof request)) {
            break;
        }
        const auto code = static_cast<wire::Code>(request.code);
        if (code == wire::Code::Abort) {
            if (m_held && !Write(*m_held)) {
                break;
            }
            m_held.reset();
            continue;
        }
        std::string payload(std::min<std::uint32_t>(request.length, 1 << 20), '\0');
        if (!Read(payload.data(), payload.size())) {
            break;
        }
        Answer answer = Honest(request, payload);
        if (code == wire::Code::BulkOut) {
            // The data frames up to the announced length, or an abort.
            wire::BulkRequest bulk{};
            std::memcpy(&bulk, payload.data(), std::min(payload.size(), sizeof bulk));
            std::string frame;
            for (std::uint32_t got = 0; got < bulk.length;) {
                wire::Header data{};
                if (!Read(&data, sizeof data) ||
                    static_cast<wire::Code>(data.code) != wire::Code::BulkData) {
                    break;
                }
                frame.resize(data.length);
                if (!Read(frame.data(), frame.size())) {
                    break;
                }
                got += data.length;
            }
        }
        if (m_script) {
            m_script(request, payload, &answer);
        }
        if (answer.holdForAbort) {
            m_held = answer;
            continue;
        }
        if (answer.send && !Write(answer)) {
            break;
        }
    }
    m_hostGone = true;
}
