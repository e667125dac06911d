#include "device/listingrules.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "core/names.h"
#include "core/recordingname.h"
#include "core/xstring.h"
#include "platform/trace.h"

namespace {

constexpr std::size_t kNameField = sizeof(StbFindData::name);

// Bounded even when the device left the name without its terminating zero.
std::string_view NameOf(const StbFindData& entry) {
    return FieldText(entry.name);
}

bool IsFile(const StbFindData& entry) {
    return entry.kind == STB_ENTRY_FILE && entry.name[0] != '\0';
}

void SetName(StbFindData* entry, std::string_view name) {
    const std::size_t n = name.size() < kNameField ? name.size() : kNameField - 1;
    std::memcpy(entry->name, name.data(), n);
    std::memset(entry->name + n, 0, kNameField - n);
}

void Erase(StbFindData* entry) {
    std::memset(entry, 0, sizeof(StbFindData));
}

struct RecordingPart {
    std::string base;
    std::string extension;
    std::size_t hash = std::string::npos;  // first "#" of the base name
    std::string title;
    std::string part;
    std::string stamp;
};

// Not the fixed positions of the grammar in core/recordingname.h: the listing
// has always found a part by the first "#" of its base name, and which entries
// the panes show and under which names depends on exactly that.
RecordingPart Parse(const StbFindData& entry) {
    const std::string name(NameOf(entry));
    XString x;
    x = name.c_str();
    RecordingPart r;
    r.base = x.GetBaseName();
    r.extension = x.GetExtension();
    r.hash = r.base.find('#');
    if (r.hash == std::string::npos) {
        return r;
    }
    const std::size_t h = r.hash;
    // The character in front of "#" (normally "_") belongs to neither title nor
    // part; the name may end anywhere, so every piece is cut to what is there.
    r.title = h >= 1 ? r.base.substr(0, h - 1) : std::string();
    r.part = h + 1 <= r.base.size() ? r.base.substr(h + 1, 3) : std::string();
    r.stamp = h + 5 <= r.base.size() ? r.base.substr(h + 5, 12) : std::string();
    return r;
}

StbFindData* FindFile(int count, StbFindData* entries, std::string_view name) {
    for (int j = 0; j < count; ++j) {
        if (IsFile(entries[j]) && EqualsNoCase(NameOf(entries[j]), name)) {
            return &entries[j];
        }
    }
    return nullptr;
}

// The device's sizes are not trusted, and a signed overflow must not happen.
std::int64_t AddSizes(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    }
    return sum;
}

void MoveSizesToFirstParts(int count, StbFindData* entries) {
    for (int i = 0; i < count; ++i) {
        StbFindData& entry = entries[i];
        if (!IsFile(entry)) {
            continue;
        }
        const RecordingPart r = Parse(entry);
        if (!EqualsNoCase(r.extension, "AVR") || r.hash == std::string::npos ||
            r.part == kFirstRecordingPart) {
            continue;
        }
        StbFindData* first =
            FindFile(count, entries, MakePartName(r.title, kFirstRecordingPart, r.stamp, "AVR"));
        if (first == nullptr || first == &entry) {
            TRACE_AT("Removed!!! %s", std::string(NameOf(entry)).c_str());
            Erase(&entry);
            continue;
        }
        first->size = AddSizes(first->size, entry.size);
        entry.size = 0;
    }
}

void HideAndRename(int count, StbFindData* entries) {
    for (int i = 0; i < count; ++i) {
        StbFindData& entry = entries[i];
        if (!IsFile(entry)) {
            continue;
        }
        const RecordingPart r = Parse(entry);
        if (EqualsNoCase(r.extension, "AVF")) {
            entry.name[0] = '\0';
            continue;
        }
        if (!EqualsNoCase(r.extension, "AVR")) {
            continue;
        }
        if (entry.size == 0) {
            entry.name[0] = '\0';
            continue;
        }
        if (r.hash == std::string::npos) {
            continue;
        }
        if (r.part != kFirstRecordingPart) {
            Erase(&entry);
            continue;
        }
        // An .AVF this pass has already hidden has lost its name, so only a
        // companion listed after the first part leads to the short name.
        if (FindFile(count, entries, MakePartName(r.title, r.part, r.stamp, "AVF")) != nullptr) {
            std::string shortName = r.base;
            shortName.erase(r.hash, 5);
            SetName(&entry, shortName + ".AVR");
        }
    }
}

}  // namespace

int SanitizeListing(const std::string& folder, int count, StbFindData* entries) {
    if (entries == nullptr) {
        return 0;
    }
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '\\') {
        prefix += '\\';
    }
    int removed = 0;
    for (int i = 0; i < count; ++i) {
        StbFindData& entry = entries[i];
        entry.name[kNameField - 1] = '\0';
        std::string_view name = NameOf(entry);
        if (name.empty()) {
            continue;
        }
        const bool prefixed = !prefix.empty() && StartsWithNoCase(name, prefix);
        if (prefixed) {
            name.remove_prefix(prefix.size());
        }
        // "\" and "/" are both separators on the PC side, where a listed name is
        // appended to the download folder.
        if (!IsPlainName(name)) {
            TRACE_AT("Ignored unsafe name %s", std::string(NameOf(entry)).c_str());
            Erase(&entry);
            ++removed;
            continue;
        }
        if (prefixed) {
            SetName(&entry, std::string(name));
        }
    }
    return removed;
}

void ApplyRecordingRules(int count, StbFindData* entries) {
    if (entries == nullptr || count <= 0) {
        return;
    }
    MoveSizesToFirstParts(count, entries);
    HideAndRename(count, entries);
}

void PrepareListing(const std::string& folder, int count, StbFindData* entries, bool showHidden) {
    SanitizeListing(folder, count, entries);
    if (!showHidden) {
        ApplyRecordingRules(count, entries);
    }
}
