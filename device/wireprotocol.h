// The link between the library and the PVR, modelled on USB: control requests
// that get one status reply, and bulk data in and out. Both the library and the
// emulator speak it; this is the one table of its request codes. The records
// it carries are those of device/records.h.
//
// Every message starts with a Header. A request's payload follows its header;
// the reply carries the request's code and sequence number, a status and its
// own payload. A bulk-out request is followed by BulkData messages up to the
// announced length (or an Abort), and only then answered. Abort never gets a
// reply: it cuts short the bulk call in progress, if any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/records.h"

namespace wire {

constexpr std::uint32_t kMagic = 0x31565854;  // "TXV1"
constexpr std::uint32_t kVersion = 1;

#define TAVRIX_WIRE_CODES(X)       \
    X(Hello, 1)                    \
    X(GetDescriptor, 2)            \
    X(FindFile, 3)                 \
    X(FindNext, 4)                 \
    X(FindClose, 5)                \
    X(FCntl, 6)                    \
    X(RequestAvfSize, 7)           \
    X(RequestDataTransfer, 8)      \
    X(BulkOut, 9)                  \
    X(BulkData, 10)                \
    X(BulkIn, 11)                  \
    X(Flush, 12)                   \
    X(RequestDataCompletion, 13)   \
    X(RequestDataTransferStop, 14) \
    X(Abort, 15)                   \
    X(Ping, 16)

enum class Code : std::uint16_t {
#define TAVRIX_WIRE_ENUM(name, value) name = (value),
    TAVRIX_WIRE_CODES(TAVRIX_WIRE_ENUM)
#undef TAVRIX_WIRE_ENUM
};

// The code's name for traces and logs ("?" for an unknown one).
inline const char* CodeName(Code code) {
    switch (code) {
#define TAVRIX_WIRE_NAME(name, value) \
    case Code::name:                  \
        return #name;
        TAVRIX_WIRE_CODES(TAVRIX_WIRE_NAME)
#undef TAVRIX_WIRE_NAME
    }
    return "?";
}

struct Header {
    std::uint32_t magic;
    std::uint16_t code;
    std::uint16_t flags;
    std::uint32_t seq;
    std::int32_t status;   // replies only
    std::uint32_t length;  // payload bytes that follow
    std::uint32_t reserved;
};
static_assert(sizeof(Header) == 24);

struct HelloRequest {
    std::uint32_t version;
};

struct FindNextRequest {
    std::int32_t handle;
    std::int32_t capacity;
};

struct BulkRequest {
    std::uint32_t length;  // out: bytes announced; in: bytes wanted
};

// No request needs more than a few hundred bytes (a FileControlBlock).
constexpr std::uint32_t kMaxRequestPayload = 4096;
constexpr std::int32_t kMaxFindCapacity = 20000;
// Bulk calls larger than this are refused before anything is sent.
constexpr std::uint32_t kMaxBulkLength = 64u << 20;
// Bulk-out data travels in frames of at most this size, so an abort never has
// to wait for more than one frame to finish.
constexpr std::uint32_t kBulkFrame = 256u << 10;
// The longest pattern FindFile accepts, without its terminating zero.
constexpr std::size_t kMaxPatternLength = 259;

// Where the two ends of the cable meet: TAVRIX_PVR_SOCKET, else
// $XDG_RUNTIME_DIR/tavrix-pvr.sock, else /tmp/tavrix-pvr-$UID.sock.
std::string DefaultSocketPath();

inline Header MakeHeader(Code code, std::uint32_t seq, std::uint32_t length,
                         std::int32_t status = 0) {
    return Header{kMagic, static_cast<std::uint16_t>(code), 0, seq, status, length, 0};
}

}  // namespace wire
