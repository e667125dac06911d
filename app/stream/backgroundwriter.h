// A conversion's target file, written on a thread of its own: the engine fills
// one large chunk while the ones before it are being written, so making the
// output and writing it overlap instead of taking turns. Chunks reach the file
// in order. After the first failed write nothing more is written; what reached
// the file stays there, and every later Write and Finish reports the failure.
// When no thread can be had, chunks are written on the caller's thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/pcfs.h"
#include "platform/thread.h"

class BackgroundWriter {
public:
    static constexpr std::size_t kChunkSize = 256 * 1024;
    static constexpr int kChunks = 4;

    BackgroundWriter() = default;
    // Writes the chunks already handed over (not the one being filled), then
    // joins the thread and closes the file.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Creates or truncates the file.
    bool Open(std::string_view pcPath);
    // Takes the chunks' memory and starts the thread; false when the memory
    // cannot be had.
    bool Start();

    // Appends bytes; false once a write has failed.
    bool Write(const std::uint8_t* data, std::size_t len);
    // Writes everything and waits for it; false when any write failed.
    bool Finish();
    // Finishes and closes the file.
    void Close();

    // A stream sink over a BackgroundWriter.
    static bool Sink(void* ctx, const std::uint8_t* data, std::size_t len);

private:
    void HandOver();
    void WriteChunk(int index);
    void Run();
    void StopThread();
    // Wakes the other side after a counter moved.
    void Notify();
    template <typename Ready>
    void WaitUntil(Ready ready);

    platform::PcFile m_file;
    std::unique_ptr<std::uint8_t[]> m_memory;
    std::uint8_t* m_fill = nullptr;  // the chunk being filled
    std::size_t m_length = 0;        // bytes in it
    std::size_t m_lengths[kChunks] = {};

    // Chunks are handed over and written in turn: chunk n lives at n % kChunks.
    // The counters are read without the lock while waiting briefly; the lock
    // only orders a sleep against the wake-up that ends it.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<std::uint64_t> m_handedOver{0};
    std::atomic<std::uint64_t> m_written{0};
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_failed{false};
    std::unique_ptr<platform::CThread> m_thread;
};
