#include "device/tavrixcalls.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "core/names.h"
#include "device/imagerecord.h"
#include "device/listingrules.h"

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

bool CPvrFile::Open(std::int32_t command, const TransferItem& item) {
    FileControlBlock fcb{};
    if (!BuildFileControlBlock(&fcb, command, FieldText(item.pvrPath))) {
        return false;
    }
    fcb.offset = item.offset;
    m_open = TAVRIX_FCntl(&fcb);
    return m_open;
}

void CPvrFile::Close() {
    if (!m_open) {
        return;
    }
    m_open = false;
    FileControlBlock fcb{};
    BuildFileControlBlock(&fcb, FCNTL_CLOSE, {});
    TAVRIX_FCntl(&fcb);
}

bool ReadPvrFile(const std::string& path, std::int64_t count, std::string* out) {
    out->clear();
    TransferItem item{};
    CPvrFile file;
    if (count < 0 || !CopyPath(item.pvrPath, path) || !file.Open(FCNTL_OPEN_DOWNLOAD, item)) {
        return false;
    }
    item.kind = TRANSFER_KIND_FILE;
    item.direction = TRANSFER_DOWNLOAD;
    item.chunkSize = static_cast<std::uint32_t>(std::min<std::int64_t>(count, 0x100000));
    item.byteCount = count;
    bool ok = TAVRIX_RequestDataTransfer(&item);
    out->resize(static_cast<std::size_t>(count));
    std::size_t got = 0;
    // A device that keeps answering with nothing does not keep the caller.
    int emptyAnswers = 0;
    while (ok && got < out->size() && emptyAnswers < 3) {
        const auto want =
            static_cast<std::uint32_t>(std::min<std::size_t>(out->size() - got, 0x100000));
        const int n = TAVRIX_BulkIN(out->data() + got, want, 0);
        if (n <= 0) {
            ++emptyAnswers;
            continue;
        }
        // The device's count is not trusted past what was asked for.
        got += std::min(static_cast<std::size_t>(n), static_cast<std::size_t>(want));
    }
    file.Close();
    ok = ok && got == out->size();
    if (!ok) {
        out->clear();
    }
    return ok;
}

LastImageEnd ReadLastImage(ImageRecord* out, std::string* error, const ListingBounds& bounds) {
    error->clear();
    FolderListing listing;
    switch (ListFolder(kFirmwareFolder, &listing, bounds)) {
        case ListingEnd::Listed:
            break;
        case ListingEnd::Failed:
            // A PVR without the folder has received no image.
            if (TAVRIX_DevicePresent()) {
                return LastImageEnd::NoneReceived;
            }
            *error = "the PVR went away";
            return LastImageEnd::Failed;
        case ListingEnd::TooManyEntries:
        case ListingEnd::TooSlow:
            *error = std::string("the PVR's listing of ") + kFirmwareFolder + " broke its bounds";
            return LastImageEnd::Failed;
    }
    SanitizeListing(kFirmwareFolder, static_cast<int>(listing.entries.size()),
                    listing.entries.data());
    const StbFindData* entry = nullptr;
    for (const StbFindData& e : listing.entries) {
        if (e.kind == STB_ENTRY_FILE && EqualsNoCase(FieldText(e.name), kImageRecordName)) {
            entry = &e;
            break;
        }
    }
    if (entry == nullptr) {
        return LastImageEnd::NoneReceived;
    }
    const std::string path = std::string(kFirmwareFolder) + kImageRecordName;
    if (entry->size <= 0 || entry->size > static_cast<std::int64_t>(kMaxImageRecordSize)) {
        *error = "the PVR lists " + path + " with " + std::to_string(entry->size) + " bytes";
        return LastImageEnd::Unreadable;
    }
    std::string text;
    if (!ReadPvrFile(path, entry->size, &text)) {
        if (!TAVRIX_DevicePresent()) {
            *error = "the PVR went away";
            return LastImageEnd::Failed;
        }
        *error = "cannot read " + path;
        return LastImageEnd::Unreadable;
    }
    if (!ParseImageRecord(text, out)) {
        *error = path + " is not a sound record";
        return LastImageEnd::Unreadable;
    }
    return LastImageEnd::Received;
}
