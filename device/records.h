// The fixed-layout records that cross the device library's boundary and the
// wire to the device, with the constants that fill them. Standard library
// only: the library, the wire protocol and the emulator share them.
//
// The layouts are fixed (little-endian, no hidden padding). Every size and
// field offset is pinned, so a careless edit breaks the build instead of the
// device.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "the device records are little-endian and are copied as they are");

// Describes the attached PVR.
struct DeviceDescriptor {
    char productName[20];      // zero-terminated model name
    char oemName[20];          // zero-terminated company name
    std::uint16_t stbVersion;  // software version: high byte major, low byte minor
    std::uint16_t reserved;
    std::uint32_t usbVersion;  // interface version; only 0x01010000 is compatible
    std::uint32_t speed;       // nonzero: high-speed USB (480 MHz); 0: full speed (12 MHz)
};
static_assert(sizeof(DeviceDescriptor) == 52);
static_assert(offsetof(DeviceDescriptor, productName) == 0);
static_assert(offsetof(DeviceDescriptor, oemName) == 20);
static_assert(offsetof(DeviceDescriptor, stbVersion) == 40);
static_assert(offsetof(DeviceDescriptor, reserved) == 42);
static_assert(offsetof(DeviceDescriptor, usbVersion) == 44);
static_assert(offsetof(DeviceDescriptor, speed) == 48);

constexpr std::uint32_t TAVRIX_USB_VERSION = 0x01010000;

// Commands of TAVRIX_FCntl. 6 is not a command.
enum : std::int32_t {
    FCNTL_CREATE = 0,         // create a file for upload (path)
    FCNTL_OPEN_UPLOAD = 1,    // open for upload, continuing at offset (path, offset)
    FCNTL_OPEN_DOWNLOAD = 2,  // open for download, starting at offset (path, offset)
    FCNTL_CLOSE = 3,          // close the open file
    FCNTL_DELETE = 4,         // delete a file (path)
    FCNTL_RENAME = 5,         // rename a file or folder (path, secondPath)
    FCNTL_REMOVE_FOLDER = 7,  // remove an empty folder (path)
    FCNTL_MAKE_FOLDER = 8,    // make a folder (path)
};

// The parameter block of TAVRIX_FCntl; zero it before each use. Paths are full,
// zero-terminated PVR paths (C:\PVR\AV\name).
struct FileControlBlock {
    std::int32_t command;
    std::int32_t reserved;
    std::int64_t offset;
    char path[122];
    char secondPath[126];
};
static_assert(sizeof(FileControlBlock) == 264);
static_assert(offsetof(FileControlBlock, command) == 0);
static_assert(offsetof(FileControlBlock, reserved) == 4);
static_assert(offsetof(FileControlBlock, offset) == 8);
static_assert(offsetof(FileControlBlock, path) == 16);
static_assert(offsetof(FileControlBlock, secondPath) == 138);

enum : std::uint8_t {
    TRANSFER_KIND_FIRMWARE = 0,
    TRANSFER_KIND_BOOT_LOADER = 1,
    TRANSFER_KIND_DATABASE = 2,
    TRANSFER_KIND_FILE = 4,
};
enum : std::uint8_t {
    TRANSFER_UPLOAD = 0,    // PC -> PVR
    TRANSFER_DOWNLOAD = 1,  // PVR -> PC
};

// One file of a transfer.
struct TransferItem {
    std::uint8_t kind;
    std::uint8_t direction;
    char pvrPath[122];
    std::uint32_t chunkSize;
    std::int64_t offset;     // where this run starts in the file
    std::int64_t byteCount;  // bytes still to move from offset on
};
static_assert(sizeof(TransferItem) == 144);
static_assert(offsetof(TransferItem, kind) == 0);
static_assert(offsetof(TransferItem, direction) == 1);
static_assert(offsetof(TransferItem, pvrPath) == 2);
static_assert(offsetof(TransferItem, chunkSize) == 124);
static_assert(offsetof(TransferItem, offset) == 128);
static_assert(offsetof(TransferItem, byteCount) == 136);

enum : std::int32_t {
    STB_ENTRY_FILE = 0,
    STB_ENTRY_FOLDER = 1,
};

// One listing entry. An empty name marks a slot without an entry.
struct StbFindData {
    char name[124];
    std::int32_t kind;
    std::uint16_t year;  // local time of the entry's time stamp
    std::uint8_t month;
    std::uint8_t day;
    std::uint8_t hour;
    std::uint8_t minute;
    std::uint8_t second;
    std::uint8_t padding;
    std::int64_t size;
};
static_assert(sizeof(StbFindData) == 144);
static_assert(offsetof(StbFindData, name) == 0);
static_assert(offsetof(StbFindData, kind) == 124);
static_assert(offsetof(StbFindData, year) == 128);
static_assert(offsetof(StbFindData, month) == 130);
static_assert(offsetof(StbFindData, day) == 131);
static_assert(offsetof(StbFindData, hour) == 132);
static_assert(offsetof(StbFindData, minute) == 133);
static_assert(offsetof(StbFindData, second) == 134);
static_assert(offsetof(StbFindData, padding) == 135);
static_assert(offsetof(StbFindData, size) == 136);

struct StbDiskSpace {
    std::int64_t freeBytes;
    std::int64_t totalBytes;
};
static_assert(sizeof(StbDiskSpace) == 16);
static_assert(offsetof(StbDiskSpace, freeBytes) == 0);
static_assert(offsetof(StbDiskSpace, totalBytes) == 8);
