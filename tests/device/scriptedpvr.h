// A PVR that speaks the wire protocol from a script: it gives every request a
// plausible answer, and a test bends the answers it wants it to lie in.
//
// It serves the first host that connects and then stops listening, so a host
// that hangs up cannot come back: what the library does with a lying device
// stays visible.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "device/wireprotocol.h"
#include "emulator/filedescriptor.h"

class CScriptedPvr {
public:
    struct Answer {
        wire::Header header;
        std::string payload;
        bool send = true;
        // Sent only once the host aborts the call it answers.
        bool holdForAbort = false;
        // The payload trickles out a byte at a time, this far apart.
        int trickleMs = 0;
    };
    // Sees each request and the answer it is about to get, and may change it.
    using Script = std::function<void(const wire::Header& request, const std::string& payload,
                                      Answer* answer)>;

    CScriptedPvr(std::string socketPath, Script script);
    ~CScriptedPvr();  // stops and joins
    CScriptedPvr(const CScriptedPvr&) = delete;
    CScriptedPvr& operator=(const CScriptedPvr&) = delete;

    bool Start();
    // True once the host has closed its end of the cable.
    bool WaitHostGone(int timeoutMs) const;

private:
    void Serve();
    bool Read(void* data, std::size_t size);
    bool Write(const Answer& answer);
    Answer Honest(const wire::Header& request, const std::string& payload);

    std::string m_socketPath;
    Script m_script;
    pvrd::CFileDescriptor m_listen;
    pvrd::CFileDescriptor m_host;
    pvrd::CFileDescriptor m_wake;
    std::thread m_thread;
    std::atomic<bool> m_hostGone{false};
    std::optional<Answer> m_held;
    bool m_listed = false;
};
