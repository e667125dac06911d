// The library's operations on one link. Each sends its request, holds the
// reply against what it asked, and ends the link on a reply that does not fit,
// so the TAVRIX_* calls only find the link and hand it over.
#pragma once

#include <cstdint>

#include "device/devicelink.h"
#include "device/tavrixapi.h"

namespace tavrix::calls {

bool GetDescriptor(CDeviceLink& link, DeviceDescriptor* descriptor);
int FindFile(CDeviceLink& link, const char* pattern);
// -1 also when the link fails: the caller asks again and finds the device gone.
int FindNext(CDeviceLink& link, int handle, int capacity, StbDiskSpace* diskSpace,
             StbFindData* entries);
void FindClose(CDeviceLink& link, int handle);
bool FCntl(CDeviceLink& link, const FileControlBlock* fcb);
bool RequestAvfSize(CDeviceLink& link, std::int64_t* byteCount, const TransferItem* item);
bool RequestDataTransfer(CDeviceLink& link, const TransferItem* item);
void Flush(CDeviceLink& link);
std::uint8_t RequestDataCompletion(CDeviceLink& link);
void RequestDataTransferStop(CDeviceLink& link);

}  // namespace tavrix::calls
