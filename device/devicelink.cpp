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
    const ReplyRule rule{wire::Code::Hello, 0, 1, 0, sizeof(DeviceDescriptor)};
    DeviceDescriptor answer{};
    std::int32_t status = 0;
    std::lock_guard<std::mutex> lock(link->m_io);
    if (!link->Exchange(rule, &hello, sizeof hello, After(helloTimeoutMs), &status, &answer,
                        sizeof answer) ||
        status != 1 || !DescriptorFits(answer)) {
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

void CDeviceLink::Reject(const char* what) {
    TRACE_AT("TAVRIX link: %s; the link is given up", what);
    Break();
}

bool CDeviceLink::CheckReply(const wire::Header& reply, const ReplyRule& rule, std::uint32_t seq) {
    if (const char* wrong = ReplyMismatch(reply, rule, seq); wrong != nullptr) {
        TRACE_AT("TAVRIX link: reply to %s does not fit (%s)", wire::CodeName(rule.code), wrong);
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
    for (const Owed& owed : m_owed) {
        wire::Header reply{};
        std::size_t done = 0;
        const IoStatus status = m_transport->Receive(&reply, sizeof reply, deadline, false, &done);
        if (status != IoStatus::Ok) {
            return Fail(status, "skipping a reply");
        }
        if (!CheckReply(reply, owed.rule, owed.seq) ||
            (reply.length > 0 && !Discard(reply.length, deadline))) {
            return false;
        }
    }
    m_owed.clear();
    return true;
}

bool CDeviceLink::Control(const ReplyRule& rule, const void* payload, std::uint32_t size,
                          std::int32_t* status, void* reply, std::uint32_t capacity) {
    std::lock_guard<std::mutex> lock(m_io);
    if (!Alive()) {
        return false;
    }
    const bool ok =
        Exchange(rule, payload, size, After(m_timeouts.controlMs), status, reply, capacity);
    Touch();
    return ok;
}

bool CDeviceLink::KeepAlive(int idleMs) {
    std::unique_lock<std::mutex> lock(m_io, std::try_to_lock);
    if (!lock.owns_lock() || !Alive()) {
        // A call in progress keeps the device company already.
        return Alive();
    }
    if (std::chrono::steady_clock::now() - m_lastCall < std::chrono::milliseconds(idleMs)) {
        return true;
    }
    std::int32_t status = 0;
    const bool ok = Exchange(ReplyRule{wire::Code::Ping, 1, 1}, nullptr, 0,
                             After(m_timeouts.controlMs), &status, nullptr, 0);
    Touch();
    return ok;
}

bool CDeviceLink::Exchange(const ReplyRule& rule, const void* payload, std::uint32_t size,
                           Deadline deadline, std::int32_t* status, void* reply,
                           std::uint32_t capacity) {
    if (!SkipOwed(deadline)) {
        return false;
    }
    const wire::Code code = rule.code;
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
    if (!CheckReply(answer, rule, request.seq)) {
        return false;
    }
    if (answer.length > (reply != nullptr ? capacity : 0)) {
        Reject("a reply larger than its call can take");
        return false;
    }
    if (answer.length > 0) {
        io = m_transport->Receive(reply, answer.length, deadline, false, &done);
        if (io != IoStatus::Ok) {
            return Fail(io, wire::CodeName(code));
        }
    }
    *status = answer.status;
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
    const CallEnd end{this};
    Deadline deadline;
    std::uint64_t generation = 0;
    if (!OpenBulk(wire::Code::BulkOut, length, timeoutMs, &deadline, &generation)) {
        return -1;
    }
    const std::uint32_t seq = m_seq;  // the request's, numbered by OpenBulk
    const ReplyRule rule{wire::Code::BulkOut, -1, static_cast<std::int32_t>(length)};
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
        m_owed.push_back({rule, seq});
        TRACE_AT("TAVRIX link: BulkOut cancelled");
        return -1;
    }
    if (io != IoStatus::Ok) {
        Fail(io, "BulkOut");
        return -1;
    }
    if (!CheckReply(reply, rule, seq)) {
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
    const CallEnd end{this};
    Deadline deadline;
    std::uint64_t generation = 0;
    if (!OpenBulk(wire::Code::BulkIn, length, timeoutMs, &deadline, &generation)) {
        return -1;
    }
    const std::uint32_t seq = m_seq;  // the request's, numbered by OpenBulk
    // The count is the payload, and no more than was asked.
    const ReplyRule rule{wire::Code::BulkIn, -1, static_cast<std::int32_t>(length), 0, 0, 1};
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
        m_owed.push_back({rule, seq});
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
    if (!CheckReply(reply, rule, seq)) {
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
