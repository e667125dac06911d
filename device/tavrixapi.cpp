// The TAVRIX_* operations on the one opened library of the process.
#include "device/tavrixapi.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "device/tavrixdevice.h"
#include "device/wireprotocol.h"
#include "platform/trace.h"

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

// A control call whose only answer is its status.
bool Simple(wire::Code code, const void* payload, std::uint32_t size, std::int32_t* status) {
    const auto link = CurrentLink();
    return link && link->Control(code, payload, size, status);
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
    DeviceDescriptor answer{};
    std::int32_t status = 0;
    std::uint32_t size = 0;
    if (descriptor == nullptr || !link ||
        !link->Control(wire::Code::GetDescriptor, nullptr, 0, &status, &answer, sizeof answer,
                       &size) ||
        status != 1 || size != sizeof answer) {
        return false;
    }
    *descriptor = answer;
    return true;
}

int TAVRIX_FindFile(const char* pattern) {
    if (pattern == nullptr) {
        return 0;
    }
    const std::size_t length = std::strlen(pattern);
    std::int32_t status = 0;
    if (length == 0 || length > wire::kMaxPatternLength ||
        !Simple(wire::Code::FindFile, pattern, static_cast<std::uint32_t>(length), &status)) {
        TRACE_AT("TAVRIX_FindFile: refused");
        return 0;
    }
    return status == 1 ? 1 : 0;
}

int TAVRIX_FindNext(int handle, int capacity, StbDiskSpace* diskSpace, StbFindData* entries) {
    if (capacity <= 0 || entries == nullptr) {
        return 0;
    }
    const auto link = CurrentLink();
    capacity = std::min(capacity, wire::kMaxFindCapacity);
    const wire::FindNextRequest request{handle, capacity};
    std::vector<char> reply(sizeof(StbDiskSpace) +
                            static_cast<std::size_t>(capacity) * sizeof(StbFindData));
    std::int32_t status = 0;
    std::uint32_t size = 0;
    // A lost device is reported as busy: the caller's retry budget turns it
    // into the failed listing it is, instead of an empty folder.
    if (!link || !link->Control(wire::Code::FindNext, &request, sizeof request, &status,
                                reply.data(), static_cast<std::uint32_t>(reply.size()), &size)) {
        return -1;
    }
    if (size >= sizeof(StbDiskSpace) && diskSpace != nullptr) {
        std::memcpy(diskSpace, reply.data(), sizeof(StbDiskSpace));
    }
    if (status <= 0) {
        return status < -1 ? -1 : status;
    }
    const std::size_t count = std::min<std::size_t>(
        static_cast<std::size_t>(status),
        (size - std::min<std::size_t>(size, sizeof(StbDiskSpace))) / sizeof(StbFindData));
    std::memcpy(static_cast<void*>(entries), reply.data() + sizeof(StbDiskSpace),
                count * sizeof(StbFindData));
    return static_cast<int>(count);
}

void TAVRIX_FindClose(int handle) {
    std::int32_t status = 0;
    Simple(wire::Code::FindClose, &handle, sizeof handle, &status);
}

bool TAVRIX_FCntl(const FileControlBlock* fcb) {
    std::int32_t status = 0;
    return fcb != nullptr && Simple(wire::Code::FCntl, fcb, sizeof *fcb, &status) && status == 1;
}

bool TAVRIX_RequestAVFSize(std::int64_t* byteCount, const TransferItem* item) {
    const auto link = CurrentLink();
    std::int64_t size = 0;
    std::int32_t status = 0;
    std::uint32_t got = 0;
    if (byteCount == nullptr || item == nullptr || !link ||
        !link->Control(wire::Code::RequestAvfSize, item, sizeof *item, &status, &size, sizeof size,
                       &got) ||
        status != 1 || got != sizeof size) {
        return false;
    }
    *byteCount = size;
    return true;
}

bool TAVRIX_RequestDataTransfer(const TransferItem* item) {
    std::int32_t status = 0;
    return item != nullptr &&
           Simple(wire::Code::RequestDataTransfer, item, sizeof *item, &status) && status == 1;
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
    std::int32_t status = 0;
    Simple(wire::Code::Flush, nullptr, 0, &status);
}

std::uint8_t TAVRIX_RequestDataCompletion() {
    std::int32_t status = 0;
    return Simple(wire::Code::RequestDataCompletion, nullptr, 0, &status) && status == 1 ? 1 : 0;
}

void TAVRIX_RequestDataTransferStop() {
    std::int32_t status = 0;
    Simple(wire::Code::RequestDataTransferStop, nullptr, 0, &status);
}

void TAVRIX_BulkCancel() {
    if (const auto link = CurrentLink()) {
        link->CancelBulk();
    }
}
