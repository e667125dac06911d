#include "device/tavrixcalls.h"

#include <cstring>
#include <thread>

#include "core/names.h"

namespace {

// How long to wait before asking a busy device again.
constexpr std::chrono::milliseconds kBusyPause{100};

}  // namespace

bool BuildFileControlBlock(FileControlBlock* fcb, std::int32_t command, std::string_view path,
                           std::string_view secondPath) {
    std::memset(fcb, 0, sizeof *fcb);
    fcb->command = command;
    if (!CopyPath(fcb->path, path) || !CopyPath(fcb->secondPath, secondPath)) {
        std::memset(fcb, 0, sizeof *fcb);
        return false;
    }
    return true;
}

ListingEnd ListFolder(const std::string& folder, FolderListing* out, const ListingBounds& bounds) {
    *out = FolderListing{};
    std::string pattern = folder;
    if (pattern.empty() || pattern.back() != '\\') {
        pattern += '\\';
    }
    pattern += "*.*";
    if (bounds.pageCapacity <= 0 || TAVRIX_FindFile(pattern.c_str()) == 0) {
        return ListingEnd::Failed;
    }
    const auto deadline = std::chrono::steady_clock::now() + bounds.deadline;
    std::vector<StbFindData> page(static_cast<std::size_t>(bounds.pageCapacity));
    ListingEnd end = ListingEnd::Listed;
    while (true) {
        if (std::chrono::steady_clock::now() >= deadline) {
            end = ListingEnd::TooSlow;
            break;
        }
        const int n = TAVRIX_FindNext(0, bounds.pageCapacity, &out->space, page.data());
        if (n == -1) {
            if (!TAVRIX_DevicePresent()) {
                end = ListingEnd::Failed;
                break;
            }
            std::this_thread::sleep_for(kBusyPause);
            continue;
        }
        if (n == 0) {
            break;
        }
        // The device's answers are not trusted: more than was asked for is no
        // page of this listing.
        if (n < 0 || n > bounds.pageCapacity) {
            end = ListingEnd::Failed;
            break;
        }
        if (out->entries.size() + static_cast<std::size_t>(n) > bounds.maxEntries) {
            end = ListingEnd::TooManyEntries;
            break;
        }
        out->entries.insert(out->entries.end(), page.begin(), page.begin() + n);
    }
    if (!out->entries.empty()) {
        TAVRIX_FindClose(0);
    }
    return end;
}
