// The records every transfer shares: the batch of items a command builds and a
// worker moves, and the progress record the worker fills for whoever shows it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/tavrixapi.h"

constexpr int kMaxTransferItems = 100;
// PC paths of the batch fit this many bytes with their terminating zero.
constexpr std::size_t kTransferPcPathSize = 260;

// Bytes per bulk call, and the size of the worker's buffer.
constexpr std::uint32_t kHighSpeedChunk = 0x200000;
constexpr std::uint32_t kFullSpeedChunk = 0x100000;
constexpr std::uint32_t ChunkSizeForSpeed(std::uint32_t speed) {
    return speed != 0 ? kHighSpeedChunk : kFullSpeedChunk;
}

// The answers of the overwrite/resume prompt.
enum XferAnswer : int {
    XFER_CANCEL = 1012,
    XFER_OVERWRITE = 1014,
    XFER_RESUME = 1015,
    XFER_OVERWRITE_ALL = 1018,
    XFER_RESUME_ALL = 1019,
};

struct TransferBatch {
    std::array<TransferItem, kMaxTransferItems> items{};
    std::array<std::string, kMaxTransferItems> pcPaths;  // parallel to items
    int currentIndex = 0;
    int itemCount = 0;

    void Reset() {
        currentIndex = 0;
        itemCount = 0;
    }
    bool Empty() const { return itemCount == 0; }
    const TransferItem& Current() const { return items[static_cast<std::size_t>(currentIndex)]; }
    TransferItem& Current() { return items[static_cast<std::size_t>(currentIndex)]; }
    const std::string& CurrentPcPath() const {
        return pcPaths[static_cast<std::size_t>(currentIndex)];
    }
};

// What the progress window shows of the current item: offset + done out of
// offset + byteCount. The worker writes it, the window reads copies of it.
struct TransferProgress {
    std::int64_t byteCount;  // the item's byte count at the start of its run
    std::int64_t offset;     // bytes already in place when the run started
    std::int64_t done;       // bytes moved in this run
    char source[260];
    char destination[260];
};
static_assert(sizeof(TransferProgress) == 544);
static_assert(offsetof(TransferProgress, byteCount) == 0);
static_assert(offsetof(TransferProgress, offset) == 8);
static_assert(offsetof(TransferProgress, done) == 16);
static_assert(offsetof(TransferProgress, source) == 24);
static_assert(offsetof(TransferProgress, destination) == 284);
