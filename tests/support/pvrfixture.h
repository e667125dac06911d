// A PVR on a private disk and socket, served by a thread of the test process,
// and the device library attached to it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/tavrixapi.h"
#include "emulator/pvroptions.h"
#include "emulator/pvrserver.h"
#include "platform/message.h"

// Records the numbered messages it receives (UI thread only).
class CMessageLog : public CMessageTarget {
public:
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override {
        m_messages.push_back(message);
        return 0;
    }
    int Count(UINT message) const;

private:
    std::vector<UINT> m_messages;
};

class PvrTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void StartPvr(const std::function<void(pvrd::PvrOptions&)>& tweak = nullptr);
    void StopPvr();
    void Attach();
    void StartAndAttach(const std::function<void(pvrd::PvrOptions&)>& tweak = nullptr);
    // Handles messages until count of them arrived (false after 5 s).
    bool WaitForMessage(UINT message, int count = 1);
    bool LogContains(const std::string& text);

    static bool Fcntl(std::int32_t command, const std::string& path,
                      const std::string& second = std::string(), std::int64_t offset = 0);
    // Whole listing of a folder; *busy counts the "busy" answers first.
    static std::vector<StbFindData> List(const std::string& folder, StbDiskSpace* space = nullptr,
                                         int* busy = nullptr, int capacity = 1000);
    static std::vector<std::string> Names(const std::vector<StbFindData>& entries);
    // Reads count bytes from offset; *moved: how many came.
    static std::string Download(const std::string& path, std::int64_t offset, std::int64_t count,
                                std::int64_t* moved = nullptr);
    // Sends data to the PVR file from offset (0: created anew) as an item of the
    // given kind; true when the device confirmed it.
    static bool Upload(const std::string& path, const std::string& data, std::int64_t offset = 0,
                       std::uint8_t kind = TRANSFER_KIND_FILE);
    static TransferItem Item(const std::string& path, std::uint8_t direction, std::int64_t offset,
                             std::int64_t count, std::uint8_t kind = TRANSFER_KIND_FILE);
    static std::string Bytes(std::size_t size, unsigned seed = 1);

    void PutHost(const std::string& relative, const std::string& data);
    std::string GetHost(const std::string& relative);
    bool ExistsHost(const std::string& relative);

    CMessageLog m_window;
    std::filesystem::path m_dir;
    std::filesystem::path m_disk;
    std::string m_socket;
    std::unique_ptr<pvrd::CPvrServer> m_server;
    std::mutex m_logMutex;
    std::vector<std::string> m_log;
};
