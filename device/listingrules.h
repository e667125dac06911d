// What the PVR folder tree does to a listing before anyone looks at it: the
// device's names are made safe, and a recording's part files become one entry.
// The name forms are those of core/recordingname.h.
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
