#include "device/replycheck.h"

#include <cstring>

namespace tavrix {

std::uint64_t ExpectedLength(const ReplyRule& rule, std::int32_t status) {
    std::uint64_t length = rule.always;
    if (status == 1) {
        length += rule.onSuccess;
    }
    if (status > 0) {
        length += static_cast<std::uint64_t>(rule.perCount) * static_cast<std::uint64_t>(status);
    }
    return length;
}

const char* ReplyMismatch(const wire::Header& reply, const ReplyRule& rule, std::uint32_t seq) {
    if (reply.magic != wire::kMagic) {
        return "not a message of the protocol";
    }
    if (reply.code != static_cast<std::uint16_t>(rule.code)) {
        return "answers another call";
    }
    if (reply.seq != seq) {
        return "answers another request";
    }
    if (reply.status < rule.minStatus || reply.status > rule.maxStatus) {
        return "status out of range";
    }
    if (reply.length != ExpectedLength(rule, reply.status)) {
        return "payload does not match the status";
    }
    return nullptr;
}

bool FieldTerminated(const char* field, std::size_t size) {
    return std::memchr(field, '\0', size) != nullptr;
}

bool DescriptorFits(const DeviceDescriptor& descriptor) {
    return FieldTerminated(descriptor.productName, sizeof descriptor.productName) &&
           FieldTerminated(descriptor.oemName, sizeof descriptor.oemName);
}

bool DiskSpaceFits(const StbDiskSpace& space) {
    return space.freeBytes >= 0 && space.totalBytes >= 0;
}

bool EntryFits(const StbFindData& entry) {
    return FieldTerminated(entry.name, sizeof entry.name) &&
           (entry.kind == STB_ENTRY_FILE || entry.kind == STB_ENTRY_FOLDER) && entry.size >= 0;
}

}  // namespace tavrix
