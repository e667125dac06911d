// The device-access library: every access to the PVR goes through these calls.
// The records they take and fill are those of device/records.h.
#pragma once

#include <cstdint>

#include "device/records.h"
#include "platform/message.h"

static_assert(sizeof(bool) == 1, "a bool result of the library is one byte");

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
