#include "app/stream/backgroundwriter.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// How long a side polls before it sleeps: about the time the other side takes
// for one chunk. Waking a sleeping thread costs far more than that on a busy
// or virtual machine, and with a sleep on every chunk the two sides would take
// turns instead of overlapping.
constexpr int kPolls = 4096;

void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

BackgroundWriter::~BackgroundWriter() {
    StopThread();
}

bool BackgroundWriter::Open(std::string_view pcPath) {
    return m_file.Open(pcPath, platform::PcFile::Mode::Create);
}

bool BackgroundWriter::Start() {
    m_memory.reset(new (std::nothrow) std::uint8_t[kChunkSize * kChunks]);
    if (!m_memory) {
        return false;
    }
    m_fill = m_memory.get();
    m_length = 0;
    // Without a thread the chunks are written in turn on the caller's thread:
    // slower, but the same file.
    m_thread = platform::CThread::Start([this] { Run(); }, 0);
    return true;
}

bool BackgroundWriter::Write(const std::uint8_t* data, std::size_t len) {
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

bool BackgroundWriter::Sink(void* ctx, const std::uint8_t* data, std::size_t len) {
    return static_cast<BackgroundWriter*>(ctx)->Write(data, len);
}

bool BackgroundWriter::Finish() {
    if (m_length > 0) {
        HandOver();
    }
    if (m_thread) {
        WaitUntil([this] { return m_written.load() == m_handedOver.load(); });
    }
    return !m_failed.load();
}

void BackgroundWriter::Close() {
    Finish();
    StopThread();
    m_file.Close();
}

void BackgroundWriter::HandOver() {
    const std::uint64_t handedOver = m_handedOver.load() + 1;
    const auto index = static_cast<int>((handedOver - 1) % kChunks);
    m_lengths[index] = m_length;
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
    m_fill = m_memory.get() + (handedOver % kChunks) * kChunkSize;
    m_length = 0;
}

void BackgroundWriter::WriteChunk(int index) {
    if (m_failed.load(std::memory_order_relaxed)) {
        return;  // nothing after a failed write
    }
    const std::uint8_t* chunk = m_memory.get() + static_cast<std::size_t>(index) * kChunkSize;
    if (!m_file.Write(chunk, m_lengths[index])) {
        m_failed.store(true);
    }
}

void BackgroundWriter::Run() {
    for (;;) {
        const std::uint64_t written = m_written.load();
        WaitUntil([this, written] { return written < m_handedOver.load() || m_closing.load(); });
        if (written == m_handedOver.load()) {
            return;  // closing, and everything handed over is written
        }
        WriteChunk(static_cast<int>(written % kChunks));
        m_written.store(written + 1);
        Notify();
    }
}

void BackgroundWriter::Notify() {
    // Taking the lock between the change and the wake-up means a side that saw
    // the old value is either not asleep yet or already woken.
    { const std::lock_guard lock(m_mutex); }
    m_changed.notify_all();
}

template <typename Ready>
void BackgroundWriter::WaitUntil(Ready ready) {
    for (int i = 0; i < kPolls; ++i) {
        if (ready()) {
            return;
        }
        relax();
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, ready);
}

void BackgroundWriter::StopThread() {
    if (!m_thread) {
        return;
    }
    m_closing.store(true);
    Notify();
    // The join checks for the end in whole milliseconds; a thread seen to have
    // ended is joined at once.
    for (int i = 0; i < kPolls && m_thread->IsRunning(); ++i) {
        relax();
    }
    m_thread.reset();  // joins
}
