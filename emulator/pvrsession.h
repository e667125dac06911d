// One host connected to the PVR: its open file, its stream and its listing.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/wireprotocol.h"
#include "emulator/diskfile.h"
#include "emulator/pvrserver.h"

namespace pvrd {

class CPvrSession {
public:
    CPvrSession(int fd, CPvrServer& server);
    ~CPvrSession();
    CPvrSession(const CPvrSession&) = delete;
    CPvrSession& operator=(const CPvrSession&) = delete;
    // Serves requests until the host goes, the link breaks or the cable is pulled.
    void Run();

private:
    enum class Mode { None, Upload, Download };
    enum class Wait { Elapsed, Aborted, Gone };

    bool Handle(const wire::Header& header);
    // Reads size bytes. The host may take firstWaitMs to start and then
    // pause no longer than the stall time-out; a silent host is dropped.
    bool Read(void* data, std::size_t size, int firstWaitMs);
    // Reads size bytes into buffer, which grows only as they arrive: a host
    // that announces much and sends little costs little.
    bool ReadGrowing(std::vector<char>* buffer, std::size_t size);
    bool ReadHeader(wire::Header* header);
    bool ReadPayload(const wire::Header& header);
    bool Reply(const wire::Header& request, std::int32_t status, const void* data = nullptr,
               std::size_t size = 0);
    Wait DelayWatchingAbort();

    std::int32_t FindFile();
    bool FindNext(const wire::Header& header);
    std::int32_t FCntl();
    bool RequestAvfSize(const wire::Header& header);
    std::int32_t RequestDataTransfer();
    bool BulkOut(const wire::Header& header);
    bool BulkIn(const wire::Header& header);
    std::int32_t Completion();
    void CloseFile();
    // True, after logging it, when a host asks to write a file only the PVR
    // writes (the record of the last software image).
    bool RefusedHostWrite(const std::string& path) const;
    // Tells the server what the buffers hold now.
    void Account();

    CPvrServer& m_server;
    std::vector<char> m_payload;
    std::vector<char> m_buffer;
    std::optional<wire::Header> m_pending;  // a request that came during a delay
    std::int64_t m_accounted = 0;

    bool m_greeted = false;

    // The open file and its stream.
    std::unique_ptr<CPvrServer::CWriteClaim> m_writeClaim;
    std::unique_ptr<CDiskFile> m_file;
    std::string m_path;
    TransferItem m_item{};
    std::int64_t m_position = 0;
    std::int64_t m_remaining = 0;  // download
    std::int64_t m_received = 0;   // upload
    Mode m_mode = Mode::None;
    Mode m_stream = Mode::None;
    int m_fd;
    // The listing.
    int m_busyLeft = 0;
    bool m_listing = false;
    bool m_listTaken = false;
    std::string m_listFolder;
    std::string m_listMask;
    std::chrono::steady_clock::time_point m_listStart;
    std::vector<StbFindData> m_entries;
    std::size_t m_cursor = 0;
};

}  // namespace pvrd
