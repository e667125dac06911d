// libFuzzer target: the device library taking whatever a device sends back.
//
// The input is a script of library calls followed by the bytes "the device"
// answers with. The link runs over an in-memory cable that hands out those
// bytes, can put the right magic, code and sequence into a reply header, or
// give it the shape an honest device would (so the fuzzer reaches the checks
// behind them and the records within), and can cancel a bulk call in the
// middle, as another thread would. Whatever arrives, a call must never
// report more than it asked for or hand out a record that does not fit, and a
// dead link must fail every call after it. Built with -DTAVRIX_FUZZ=ON (see
// the README); not part of the tests.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "device/devicecalls.h"
#include "device/devicelink.h"
#include "device/replycheck.h"

namespace {

using tavrix::CDeviceLink;
using tavrix::ConstChunk;
using tavrix::Deadline;
using tavrix::IoStatus;

// How the cable bends the next reply header it hands out.
enum : std::uint8_t {
    kFixMagic = 1,
    kFixCode = 2,
    kFixSeq = 4,
    kCancelInReceive = 8,
    kCancelInSend = 16,
    kFixShape = 32,  // a status the call knows, with the payload length it announces
};

class CScriptCable : public tavrix::CTransport {
public:
    CScriptCable(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    void SetLink(CDeviceLink* link) { m_link = link; }
    void SetStep(std::uint8_t fix) { m_fix = fix; }

    IoStatus Send(std::span<const ConstChunk> chunks, Deadline, bool interruptible,
                  std::size_t* done) override {
        *done = 0;
        if (m_shut) {
            return IoStatus::Closed;
        }
        for (const ConstChunk& chunk : chunks) {
            if (*done == 0 && chunk.size >= sizeof(wire::Header)) {
                wire::Header header{};
                std::memcpy(&header, chunk.data, sizeof header);
                // Data frames and aborts belong to the request before them.
                if (header.code != static_cast<std::uint16_t>(wire::Code::BulkData) &&
                    header.code != static_cast<std::uint16_t>(wire::Code::Abort)) {
                    m_lastRequest = header;
                    m_asked = Asked(header, chunks);
                }
            }
            if (interruptible && (m_fix & kCancelInSend) != 0) {
                m_fix &= static_cast<std::uint8_t>(~kCancelInSend);
                *done += chunk.size / 2;
                m_link->CancelBulk();
                return IoStatus::Interrupted;
            }
            *done += chunk.size;
        }
        return IoStatus::Ok;
    }

    IoStatus Receive(void* data, std::size_t size, Deadline, bool interruptible,
                     std::size_t* done) override {
        *done = 0;
        if (m_shut) {
            return IoStatus::Closed;
        }
        if (interruptible && m_interrupted) {
            return IoStatus::Interrupted;
        }
        if (interruptible && (m_fix & kCancelInReceive) != 0) {
            m_fix &= static_cast<std::uint8_t>(~kCancelInReceive);
            m_link->CancelBulk();
            return IoStatus::Interrupted;
        }
        const std::size_t take = std::min(size, m_size - m_used);
        if (take > 0) {
            std::memcpy(data, m_data + m_used, take);
        }
        m_used += take;
        *done = take;
        if (size == sizeof(wire::Header) && take == size) {
            Bend(static_cast<wire::Header*>(data));
        }
        return take == size ? IoStatus::Ok : IoStatus::Closed;
    }

    void Interrupt() override { m_interrupted = true; }
    void ClearInterrupt() override { m_interrupted = false; }
    bool WaitForHangup(int) override { return m_shut; }
    void Shutdown() override { m_shut = true; }

private:
    // The count a request asks for: a listing's capacity, a bulk call's bytes.
    static std::int64_t Asked(const wire::Header& header, std::span<const ConstChunk> chunks) {
        const auto code = static_cast<wire::Code>(header.code);
        if (chunks.size() < 2) {
            return 0;
        }
        if (code == wire::Code::FindNext && chunks[1].size >= sizeof(wire::FindNextRequest)) {
            wire::FindNextRequest request{};
            std::memcpy(&request, chunks[1].data, sizeof request);
            return request.capacity;
        }
        if ((code == wire::Code::BulkIn || code == wire::Code::BulkOut) &&
            chunks[1].size >= sizeof(wire::BulkRequest)) {
            wire::BulkRequest request{};
            std::memcpy(&request, chunks[1].data, sizeof request);
            return request.length;
        }
        return 0;
    }

    // What an honest device would send for the last request, status as given.
    void Shape(wire::Header* header) const {
        const auto pick = [header](std::int64_t low, std::int64_t high) {
            const std::int64_t span = high - low + 1;
            return static_cast<std::int32_t>(low + (header->status % span + span) % span);
        };
        switch (static_cast<wire::Code>(m_lastRequest.code)) {
            case wire::Code::Hello:
            case wire::Code::GetDescriptor:
                header->status = pick(0, 1);
                header->length = header->status == 1 ? sizeof(DeviceDescriptor) : 0;
                break;
            case wire::Code::RequestAvfSize:
                header->status = pick(0, 1);
                header->length = header->status == 1 ? sizeof(std::int64_t) : 0;
                break;
            case wire::Code::FindNext:
                header->status = pick(-1, m_asked);
                header->length = static_cast<std::uint32_t>(
                    sizeof(StbDiskSpace) + sizeof(StbFindData) * std::max(header->status, 0));
                break;
            case wire::Code::BulkIn:
                header->status = pick(-1, m_asked);
                header->length = static_cast<std::uint32_t>(std::max(header->status, 0));
                break;
            case wire::Code::BulkOut:
                header->status = pick(-1, m_asked);
                header->length = 0;
                break;
            default:
                header->status = pick(0, 1);
                header->length = 0;
                break;
        }
    }

    void Bend(wire::Header* header) const {
        if ((m_fix & kFixShape) != 0) {
            Shape(header);
        }
        if ((m_fix & kFixMagic) != 0) {
            header->magic = wire::kMagic;
        }
        if ((m_fix & kFixCode) != 0) {
            header->code = m_lastRequest.code;
        }
        if ((m_fix & kFixSeq) != 0) {
            header->seq = m_lastRequest.seq;
        }
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_used = 0;
    CDeviceLink* m_link = nullptr;
    std::uint8_t m_fix = 0;
    wire::Header m_lastRequest{};
    std::int64_t m_asked = 0;
    bool m_interrupted = false;
    bool m_shut = false;
};

void Check(bool fact) {
    if (!fact) {
        __builtin_trap();
    }
}

// One call, chosen by op; param sizes it. True when the call succeeded.
bool Step(CDeviceLink& link, std::uint8_t op, std::uint8_t param) {
    namespace calls = tavrix::calls;
    switch (op % 13) {
        case 0: {
            DeviceDescriptor descriptor{};
            const bool ok = calls::GetDescriptor(link, &descriptor);
            Check(!ok || tavrix::DescriptorFits(descriptor));
            return ok;
        }
        case 1: {
            const int capacity = param % 5 + 1;
            std::vector<StbFindData> entries(static_cast<std::size_t>(capacity));
            StbDiskSpace space{};
            const int n = calls::FindNext(link, 0, capacity, &space, entries.data());
            Check(n >= -1 && n <= capacity);
            for (int i = 0; i < n; ++i) {
                Check(tavrix::EntryFits(entries[static_cast<std::size_t>(i)]));
            }
            return n >= 0;
        }
        case 2: {
            const std::uint32_t length = param % 64 + 1;
            std::vector<char> buffer(length);
            const int n = link.BulkIn(buffer.data(), length, 1000);
            Check(n >= -1 && n <= static_cast<int>(length));
            return n >= 0;
        }
        case 3: {
            const std::uint32_t length = param % 64 + 1;
            const std::vector<char> buffer(length, 'o');
            const int n = link.BulkOut(buffer.data(), length, 1000);
            Check(n >= -1 && n <= static_cast<int>(length));
            return n >= 0;
        }
        case 4: {
            TransferItem item{};
            item.direction = TRANSFER_DOWNLOAD;
            std::int64_t size = -5;
            const bool ok = calls::RequestAvfSize(link, &size, &item);
            Check(!ok || size >= 0);
            return ok;
        }
        case 5: {
            FileControlBlock fcb{};
            fcb.command = param % 9;
            return calls::FCntl(link, &fcb);
        }
        case 6:
            return calls::FindFile(link, "C:\\PVR\\AV\\*.*") == 1;
        case 7:
            return calls::RequestDataCompletion(link) == 1;
        case 8: {
            TransferItem item{};
            return calls::RequestDataTransfer(link, &item);
        }
        case 9:
            calls::FindClose(link, 0);
            return false;
        case 10:
            calls::Flush(link);
            return false;
        case 11:
            calls::RequestDataTransferStop(link);
            return false;
        default:
            return link.KeepAlive(0);
    }
}

}  // namespace

// Input: a byte whose low four bits count the steps n (1..16) and whose top
// bit has the link greet the device first, n steps of (op, param, cable
// bends), then the bytes the device sends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t steps = (data[0] & 15) + 1;
    const std::size_t script = 1 + 3 * steps;
    if (size < script) {
        return 0;
    }
    auto owned = std::make_unique<CScriptCable>(data + script, size - script);
    CScriptCable* cable = owned.get();
    std::shared_ptr<CDeviceLink> link;
    if ((data[0] & 0x80) != 0) {
        cable->SetStep(kFixMagic | kFixCode | kFixSeq | kFixShape);
        DeviceDescriptor descriptor{};
        link = CDeviceLink::Open(std::move(owned), tavrix::LinkTimeouts{}, 1000, &descriptor);
        if (!link) {
            return 0;
        }
        Check(tavrix::DescriptorFits(descriptor));
    } else {
        link = std::make_shared<CDeviceLink>(std::move(owned), tavrix::LinkTimeouts{});
    }
    cable->SetLink(link.get());
    for (std::size_t i = 0; i < steps; ++i) {
        const std::uint8_t* step = data + 1 + 3 * i;
        cable->SetStep(step[2]);
        const bool alive = link->Alive();
        const bool ok = Step(*link, step[0], step[1]);
        // A dead link fails every call.
        Check(alive || !ok);
    }
    return 0;
}
