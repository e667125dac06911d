#include "emulator/pvroptions.h"

#include <cerrno>
#include <cstdlib>

#include "core/options.h"
#include "device/wireprotocol.h"

namespace pvrd {

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

using Take = std::function<bool(const std::string&, std::string*)>;

// A number from min to max, handed to store.
template <typename T>
Take Number(std::int64_t min, std::int64_t max, T* store) {
    return [=](const std::string& text, std::string*) {
        std::int64_t n = 0;
        if (!ParseNumber(text, min, max, &n)) {
            return false;
        }
        *store = static_cast<T>(n);
        return true;
    };
}

Take Text(std::string* store) {
    return [=](const std::string& text, std::string*) {
        *store = text;
        return true;
    };
}

Take Set(bool* store) {
    return [=](const std::string&, std::string*) { return *store = true; };
}

// The descriptor keeps 19 characters and the terminating zero.
Take Name(const char* option, std::string* store) {
    return [=](const std::string& text, std::string* error) {
        if (text.size() > 19) {
            *error = std::string(option) + " takes at most 19 characters";
            return false;
        }
        *store = text;
        return true;
    };
}

// Every option of the daemon, declared once: the parser, the usage line and
// the option list all come from here.
std::vector<CommandOption> OptionTable(PvrOptions* o) {
    const std::int64_t big = 1ll << 62;
    return {
        {.name = "--disk",
         .argument = "DIR",
         .help = "the folder served as C:\\PVR",
         .take = Text(&o->disk),
         .required = true},
        {.name = "--socket",
         .argument = "PATH",
         .help = "where to listen (TAVRIX_PVR_SOCKET, else the default)",
         .take = Text(&o->socket)},
        {.name = "--product",
         .argument = "NAME",
         .help = "model name (at most 19 characters)",
         .take = Name("--product", &o->product)},
        {.name = "--oem",
         .argument = "NAME",
         .help = "company name (at most 19 characters)",
         .take = Name("--oem", &o->oem)},
        {.name = "--stb-version",
         .argument = "0xMMmm",
         .help = "software version, 0x0105 for 1.05",
         .take = Number(0, 0xFFFF, &o->stbVersion)},
        {.name = "--usb-version",
         .argument = "0x01010000",
         .help = "interface version",
         .take = Number(0, 0xFFFFFFFFll, &o->usbVersion)},
        {.name = "--speed",
         .argument = "high|full",
         .help = "the USB speed reported",
         .take =
             [o](const std::string& text, std::string* error) {
                 if (text != "high" && text != "full") {
                     *error = "--speed is high or full";
                     return false;
                 }
                 o->highSpeed = text == "high";
                 return true;
             }},
        {.name = "--part-size",
         .argument = "BYTES",
         .help = "largest part of a recording",
         .take = Number(1, big, &o->partSize)},
        {.name = "--avf-size",
         .argument = "BYTES",
         .help = "the .AVF size asked for on upload",
         .take = Number(0, big, &o->avfSize)},
        {.name = "--disk-size",
         .argument = "BYTES",
         .help = "the disk size reported",
         .take = Number(1, big, &o->diskSize)},
        {.name = "--busy",
         .argument = "N",
         .help = "\"busy\" answers before each listing's entries",
         .take = Number(0, 1000000, &o->busy)},
        {.name = "--list-delay",
         .argument = "MS",
         .help = "each listing stays busy at least this long",
         .take = Number(0, 3600000, &o->listDelayMs)},
        {.name = "--name-prefix",
         .help = "list names with the folder path in front",
         .take = Set(&o->namePrefix)},
        {.name = "--avf-first",
         .help = "list a recording's .AVF before its parts",
         .take = Set(&o->avfFirst)},
        {.name = "--demo", .help = "fill an empty disk with demo content", .take = Set(&o->demo)},
        {.name = "--fail-bulk-out",
         .argument = "N",
         .help = "the Nth bulk-out call moves nothing",
         .take = Number(1, 1000000000, &o->failBulkOut)},
        {.name = "--fail-bulk-out-count",
         .argument = "K",
         .help = "... and so do the K-1 calls after it",
         .take = Number(1, 1000000000, &o->failBulkOutCount)},
        {.name = "--refuse-stream",
         .help = "refuse every stream request",
         .take = Set(&o->refuseStream)},
        {.name = "--refuse-completion",
         .help = "never confirm an upload as complete",
         .take = Set(&o->refuseCompletion)},
        {.name = "--unplug-after",
         .argument = "BYTES",
         .help = "pull the cable after this many bulk bytes",
         .take = Number(0, big, &o->unplugAfter)},
        {.name = "--bulk-delay",
         .argument = "MS",
         .help = "answer each bulk call this late",
         .take = Number(0, 3600000, &o->bulkDelayMs)},
        {.name = "--help", .alias = "-h", .ends = true},
    };
}

}  // namespace

std::string PvrUsage() {
    PvrOptions unused;
    const std::string start = "usage: tavrix-pvrd ";
    return start + OptionSynopsis(OptionTable(&unused), start.size()) + "\n";
}

std::string PvrHelp() {
    PvrOptions unused;
    return PvrUsage() + OptionHelp(OptionTable(&unused));
}

int ParsePvrOptions(const std::vector<std::string>& args, PvrOptions* options, bool* help,
                    std::string* error) {
    *help = false;
    switch (ParseOptions(OptionTable(options), args, nullptr, error)) {
        case OptionsEnd::Parsed:
            break;
        case OptionsEnd::Stopped:
            *help = true;
            return 0;
        case OptionsEnd::Wrong:
            return 2;
    }
    if (options->socket.empty()) {
        options->socket = wire::DefaultSocketPath();
    }
    return 0;
}

}  // namespace pvrd
