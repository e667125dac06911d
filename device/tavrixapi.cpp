// The TAVRIX_* operations on the one opened library of the process.
#include "device/tavrixapi.h"

#include <memory>
#include <mutex>

#include "device/devicecalls.h"
#include "device/tavrixdevice.h"

namespace {

std::mutex g_mutex;
std::shared_ptr<tavrix::CTavrixDevice> g_device;

std::shared_ptr<tavrix::CDeviceLink> CurrentLink() {
    std::shared_ptr<tavrix::CTavrixDevice> device;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        device = g_device;
    }
    return device ? device->Link() : nullptr;
}

}  // namespace

bool TAVRIX_InitDevice(HWND hWnd) {
    std::shared_ptr<tavrix::CTavrixDevice> device;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_device) {
            return false;
        }
        device = std::make_shared<tavrix::CTavrixDevice>(hWnd, wire::DefaultSocketPath(),
                                                         tavrix::CTavrixDevice::DefaultTimeouts());
        g_device = device;
    }
    device->Start();
    return true;
}

void TAVRIX_UninitDevice() {
    std::shared_ptr<tavrix::CTavrixDevice> device;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        device.swap(g_device);
    }
    if (device) {
        device->Stop();
    }
}

bool TAVRIX_DevicePresent() {
    return CurrentLink() != nullptr;
}

bool TAVRIX_GetDeviceDescriptor(DeviceDescriptor* descriptor) {
    const auto link = CurrentLink();
    return link && tavrix::calls::GetDescriptor(*link, descriptor);
}

int TAVRIX_FindFile(const char* pattern) {
    const auto link = CurrentLink();
    return link ? tavrix::calls::FindFile(*link, pattern) : 0;
}

int TAVRIX_FindNext(int handle, int capacity, StbDiskSpace* diskSpace, StbFindData* entries) {
    const auto link = CurrentLink();
    // A lost device is reported as busy: the caller's retry budget turns it
    // into the failed listing it is, instead of an empty folder.
    return link ? tavrix::calls::FindNext(*link, handle, capacity, diskSpace, entries) : -1;
}

void TAVRIX_FindClose(int handle) {
    if (const auto link = CurrentLink()) {
        tavrix::calls::FindClose(*link, handle);
    }
}

bool TAVRIX_FCntl(const FileControlBlock* fcb) {
    const auto link = CurrentLink();
    return link && tavrix::calls::FCntl(*link, fcb);
}

bool TAVRIX_RequestAVFSize(std::int64_t* byteCount, const TransferItem* item) {
    const auto link = CurrentLink();
    return link && tavrix::calls::RequestAvfSize(*link, byteCount, item);
}

bool TAVRIX_RequestDataTransfer(const TransferItem* item) {
    const auto link = CurrentLink();
    return link && tavrix::calls::RequestDataTransfer(*link, item);
}

int TAVRIX_BulkOUT(const void* buffer, std::uint32_t length, std::uint32_t timeoutMs) {
    const auto link = CurrentLink();
    return link ? link->BulkOut(buffer, length,
                                static_cast<int>(std::min<std::uint32_t>(timeoutMs, 1u << 30)))
                : -1;
}

int TAVRIX_BulkIN(void* buffer, std::uint32_t length, std::uint32_t timeoutMs) {
    const auto link = CurrentLink();
    return link ? link->BulkIn(buffer, length,
                               static_cast<int>(std::min<std::uint32_t>(timeoutMs, 1u << 30)))
                : -1;
}

void TAVRIX_Flush() {
    if (const auto link = CurrentLink()) {
        tavrix::calls::Flush(*link);
    }
}

std::uint8_t TAVRIX_RequestDataCompletion() {
    const auto link = CurrentLink();
    return link ? tavrix::calls::RequestDataCompletion(*link) : 0;
}

void TAVRIX_RequestDataTransferStop() {
    if (const auto link = CurrentLink()) {
        tavrix::calls::RequestDataTransferStop(*link);
    }
}

void TAVRIX_BulkCancel() {
    if (const auto link = CurrentLink()) {
        link->CancelBulk();
    }
}
