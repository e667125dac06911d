#include "emulator/pvrserver.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/names.h"
#include "core/recordingname.h"
#include "emulator/pvrsession.h"

namespace pvrd {

namespace {

// Bulk data moves in megabytes; small socket buffers would make the stand-in,
// not the transfer, the bottleneck.
constexpr int kSocketBuffer = 4 << 20;

// The identity of the file a path writes: its host folder and its name in
// lower case, a recording's listed name and its part names all as the
// recording.
std::string WriteKey(const CPvrDisk& disk, std::string_view pvrPath) {
    CPvrDisk::Location where;
    if (!disk.Resolve(pvrPath, &where) || where.isFolder) {
        return std::string();
    }
    std::string name = where.name;
    std::string title;
    std::string stamp;
    RecordingPartName part;
    if (ParseListedName(name, &title, &stamp)) {
        name = title + "_" + stamp + ".avr";
    } else if (ParsePartName(name, &part) && EqualsNoCase(part.extension, "AVR")) {
        name = part.title + "_" + part.stamp + ".avr";
    }
    return (where.folder / FoldCase(name)).string();
}

}  // namespace

CPvrServer::CPvrServer(PvrOptions options)
    : m_options(std::move(options)), m_disk(m_options.disk, m_options) {}

CPvrServer::~CPvrServer() {
    Stop();
}

void CPvrServer::Log(const std::string& line) const {
    if (m_options.log) {
        m_options.log(line);
    }
}

DeviceDescriptor CPvrServer::Descriptor() const {
    DeviceDescriptor descriptor{};
    std::strncpy(descriptor.productName, m_options.product.c_str(),
                 sizeof descriptor.productName - 1);
    std::strncpy(descriptor.oemName, m_options.oem.c_str(), sizeof descriptor.oemName - 1);
    descriptor.stbVersion = m_options.stbVersion;
    descriptor.usbVersion = m_options.usbVersion;
    descriptor.speed = m_options.highSpeed ? 1 : 0;
    return descriptor;
}

bool CPvrServer::Start(std::string* error) {
    if (!m_disk.Prepare(error)) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_options.socket.size() >= sizeof address.sun_path) {
        *error = "the socket path is too long: " + m_options.socket;
        return false;
    }
    std::memcpy(address.sun_path, m_options.socket.c_str(), m_options.socket.size() + 1);
    // A socket left behind by a daemon that died goes; anything else stays.
    struct stat st {};
    if (::lstat(m_options.socket.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            *error = "not a socket, left alone: " + m_options.socket;
            return false;
        }
        CFileDescriptor probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (probe.Valid() && ::connect(probe.Get(), reinterpret_cast<const sockaddr*>(&address),
                                       sizeof address) == 0) {
            *error = "another PVR is already plugged in at " + m_options.socket;
            return false;
        }
        ::unlink(m_options.socket.c_str());
    }
    m_listen.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    m_wake.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_listen.Valid() || !m_wake.Valid() ||
        ::bind(m_listen.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listen.Get(), 16) != 0) {
        *error = "cannot listen on " + m_options.socket + ": " + std::strerror(errno);
        m_listen.Reset();
        return false;
    }
    m_listening = true;
    m_unplugged = false;
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    Log("PVR plugged in at " + m_options.socket + ", disk " + m_options.disk);
    return true;
}

void CPvrServer::AcceptLoop() {
    while (!m_unplugged.load()) {
        pollfd fds[2] = {{m_listen.Get(), POLLIN, 0}, {m_wake.Get(), POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR) {
            break;
        }
        ReapClients(false);
        if (m_unplugged.load() || (fds[1].revents & POLLIN) != 0) {
            break;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        const int fd = ::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        if (const int hosts = Hosts(); hosts >= m_options.maxHosts) {
            // Each host costs a thread; a crowd of them must not cost the PVR.
            Log("host turned away: " + std::to_string(hosts) + " hosts are connected");
            ::close(fd);
            continue;
        }
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSocketBuffer, sizeof kSocketBuffer);
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kSocketBuffer, sizeof kSocketBuffer);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_unplugged.load()) {
            ::close(fd);
            break;
        }
        auto client = std::make_unique<Client>();
        client->fd.Reset(fd);
        Client* raw = client.get();
        client->thread = std::thread([this, raw] {
            Log("host connected");
            CPvrSession session(raw->fd.Get(), *this);
            session.Run();
            Log("host disconnected");
            raw->done = true;
        });
        m_clients.push_back(std::move(client));
    }
}

void CPvrServer::ReapClients(bool all) {
    std::vector<std::unique_ptr<Client>> finished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_clients.begin(); it != m_clients.end();) {
            if (all || (*it)->done.load()) {
                finished.push_back(std::move(*it));
                it = m_clients.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& client : finished) {
        if (client->thread.joinable()) {
            client->thread.join();
        }
    }
}

int CPvrServer::Hosts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(std::count_if(m_clients.begin(), m_clients.end(),
                                          [](const auto& client) { return !client->done.load(); }));
}

std::unique_ptr<CPvrServer::CWriteClaim> CPvrServer::ClaimWrite(std::string_view pvrPath) {
    std::string key = WriteKey(m_disk, pvrPath);
    if (key.empty()) {
        return nullptr;
    }
    bool taken = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        taken = !m_writing.insert(key).second;
    }
    if (taken) {
        Log("refused a second writer of " + std::string(pvrPath));
        return nullptr;
    }
    return std::make_unique<CWriteClaim>(*this, std::move(key));
}

void CPvrServer::ReleaseWrite(const std::string& key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writing.erase(key);
}

bool CPvrServer::NextBulkOutFails() {
    const int call = ++m_bulkOutCalls;
    return m_options.failBulkOut > 0 && call >= m_options.failBulkOut &&
           call - m_options.failBulkOut < m_options.failBulkOutCount;
}

std::int64_t CPvrServer::AllowBulkBytes(std::int64_t count) {
    if (m_options.unplugAfter < 0) {
        return count;
    }
    const std::int64_t before = m_bulkBytes.fetch_add(count);
    return std::max<std::int64_t>(0, std::min(count, m_options.unplugAfter - before));
}

void CPvrServer::PullCable(const char* why) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_unplugged.exchange(true)) {
        return;
    }
    Log(why);
    if (m_listening.exchange(false)) {
        ::unlink(m_options.socket.c_str());
        ::shutdown(m_listen.Get(), SHUT_RDWR);
    }
    const std::uint64_t one = 1;
    if (m_wake.Valid() && ::write(m_wake.Get(), &one, sizeof one) < 0) {
        // The accept loop also wakes up on its own within a second.
    }
    for (auto& client : m_clients) {
        ::shutdown(client->fd.Get(), SHUT_RDWR);
    }
    m_unpluggedCv.notify_all();
}

void CPvrServer::Stop() {
    if (m_listen.Valid()) {
        PullCable("PVR unplugged");
    }
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    ReapClients(true);
    m_listen.Reset();
}

bool CPvrServer::WaitUnplugged(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs < 0) {
        m_unpluggedCv.wait(lock, [this] { return m_unplugged.load(); });
        return true;
    }
    return m_unpluggedCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return m_unplugged.load(); });
}

}  // namespace pvrd
