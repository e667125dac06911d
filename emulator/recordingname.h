// The names under which the PVR keeps a recording.
//
// A recording lives on the disk as parts TITLE_#NNN_STAMP.AVR (NNN three
// characters, STAMP twelve) beside TITLE_#001_STAMP.AVF, and is addressed as a
// whole by its listed name TITLE_STAMP.AVR. The fields sit at fixed distances
// from the end of the name, which is how the firmware has always told them apart.
#pragma once

#include <string>
#include <string_view>

namespace pvrd {

struct PartName {
    std::string title;
    std::string part;       // three characters
    std::string stamp;      // twelve characters
    std::string extension;  // without the dot, as written
};

// TITLE_#NNN_STAMP.EXT; the extension is not checked here.
bool ParsePartName(std::string_view name, PartName* out);
// TITLE_STAMP.AVR that is not a part name.
bool ParseListedName(std::string_view name, std::string* title, std::string* stamp);
// "TITLE_#NNN_STAMP.EXT" with EXT in upper case.
std::string MakePartName(const std::string& title, const std::string& part,
                         const std::string& stamp, const char* extension);

bool EqualsNoCase(std::string_view a, std::string_view b);
bool HasExtension(std::string_view name, std::string_view extension);

}  // namespace pvrd
