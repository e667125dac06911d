// The PVR's record of the last software image it received: a small text file
// the PVR writes into its Firmware folder once an image has arrived whole and
// been confirmed, so that anyone attached later can see which image came. Hosts
// read it like any other file; they do not write it.
//
// The text is one "key=value" line per field:
//   kind=0            0 firmware, 1 boot loader, 2 database
//   size=1048576      bytes of the image
//   name=main.mem     the image's file name in the Firmware folder
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The PVR folder software images go to, and where the record lives in it;
// then the most a sound record can hold.
constexpr const char* kFirmwareFolder = "C:\\PVR\\Firmware\\";
constexpr const char* kImageRecordName = "LASTIMG.TXT";
constexpr std::size_t kMaxImageRecordSize = 1024;

struct ImageRecord {
    std::uint8_t kind = 0;  // TRANSFER_KIND_FIRMWARE, _BOOT_LOADER or _DATABASE
    std::int64_t size = 0;
    std::string name;
};

// Whether the transfer kind is one of a software image's three.
bool IsImageKind(std::int64_t kind);
// "firmware", "boot loader", "database"; "file" for any other kind.
const char* ImageKindName(std::uint8_t kind);

std::string FormatImageRecord(const ImageRecord& record);
// False for text that is not a sound record: every line ended, each of the
// three fields exactly once, a known image kind, a size from 0 up, a printable
// name that stays in its folder. Unknown keys are passed over, so a later PVR
// may say more.
bool ParseImageRecord(std::string_view text, ImageRecord* out);
