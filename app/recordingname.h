// Recording names. The PVR keeps one recording as part files
// TITLE_#NNN_STAMP.AVR (NNN three characters, "001" the first part, STAMP twelve
// characters) beside the first part's companion TITLE_#001_STAMP.AVF. The PVR
// listing shows a recording as one entry, TITLE_STAMP.AVR, with the sum of its
// parts' sizes; on the PC a recording is TITLE_STAMP.AVR with TITLE_STAMP.AVF.
#pragma once

#include <string>

#include "device/tavrixapi.h"

// Makes the device's names safe to use before anything else looks at them. The
// device is not trusted: a name without its terminating zero is cut at the end of
// its field; a name that starts with the listed folder's path (with or without
// its trailing "\") loses that prefix in place, so every later step sees the bare
// name that the user sees and that is appended to a folder to address the file;
// and an entry whose bare name is ".", "..", or still holds a "\" or "/" is set to
// zero, because it would address something outside the listed folder on the PVR
// or on the PC. Returns the number of entries removed.
int SanitizeListing(const std::string& folder, int count, StbFindData* entries);

// Turns the part files of each recording among the first `count` entries into
// one entry, in place: later parts hand their sizes to their first part and
// vanish (a later part without its first part is dropped, with a trace line),
// .AVF files and empty .AVR files are hidden, and a first part whose companion
// .AVF is listed after it is renamed TITLE_STAMP.AVR. Only file entries take
// part; folders are never changed and never matched.
void ApplyRecordingRules(int count, StbFindData* entries);

// What the PVR folder tree does with a fresh listing: sanitising always, the
// recording rules unless hidden files are to be shown.
void PrepareListing(const std::string& folder, int count, StbFindData* entries, bool showHidden);

// Splits a recording's name or full path, by fixed positions from its end (the
// last four characters are taken to be the extension with its dot):
// TITLE_#NNN_STAMP.EXT gives title, part and stamp; TITLE_STAMP.EXT gives title
// and stamp and leaves `part` as it was. Anything in front of the name, a folder
// path included, belongs to the title. False, with nothing set, for any other
// name. Each out argument may be null.
bool SplitRecordingName(const std::string& name, std::string* title = nullptr,
                        std::string* part = nullptr, std::string* stamp = nullptr);
