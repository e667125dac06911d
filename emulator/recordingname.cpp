#include "emulator/recordingname.h"

#include <cctype>

namespace pvrd {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool HasExtension(std::string_view name, std::string_view extension) {
    return name.size() > extension.size() && name[name.size() - extension.size() - 1] == '.' &&
           EqualsNoCase(name.substr(name.size() - extension.size()), extension);
}

bool ParsePartName(std::string_view name, PartName* out) {
    const std::size_t len = name.size();
    if (len < 22 || name[len - 4] != '.' || name[len - 17] != '_' || name[len - 22] != '_' ||
        name[len - 21] != '#') {
        return false;
    }
    out->title = std::string(name.substr(0, len - 22));
    out->part = std::string(name.substr(len - 20, 3));
    out->stamp = std::string(name.substr(len - 16, 12));
    out->extension = std::string(name.substr(len - 3));
    return true;
}

bool ParseListedName(std::string_view name, std::string* title, std::string* stamp) {
    PartName part;
    const std::size_t len = name.size();
    if (len < 17 || !HasExtension(name, "AVR") || name[len - 17] != '_' ||
        ParsePartName(name, &part)) {
        return false;
    }
    *title = std::string(name.substr(0, len - 17));
    *stamp = std::string(name.substr(len - 16, 12));
    return true;
}

std::string MakePartName(const std::string& title, const std::string& part,
                         const std::string& stamp, const char* extension) {
    return title + "_#" + part + "_" + stamp + "." + extension;
}

}  // namespace pvrd
