#include "support/pvrfixture.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

// Messages need an application object on the thread that runs the tests.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // A suite that runs in a QApplication already has its application object.
        if (QCoreApplication::instance() != nullptr) {
            return;
        }
        static int argc = 1;
        static char name[] = "device_test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QCoreApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_qt =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

void CopyText(char* field, std::size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

int CMessageLog::Count(UINT message) const {
    return static_cast<int>(std::count(m_messages.begin(), m_messages.end(), message));
}

void PvrTest::SetUp() {
    char dir[] = "/tmp/tavrix-device-test-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    m_dir = dir;
    m_disk = m_dir / "disk";
    std::filesystem::create_directories(m_disk);
    m_socket = (m_dir / "pvr.sock").string();
    ::setenv("TAVRIX_PVR_SOCKET", m_socket.c_str(), 1);
    ::setenv("TAVRIX_PVR_TIMEOUT_MS", "3000", 1);
}

void PvrTest::TearDown() {
    TAVRIX_UninitDevice();
    m_server.reset();
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

void PvrTest::StartPvr(const std::function<void(pvrd::PvrOptions&)>& tweak) {
    pvrd::PvrOptions options;
    options.disk = m_disk.string();
    options.socket = m_socket;
    options.log = [this](const std::string& line) {
        std::lock_guard<std::mutex> lock(m_logMutex);
        m_log.push_back(line);
    };
    if (tweak) {
        tweak(options);
    }
    m_server = std::make_unique<pvrd::CPvrServer>(options);
    std::string error;
    ASSERT_TRUE(m_server->Start(&error)) << error;
}

void PvrTest::StopPvr() {
    m_server.reset();
}

void PvrTest::Attach() {
    ASSERT_TRUE(TAVRIX_InitDevice(m_window.GetSafeHwnd()));
    ASSERT_TRUE(TAVRIX_DevicePresent());
}

void PvrTest::StartAndAttach(const std::function<void(pvrd::PvrOptions&)>& tweak) {
    StartPvr(tweak);
    Attach();
}

bool PvrTest::WaitForMessage(UINT message, int count) {
    return platform::WaitProcessingMessages([&] { return m_window.Count(message) >= count; }, 5000);
}

bool PvrTest::LogContains(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_logMutex);
    return std::any_of(m_log.begin(), m_log.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    });
}

bool PvrTest::Fcntl(std::int32_t command, const std::string& path, const std::string& second,
                    std::int64_t offset) {
    FileControlBlock fcb{};
    fcb.command = command;
    fcb.offset = offset;
    CopyText(fcb.path, sizeof fcb.path, path);
    CopyText(fcb.secondPath, sizeof fcb.secondPath, second);
    return TAVRIX_FCntl(&fcb);
}

std::vector<StbFindData> PvrTest::List(const std::string& folder, StbDiskSpace* space, int* busy,
                                       int capacity) {
    std::vector<StbFindData> all;
    if (TAVRIX_FindFile((folder + "*.*").c_str()) == 0) {
        ADD_FAILURE() << "FindFile refused " << folder;
        return all;
    }
    std::vector<StbFindData> page(static_cast<std::size_t>(capacity));
    StbDiskSpace ignored{};
    int busyAnswers = 0;
    for (int call = 0; call < 1000; ++call) {
        const int n =
            TAVRIX_FindNext(0, capacity, space != nullptr ? space : &ignored, page.data());
        if (n == -1 && all.empty()) {
            ++busyAnswers;
            continue;
        }
        EXPECT_LE(n, capacity);
        if (n <= 0) {
            break;
        }
        all.insert(all.end(), page.begin(), page.begin() + n);
    }
    TAVRIX_FindClose(0);
    if (busy != nullptr) {
        *busy = busyAnswers;
    }
    return all;
}

std::vector<std::string> PvrTest::Names(const std::vector<StbFindData>& entries) {
    std::vector<std::string> names;
    for (const StbFindData& entry : entries) {
        names.emplace_back(entry.name);
    }
    return names;
}

TransferItem PvrTest::Item(const std::string& path, std::uint8_t direction, std::int64_t offset,
                           std::int64_t count, std::uint8_t kind) {
    TransferItem item{};
    item.kind = kind;
    item.direction = direction;
    CopyText(item.pvrPath, sizeof item.pvrPath, path);
    item.chunkSize = 0x100000;
    item.offset = offset;
    item.byteCount = count;
    return item;
}

std::string PvrTest::Download(const std::string& path, std::int64_t offset, std::int64_t count,
                              std::int64_t* moved) {
    std::string data;
    if (moved != nullptr) {
        *moved = -1;
    }
    if (!Fcntl(FCNTL_OPEN_DOWNLOAD, path, "", offset)) {
        return data;
    }
    const TransferItem item = Item(path, TRANSFER_DOWNLOAD, offset, count);
    if (TAVRIX_RequestDataTransfer(&item)) {
        std::vector<char> buffer(1 << 20);
        while (static_cast<std::int64_t>(data.size()) < count) {
            const auto want = static_cast<std::uint32_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()),
                                       count - static_cast<std::int64_t>(data.size())));
            const int got = TAVRIX_BulkIN(buffer.data(), want, 0);
            if (got <= 0) {
                break;
            }
            data.append(buffer.data(), static_cast<std::size_t>(got));
        }
    }
    Fcntl(FCNTL_CLOSE, "");
    if (moved != nullptr) {
        *moved = static_cast<std::int64_t>(data.size());
    }
    return data;
}

bool PvrTest::Upload(const std::string& path, const std::string& data, std::int64_t offset,
                     std::uint8_t kind) {
    if (!Fcntl(offset > 0 ? FCNTL_OPEN_UPLOAD : FCNTL_CREATE, path, "", offset)) {
        return false;
    }
    const std::int64_t count = static_cast<std::int64_t>(data.size()) - offset;
    const TransferItem item = Item(path, TRANSFER_UPLOAD, offset, count, kind);
    bool ok = TAVRIX_RequestDataTransfer(&item);
    for (std::int64_t sent = 0; ok && sent < count;) {
        const auto size = static_cast<std::uint32_t>(std::min<std::int64_t>(1 << 20, count - sent));
        const int n = TAVRIX_BulkOUT(data.data() + offset + sent, size, 5000);
        ok = n > 0;
        sent += n;
    }
    ok = ok && TAVRIX_RequestDataCompletion() == 1;
    Fcntl(FCNTL_CLOSE, "");
    return ok;
}

std::string PvrTest::Bytes(std::size_t size, unsigned seed) {
    std::string data(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return data;
}

void PvrTest::PutHost(const std::string& relative, const std::string& data) {
    const std::filesystem::path path = m_disk / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

std::string PvrTest::GetHost(const std::string& relative) {
    std::ifstream in(m_disk / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PvrTest::ExistsHost(const std::string& relative) {
    return std::filesystem::exists(std::filesystem::symlink_status(m_disk / relative));
}
