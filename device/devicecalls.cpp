#include "device/devicecalls.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/replycheck.h"
#include "device/wireprotocol.h"
#include "platform/trace.h"

namespace tavrix::calls {

namespace {

// A call whose only answer is yes or no.
bool YesNo(CDeviceLink& link, wire::Code code, const void* payload, std::uint32_t size) {
    std::int32_t status = 0;
    return link.Control(YesNoRule(code), payload, size, &status) && status == 1;
}

}  // namespace

bool GetDescriptor(CDeviceLink& link, DeviceDescriptor* descriptor) {
    const ReplyRule rule{wire::Code::GetDescriptor, 0, 1, 0, sizeof(DeviceDescriptor)};
    DeviceDescriptor answer{};
    std::int32_t status = 0;
    if (descriptor == nullptr || !link.Control(rule, nullptr, 0, &status, &answer, sizeof answer) ||
        status != 1) {
        return false;
    }
    if (!DescriptorFits(answer)) {
        link.Reject("a descriptor whose names do not end");
        return false;
    }
    *descriptor = answer;
    return true;
}

int FindFile(CDeviceLink& link, const char* pattern) {
    if (pattern == nullptr) {
        return 0;
    }
    const std::size_t length = std::strlen(pattern);
    if (length == 0 || length > wire::kMaxPatternLength ||
        !YesNo(link, wire::Code::FindFile, pattern, static_cast<std::uint32_t>(length))) {
        TRACE_AT("TAVRIX_FindFile: refused");
        return 0;
    }
    return 1;
}

int FindNext(CDeviceLink& link, int handle, int capacity, StbDiskSpace* diskSpace,
             StbFindData* entries) {
    if (capacity <= 0 || entries == nullptr) {
        return 0;
    }
    capacity = std::min(capacity, wire::kMaxFindCapacity);
    const wire::FindNextRequest request{handle, capacity};
    // Every answer brings the disk space; entries follow, as many as the
    // status counts and no more than there is room for.
    const ReplyRule rule{wire::Code::FindNext, -1, capacity,
                         sizeof(StbDiskSpace), 0,  sizeof(StbFindData)};
    std::vector<char> reply(ExpectedLength(rule, capacity));
    std::int32_t status = 0;
    if (!link.Control(rule, &request, sizeof request, &status, reply.data(),
                      static_cast<std::uint32_t>(reply.size()))) {
        return -1;
    }
    StbDiskSpace space{};
    std::memcpy(&space, reply.data(), sizeof space);
    const auto count = static_cast<std::size_t>(std::max(status, 0));
    std::vector<StbFindData> page(count);
    if (count > 0) {
        std::memcpy(static_cast<void*>(page.data()), reply.data() + sizeof space,
                    count * sizeof(StbFindData));
    }
    if (!DiskSpaceFits(space) || !std::all_of(page.begin(), page.end(), EntryFits)) {
        link.Reject("a listing entry or disk space out of range");
        return -1;
    }
    if (diskSpace != nullptr) {
        *diskSpace = space;
    }
    std::copy(page.begin(), page.end(), entries);
    return status;
}

void FindClose(CDeviceLink& link, int handle) {
    std::int32_t status = 0;
    link.Control(YesNoRule(wire::Code::FindClose), &handle, sizeof handle, &status);
}

bool FCntl(CDeviceLink& link, const FileControlBlock* fcb) {
    return fcb != nullptr && YesNo(link, wire::Code::FCntl, fcb, sizeof *fcb);
}

bool RequestAvfSize(CDeviceLink& link, std::int64_t* byteCount, const TransferItem* item) {
    const ReplyRule rule{wire::Code::RequestAvfSize, 0, 1, 0, sizeof(std::int64_t)};
    std::int64_t size = 0;
    std::int32_t status = 0;
    if (byteCount == nullptr || item == nullptr ||
        !link.Control(rule, item, sizeof *item, &status, &size, sizeof size) || status != 1) {
        return false;
    }
    if (size < 0) {
        link.Reject("a negative byte count");
        return false;
    }
    *byteCount = size;
    return true;
}

bool RequestDataTransfer(CDeviceLink& link, const TransferItem* item) {
    return item != nullptr && YesNo(link, wire::Code::RequestDataTransfer, item, sizeof *item);
}

void Flush(CDeviceLink& link) {
    YesNo(link, wire::Code::Flush, nullptr, 0);
}

std::uint8_t RequestDataCompletion(CDeviceLink& link) {
    return YesNo(link, wire::Code::RequestDataCompletion, nullptr, 0) ? 1 : 0;
}

void RequestDataTransferStop(CDeviceLink& link) {
    YesNo(link, wire::Code::RequestDataTransferStop, nullptr, 0);
}

}  // namespace tavrix::calls
