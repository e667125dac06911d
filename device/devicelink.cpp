#include "device/devicelink.h"

#include <algorithm>
#include <vector>

#include "platform/trace.h"

namespace tavrix {

namespace {

// How long a cancelled call may take to leave the wire in order (finish the
// frame it was sending, say that it gives up). A live device needs microseconds.
constexpr int kGraceMs = 500;

Deadline After(int ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

const char* StatusName(IoStatus status) {
    switch (status) {
        case IoStatus::Ok:
            return "ok";
        case IoStatus::Closed:
            return "device gone";
        case IoStatus::TimedOut:
            return "time-out";
        case IoStatus::Interrupted:
            return "cancelled";
        case IoStatus::Failed:
            return "link error";
    }
    return "?";
}

}  // namespace

std::shared_ptr<CDeviceLink> CDeviceLink::Open(std::unique_ptr<CTransport> transport,
                                               const LinkTimeouts& timeouts, int helloTimeoutMs,
                                               DeviceDescriptor* descriptor) {
    auto link = std::make_shared<CDeviceLink>(std::move(transport), timeouts);
    const wire::HelloRequest hello{wire::kVersion};
    DeviceDescriptor answer{};
    std::int32_t status = 0;
    std::uint32_t size = 0;
    std::lock_guard<std::mutex> lock(link->m_io);
    if (!link->Exchange(wire::Code::Hello, &hello, sizeof hello, After(helloTimeoutMs), &status,
                        &answer, sizeof answer, &size) ||
        status != 1 || size != sizeof answer) {
        link->Break();
        return nullptr;
    }
    *descriptor = answer;
    return link;
}

CDeviceLink::CDeviceLink(std::unique_ptr<CTransport> transport, const LinkTimeouts& timeouts)
    : m_transport(std::move(transport)), m_timeouts(timeouts) {}

CDeviceLink::~CDeviceLink() = default;

void CDeviceLink::Break() {
    if (m_alive.exchange(false)) {
        m_transport->Shutdown();
    }
}

bool CDeviceLink::WaitForHangup(int timeoutMs) {
    return !Alive() || m_transport->WaitForHangup(timeoutMs) || !Alive();
}

void CDeviceLink::CancelBulk() {
    ++m_cancelGeneration;
    m_transport->Interrupt();
}

bool CDeviceLink::Fail(IoStatus status, const char* what) {
    TRACE_AT("TAVRIX link: %s failed (%s)", what, StatusName(status));
    Break();
    return false;
}

bool CDeviceLink::CheckReply(const wire::Header& reply, wire::Code code, std::uint32_t seq) {
    if (reply.magic != wire::kMagic || reply.code != static_cast<std::uint16_t>(code) ||
        reply.seq != seq) {
        TRACE_AT("TAVRIX link: unexpected reply to %s", wire::CodeName(code));
        Break();
        return false;
    }
    return true;
}

bool CDeviceLink::Discard(std::uint64_t bytes, Deadline deadline) {
    std::vector<char> scratch(static_cast<std::size_t>(std::min<std::uint64_t>(bytes, 64 << 10)));
    while (bytes > 0) {
        const std::size_t part =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytes, scratch.size()));
        std::size_t done = 0;
        const IoStatus status = m_transport->Receive(scratch.data(), part, deadline, false, &done);
        if (status != IoStatus::Ok) {
            return Fail(status, "skipping a reply");
        }
        bytes -= part;
    }
    return true;
}

bool CDeviceLink::SkipOwed(Deadline deadline) {
    if (m_owedPayload > 0) {
        if (!Discard(m_owedPayload, deadline)) {
            return false;
        }
        m_owedPayload = 0;
    }
    while (m_owedReplies > 0) {
        wire::Header reply{};
        std::size_t done = 0;
        const IoStatus status = m_transport->Receive(&reply, sizeof reply, deadline, false, &done);
        if (status != IoStatus::Ok) {
            return Fail(status, "skipping a reply");
        }
        if (reply.magic != wire::kMagic) {
            TRACE_AT("TAVRIX link: garbage where a reply was owed");
            Break();
            return false;
        }
        if (reply.length > 0 && !Discard(reply.length, deadline)) {
            return false;
        }
        --m_owedReplies;
    }
    return true;
}

bool CDeviceLink::Control(wire::Code code, const void* payload, std::uint32_t size,
                          std::int32_t* status, void* reply, std::uint32_t capacity,
                          std::uint32_t* replySize) {
    std::lock_guard<std::mutex> lock(m_io);
    if (!Alive()) {
        return false;
    }
    return Exchange(code, payload, size, After(m_timeouts.controlMs), status, reply, capacity,
                    replySize);
}

bool CDeviceLink::Exchange(wire::Code code, const void* payload, std::uint32_t size,
                           Deadline deadline, std::int32_t* status, void* reply,
                           std::uint32_t capacity, std::uint32_t* replySize) {
    if (!SkipOwed(deadline)) {
        return false;
    }
    const wire::Header request = wire::MakeHeader(code, ++m_seq, size);
    const ConstChunk chunks[2] = {{&request, sizeof request}, {payload, size}};
    std::size_t done = 0;
    IoStatus io = m_transport->Send(chunks, deadline, false, &done);
    if (io != IoStatus::Ok) {
        return Fail(io, wire::CodeName(code));
    }
    wire::Header answer{};
    io = m_transport->Receive(&answer, sizeof answer, deadline, false, &done);
    if (io != IoStatus::Ok) {
        return Fail(io, wire::CodeName(code));
    }
    if (!CheckReply(answer, code, request.seq)) {
        return false;
    }
    const std::uint32_t keep = reply != nullptr ? std::min(answer.length, capacity) : 0;
    if (keep > 0) {
        io = m_transport->Receive(reply, keep, deadline, false, &done);
        if (io != IoStatus::Ok) {
            return Fail(io, wire::CodeName(code));
        }
    }
    if (answer.length > keep && !Discard(answer.length - keep, deadline)) {
        return false;
    }
    *status = answer.status;
    if (replySize != nullptr) {
        *replySize = keep;
    }
    return true;
}

IoStatus CDeviceLink::ReceiveExact(void* data, std::size_t size, Deadline deadline,
                                   std::uint64_t generation, bool interruptible,
                                   std::size_t* done) {
    *done = 0;
    while (true) {
        std::size_t got = 0;
        const IoStatus io = m_transport->Receive(static_cast<char*>(data) + *done, size - *done,
                                                 deadline, interruptible, &got);
        *done += got;
        if (io != IoStatus::Interrupted || Cancelled(generation)) {
            return io;
        }
        // A cancel meant for an earlier call: not ours.
        m_transport->ClearInterrupt();
    }
}

// Starts a bulk call: waits out what an earlier call still owes and sends the
// request. The caller holds m_io.
bool CDeviceLink::OpenBulk(wire::Code code, std::uint32_t length, int timeoutMs, Deadline* deadline,
                           std::uint64_t* generation) {
    if (!Alive()) {
        return false;
    }
    *deadline = After(timeoutMs > 0 ? timeoutMs : m_timeouts.bulkMs);
    m_transport->ClearInterrupt();
    *generation = m_cancelGeneration.load();
    if (!SkipOwed(*deadline)) {
        return false;
    }
    const wire::BulkRequest request{length};
    const wire::Header header = wire::MakeHeader(code, ++m_seq, sizeof request);
    const ConstChunk head[2] = {{&header, sizeof header}, {&request, sizeof request}};
    std::size_t done = 0;
    const IoStatus io = m_transport->Send(head, *deadline, false, &done);
    if (io != IoStatus::Ok) {
        return Fail(io, wire::CodeName(code));
    }
    return true;
}

int CDeviceLink::BulkOut(const void* data, std::uint32_t length, int timeoutMs) {
    if (length == 0 || data == nullptr) {
        return 0;
    }
    if (length > wire::kMaxBulkLength) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(m_io);
    Deadline deadline;
    std::uint64_t generation = 0;
    if (!OpenBulk(wire::Code::BulkOut, length, timeoutMs, &deadline, &generation)) {
        return -1;
    }
    const std::uint32_t seq = m_seq;  // the request's, numbered by OpenBulk
    std::size_t done = 0;
    IoStatus io = IoStatus::Ok;
    const char* bytes = static_cast<const char*>(data);
    bool cancelled = false;
    for (std::uint32_t sent = 0; sent < length && !cancelled;) {
        if (Cancelled(generation)) {
            cancelled = true;
            break;
        }
        const std::uint32_t size = std::min(wire::kBulkFrame, length - sent);
        const wire::Header frame = wire::MakeHeader(wire::Code::BulkData, seq, size);
        std::size_t frameDone = 0;
        const std::size_t frameTotal = sizeof frame + size;
        bool interruptible = true;
        Deadline frameDeadline = deadline;
        while (frameDone < frameTotal) {
            // Whatever of the frame already went, the rest follows it.
            ConstChunk rest[2];
            std::size_t count = 0;
            if (frameDone < sizeof frame) {
                rest[count++] = {reinterpret_cast<const char*>(&frame) + frameDone,
                                 sizeof frame - frameDone};
                rest[count++] = {bytes + sent, size};
            } else {
                rest[count++] = {bytes + sent + (frameDone - sizeof frame), frameTotal - frameDone};
            }
            io = m_transport->Send(std::span<const ConstChunk>(rest, count), frameDeadline,
                                   interruptible, &done);
            frameDone += done;
            if (io == IoStatus::Interrupted) {
                if (Cancelled(generation)) {
                    // The device reads whole frames: finish this one, then stop.
                    cancelled = true;
                    interruptible = false;
                    frameDeadline = std::min(deadline, After(kGraceMs));
                } else {
                    m_transport->ClearInterrupt();
                }
                continue;
            }
            if (io != IoStatus::Ok) {
                Fail(io, "BulkOut");
                return -1;
            }
        }
        sent += size;
    }
    wire::Header reply{};
    if (!cancelled) {
        io = ReceiveExact(&reply, sizeof reply, deadline, generation, true, &done);
        if (io == IoStatus::Interrupted && done > 0) {
            io = m_transport->Receive(reinterpret_cast<char*>(&reply) + done, sizeof reply - done,
                                      After(kGraceMs), false, &done);
        } else if (io == IoStatus::Interrupted) {
            cancelled = true;
        }
    }
    if (cancelled) {
        const wire::Header abort = wire::MakeHeader(wire::Code::Abort, seq, 0);
        const ConstChunk chunk[1] = {{&abort, sizeof abort}};
        io = m_transport->Send(chunk, After(kGraceMs), false, &done);
        if (io != IoStatus::Ok) {
            Fail(io, "BulkOut abort");
            return -1;
        }
        ++m_owedReplies;
        TRACE_AT("TAVRIX link: BulkOut cancelled");
        return -1;
    }
    if (io != IoStatus::Ok) {
        Fail(io, "BulkOut");
        return -1;
    }
    if (!CheckReply(reply, wire::Code::BulkOut, seq) ||
        (reply.length > 0 && !Discard(reply.length, deadline))) {
        return -1;
    }
    return reply.status;
}

int CDeviceLink::BulkIn(void* data, std::uint32_t length, int timeoutMs) {
    if (length == 0 || data == nullptr) {
        return 0;
    }
    if (length > wire::kMaxBulkLength) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(m_io);
    Deadline deadline;
    std::uint64_t generation = 0;
    if (!OpenBulk(wire::Code::BulkIn, length, timeoutMs, &deadline, &generation)) {
        return -1;
    }
    const std::uint32_t seq = m_seq;  // the request's, numbered by OpenBulk
    std::size_t done = 0;
    wire::Header reply{};
    IoStatus io = ReceiveExact(&reply, sizeof reply, deadline, generation, true, &done);
    if (io == IoStatus::Interrupted && done == 0) {
        // Tell a device that is still preparing the data not to bother.
        const wire::Header abort = wire::MakeHeader(wire::Code::Abort, seq, 0);
        const ConstChunk chunk[1] = {{&abort, sizeof abort}};
        io = m_transport->Send(chunk, After(kGraceMs), false, &done);
        if (io != IoStatus::Ok) {
            Fail(io, "BulkIn abort");
            return -1;
        }
        ++m_owedReplies;
        TRACE_AT("TAVRIX link: BulkIn cancelled");
        return -1;
    }
    if (io == IoStatus::Interrupted) {
        io = m_transport->Receive(reinterpret_cast<char*>(&reply) + done, sizeof reply - done,
                                  After(kGraceMs), false, &done);
    }
    if (io != IoStatus::Ok) {
        Fail(io, "BulkIn");
        return -1;
    }
    if (!CheckReply(reply, wire::Code::BulkIn, seq)) {
        return -1;
    }
    if (reply.length > length) {
        TRACE_AT("TAVRIX link: BulkIn reply larger than asked");
        Break();
        return -1;
    }
    io = ReceiveExact(data, reply.length, deadline, generation, true, &done);
    if (io == IoStatus::Interrupted) {
        m_owedPayload = reply.length - done;
        TRACE_AT("TAVRIX link: BulkIn cancelled");
        return -1;
    }
    if (io != IoStatus::Ok) {
        Fail(io, "BulkIn");
        return -1;
    }
    return reply.status;
}

}  // namespace tavrix
