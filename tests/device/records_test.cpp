// The records cross the wire as raw bytes: a field written through the struct
// must land at its place in little-endian order.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/tavrixapi.h"

namespace {

template <typename Record>
std::vector<unsigned char> BytesOf(const Record& record) {
    std::vector<unsigned char> bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

struct FieldCase {
    const char* name;
    std::vector<unsigned char> bytes;
    std::size_t offset;
    std::vector<unsigned char> expected;
};

std::vector<FieldCase> Cases() {
    DeviceDescriptor d{};
    std::strcpy(d.productName, "P");
    std::strcpy(d.oemName, "O");
    d.stbVersion = 0x0105;
    d.usbVersion = 0x01010000;
    d.speed = 1;

    FileControlBlock f{};
    f.command = FCNTL_RENAME;
    f.offset = 0x0102030405060708;
    std::strcpy(f.path, "A");
    std::strcpy(f.secondPath, "B");

    TransferItem t{};
    t.kind = TRANSFER_KIND_FILE;
    t.direction = TRANSFER_DOWNLOAD;
    std::strcpy(t.pvrPath, "C");
    t.chunkSize = 0x200000;
    t.offset = 0x300000;
    t.byteCount = 0x0000000100000002;

    StbFindData e{};
    std::strcpy(e.name, "N");
    e.kind = STB_ENTRY_FOLDER;
    e.year = 2005;
    e.month = 3;
    e.day = 21;
    e.hour = 18;
    e.minute = 30;
    e.second = 59;
    e.size = 0x0A0B0C0D;

    StbDiskSpace s{};
    s.freeBytes = 0x1122;
    s.totalBytes = 0x3344;

    return {
        {"descriptor product", BytesOf(d), 0, {'P', 0}},
        {"descriptor oem", BytesOf(d), 20, {'O', 0}},
        {"descriptor stb version", BytesOf(d), 40, {0x05, 0x01, 0, 0}},
        {"descriptor usb version", BytesOf(d), 44, {0x00, 0x00, 0x01, 0x01}},
        {"descriptor speed", BytesOf(d), 48, {1, 0, 0, 0}},
        {"fcb command and reserved", BytesOf(f), 0, {5, 0, 0, 0, 0, 0, 0, 0}},
        {"fcb offset", BytesOf(f), 8, {8, 7, 6, 5, 4, 3, 2, 1}},
        {"fcb path", BytesOf(f), 16, {'A', 0}},
        {"fcb second path", BytesOf(f), 138, {'B', 0}},
        {"item kind and direction", BytesOf(t), 0, {4, 1, 'C', 0}},
        {"item chunk size", BytesOf(t), 124, {0, 0, 0x20, 0}},
        {"item offset", BytesOf(t), 128, {0, 0, 0x30, 0, 0, 0, 0, 0}},
        {"item byte count", BytesOf(t), 136, {2, 0, 0, 0, 1, 0, 0, 0}},
        {"entry name", BytesOf(e), 0, {'N', 0}},
        {"entry kind and time", BytesOf(e), 124, {1, 0, 0, 0, 0xD5, 0x07, 3, 21, 18, 30, 59, 0}},
        {"entry size", BytesOf(e), 136, {0x0D, 0x0C, 0x0B, 0x0A, 0, 0, 0, 0}},
        {"disk space", BytesOf(s), 0, {0x22, 0x11, 0, 0, 0, 0, 0, 0, 0x44, 0x33}},
    };
}

TEST(Records, FieldsLandAtTheirOffsets) {
    for (const FieldCase& c : Cases()) {
        ASSERT_LE(c.offset + c.expected.size(), c.bytes.size()) << c.name;
        const std::vector<unsigned char> got(
            c.bytes.begin() + static_cast<std::ptrdiff_t>(c.offset),
            c.bytes.begin() + static_cast<std::ptrdiff_t>(c.offset + c.expected.size()));
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

}  // namespace
