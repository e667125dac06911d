// What a reply of the device may say, held against what was asked.
//
// Nothing in a reply is taken on trust: it must answer this request of this
// protocol, carry a status the call knows, and bring exactly the payload that
// status announces. A reply that does not fit means the device and the library
// no longer agree on the link, so the library treats it like a pulled cable.
// These checks need no socket, so they can be fuzzed on their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/tavrixapi.h"
#include "device/wireprotocol.h"

namespace tavrix {

// The answers one call can get. The payload of a reply is
// always + (status == 1 ? onSuccess : 0) + perCount * max(status, 0) bytes.
struct ReplyRule {
    wire::Code code;
    std::int32_t minStatus;
    std::int32_t maxStatus;
    std::uint32_t always = 0;
    std::uint32_t onSuccess = 0;
    std::uint32_t perCount = 0;
};

// A call whose whole answer is a yes or no.
constexpr ReplyRule YesNoRule(wire::Code code) {
    return ReplyRule{code, 0, 1};
}

// Payload bytes a reply with this status must bring under rule.
std::uint64_t ExpectedLength(const ReplyRule& rule, std::int32_t status);

// Null when reply is rule's answer to request seq, else what is wrong with it.
const char* ReplyMismatch(const wire::Header& reply, const ReplyRule& rule, std::uint32_t seq);

// Records from the device: texts end within their fields, sizes and counts are
// not negative, kinds are known.
bool FieldTerminated(const char* field, std::size_t size);
bool DescriptorFits(const DeviceDescriptor& descriptor);
bool DiskSpaceFits(const StbDiskSpace& space);
bool EntryFits(const StbFindData& entry);

}  // namespace tavrix
