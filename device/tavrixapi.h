// The device-access library: every access to the PVR goes through these calls.
//
// The records below cross the library boundary and the wire to the device, so
// their layouts are fixed (little-endian, no hidden padding). Every size and
// field offset is pinned, so a careless edit breaks the build instead of the
// device.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "platform/message.h"

static_assert(std::endian::native == std::endian::little,
              "the device records are little-endian and are copied as they are");
static_assert(sizeof(bool) == 1, "a bool result of the library is one byte");

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

// Posted to the window given to TAVRIX_InitDevice; no parameters.
constexpr UINT TAVRIX_WM_ARRIVAL = WM_USER + 33;  // a PVR became available
constexpr UINT TAVRIX_WM_REMOVAL = WM_USER + 34;  // the PVR went away

// Opens the library and starts watching for the PVR. A PVR that is already
// there is connected before this returns and announced like a new one. With a
// null window nothing is posted. False when the library was already open.
bool TAVRIX_InitDevice(HWND hWnd);
// Stops watching, aborts pending calls and releases everything.
void TAVRIX_UninitDevice();
bool TAVRIX_DevicePresent();
bool TAVRIX_GetDeviceDescriptor(DeviceDescriptor* descriptor);

// pattern: a PVR folder path with a trailing "\" and "*.*". 0: error; else the
// listing has started and TAVRIX_FindNext collects it.
int TAVRIX_FindFile(const char* pattern);
// -1: busy, ask later; 0: no (more) entries; n > 0: n entries written, at most
// capacity. Calling again after n > 0 continues the listing.
int TAVRIX_FindNext(int handle, int capacity, StbDiskSpace* diskSpace, StbFindData* entries);
void TAVRIX_FindClose(int handle);

bool TAVRIX_FCntl(const FileControlBlock* fcb);

// Bytes to move for a recording's .AVF item (its pvrPath, direction and offset
// set): for a download the size of the .AVF on the disk from offset on, false
// when there is none; for an upload the PVR's fixed .AVF size.
bool TAVRIX_RequestAVFSize(std::int64_t* byteCount, const TransferItem* item);

// Starts the stream of the open file: from item->offset, item->byteCount bytes.
bool TAVRIX_RequestDataTransfer(const TransferItem* item);
// Bytes accepted; <= 0 on failure. A time-out of 0 means the library's default.
int TAVRIX_BulkOUT(const void* buffer, std::uint32_t length, std::uint32_t timeoutMs);
// Bytes delivered; 0 at the end of the stream, < 0 on failure.
int TAVRIX_BulkIN(void* buffer, std::uint32_t length, std::uint32_t timeoutMs);
void TAVRIX_Flush();
// 1 only when the device received every byte the upload stream announced.
std::uint8_t TAVRIX_RequestDataCompletion();
void TAVRIX_RequestDataTransferStop();
// Makes a bulk call pending on another thread return at once with a failure.
void TAVRIX_BulkCancel();
