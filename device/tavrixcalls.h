// Whole operations made of the library's calls, for every program that uses
// the library: one file command's parameter block, and one folder listing
// from start to end.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/tavrixapi.h"

// Fills a FileControlBlock for one device command. False, with the block left
// zeroed, when a path does not fit its field with the terminating zero: a cut
// path would name another file on the device.
bool BuildFileControlBlock(FileControlBlock* fcb, std::int32_t command, std::string_view path,
                           std::string_view secondPath = {});

// A file opened on the PVR, closed again however the work on it ends.
class CPvrFile {
public:
    CPvrFile() = default;
    CPvrFile(const CPvrFile&) = delete;
    CPvrFile& operator=(const CPvrFile&) = delete;
    ~CPvrFile() { Close(); }

    // Opens the item's PVR path with the command (FCNTL_CREATE or an
    // FCNTL_OPEN_*) at the item's offset.
    bool Open(std::int32_t command, const TransferItem& item);
    void Close();

private:
    bool m_open = false;
};

struct FolderListing {
    std::vector<StbFindData> entries;  // as the device listed them
    StbDiskSpace space{};
};

// How far a listing may go before it is given up: a PVR that never ends its
// listing, or never stops saying "busy", must not keep the caller for ever.
struct ListingBounds {
    std::size_t maxEntries = 100000;
    std::chrono::milliseconds deadline{60000};
    int pageCapacity = 1000;  // entries asked for by each TAVRIX_FindNext
};

enum class ListingEnd {
    Listed,          // the whole folder is in the listing
    Failed,          // the device refused the listing or went away
    TooManyEntries,  // more than bounds.maxEntries entries came
    TooSlow,         // the listing had not ended by bounds.deadline
};

// Lists the PVR folder (a full path, with or without its trailing "\") with
// TAVRIX_FindFile, then collects it page by page with TAVRIX_FindNext, waiting
// while the device says it is busy, and ends it with TAVRIX_FindClose once
// entries have come. Only a Listed end leaves a complete listing in *out.
ListingEnd ListFolder(const std::string& folder, FolderListing* out,
                      const ListingBounds& bounds = {});

// Reads the first count bytes of a PVR file into *out: opens it for download,
// requests the stream, takes the bytes with TAVRIX_BulkIN and closes the file
// again. False unless every byte came.
bool ReadPvrFile(const std::string& path, std::int64_t count, std::string* out);

struct ImageRecord;

enum class LastImageEnd {
    Received,      // the PVR's record of the last image it received is in *out
    NoneReceived,  // the PVR keeps no such record: no image has come yet
    Unreadable,    // a record is there but could not be read, or is not sound
    Failed,        // the PVR went away, or its listing broke a bound
};

// What the PVR says about the last software image it received (its record in
// the Firmware folder). *error names the trouble of an Unreadable or a Failed end.
LastImageEnd ReadLastImage(ImageRecord* out, std::string* error, const ListingBounds& bounds = {});
