#include "device/imagerecord.h"

#include <charconv>
#include <utility>

#include "core/names.h"
#include "device/records.h"

namespace {

// A name of one file in the Firmware folder, and printable, so it can be shown as it is.
bool IsSoundName(std::string_view name) {
    if (!IsPlainName(name) || name.size() > 255) {
        return false;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

template <typename T>
bool ParseNumber(std::string_view text, T* out) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, *out);
    return !text.empty() && error == std::errc() && stop == end;
}

}  // namespace

bool IsImageKind(std::int64_t kind) {
    return kind == TRANSFER_KIND_FIRMWARE || kind == TRANSFER_KIND_BOOT_LOADER ||
           kind == TRANSFER_KIND_DATABASE;
}

const char* ImageKindName(std::uint8_t kind) {
    switch (kind) {
        case TRANSFER_KIND_FIRMWARE:
            return "firmware";
        case TRANSFER_KIND_BOOT_LOADER:
            return "boot loader";
        case TRANSFER_KIND_DATABASE:
            return "database";
        default:
            return "file";
    }
}

std::string FormatImageRecord(const ImageRecord& record) {
    return "kind=" + std::to_string(record.kind) + "\nsize=" + std::to_string(record.size) +
           "\nname=" + record.name + "\n";
}

bool ParseImageRecord(std::string_view text, ImageRecord* out) {
    // Every line ends with its line end: a record cut short (read while the PVR
    // replaced it) must not pass for a shorter one.
    if (text.size() > kMaxImageRecordSize || text.empty() || text.back() != '\n') {
        return false;
    }
    ImageRecord record;
    bool haveKind = false;
    bool haveSize = false;
    bool haveName = false;
    while (!text.empty()) {
        const std::size_t cut = text.find('\n');
        std::string_view line = text.substr(0, cut);
        text.remove_prefix(cut == std::string_view::npos ? text.size() : cut + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return false;
        }
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == "kind") {
            unsigned kind = 0;
            if (haveKind || !ParseNumber(value, &kind) || !IsImageKind(kind)) {
                return false;
            }
            record.kind = static_cast<std::uint8_t>(kind);
            haveKind = true;
        } else if (key == "size") {
            if (haveSize || !ParseNumber(value, &record.size) || record.size < 0) {
                return false;
            }
            haveSize = true;
        } else if (key == "name") {
            if (haveName || !IsSoundName(value)) {
                return false;
            }
            record.name = value;
            haveName = true;
        }
    }
    if (!haveKind || !haveSize || !haveName) {
        return false;
    }
    *out = std::move(record);
    return true;
}
