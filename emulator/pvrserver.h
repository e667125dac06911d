// The PVR end of the cable: a Unix-domain socket on which every connection is
// one host talking to the device.
//
// Stopping the server, or a fault that pulls the cable, looks to the host like
// an unplugged PVR: every connection is cut and the socket disappears. A new
// server on the same path is a new attach.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "device/records.h"
#include "emulator/filedescriptor.h"
#include "emulator/pvrdisk.h"
#include "emulator/pvroptions.h"

namespace pvrd {

class CPvrServer {
public:
    explicit CPvrServer(PvrOptions options);
    ~CPvrServer();  // stops and joins
    CPvrServer(const CPvrServer&) = delete;
    CPvrServer& operator=(const CPvrServer&) = delete;

    // Prepares the disk, listens on the socket and starts accepting.
    bool Start(std::string* error);
    // Pulls the cable and waits for every connection to end.
    void Stop();
    // True once the cable has been pulled (by Stop or by a fault).
    bool Unplugged() const { return m_unplugged.load(); }
    // Waits until the cable is pulled; false on time-out (-1: no limit).
    bool WaitUnplugged(int timeoutMs);

    // For the sessions.
    const PvrOptions& Options() const { return m_options; }
    const CPvrDisk& Disk() const { return m_disk; }
    DeviceDescriptor Descriptor() const;
    void Log(const std::string& line) const;
    // Counts a bulk-out call; true for the one that is to fail.
    bool NextBulkOutFails();
    // Of count bulk bytes, how many pass before the cable is to be pulled.
    std::int64_t AllowBulkBytes(std::int64_t count);
    void PullCable(const char* why);
    // One session's right to write one file: while it holds it, nobody else
    // may create or continue that file.
    class CWriteClaim {
    public:
        CWriteClaim(CPvrServer& server, std::string key)
            : m_server(server), m_key(std::move(key)) {}
        ~CWriteClaim() { m_server.ReleaseWrite(m_key); }
        CWriteClaim(const CWriteClaim&) = delete;
        CWriteClaim& operator=(const CWriteClaim&) = delete;

    private:
        CPvrServer& m_server;
        std::string m_key;
    };
    // Null when the path names no file, or another session writes it now.
    std::unique_ptr<CWriteClaim> ClaimWrite(std::string_view pvrPath);

    // Session buffers grow and shrink by delta bytes.
    void CountBuffered(std::int64_t delta) { m_buffered += delta; }

    // Hosts connected now, and the bytes their sessions hold in buffers: what
    // a crowd of stalled hosts costs.
    int Hosts() const;
    std::int64_t BufferedBytes() const { return m_buffered.load(); }

private:
    struct Client {
        CFileDescriptor fd;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void AcceptLoop();
    void ReapClients(bool all);
    void ReleaseWrite(const std::string& key);

    PvrOptions m_options;
    CPvrDisk m_disk;
    CFileDescriptor m_listen;
    CFileDescriptor m_wake;  // eventfd that ends the accept loop
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    std::condition_variable m_unpluggedCv;
    std::vector<std::unique_ptr<Client>> m_clients;
    std::set<std::string> m_writing;  // files a session writes, by WriteKey
    std::atomic<bool> m_unplugged{false};
    std::atomic<bool> m_listening{false};
    std::atomic<int> m_bulkOutCalls{0};
    std::atomic<std::int64_t> m_bulkBytes{0};
    std::atomic<std::int64_t> m_buffered{0};
};

}  // namespace pvrd
