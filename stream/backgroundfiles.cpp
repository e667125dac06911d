#include "stream/backgroundfiles.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// How long a side polls before it sleeps: about the time the other side takes
// for one chunk. Waking a sleeping thread costs far more than that on a busy
// or virtual machine, and with a sleep on every chunk the two sides would take
// turns instead of overlapping.
constexpr int kPolls = 4096;

constexpr std::size_t kSourceSlot = BackgroundFiles::kMaxBorrow + BackgroundFiles::kChunkSize;
constexpr std::size_t kSourceRing = kSourceSlot * BackgroundFiles::kChunks;
constexpr std::size_t kTargetRing = BackgroundFiles::kChunkSize * BackgroundFiles::kChunks;
constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kMemorySize =
    (kSourceRing + kTargetRing + kHugePage - 1) / kHugePage * kHugePage;
static_assert(kMemorySize == kHugePage, "the rings no longer fit one huge page");

void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

BackgroundFiles::~BackgroundFiles() {
    StopThread();
}

bool BackgroundFiles::OpenSource(std::string_view pcPath) {
    return m_source.Open(pcPath, platform::PcFile::Mode::Read);
}

bool BackgroundFiles::OpenTarget(std::string_view pcPath, platform::PcFile::Mode mode) {
    return m_target.Open(pcPath, mode);
}

bool BackgroundFiles::Start() {
    // Both rings on a huge page where the system gives one: the kernel's copies
    // and the engine then miss the TLB far less, which took about 7% off the
    // whole conversion here. On a virtual machine the first touch of a huge
    // page the host has to back afresh can take a fifth of a second; that is
    // once per conversion, against 7% of every second of converting.
    void* memory = nullptr;
    if (posix_memalign(&memory, kHugePage, kMemorySize) != 0) {
        return false;
    }
    madvise(memory, kMemorySize, MADV_HUGEPAGE);  // a hint; without it, small pages
    m_memory.reset(static_cast<std::uint8_t*>(memory));
    m_fill = TargetChunk(0);
    m_length = 0;
    m_sourceBase = m_source.Position();
    // Without a thread the chunks are read and written in turn on the
    // caller's thread: slower, but the same file.
    m_thread = platform::CThread::Start([this] { Run(); }, 0);
    return true;
}

std::uint8_t* BackgroundFiles::SourceChunk(std::uint64_t n) const {
    return m_memory.get() + (n % kChunks) * kSourceSlot + kMaxBorrow;
}

std::uint8_t* BackgroundFiles::TargetChunk(std::uint64_t n) const {
    return m_memory.get() + kSourceRing + (n % kChunks) * kChunkSize;
}

// ---- the source, on the engine's thread ----

bool BackgroundFiles::Acquire() {
    if (!m_acquired) {
        const std::uint64_t n = m_released.load(std::memory_order_relaxed);
        const std::atomic<std::uint64_t>& ready = m_ready[n % kChunks];
        if (ready.load() != n + 1) {
            std::uint64_t unclaimed = n;
            if (m_claimed.compare_exchange_strong(unclaimed, n + 1)) {
                ReadChunk(n);  // nobody has begun it: read it rather than wait
            } else {
                WaitUntil([&ready, n] { return ready.load() == n + 1; });
            }
        }
        m_readLength = m_readLengths[n % kChunks];
        m_readData = SourceChunk(n);
        m_readPos = 0;
        m_acquired = true;
    }
    return m_readLength >= 0;
}

void BackgroundFiles::Release() {
    m_acquired = false;
    m_released.store(m_released.load(std::memory_order_relaxed) + 1);
    if (m_thread) {
        Notify();
    }
}

long BackgroundFiles::Read(std::uint8_t* out, std::size_t len) {
    std::size_t given = 0;
    while (given < len) {
        if (!Acquire()) {
            return -1;
        }
        const auto length = static_cast<std::size_t>(m_readLength);
        if (m_readPos == length) {
            if (length < kChunkSize) {
                break;  // the end of the data
            }
            Release();
            continue;
        }
        const std::size_t n = std::min(len - given, length - m_readPos);
        std::memcpy(out + given, m_readData + m_readPos, n);
        m_readPos += n;
        given += n;
    }
    return static_cast<long>(given);
}

long BackgroundFiles::Borrow(const std::uint8_t** data, std::size_t len) {
    len = std::min(len, kMaxBorrow);
    if (!Acquire()) {
        return -1;
    }
    const auto length = static_cast<std::size_t>(m_readLength);
    const std::size_t left = length - m_readPos;
    if (left >= len || length < kChunkSize) {
        const std::size_t n = std::min(len, left);
        *data = m_readData + m_readPos;
        m_readPos += n;
        return static_cast<long>(n);
    }
    // The block goes on in the next chunk: carry this one's tail into the room
    // in front of it, so the block lies in one piece.
    std::uint8_t* next = SourceChunk(m_released.load(std::memory_order_relaxed) + 1);
    std::memmove(next - left, m_readData + m_readPos, left);
    Release();
    if (!Acquire()) {
        return -1;
    }
    const std::size_t more = std::min(len - left, static_cast<std::size_t>(m_readLength));
    *data = m_readData - left;
    m_readPos = more;
    return static_cast<long>(left + more);
}

// ---- the target, on the engine's thread ----

bool BackgroundFiles::Write(const std::uint8_t* data, std::size_t len) {
    while (len > 0) {
        if (m_failed.load(std::memory_order_relaxed)) {
            return false;
        }
        const std::size_t n = std::min(len, kChunkSize - m_length);
        std::memcpy(m_fill + m_length, data, n);
        m_length += n;
        data += n;
        len -= n;
        if (m_length == kChunkSize) {
            HandOver();
        }
    }
    return !m_failed.load(std::memory_order_relaxed);
}

bool BackgroundFiles::Sink(void* ctx, const std::uint8_t* data, std::size_t len) {
    return static_cast<BackgroundFiles*>(ctx)->Write(data, len);
}

bool BackgroundFiles::Finish() {
    if (m_length > 0) {
        HandOver();
    }
    if (m_thread) {
        WaitUntil([this] { return m_written.load() == m_handedOver.load(); });
    }
    return !m_failed.load();
}

void BackgroundFiles::Close() {
    if (m_memory) {
        Finish();
    }
    StopThread();
    m_target.Close();
    m_source.Close();
}

void BackgroundFiles::HandOver() {
    const std::uint64_t handedOver = m_handedOver.load() + 1;
    const auto index = static_cast<int>((handedOver - 1) % kChunks);
    m_writeLengths[index] = m_length;
    if (m_thread) {
        m_handedOver.store(handedOver);
        Notify();
        // The next chunk to fill must have been written first.
        WaitUntil([this, handedOver] {
            return handedOver - m_written.load() < static_cast<std::uint64_t>(kChunks);
        });
    } else {
        WriteChunk(index);
        m_handedOver.store(handedOver);
        m_written.store(handedOver);
    }
    m_fill = TargetChunk(handedOver);
    m_length = 0;
}

// ---- the I/O side ----

void BackgroundFiles::ReadChunk(std::uint64_t n) {
    const std::int64_t offset = m_sourceBase + static_cast<std::int64_t>(n * kChunkSize);
    const std::int64_t got = m_source.ReadAt(SourceChunk(n), kChunkSize, offset);
    m_readLengths[n % kChunks] = got;
    if (got < static_cast<std::int64_t>(kChunkSize)) {
        m_sourceEnded = true;  // the end of the file, or a failure: nothing after it
    }
    m_ready[n % kChunks].store(n + 1);
}

bool BackgroundFiles::ReadAhead() {
    if (m_sourceEnded.load() || m_closing.load()) {
        return false;
    }
    std::uint64_t next = m_claimed.load();
    if (next - m_released.load() >= static_cast<std::uint64_t>(kChunks)) {
        return false;  // the ring is full
    }
    if (m_claimed.compare_exchange_strong(next, next + 1)) {
        ReadChunk(next);
        Notify();
    }
    return true;
}

void BackgroundFiles::WriteChunk(int index) {
    if (m_failed.load(std::memory_order_relaxed)) {
        return;  // nothing after a failed write
    }
    const std::uint8_t* chunk = TargetChunk(static_cast<std::uint64_t>(index));
    if (!m_target.Write(chunk, m_writeLengths[index])) {
        m_failed.store(true);
    }
}

bool BackgroundFiles::HasWork() const {
    if (m_written.load() < m_handedOver.load()) {
        return true;
    }
    return !m_sourceEnded.load() && !m_closing.load() &&
           m_claimed.load() - m_released.load() < static_cast<std::uint64_t>(kChunks);
}

void BackgroundFiles::Run() {
    for (;;) {
        WaitUntil([this] { return HasWork() || m_closing.load(); });
        // Writing comes first: only this thread writes, while the engine reads
        // any chunk it reaches before this thread has begun it. So this thread
        // reads ahead only when it has nothing to write, and the reading falls
        // to whichever side has time for it.
        const std::uint64_t written = m_written.load();
        if (written < m_handedOver.load()) {
            WriteChunk(static_cast<int>(written % kChunks));
            m_written.store(written + 1);
            Notify();
            continue;
        }
        if (!ReadAhead() && m_closing.load() && m_written.load() == m_handedOver.load()) {
            return;  // closing, and everything handed over is written
        }
    }
}

void BackgroundFiles::Notify() {
    // Taking the lock between the change and the wake-up means a side that saw
    // the old value is either not asleep yet or already woken.
    { const std::lock_guard lock(m_mutex); }
    m_changed.notify_all();
}

template <typename Ready>
void BackgroundFiles::WaitUntil(Ready ready) {
    for (int i = 0; i < kPolls; ++i) {
        if (ready()) {
            return;
        }
        relax();
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, ready);
}

void BackgroundFiles::StopThread() {
    if (!m_thread) {
        return;
    }
    m_closing.store(true);
    Notify();
    m_thread.reset();  // joins
}
