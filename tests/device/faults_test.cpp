// A device in trouble: failed and cancelled bulk calls, a pulled cable, a
// device that never answers.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "support/pvrfixture.h"

namespace {

class FaultTest : public PvrTest {};

TEST_F(FaultTest, FailedBulkOutMovesNothing) {
    StartAndAttach([](pvrd::PvrOptions& o) { o.failBulkOut = 2; });
    const std::string data = Bytes(3000);
    ASSERT_TRUE(Fcntl(FCNTL_CREATE, "C:\\PVR\\MP3\\f.bin"));
    const TransferItem item = Item("C:\\PVR\\MP3\\f.bin", TRANSFER_UPLOAD, 0, 3000);
    ASSERT_TRUE(TAVRIX_RequestDataTransfer(&item));
    EXPECT_EQ(TAVRIX_BulkOUT(data.data(), 1000, 1000), 1000);
    EXPECT_LE(TAVRIX_BulkOUT(data.data() + 1000, 1000, 1000), 0);
    EXPECT_EQ(GetHost("MP3/f.bin").size(), 1000u);
    EXPECT_TRUE(TAVRIX_DevicePresent()) << "a failed call is no unplug";
    EXPECT_EQ(TAVRIX_BulkOUT(data.data() + 1000, 2000, 1000), 2000);
    EXPECT_EQ(TAVRIX_RequestDataCompletion(), 1);
    EXPECT_EQ(GetHost("MP3/f.bin"), data);
}

TEST_F(FaultTest, RefusedStream) {
    PutHost("AV/a.ts", "aaaa");
    StartAndAttach([](pvrd::PvrOptions& o) { o.refuseStream = true; });
    ASSERT_TRUE(Fcntl(FCNTL_OPEN_DOWNLOAD, "C:\\PVR\\AV\\a.ts"));
    const TransferItem item = Item("C:\\PVR\\AV\\a.ts", TRANSFER_DOWNLOAD, 0, 4);
    EXPECT_FALSE(TAVRIX_RequestDataTransfer(&item));
}

// The device would answer each bulk call after 30 s, and the library would
// wait a minute: only the cancel can end these calls early.
TEST_F(FaultTest, BulkCancelReturnsThePendingCallAndTheLinkGoesOn) {
    ::setenv("TAVRIX_PVR_TIMEOUT_MS", "60000", 1);
    PutHost("AV/a.ts", Bytes(1 << 20));
    StartAndAttach([](pvrd::PvrOptions& o) { o.bulkDelayMs = 30000; });

    struct Case {
        const char* name;
        std::function<int()> call;
    };
    std::vector<char> buffer(4 << 20);
    const std::vector<Case> cases = {
        {"bulk in",
         [&] {
             EXPECT_TRUE(Fcntl(FCNTL_OPEN_DOWNLOAD, "C:\\PVR\\AV\\a.ts"));
             const TransferItem item = Item("C:\\PVR\\AV\\a.ts", TRANSFER_DOWNLOAD, 0, 1 << 20);
             EXPECT_TRUE(TAVRIX_RequestDataTransfer(&item));
             return TAVRIX_BulkIN(buffer.data(), 1 << 20, 0);
         }},
        {"bulk out",
         [&] {
             EXPECT_TRUE(Fcntl(FCNTL_CREATE, "C:\\PVR\\MP3\\b.bin"));
             const TransferItem item = Item("C:\\PVR\\MP3\\b.bin", TRANSFER_UPLOAD, 0, 4 << 20);
             EXPECT_TRUE(TAVRIX_RequestDataTransfer(&item));
             return TAVRIX_BulkOUT(buffer.data(), 4 << 20, 60000);
         }},
    };
    for (const Case& c : cases) {
        std::atomic<bool> returned{false};
        std::thread canceller([&] {
            // Until the call has returned: a cancel before it started is lost.
            while (!returned.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                TAVRIX_BulkCancel();
            }
        });
        const int result = c.call();
        returned = true;
        canceller.join();
        EXPECT_LE(result, 0) << c.name;
        EXPECT_TRUE(TAVRIX_DevicePresent()) << c.name;
        TAVRIX_RequestDataTransferStop();
        EXPECT_TRUE(Fcntl(FCNTL_CLOSE, "")) << c.name << ": the link is in step after the cancel";
    }
}

TEST_F(FaultTest, PulledCableFailsTheTransferAndIsAnnounced) {
    PutHost("AV/big.ts", Bytes(8 << 20));
    StartAndAttach([](pvrd::PvrOptions& o) { o.unplugAfter = 3 << 20; });
    ASSERT_TRUE(WaitForMessage(TAVRIX_WM_ARRIVAL));

    std::int64_t moved = 0;
    Download("C:\\PVR\\AV\\big.ts", 0, 8 << 20, &moved);
    EXPECT_LE(moved, 3 << 20);
    EXPECT_FALSE(TAVRIX_DevicePresent());
    EXPECT_FALSE(Fcntl(FCNTL_OPEN_DOWNLOAD, "C:\\PVR\\AV\\big.ts")) << "later calls fail too";
    ASSERT_TRUE(WaitForMessage(TAVRIX_WM_REMOVAL));
    EXPECT_TRUE(LogContains("unplugged during bulk-in (fault)"));

    // Plugged in again: a new attach, and the device works.
    StopPvr();
    StartPvr();
    ASSERT_TRUE(WaitForMessage(TAVRIX_WM_ARRIVAL, 2));
    EXPECT_TRUE(TAVRIX_DevicePresent());
    EXPECT_EQ(Download("C:\\PVR\\AV\\big.ts", 0, 10), GetHost("AV/big.ts").substr(0, 10));
    EXPECT_EQ(m_window.Count(TAVRIX_WM_REMOVAL), 1);
}

TEST_F(FaultTest, StoppedDaemonIsARemovalAndAnAlreadyAttachedPvrIsAnnounced) {
    StartAndAttach();
    ASSERT_TRUE(WaitForMessage(TAVRIX_WM_ARRIVAL));
    StopPvr();
    ASSERT_TRUE(WaitForMessage(TAVRIX_WM_REMOVAL));
    EXPECT_FALSE(TAVRIX_DevicePresent());
    DeviceDescriptor descriptor{};
    EXPECT_FALSE(TAVRIX_GetDeviceDescriptor(&descriptor));
    EXPECT_EQ(TAVRIX_FindFile("C:\\PVR\\*.*"), 0);

    StartPvr([](pvrd::PvrOptions& o) {
        o.product = "Second";
        o.highSpeed = false;
    });
    ASSERT_TRUE(WaitForMessage(TAVRIX_WM_ARRIVAL, 2));
    ASSERT_TRUE(TAVRIX_GetDeviceDescriptor(&descriptor));
    EXPECT_STREQ(descriptor.productName, "Second");
    EXPECT_EQ(descriptor.speed, 0u);
    EXPECT_EQ(descriptor.usbVersion, TAVRIX_USB_VERSION);
}

TEST_F(FaultTest, DeviceThatNeverAnswersIsNotAttached) {
    // Something listens at the socket but never takes the call.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, m_socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    ASSERT_TRUE(TAVRIX_InitDevice(m_window.GetSafeHwnd()));
    EXPECT_FALSE(TAVRIX_DevicePresent());
    char buffer[4];
    EXPECT_LT(TAVRIX_BulkIN(buffer, 4, 0), 0);
    TAVRIX_UninitDevice();
    EXPECT_EQ(m_window.Count(TAVRIX_WM_ARRIVAL), 0);
    ::close(fd);
}

}  // namespace
