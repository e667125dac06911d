// What the emulated PVR is and how it misbehaves, from the command line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pvrd {

struct PvrOptions {
    std::string disk;    // host folder served as C:\PVR
    std::string socket;  // where the "cable" plugs in
    std::string product = "TX-PVR 100";
    std::string oem = "Tavrix";
    std::uint16_t stbVersion = 0x0105;
    std::uint32_t usbVersion = 0x01010000;
    bool highSpeed = true;
    std::int64_t partSize = 512ll << 20;
    std::int64_t avfSize = 8192;
    std::int64_t diskSize = 0;  // 0: report the host's disk as it is
    int busy = 0;               // "busy" answers before each listing's entries
    int listDelayMs = 0;        // listings are busy at least this long
    bool namePrefix = false;    // list names with the folder path in front
    bool avfFirst = false;      // list a recording's .AVF before its parts
    bool demo = false;
    // Faults.
    int failBulkOut = 0;            // the Nth bulk-out call moves nothing (0: never)
    int failBulkOutCount = 1;       // ... and so do this many calls from it on
    bool refuseStream = false;      // every stream request is refused
    bool refuseCompletion = false;  // no upload is ever confirmed
    std::int64_t unplugAfter = -1;  // pull the cable after this many bulk bytes (-1: never)
    int bulkDelayMs = 0;            // a slow device: each bulk answer comes this late
    // Hosts: how many may be connected at once, and how long each may stay
    // silent. A connected library says hello at least every 10 s.
    int maxHosts = 16;
    int greetTimeoutMs = 10000;  // from connecting to the end of its greeting
    int idleTimeoutMs = 60000;   // between requests
    int stallTimeoutMs = 30000;  // within a message, and for a reply to be taken
    // Where the daemon's log lines go (none: nowhere).
    std::function<void(const std::string&)> log;
};

// 0: parsed; 2: a usage error, described in *error. *help is set for --help.
int ParsePvrOptions(const std::vector<std::string>& args, PvrOptions* options, bool* help,
                    std::string* error);
// The usage line; with the option list for --help.
std::string PvrUsage();
std::string PvrHelp();

}  // namespace pvrd
