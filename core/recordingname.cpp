#include "core/recordingname.h"

#include <cstdio>

#include "core/names.h"

namespace {

// From the end: ".EXT" (4), STAMP (12) and the "_" in front of it.
constexpr std::size_t kStampTail = 1 + kRecordingStampLength + 4;
// From the end: "_#", NNN and the stamp tail.
constexpr std::size_t kPartTail = 2 + kRecordingPartLength + kStampTail;

bool HasStampTail(std::string_view name) {
    return name.size() >= kStampTail && name[name.size() - kStampTail] == '_';
}

bool HasPartTail(std::string_view name) {
    return name.size() >= kPartTail && name[name.size() - kPartTail] == '_' &&
           name[name.size() - kPartTail + 1] == '#';
}

std::string_view StampOf(std::string_view name) {
    return name.substr(name.size() - kStampTail + 1, kRecordingStampLength);
}

std::string_view PartOf(std::string_view name) {
    return name.substr(name.size() - kPartTail + 2, kRecordingPartLength);
}

}  // namespace

bool SplitRecordingName(const std::string& name, std::string* title, std::string* part,
                        std::string* stamp) {
    if (!HasStampTail(name)) {
        return false;
    }
    const bool partForm = HasPartTail(name);
    if (title) {
        *title = name.substr(0, name.size() - (partForm ? kPartTail : kStampTail));
    }
    if (part && partForm) {
        *part = PartOf(name);
    }
    if (stamp) {
        *stamp = StampOf(name);
    }
    return true;
}

bool ParsePartName(std::string_view name, RecordingPartName* out) {
    if (!HasPartTail(name) || !HasStampTail(name) || name[name.size() - 4] != '.') {
        return false;
    }
    out->title = name.substr(0, name.size() - kPartTail);
    out->part = PartOf(name);
    out->stamp = StampOf(name);
    out->extension = name.substr(name.size() - 3);
    return true;
}

bool ParseListedName(std::string_view name, std::string* title, std::string* stamp) {
    RecordingPartName part;
    if (!HasStampTail(name) || !HasExtension(name, "AVR") || ParsePartName(name, &part)) {
        return false;
    }
    *title = name.substr(0, name.size() - kStampTail);
    *stamp = StampOf(name);
    return true;
}

std::string MakePartName(std::string_view title, std::string_view part, std::string_view stamp,
                         std::string_view extension) {
    std::string name(title);
    name.append("_#").append(part).append("_").append(stamp).append(".").append(extension);
    return name;
}

std::string MakePartName(std::string_view title, int number, std::string_view stamp,
                         std::string_view extension) {
    if (number < 1 || number > 999) {
        return {};
    }
    char digits[4];
    std::snprintf(digits, sizeof digits, "%03d", number);
    return MakePartName(title, std::string_view(digits, kRecordingPartLength), stamp, extension);
}

bool HasExtension(std::string_view name, std::string_view extension) {
    return name.size() > extension.size() && name[name.size() - extension.size() - 1] == '.' &&
           EqualsNoCase(name.substr(name.size() - extension.size()), extension);
}
