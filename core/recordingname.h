// Recording names. The PVR keeps one recording as part files
// TITLE_#NNN_STAMP.AVR (NNN three characters, "001" the first part, STAMP twelve
// characters) beside the first part's companion TITLE_#001_STAMP.AVF. The PVR
// listing shows a recording as one entry, TITLE_STAMP.AVR, with the sum of its
// parts' sizes; on the PC a recording is TITLE_STAMP.AVR with TITLE_STAMP.AVF.
//
// The fields sit at fixed distances from the end of the name, which is how the
// PVR tells them apart: whatever stands in front of them is the title. Letters
// of extensions, titles and stamps compare by the rule of core/names.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The lengths of a name's fixed fields.
constexpr std::size_t kRecordingPartLength = 3;
constexpr std::size_t kRecordingStampLength = 12;
// The part number of a recording's first part, the one its .AVF belongs to.
constexpr std::string_view kFirstRecordingPart = "001";

// Splits a recording's name or full path, by fixed positions from its end (the
// last four characters are taken to be the extension with its dot):
// TITLE_#NNN_STAMP.EXT gives title, part and stamp; TITLE_STAMP.EXT gives title
// and stamp and leaves `part` as it was. Anything in front of the name, a folder
// path included, belongs to the title. False, with nothing set, for any other
// name. Each out argument may be null.
bool SplitRecordingName(const std::string& name, std::string* title = nullptr,
                        std::string* part = nullptr, std::string* stamp = nullptr);

struct RecordingPartName {
    std::string title;
    std::string part;       // three characters
    std::string stamp;      // twelve characters
    std::string extension;  // three characters without the dot, as written
};

// A part file's name TITLE_#NNN_STAMP.EXT, with a dot before the extension;
// which extension it is, is not checked here. False, with nothing set, for any
// other name.
bool ParsePartName(std::string_view name, RecordingPartName* out);
// A recording's listed name TITLE_STAMP.AVR that is not itself a part name.
// False, with nothing set, for any other name.
bool ParseListedName(std::string_view name, std::string* title, std::string* stamp);
// "TITLE_#NNN_STAMP.EXT".
std::string MakePartName(std::string_view title, std::string_view part, std::string_view stamp,
                         std::string_view extension);
// The same with NNN the part number in three digits; empty for a number that
// three digits cannot hold (below 1 or above 999).
std::string MakePartName(std::string_view title, int number, std::string_view stamp,
                         std::string_view extension);

// True when the name ends in "." and the extension, without regard to case.
bool HasExtension(std::string_view name, std::string_view extension);
