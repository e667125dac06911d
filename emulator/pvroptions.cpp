#include "emulator/pvroptions.h"

#include <cerrno>
#include <cstdlib>

#include "device/wireprotocol.h"

namespace pvrd {

const char* PvrUsage() {
    return "usage: tavrix-pvrd --disk DIR [--socket PATH] [--product NAME] [--oem NAME]\n"
           "       [--stb-version 0xMMmm] [--usb-version 0x01010000] [--speed high|full]\n"
           "       [--part-size BYTES] [--avf-size BYTES] [--disk-size BYTES]\n"
           "       [--busy N] [--list-delay MS] [--name-prefix] [--avf-first] [--demo]\n"
           "       [--fail-bulk-out N] [--refuse-stream] [--unplug-after BYTES]\n"
           "       [--bulk-delay MS]\n";
}

namespace {

bool ParseNumber(const std::string& text, std::int64_t min, std::int64_t max, std::int64_t* out) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || end == nullptr || *end != '\0' || value < min || value > max) {
        return false;
    }
    *out = value;
    return true;
}

}  // namespace

int ParsePvrOptions(const std::vector<std::string>& args, PvrOptions* options, bool* help,
                    std::string* error) {
    *help = false;
    const std::int64_t big = 1ll << 62;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return false;
            }
            *out = args[++i];
            return true;
        };
        auto number = [&](std::int64_t min, std::int64_t max, std::int64_t* out) {
            std::string text;
            if (!value(&text)) {
                return false;
            }
            if (!ParseNumber(text, min, max, out)) {
                *error = "bad value for " + arg + ": " + text;
                return false;
            }
            return true;
        };
        std::int64_t n = 0;
        std::string text;
        if (arg == "--help" || arg == "-h") {
            *help = true;
            return 0;
        } else if (arg == "--disk") {
            if (!value(&options->disk)) {
                return 2;
            }
        } else if (arg == "--socket") {
            if (!value(&options->socket)) {
                return 2;
            }
        } else if (arg == "--product" || arg == "--oem") {
            if (!value(&text)) {
                return 2;
            }
            // The descriptor keeps 19 characters and the terminating zero.
            if (text.size() > 19) {
                *error = arg + " takes at most 19 characters";
                return 2;
            }
            (arg == "--product" ? options->product : options->oem) = text;
        } else if (arg == "--stb-version") {
            if (!number(0, 0xFFFF, &n)) {
                return 2;
            }
            options->stbVersion = static_cast<std::uint16_t>(n);
        } else if (arg == "--usb-version") {
            if (!number(0, 0xFFFFFFFFll, &n)) {
                return 2;
            }
            options->usbVersion = static_cast<std::uint32_t>(n);
        } else if (arg == "--speed") {
            if (!value(&text)) {
                return 2;
            }
            if (text != "high" && text != "full") {
                *error = "--speed is high or full";
                return 2;
            }
            options->highSpeed = text == "high";
        } else if (arg == "--part-size") {
            if (!number(1, big, &options->partSize)) {
                return 2;
            }
        } else if (arg == "--avf-size") {
            if (!number(0, big, &options->avfSize)) {
                return 2;
            }
        } else if (arg == "--disk-size") {
            if (!number(1, big, &options->diskSize)) {
                return 2;
            }
        } else if (arg == "--busy") {
            if (!number(0, 1000000, &n)) {
                return 2;
            }
            options->busy = static_cast<int>(n);
        } else if (arg == "--list-delay") {
            if (!number(0, 3600000, &n)) {
                return 2;
            }
            options->listDelayMs = static_cast<int>(n);
        } else if (arg == "--bulk-delay") {
            if (!number(0, 3600000, &n)) {
                return 2;
            }
            options->bulkDelayMs = static_cast<int>(n);
        } else if (arg == "--fail-bulk-out") {
            if (!number(1, 1000000000, &n)) {
                return 2;
            }
            options->failBulkOut = static_cast<int>(n);
        } else if (arg == "--unplug-after") {
            if (!number(0, big, &options->unplugAfter)) {
                return 2;
            }
        } else if (arg == "--name-prefix") {
            options->namePrefix = true;
        } else if (arg == "--avf-first") {
            options->avfFirst = true;
        } else if (arg == "--refuse-stream") {
            options->refuseStream = true;
        } else if (arg == "--demo") {
            options->demo = true;
        } else {
            *error = "unknown option: " + arg;
            return 2;
        }
    }
    if (options->disk.empty()) {
        *error = "--disk DIR is required";
        return 2;
    }
    if (options->socket.empty()) {
        options->socket = wire::DefaultSocketPath();
    }
    return 0;
}

}  // namespace pvrd
