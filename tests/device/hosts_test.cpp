// Several hosts on one PVR: one writer per file, a cap on connections, and
// hosts that go silent or stall cost little and are dropped.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "device/devicecalls.h"
#include "device/sockettransport.h"
#include "device/tavrixdevice.h"
#include "support/pvrfixture.h"

namespace {

using tavrix::CDeviceLink;
using Link = std::shared_ptr<CDeviceLink>;

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A host that speaks the wire protocol by hand, and can stop half way.
class CRawHost {
public:
    explicit CRawHost(const std::string& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        m_fd.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (::connect(m_fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
            0) {
            m_fd.Reset();
        }
    }
    bool Send(const void* data, std::size_t size) {
        return m_fd.Valid() &&
               ::send(m_fd.Get(), data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
    }
    bool SendHeader(wire::Code code, std::uint32_t length) {
        const wire::Header header = wire::MakeHeader(code, ++m_seq, length);
        return Send(&header, sizeof header);
    }
    // True when the device answers the greeting.
    bool Greet() {
        const wire::HelloRequest hello{wire::kVersion};
        if (!SendHeader(wire::Code::Hello, sizeof hello) || !Send(&hello, sizeof hello)) {
            return false;
        }
        struct {
            wire::Header header;
            DeviceDescriptor descriptor;
        } reply{};
        auto* out = reinterpret_cast<char*>(&reply);
        for (std::size_t got = 0; got < sizeof reply;) {
            pollfd fd{m_fd.Get(), POLLIN, 0};
            if (::poll(&fd, 1, 2000) <= 0) {
                return false;
            }
            const ssize_t n = ::recv(m_fd.Get(), out + got, sizeof reply - got, 0);
            if (n <= 0) {
                return false;
            }
            got += static_cast<std::size_t>(n);
        }
        return reply.header.status == 1;
    }

private:
    pvrd::CFileDescriptor m_fd;
    std::uint32_t m_seq = 0;
};

class HostsTest : public PvrTest {
protected:
    Link Connect() {
        auto transport = tavrix::CSocketTransport::Connect(m_socket);
        DeviceDescriptor descriptor{};
        return transport ? CDeviceLink::Open(std::move(transport), tavrix::LinkTimeouts{}, 1000,
                                             &descriptor)
                         : nullptr;
    }
    static bool Fcntl(CDeviceLink& link, std::int32_t command, const std::string& path) {
        FileControlBlock fcb{};
        fcb.command = command;
        std::strncpy(fcb.path, path.c_str(), sizeof fcb.path - 1);
        return tavrix::calls::FCntl(link, &fcb);
    }
    static bool Send(CDeviceLink& link, const std::string& path, const std::string& data) {
        const TransferItem item =
            Item(path, TRANSFER_UPLOAD, 0, static_cast<std::int64_t>(data.size()));
        return tavrix::calls::RequestDataTransfer(link, &item) &&
               link.BulkOut(data.data(), static_cast<std::uint32_t>(data.size()), 3000) ==
                   static_cast<int>(data.size()) &&
               tavrix::calls::RequestDataCompletion(link) == 1;
    }
};

TEST_F(HostsTest, ASecondWriterOfAnOpenFileIsRefused) {
    StartPvr();
    const Link first = Connect();
    const Link second = Connect();
    ASSERT_TRUE(first && second);
    const std::string data = Bytes(5000, 1);

    ASSERT_TRUE(Fcntl(*first, FCNTL_CREATE, "C:\\PVR\\MP3\\song.mp3"));
    EXPECT_FALSE(Fcntl(*second, FCNTL_CREATE, "C:\\PVR\\MP3\\song.mp3"));
    EXPECT_FALSE(Fcntl(*second, FCNTL_OPEN_UPLOAD, "c:\\pvr\\mp3\\SONG.MP3")) << "in any case";
    EXPECT_TRUE(Fcntl(*second, FCNTL_OPEN_DOWNLOAD, "C:\\PVR\\MP3\\song.mp3")) << "readers may";
    EXPECT_TRUE(Fcntl(*second, FCNTL_CLOSE, ""));
    ASSERT_TRUE(Send(*first, "C:\\PVR\\MP3\\song.mp3", data));
    EXPECT_TRUE(GetHost("MP3/song.mp3") == data) << "the refused writer touched nothing";
    EXPECT_TRUE(Fcntl(*first, FCNTL_CLOSE, ""));
    EXPECT_TRUE(Fcntl(*second, FCNTL_OPEN_UPLOAD, "C:\\PVR\\MP3\\song.mp3")) << "closed: free";
    EXPECT_TRUE(Fcntl(*second, FCNTL_CLOSE, ""));

    // A recording is one file under its listed name and its part names.
    ASSERT_TRUE(Fcntl(*first, FCNTL_CREATE, "C:\\PVR\\AV\\Movie_A1B2C3D4E5F6.AVR"));
    ASSERT_TRUE(Send(*first, "C:\\PVR\\AV\\Movie_A1B2C3D4E5F6.AVR", data));
    EXPECT_FALSE(Fcntl(*second, FCNTL_CREATE, "C:\\PVR\\AV\\movie_a1b2c3d4e5f6.avr"));
    EXPECT_FALSE(Fcntl(*second, FCNTL_CREATE, "C:\\PVR\\AV\\Movie_#001_A1B2C3D4E5F6.AVR"));
    EXPECT_TRUE(GetHost("AV/Movie_#001_A1B2C3D4E5F6.AVR") == data) << "nor the recording";

    // A writer that goes away lets go of its file.
    first->Break();
    EXPECT_TRUE(WaitFor(
        [&] { return Fcntl(*second, FCNTL_OPEN_UPLOAD, "C:\\PVR\\AV\\Movie_A1B2C3D4E5F6.AVR"); },
        3000));
}

TEST_F(HostsTest, HostsBeyondTheCapAreTurnedAway) {
    StartPvr([](pvrd::PvrOptions& o) { o.maxHosts = 3; });
    std::vector<std::unique_ptr<CRawHost>> hosts;
    for (int i = 0; i < 3; ++i) {
        hosts.push_back(std::make_unique<CRawHost>(m_socket));
        ASSERT_TRUE(hosts.back()->Greet()) << i;
    }
    CRawHost extra(m_socket);
    EXPECT_FALSE(extra.Greet());
    EXPECT_EQ(m_server->Hosts(), 3);
    EXPECT_TRUE(LogContains("host turned away"));

    hosts.pop_back();
    ASSERT_TRUE(WaitFor([&] { return m_server->Hosts() == 2; }, 3000));
    CRawHost next(m_socket);
    EXPECT_TRUE(next.Greet()) << "a place became free";
}

// Each stalled host announced a 64 MiB upload and began a 256 KiB frame.
TEST_F(HostsTest, StalledHostsHoldOnlyWhatTheySent) {
    constexpr int kHosts = 8;
    constexpr std::int64_t kSent = 4 << 10;
    StartPvr();
    std::vector<std::unique_ptr<CRawHost>> hosts;
    const std::string part(static_cast<std::size_t>(kSent), 'd');
    for (int i = 0; i < kHosts; ++i) {
        auto host = std::make_unique<CRawHost>(m_socket);
        const wire::BulkRequest bulk{64u << 20};
        ASSERT_TRUE(host->Greet());
        ASSERT_TRUE(host->SendHeader(wire::Code::BulkOut, sizeof bulk) &&
                    host->Send(&bulk, sizeof bulk) &&
                    host->SendHeader(wire::Code::BulkData, wire::kBulkFrame) &&
                    host->Send(part.data(), part.size()));
        hosts.push_back(std::move(host));
    }
    ASSERT_TRUE(WaitFor([&] { return m_server->BufferedBytes() >= kHosts * kSent; }, 3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LE(m_server->BufferedBytes(), kHosts * (64 << 10)) << "bytes held for all hosts";
    EXPECT_EQ(m_server->Hosts(), kHosts);
}

TEST_F(HostsTest, ARequestLargerThanAnyRequestIsRefusedAtOnce) {
    StartPvr();
    CRawHost host(m_socket);
    ASSERT_TRUE(host.Greet());
    ASSERT_TRUE(host.SendHeader(wire::Code::FCntl, 4u << 20));
    EXPECT_TRUE(WaitFor([&] { return m_server->Hosts() == 0; }, 3000));
    EXPECT_LE(m_server->BufferedBytes(), 64 << 10);
}

TEST_F(HostsTest, HostsThatFallSilentAreDropped) {
    PutHost("AV/big.ts", Bytes(24 << 20));
    StartPvr([](pvrd::PvrOptions& o) {
        o.greetTimeoutMs = 300;
        o.idleTimeoutMs = 600;
        o.stallTimeoutMs = 300;
    });
    struct Case {
        const char* name;
        std::function<bool(CRawHost&)> stall;
    };
    const Case cases[] = {
        {"never greets", [](CRawHost&) { return true; }},
        {"idle after its greeting", [](CRawHost& h) { return h.Greet(); }},
        {"half a header",
         [](CRawHost& h) {
             const wire::Header header = wire::MakeHeader(wire::Code::FCntl, 2, 0);
             return h.Greet() && h.Send(&header, sizeof header / 2);
         }},
        {"a payload that never comes",
         [](CRawHost& h) {
             return h.Greet() && h.SendHeader(wire::Code::FCntl, sizeof(FileControlBlock));
         }},
        {"a bulk frame cut short",
         [](CRawHost& h) {
             const wire::BulkRequest bulk{1u << 20};
             return h.Greet() && h.SendHeader(wire::Code::BulkOut, sizeof bulk) &&
                    h.Send(&bulk, sizeof bulk) &&
                    h.SendHeader(wire::Code::BulkData, wire::kBulkFrame) && h.Send("x", 1);
         }},
        {"a reply it never takes",
         [](CRawHost& h) {
             FileControlBlock fcb{};
             fcb.command = FCNTL_OPEN_DOWNLOAD;
             std::strcpy(fcb.path, "C:\\PVR\\AV\\big.ts");
             const TransferItem item = Item("C:\\PVR\\AV\\big.ts", TRANSFER_DOWNLOAD, 0, 24 << 20);
             const wire::BulkRequest bulk{24u << 20};
             return h.Greet() && h.SendHeader(wire::Code::FCntl, sizeof fcb) &&
                    h.Send(&fcb, sizeof fcb) &&
                    h.SendHeader(wire::Code::RequestDataTransfer, sizeof item) &&
                    h.Send(&item, sizeof item) && h.SendHeader(wire::Code::BulkIn, sizeof bulk) &&
                    h.Send(&bulk, sizeof bulk);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRawHost host(m_socket);
        ASSERT_TRUE(c.stall(host));
        EXPECT_TRUE(WaitFor([&] { return m_server->Hosts() == 0; }, 5000));
    }
}

// The library's watcher speaks for an idle application, for instance one
// whose UI thread sits in a message box; without it, the device hangs up.
TEST_F(HostsTest, AnIdleLibraryStaysAttached) {
    StartPvr([](pvrd::PvrOptions& o) { o.idleTimeoutMs = 1000; });
    for (const bool keepAlive : {true, false}) {
        SCOPED_TRACE(keepAlive ? "keeping alive" : "silent");
        tavrix::LinkTimeouts timeouts;
        timeouts.keepAliveMs = keepAlive ? 100 : 60000;
        tavrix::CTavrixDevice device(nullptr, m_socket, timeouts);
        device.Start();
        ASSERT_TRUE(device.Present());
        const Link link = device.Link();
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        EXPECT_EQ(link->Alive(), keepAlive);
        EXPECT_EQ(LogContains("silent"), !keepAlive);
        if (keepAlive) {
            EXPECT_TRUE(Fcntl(*link, FCNTL_MAKE_FOLDER, "C:\\PVR\\AV\\New"));
        }
    }
}

}  // namespace
