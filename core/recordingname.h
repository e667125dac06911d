// Recording names. The PVR keeps one recording as part files
// TITLE_#NNN_STAMP.AVR (NNN three characters, "001" the first part, STAMP twelve
// characters) beside the first part's companion TITLE_#001_STAMP.AVF. The PVR
// listing shows a recording as one entry, TITLE_STAMP.AVR, with the sum of its
// parts' sizes; on the PC a recording is TITLE_STAMP.AVR with TITLE_STAMP.AVF.
#pragma once

#include <string>

// Splits a recording's name or full path, by fixed positions from its end (the
// last four characters are taken to be the extension with its dot):
// TITLE_#NNN_STAMP.EXT gives title, part and stamp; TITLE_STAMP.EXT gives title
// and stamp and leaves `part` as it was. Anything in front of the name, a folder
// path included, belongs to the title. False, with nothing set, for any other
// name. Each out argument may be null.
bool SplitRecordingName(const std::string& name, std::string* title = nullptr,
                        std::string* part = nullptr, std::string* stamp = nullptr);
