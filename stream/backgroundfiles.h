// A conversion's source and target around one I/O thread of their own. The
// source is read in chunks into a ring that the engine takes its blocks from in
// place; the engine's output is collected in a second ring whose full chunks
// the I/O thread writes out. The I/O thread reads ahead when it has nothing to
// write, and the engine reads a chunk itself when it gets there first, so the
// reading goes to whichever thread has time for it and on a machine with two
// cores neither idles while the other has work.
//
// Chunks reach the target in order. After the first failed write nothing more
// is written; what reached the file stays there, and every later Write and
// Finish reports the failure. A failed read is reported to the engine when it
// reaches the chunk that could not be read. When no thread can be had, the
// chunks are read and written on the caller's thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/pcfs.h"
#include "platform/thread.h"

class BackgroundFiles {
public:
    // With the room in front of each source chunk, both rings fit in one
    // 2 MiB huge page, so at most one has to be faulted in.
    static constexpr std::size_t kChunkSize = 252 * 1024;
    static constexpr int kChunks = 4;  // in each ring
    // The most one Borrow hands out: a block that straddles two source chunks
    // is put together in the room in front of the second.
    static constexpr std::size_t kMaxBorrow = 4096;

    BackgroundFiles() = default;
    // Writes the chunks already handed over (not the one being filled), then
    // joins the thread and closes the files.
    ~BackgroundFiles();
    BackgroundFiles(const BackgroundFiles&) = delete;
    BackgroundFiles& operator=(const BackgroundFiles&) = delete;

    bool OpenSource(std::string_view pcPath);
    // Creates or truncates the file; with CreateNew, fails when it exists.
    bool OpenTarget(std::string_view pcPath,
                    platform::PcFile::Mode mode = platform::PcFile::Mode::Create);
    // The source file, for its size, a header and a seek before Start; reading
    // ahead starts at its position then.
    platform::PcFile& Source() { return m_source; }

    // Takes the rings' memory and starts the thread; false when the memory
    // cannot be had.
    bool Start();

    // The source as the engine sees it. Read copies up to len bytes, fewer only
    // at the end of the data. Borrow hands out the next len bytes (at most
    // kMaxBorrow) in place, valid until the next call; fewer only at the end.
    // Both return the count, 0 at the end and -1 when a read failed.
    long Read(std::uint8_t* out, std::size_t len);
    long Borrow(const std::uint8_t** data, std::size_t len);

    // Appends bytes to the target; false once a write has failed.
    bool Write(const std::uint8_t* data, std::size_t len);
    // Writes everything and waits for it; false when any write failed.
    bool Finish();
    // Finishes and closes the files.
    void Close();

    // A stream sink over a BackgroundFiles.
    static bool Sink(void* ctx, const std::uint8_t* data, std::size_t len);

private:
    // Source side, on the engine's thread.
    bool Acquire();
    void Release();
    // Target side, on the engine's thread.
    void HandOver();
    // On either thread.
    void ReadChunk(std::uint64_t n);
    // On the I/O thread (or the caller's, without one).
    bool ReadAhead();
    void WriteChunk(int index);
    void Run();
    bool HasWork() const;
    void StopThread();
    // Wakes the other side after a counter moved.
    void Notify();
    template <typename Ready>
    void WaitUntil(Ready ready);

    std::uint8_t* SourceChunk(std::uint64_t n) const;
    std::uint8_t* TargetChunk(std::uint64_t n) const;

    platform::PcFile m_source;
    platform::PcFile m_target;
    struct FreeMemory {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<std::uint8_t, FreeMemory> m_memory;

    // The source ring. Chunk n lives at n % kChunks, behind kMaxBorrow bytes of
    // room, once m_ready there says n + 1. A chunk shorter than kChunkSize is
    // the last; a length of -1 says it could not be read. Chunks are claimed
    // for reading in order, by the I/O thread ahead of the engine, or by the
    // engine itself when it would otherwise wait for one nobody has begun:
    // then neither thread idles while the other has work.
    std::int64_t m_sourceBase = 0;
    std::int64_t m_readLengths[kChunks] = {};
    std::atomic<std::uint64_t> m_ready[kChunks] = {};
    std::atomic<std::uint64_t> m_claimed{0};
    std::atomic<std::uint64_t> m_released{0};
    std::atomic<bool> m_sourceEnded{false};  // the last chunk has been claimed
    // The engine's place in the source: chunk m_released, at m_readPos.
    bool m_acquired = false;
    const std::uint8_t* m_readData = nullptr;
    std::int64_t m_readLength = 0;
    std::size_t m_readPos = 0;

    // The target ring: chunk n lives at n % kChunks.
    std::uint8_t* m_fill = nullptr;  // the chunk being filled
    std::size_t m_length = 0;        // bytes in it
    std::size_t m_writeLengths[kChunks] = {};
    std::atomic<std::uint64_t> m_handedOver{0};
    std::atomic<std::uint64_t> m_written{0};
    std::atomic<bool> m_failed{false};

    // The counters are read without the lock while waiting briefly; the lock
    // only orders a sleep against the wake-up that ends it.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_closing{false};
    std::unique_ptr<platform::CThread> m_thread;
};
