#include "emulator/pvrsession.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "core/names.h"
#include "device/imagerecord.h"
#include "emulator/pvrdisk.h"
#include "emulator/pvrserver.h"

namespace pvrd {

namespace {

// A growing buffer starts with this much and then doubles.
constexpr std::size_t kFirstStep = 16 << 10;

bool WriteAll(int fd, iovec* iov, int count) {
    while (count > 0) {
        msghdr msg{};
        msg.msg_iov = iov;
        msg.msg_iovlen = static_cast<std::size_t>(count);
        ssize_t sent = ::sendmsg(fd, &msg, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0) {
            return false;
        }
        while (count > 0 && static_cast<std::size_t>(sent) >= iov->iov_len) {
            sent -= static_cast<ssize_t>(iov->iov_len);
            ++iov;
            --count;
        }
        if (count > 0) {
            iov->iov_base = static_cast<char*>(iov->iov_base) + sent;
            iov->iov_len -= static_cast<std::size_t>(sent);
        }
    }
    return true;
}

// A text field of a record, strictly: it must end within the field and
// nothing may hide behind its end, so what the host meant and what the device
// reads agree. Empty texts are refused too.
bool StrictFieldText(const char* field, std::size_t size, std::string* out) {
    const std::string_view text = FieldText(field, size);
    if (text.empty() || text.size() == size ||
        std::any_of(field + text.size(), field + size, [](char c) { return c != '\0'; })) {
        return false;
    }
    out->assign(text);
    return true;
}

}  // namespace

CPvrSession::CPvrSession(int fd, CPvrServer& server) : m_server(server), m_fd(fd) {
    // A host that stops taking a reply is dropped like one that stops sending.
    const int ms = std::max(m_server.Options().stallTimeoutMs, 1);
    const timeval limit{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

CPvrSession::~CPvrSession() {
    m_server.CountBuffered(-m_accounted);
}

bool CPvrSession::RefusedHostWrite(const std::string& path) const {
    if (!CPvrDisk::IsImageRecordPath(path)) {
        return false;
    }
    m_server.Log("refused to let a host write " + path + ": only the PVR writes it");
    return true;
}

void CPvrSession::Account() {
    const auto now = static_cast<std::int64_t>(m_payload.capacity() + m_buffer.capacity());
    m_server.CountBuffered(now - m_accounted);
    m_accounted = now;
}

void CPvrSession::Run() {
    wire::Header header{};
    while (ReadHeader(&header) && Handle(header)) {
    }
    CloseFile();
    // The host must see the end at once, not when the server reaps this thread.
    ::shutdown(m_fd, SHUT_RDWR);
}

bool CPvrSession::Read(void* data, std::size_t size, int firstWaitMs) {
    auto* p = static_cast<char*>(data);
    int waitMs = firstWaitMs;
    while (size > 0) {
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, waitMs > 0 ? waitMs : -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            m_server.Log("host silent for " + std::to_string(waitMs) + " ms; connection closed");
            return false;
        }
        const ssize_t got = ready < 0 ? -1 : ::recv(m_fd, p, size, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        p += got;
        size -= static_cast<std::size_t>(got);
        waitMs = m_server.Options().stallTimeoutMs;
    }
    return true;
}

bool CPvrSession::ReadGrowing(std::vector<char>* buffer, std::size_t size) {
    buffer->clear();
    while (buffer->size() < size) {
        const std::size_t have = buffer->size();
        // The room a previous frame left is filled at once; beyond it the buffer
        // doubles, so a stalled host holds little more than it has sent.
        const std::size_t step =
            std::min(size - have, std::max({have, kFirstStep, buffer->capacity() - have}));
        buffer->resize(have + step);
        Account();
        if (!Read(buffer->data() + have, step, m_server.Options().stallTimeoutMs)) {
            return false;
        }
    }
    return true;
}

bool CPvrSession::ReadHeader(wire::Header* header) {
    if (m_pending) {
        *header = *m_pending;
        m_pending.reset();
        return true;
    }
    const PvrOptions& options = m_server.Options();
    if (!Read(header, sizeof *header, m_greeted ? options.idleTimeoutMs : options.greetTimeoutMs)) {
        return false;
    }
    if (header->magic != wire::kMagic) {
        m_server.Log("protocol error: bad message header; connection closed");
        return false;
    }
    return true;
}

bool CPvrSession::ReadPayload(const wire::Header& header) {
    if (header.length > wire::kMaxRequestPayload) {
        m_server.Log("protocol error: oversized request; connection closed");
        return false;
    }
    return ReadGrowing(&m_payload, header.length);
}

bool CPvrSession::Reply(const wire::Header& request, std::int32_t status, const void* data,
                        std::size_t size) {
    wire::Header reply = wire::MakeHeader(static_cast<wire::Code>(request.code), request.seq,
                                          static_cast<std::uint32_t>(size), status);
    iovec iov[2] = {{&reply, sizeof reply}, {const_cast<void*>(data), size}};
    return WriteAll(m_fd, iov, size > 0 ? 2 : 1);
}

CPvrSession::Wait CPvrSession::DelayWatchingAbort() {
    const int delay = m_server.Options().bulkDelayMs;
    if (delay <= 0) {
        return Wait::Elapsed;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay);
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return Wait::Elapsed;
        }
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            return Wait::Gone;
        }
        if (ready <= 0 || m_pending) {
            if (m_pending) {
                // A second request before the answer: the host will not abort.
                std::this_thread::sleep_for(left);
                return Wait::Elapsed;
            }
            continue;
        }
        wire::Header header{};
        if (!ReadHeader(&header)) {
            return Wait::Gone;
        }
        if (static_cast<wire::Code>(header.code) == wire::Code::Abort) {
            return Wait::Aborted;
        }
        m_pending = header;
    }
}

bool CPvrSession::Handle(const wire::Header& header) {
    const auto code = static_cast<wire::Code>(header.code);
    if (code == wire::Code::Abort) {
        // Late: the bulk call it meant has been answered already.
        return true;
    }
    if (!ReadPayload(header)) {
        return false;
    }
    switch (code) {
        case wire::Code::Hello: {
            wire::HelloRequest hello{};
            const bool ok = m_payload.size() == sizeof hello &&
                            (std::memcpy(&hello, m_payload.data(), sizeof hello),
                             hello.version == wire::kVersion);
            const DeviceDescriptor descriptor = m_server.Descriptor();
            m_greeted = m_greeted || ok;
            return ok ? Reply(header, 1, &descriptor, sizeof descriptor) : Reply(header, 0);
        }
        case wire::Code::GetDescriptor: {
            const DeviceDescriptor descriptor = m_server.Descriptor();
            return Reply(header, 1, &descriptor, sizeof descriptor);
        }
        case wire::Code::FindFile:
            return Reply(header, FindFile());
        case wire::Code::FindNext:
            return FindNext(header);
        case wire::Code::FindClose:
            m_listing = false;
            m_entries.clear();
            return Reply(header, 1);
        case wire::Code::FCntl:
            return Reply(header, FCntl());
        case wire::Code::RequestAvfSize:
            return RequestAvfSize(header);
        case wire::Code::RequestDataTransfer:
            return Reply(header, RequestDataTransfer());
        case wire::Code::BulkOut:
            return BulkOut(header);
        case wire::Code::BulkIn:
            return BulkIn(header);
        case wire::Code::Flush:
        case wire::Code::Ping:
            return Reply(header, 1);
        case wire::Code::RequestDataCompletion:
            return Reply(header, Completion());
        case wire::Code::RequestDataTransferStop:
            m_stream = Mode::None;
            return Reply(header, 1);
        case wire::Code::BulkData:
        case wire::Code::Abort:
            break;
    }
    m_server.Log(std::string("protocol error: unexpected ") + wire::CodeName(code) +
                 "; connection closed");
    return false;
}

std::int32_t CPvrSession::FindFile() {
    m_listing = false;
    m_entries.clear();
    const std::string pattern(m_payload.begin(), m_payload.end());
    if (pattern.empty() || pattern.size() > wire::kMaxPatternLength ||
        pattern.find('\0') != std::string::npos) {
        return 0;
    }
    const std::size_t cut = pattern.rfind('\\');
    if (cut == std::string::npos || cut + 1 == pattern.size()) {
        return 0;
    }
    m_listFolder = pattern.substr(0, cut + 1);
    m_listMask = pattern.substr(cut + 1);
    CPvrDisk::Location where;
    if (!m_server.Disk().Resolve(m_listFolder, &where) || !where.exists || !where.isFolder) {
        return 0;
    }
    m_listing = true;
    m_listTaken = false;
    m_cursor = 0;
    m_busyLeft = m_server.Options().busy;
    m_listStart = std::chrono::steady_clock::now();
    return 1;
}

bool CPvrSession::FindNext(const wire::Header& header) {
    wire::FindNextRequest request{};
    if (m_payload.size() != sizeof request) {
        return Reply(header, 0);
    }
    std::memcpy(&request, m_payload.data(), sizeof request);
    const StbDiskSpace space = m_server.Disk().DiskSpace();
    if (!m_listing || request.capacity <= 0) {
        return Reply(header, 0, &space, sizeof space);
    }
    if (m_busyLeft > 0 || std::chrono::steady_clock::now() - m_listStart <
                              std::chrono::milliseconds(m_server.Options().listDelayMs)) {
        m_busyLeft = std::max(0, m_busyLeft - 1);
        return Reply(header, -1, &space, sizeof space);
    }
    if (!m_listTaken) {
        m_listTaken = true;
        if (!m_server.Disk().List(m_listFolder, m_listMask, &m_entries)) {
            m_listing = false;
            return Reply(header, 0, &space, sizeof space);
        }
    }
    const std::size_t capacity =
        static_cast<std::size_t>(std::min(request.capacity, wire::kMaxFindCapacity));
    const std::size_t count = std::min(capacity, m_entries.size() - m_cursor);
    std::vector<char>& out = m_buffer;
    out.resize(sizeof space + count * sizeof(StbFindData));
    Account();
    std::memcpy(out.data(), &space, sizeof space);
    if (count > 0) {
        std::memcpy(out.data() + sizeof space, m_entries.data() + m_cursor,
                    count * sizeof(StbFindData));
    }
    m_cursor += count;
    return Reply(header, static_cast<std::int32_t>(count), out.data(), out.size());
}

void CPvrSession::CloseFile() {
    m_file.reset();
    m_writeClaim.reset();
    m_mode = Mode::None;
    m_stream = Mode::None;
    m_path.clear();
}

std::int32_t CPvrSession::FCntl() {
    FileControlBlock fcb{};
    if (m_payload.size() != sizeof fcb) {
        return 0;
    }
    std::memcpy(&fcb, m_payload.data(), sizeof fcb);
    std::string path;
    std::string second;
    const CPvrDisk& disk = m_server.Disk();
    if (fcb.command == FCNTL_CLOSE) {
        const bool wasOpen = m_file != nullptr;
        CloseFile();
        return wasOpen ? 1 : 0;
    }
    if (!StrictFieldText(fcb.path, sizeof fcb.path, &path)) {
        m_server.Log("refused a path that does not fit its field");
        return 0;
    }
    switch (fcb.command) {
        case FCNTL_CREATE:
        case FCNTL_OPEN_UPLOAD:
        case FCNTL_OPEN_DOWNLOAD: {
            CloseFile();
            if (fcb.command != FCNTL_OPEN_DOWNLOAD && RefusedHostWrite(path)) {
                return 0;
            }
            // Two writers of one file would leave it matching neither; the
            // claim comes first, as creating empties the file.
            std::unique_ptr<CPvrServer::CWriteClaim> claim;
            if (fcb.command != FCNTL_OPEN_DOWNLOAD) {
                claim = m_server.ClaimWrite(path);
                if (!claim) {
                    return 0;
                }
            }
            std::unique_ptr<CDiskFile> file;
            if (fcb.command == FCNTL_CREATE) {
                file = disk.Create(path);
            } else {
                file = disk.Open(path, fcb.command == FCNTL_OPEN_UPLOAD);
            }
            if (!file || fcb.offset < 0 || fcb.offset > file->Size() ||
                (fcb.command == FCNTL_CREATE && fcb.offset != 0)) {
                return 0;
            }
            m_file = std::move(file);
            m_writeClaim = std::move(claim);
            m_mode = fcb.command == FCNTL_OPEN_DOWNLOAD ? Mode::Download : Mode::Upload;
            m_path = path;
            return 1;
        }
        case FCNTL_DELETE:
            return disk.Delete(path) ? 1 : 0;
        case FCNTL_RENAME:
            if (!StrictFieldText(fcb.secondPath, sizeof fcb.secondPath, &second)) {
                m_server.Log("refused a path that does not fit its field");
                return 0;
            }
            if (RefusedHostWrite(second)) {
                return 0;
            }
            return disk.Rename(path, second) ? 1 : 0;
        case FCNTL_REMOVE_FOLDER:
            return disk.RemoveFolder(path) ? 1 : 0;
        case FCNTL_MAKE_FOLDER:
            return disk.MakeFolder(path) ? 1 : 0;
        default:
            return 0;
    }
}

bool CPvrSession::RequestAvfSize(const wire::Header& header) {
    TransferItem item{};
    std::string path;
    std::int64_t size = 0;
    if (m_payload.size() != sizeof item) {
        return Reply(header, 0);
    }
    std::memcpy(&item, m_payload.data(), sizeof item);
    if (!StrictFieldText(item.pvrPath, sizeof item.pvrPath, &path)) {
        return Reply(header, 0);
    }
    if (item.direction == TRANSFER_UPLOAD) {
        size = m_server.Options().avfSize;
        return Reply(header, 1, &size, sizeof size);
    }
    if (item.direction != TRANSFER_DOWNLOAD || !m_server.Disk().FileSize(path, &size) ||
        item.offset < 0 || item.offset > size) {
        return Reply(header, 0);
    }
    size -= item.offset;
    return Reply(header, 1, &size, sizeof size);
}

std::int32_t CPvrSession::RequestDataTransfer() {
    TransferItem item{};
    std::string path;
    if (m_payload.size() != sizeof item) {
        return 0;
    }
    std::memcpy(&item, m_payload.data(), sizeof item);
    if (m_server.Options().refuseStream) {
        m_server.Log("stream refused (fault)");
        return 0;
    }
    if (!m_file || !StrictFieldText(item.pvrPath, sizeof item.pvrPath, &path) ||
        !EqualsNoCase(path, m_path) || item.offset < 0 || item.byteCount < 0) {
        return 0;
    }
    const bool upload = item.direction == TRANSFER_UPLOAD;
    if ((upload ? Mode::Upload : Mode::Download) != m_mode ||
        (item.direction != TRANSFER_UPLOAD && item.direction != TRANSFER_DOWNLOAD)) {
        return 0;
    }
    const bool image = item.kind == TRANSFER_KIND_FIRMWARE ||
                       item.kind == TRANSFER_KIND_BOOT_LOADER ||
                       item.kind == TRANSFER_KIND_DATABASE;
    if (image ? !(upload && CPvrDisk::IsFirmwarePath(path)) : item.kind != TRANSFER_KIND_FILE) {
        return 0;
    }
    const std::int64_t size = m_file->Size();
    if (item.offset > size) {
        return 0;
    }
    if (upload) {
        // A (re)started upload owns everything from its offset on; bytes of a
        // broken earlier attempt beyond it must not survive.
        if (!m_file->Truncate(item.offset)) {
            return 0;
        }
        m_received = 0;
    } else {
        m_remaining = std::min(item.byteCount, size - item.offset);
    }
    m_position = item.offset;
    m_item = item;
    m_stream = m_mode;
    return 1;
}

bool CPvrSession::BulkOut(const wire::Header& header) {
    wire::BulkRequest request{};
    if (m_payload.size() != sizeof request) {
        m_server.Log("protocol error: bad bulk-out request; connection closed");
        return false;
    }
    std::memcpy(&request, m_payload.data(), sizeof request);
    if (request.length > wire::kMaxBulkLength) {
        m_server.Log("protocol error: bad bulk-out request; connection closed");
        return false;
    }
    const bool fail = m_server.NextBulkOutFails();
    if (fail) {
        m_server.Log("bulk-out call failed (fault)");
    }
    bool accept = !fail && m_stream == Mode::Upload;
    std::int64_t accepted = 0;
    std::uint32_t got = 0;
    bool aborted = false;
    while (got < request.length) {
        wire::Header frame{};
        if (!ReadHeader(&frame)) {
            return false;
        }
        const auto code = static_cast<wire::Code>(frame.code);
        if (code == wire::Code::Abort) {
            aborted = true;
            break;
        }
        if (code != wire::Code::BulkData || frame.length > wire::kBulkFrame ||
            frame.length > request.length - got) {
            m_server.Log("protocol error: bad bulk data; connection closed");
            return false;
        }
        if (!ReadGrowing(&m_buffer, frame.length)) {
            return false;
        }
        const std::int64_t allowed = m_server.AllowBulkBytes(frame.length);
        if (accept) {
            const std::int64_t room = m_item.byteCount - m_received;
            const std::int64_t take = std::min(allowed, room);
            const std::int64_t wrote =
                take > 0 ? m_file->Append(m_buffer.data(), static_cast<std::size_t>(take)) : 0;
            m_received += wrote;
            m_position += wrote;
            accepted += wrote;
            accept = wrote == take && take == frame.length;
        }
        if (allowed < frame.length) {
            m_server.PullCable("unplugged during bulk-out (fault)");
            return false;
        }
        got += frame.length;
    }
    if (!aborted) {
        const Wait wait = DelayWatchingAbort();
        if (wait == Wait::Gone) {
            return false;
        }
    }
    return Reply(header, static_cast<std::int32_t>(accepted));
}

bool CPvrSession::BulkIn(const wire::Header& header) {
    wire::BulkRequest request{};
    if (m_payload.size() != sizeof request) {
        return Reply(header, -1);
    }
    std::memcpy(&request, m_payload.data(), sizeof request);
    if (request.length > wire::kMaxBulkLength) {
        return Reply(header, -1);
    }
    const Wait wait = DelayWatchingAbort();
    if (wait == Wait::Gone) {
        return false;
    }
    if (wait == Wait::Aborted || m_stream != Mode::Download) {
        return Reply(header, 0);
    }
    // The reply goes out a frame at a time: a host that asks for 64 MiB gets
    // no 64 MiB buffer.
    std::int64_t want =
        std::max<std::int64_t>(0, std::min({static_cast<std::int64_t>(request.length), m_remaining,
                                            m_file->Size() - m_position}));
    const auto frame = static_cast<std::int64_t>(wire::kBulkFrame);
    m_buffer.resize(static_cast<std::size_t>(std::clamp<std::int64_t>(want, 1, frame)));
    Account();
    std::int64_t got = want > 0 ? m_file->ReadAt(m_position, m_buffer.data(),
                                                 static_cast<std::size_t>(std::min(want, frame)))
                                : 0;
    if (got < 0) {
        return Reply(header, -1);
    }
    if (got < std::min(want, frame)) {
        want = got;  // the file ended early
    }
    const std::int64_t allowed = m_server.AllowBulkBytes(want);
    wire::Header reply =
        wire::MakeHeader(wire::Code::BulkIn, header.seq, static_cast<std::uint32_t>(want),
                         static_cast<std::int32_t>(want));
    iovec head[1] = {{&reply, sizeof reply}};
    if (!WriteAll(m_fd, head, 1)) {
        return false;
    }
    for (std::int64_t sent = 0; sent < allowed;) {
        if (sent > 0) {
            const std::int64_t size = std::min(want - sent, frame);
            got =
                m_file->ReadAt(m_position + sent, m_buffer.data(), static_cast<std::size_t>(size));
            if (got != size) {
                // The promised bytes are gone: the reply cannot be finished.
                m_server.Log("disk read failed during bulk-in; connection closed");
                return false;
            }
        }
        iovec body[1] = {
            {m_buffer.data(), static_cast<std::size_t>(std::min(got, allowed - sent))}};
        if (!WriteAll(m_fd, body, 1)) {
            return false;
        }
        sent += got;
    }
    if (allowed < want) {
        m_server.PullCable("unplugged during bulk-in (fault)");
        return false;
    }
    m_position += want;
    m_remaining -= want;
    return true;
}

std::int32_t CPvrSession::Completion() {
    if (m_stream != Mode::Upload || m_received != m_item.byteCount) {
        return 0;
    }
    if (m_server.Options().refuseCompletion) {
        m_server.Log("completion refused (fault)");
        return 0;
    }
    if (m_item.kind != TRANSFER_KIND_FILE) {
        // The image stays where it came; the record says which one came last.
        const ImageRecord record{m_item.kind, m_file->Size(), LastComponent(m_path)};
        m_server.Log(std::string("software image received: ") + m_path + " (" +
                     ImageKindName(m_item.kind) + ", " + std::to_string(record.size) + " bytes)");
        if (!m_server.Disk().WriteWhole(std::string(kFirmwareFolder) + kImageRecordName,
                                        FormatImageRecord(record))) {
            m_server.Log(std::string("cannot write ") + kImageRecordName);
        }
    }
    return 1;
}

}  // namespace pvrd
