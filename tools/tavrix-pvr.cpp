// tavrix-pvr: the PVR from the command line, through the device library.
//
// Exit status: 0 success, 1 a device failure (one line on stderr says what
// failed), 2 a usage error.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/names.h"
#include "core/options.h"
#include "core/printable.h"
#include "core/recordingname.h"
#include "device/imagerecord.h"
#include "device/tavrixapi.h"
#include "device/tavrixcalls.h"
#include "platform/pcfs.h"
#include "transfer/batchbuilder.h"
#include "transfer/transferengine.h"

namespace {

constexpr const char* kProgram = "tavrix-pvr";
// The device's firmware is given fixed pauses in a transfer; --no-pauses skips
// them, for emulators and measurements.
bool g_pauses = true;
// A PVR that never ends a listing, or never stops saying "busy", must not keep
// the command running for ever.
constexpr ListingBounds kListingBounds{.maxEntries = 100000, .deadline = std::chrono::seconds(60)};

// Every line may carry a name the device gave, so none reaches the terminal raw.
int Failed(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", kProgram, EscapeUnprintable(what).c_str());
    return 1;
}

// Lists a whole folder; false, with why it failed in *error (empty when the
// device refused the listing or went away), when the listing is not whole.
bool List(const std::string& folder, FolderListing* listing, std::string* error) {
    switch (ListFolder(folder, listing, kListingBounds)) {
        case ListingEnd::Listed:
            return true;
        case ListingEnd::Failed:
            error->clear();
            return false;
        case ListingEnd::TooManyEntries:
            *error = "the PVR listed more than " + std::to_string(kListingBounds.maxEntries) +
                     " entries in " + folder;
            return false;
        case ListingEnd::TooSlow:
            *error = "the PVR did not end the listing of " + folder + " within " +
                     std::to_string(
                         std::chrono::duration_cast<std::chrono::seconds>(kListingBounds.deadline)
                             .count()) +
                     " s";
            return false;
    }
    return false;
}

std::string EntryName(const StbFindData& entry, const std::string& folder) {
    std::string name(FieldText(entry.name));
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != '\\') {
        prefix += '\\';
    }
    if (name.size() > prefix.size() && StartsWithNoCase(name, prefix)) {
        name.erase(0, prefix.size());
    }
    return name;
}

enum class Lookup { Found, Missing, Failed };

// The size of a file on the PVR as its folder lists it. A recording's listed
// name TITLE_STAMP.AVR stands for its parts TITLE_#NNN_STAMP.AVR. Failed, with
// *error set, when the listing broke a bound or a size cannot be right.
Lookup PvrFileSize(const std::string& path, std::int64_t* size, std::string* error) {
    const std::size_t cut = path.rfind('\\');
    if (cut == std::string::npos) {
        return Lookup::Missing;
    }
    const std::string folder = path.substr(0, cut);
    const std::string name = path.substr(cut + 1);
    FolderListing listing;
    if (!List(folder, &listing, error)) {
        return error->empty() ? Lookup::Missing : Lookup::Failed;
    }
    std::string title;
    std::string stamp;
    const bool listedForm = ParseListedName(name, &title, &stamp);
    std::int64_t parts = 0;
    bool anyPart = false;
    for (const StbFindData& entry : listing.entries) {
        if (entry.kind != STB_ENTRY_FILE) {
            continue;
        }
        const std::string entryName = EntryName(entry, folder);
        const bool exact = EqualsNoCase(entryName, name);
        RecordingPartName part;
        if (!exact && !(listedForm && ParsePartName(entryName, &part) &&
                        EqualsNoCase(part.extension, "AVR") && EqualsNoCase(part.title, title) &&
                        EqualsNoCase(part.stamp, stamp))) {
            continue;
        }
        // The device's sizes are not trusted.
        if (entry.size < 0) {
            *error = "the PVR listed a negative size for " + entryName;
            return Lookup::Failed;
        }
        if (exact) {
            *size = entry.size;
            return Lookup::Found;
        }
        if (__builtin_add_overflow(parts, entry.size, &parts)) {
            *error = "the sizes the PVR listed for the parts of " + name + " do not add up";
            return Lookup::Failed;
        }
        anyPart = true;
    }
    *size = parts;
    return anyPart ? Lookup::Found : Lookup::Missing;
}

int Info() {
    DeviceDescriptor d{};
    if (!TAVRIX_GetDeviceDescriptor(&d)) {
        return Failed("info: cannot read the PVR's descriptor");
    }
    FolderListing listing;
    std::string error;
    if (!List("C:\\PVR", &listing, &error)) {
        return Failed("info: cannot read the PVR's disk space" +
                      (error.empty() ? "" : ": " + error));
    }
    ImageRecord image;
    const LastImageEnd imageEnd = ReadLastImage(&image, &error, kListingBounds);
    if (imageEnd == LastImageEnd::Failed) {
        return Failed("info: cannot read the PVR's record of its last software image: " + error);
    }
    std::printf("product:  %s\n", EscapeUnprintable(FieldText(d.productName)).c_str());
    std::printf("oem:      %s\n", EscapeUnprintable(FieldText(d.oemName)).c_str());
    std::printf("software: %x.%02x\n", d.stbVersion >> 8, d.stbVersion & 0xFF);
    std::printf("usb:      0x%08x\n", d.usbVersion);
    std::printf("speed:    %s\n", d.speed != 0 ? "high (480 MHz)" : "full (12 MHz)");
    std::printf("free:     %" PRId64 " bytes\n", listing.space.freeBytes);
    std::printf("total:    %" PRId64 " bytes\n", listing.space.totalBytes);
    if (imageEnd == LastImageEnd::Received) {
        std::printf("image:    %s (kind %u), %" PRId64 " bytes, %s\n", ImageKindName(image.kind),
                    static_cast<unsigned>(image.kind), image.size, image.name.c_str());
    } else if (imageEnd == LastImageEnd::NoneReceived) {
        std::printf("image:    none received\n");
    } else {
        std::printf("image:    unknown (%s)\n", error.c_str());
    }
    return 0;
}

int Ls(const std::string& folder) {
    FolderListing listing;
    std::string error;
    if (!List(folder, &listing, &error)) {
        return Failed("ls: cannot list " + folder + (error.empty() ? "" : ": " + error));
    }
    for (const StbFindData& e : listing.entries) {
        std::printf("%c %12" PRId64 " %04u-%02u-%02u %02u:%02u:%02u %s\n",
                    e.kind == STB_ENTRY_FOLDER ? 'd' : '-', e.size, e.year, e.month, e.day, e.hour,
                    e.minute, e.second, EscapeUnprintable(FieldText(e.name)).c_str());
    }
    return 0;
}

// Splits a path at its last "\" into the folder (with that "\") and the name.
bool SplitAtLastBackslash(const std::string& path, std::string* folder, std::string* name) {
    const std::size_t cut = path.rfind('\\');
    if (cut == std::string::npos || cut + 1 == path.size()) {
        return false;
    }
    *folder = path.substr(0, cut + 1);
    *name = path.substr(cut + 1);
    return true;
}

// The engine's reports on a terminal: one progress line, kept current, on
// stderr when it is a terminal, and each item's failure.
class CConsoleReport : public ITransferReport {
public:
    CConsoleReport(const char* verb, const CTransferEngine& engine)
        : m_verb(verb), m_engine(engine), m_show(::isatty(2) != 0) {}

    void ItemStarted(int, int) override {
        m_start = std::chrono::steady_clock::now();
        Show(false);
    }
    void Progressed() override { Show(false); }
    void ItemEnded(int, const std::string& reason) override {
        Show(true);
        if (!reason.empty() && m_failure.empty()) {
            m_failure = reason;
        }
    }
    void Ended(bool) override {}
    void Tell(const std::string& text) override { Failed(text); }

    const std::string& Failure() const { return m_failure; }

private:
    void Show(bool last) {
        if (!m_show) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!last && now - m_shown < std::chrono::milliseconds(200)) {
            return;
        }
        m_shown = now;
        const TransferProgress p = m_engine.Progress();
        const std::int64_t total = p.offset + p.byteCount;
        const std::int64_t present = p.offset + p.done;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const double mbs = seconds > 0 ? static_cast<double>(p.done) / 1e6 / seconds : 0.0;
        std::fprintf(stderr, "\r%s %" PRId64 " / %" PRId64 " bytes (%d%%), %.1f MB/s%s", m_verb,
                     present, total, total > 0 ? static_cast<int>(present * 100 / total) : 100, mbs,
                     last ? "\n" : "");
    }

    const char* m_verb;
    const CTransferEngine& m_engine;
    const bool m_show;
    std::chrono::steady_clock::time_point m_start{};
    std::chrono::steady_clock::time_point m_shown{};
    std::string m_failure;
};

// One file through the transfer engine, by the rules the application follows:
// the same batch building (a recording brings its .AVF when both names have the
// recording form), the same workers, recovery and failure rules.
struct TransferRequest {
    const char* verb;  // "get" or "put"
    bool upload;
    std::string pvrPath;
    std::string local;
    bool resume;
    bool pauses;
};

int Transfer(const TransferRequest& r) {
    const std::string verb = r.verb;
    std::string pvrFolder;
    std::string pvrName;
    if (!SplitAtLastBackslash(r.pvrPath, &pvrFolder, &pvrName)) {
        return Failed(verb + ": not a path of a file on the PVR: " + r.pvrPath);
    }
    const std::optional<std::string> pcPath = platform::CommandLineToPcPath(r.local);
    std::string pcFolder;
    std::string pcName;
    if (!pcPath || !SplitAtLastBackslash(*pcPath, &pcFolder, &pcName)) {
        return Failed(verb + ": " + r.local + " is not on any of the PC's drives");
    }
    std::int64_t listedSize = 0;
    std::string error;
    if (!r.upload) {
        switch (PvrFileSize(r.pvrPath, &listedSize, &error)) {
            case Lookup::Found:
                break;
            case Lookup::Missing:
                return Failed(verb + ": no such file on the PVR: " + r.pvrPath);
            case Lookup::Failed:
                return Failed(verb + ": " + error);
        }
    } else if (const auto info = platform::GetFileInfo(*pcPath); !info || info->isFolder) {
        return Failed(verb + ": cannot read " + r.local + ": " +
                      (info ? "it is a folder" : std::strerror(platform::LastFsError())));
    }

    DeviceDescriptor descriptor{};
    TAVRIX_GetDeviceDescriptor(&descriptor);
    CTransferEngine engine(r.pauses);
    BatchSource source;
    bool given = false;
    source.nextSelected = [&](TransferSelection& selected) {
        if (std::exchange(given, true)) {
            return false;
        }
        selected = r.upload ? TransferSelection{pcName, 0, pvrName}
                            : TransferSelection{pvrName, listedSize, pcName};
        return true;
    };
    source.pcFolder = pcFolder;
    source.pvrFolder = pvrFolder;
    source.findOnPvr = [&](const std::string& name, std::int64_t* size) {
        return PvrFileSize(pvrFolder + name, size, &error) == Lookup::Found;
    };
    source.ask = [&](const std::string&) {
        return static_cast<int>(r.resume ? XFER_RESUME : XFER_OVERWRITE);
    };
    std::optional<TransferSkip> skipped;
    source.skipped = [&](const std::string&, TransferSkip why) { skipped = why; };
    source.tell = [&](const std::string& text) { Failed(verb + ": " + text); };
    source.speed = descriptor.speed;
    const BuildOutcome built = r.upload ? BuildUploadBatch(source, engine.Batch())
                                        : BuildDownloadBatch(source, engine.Batch());
    if (!error.empty()) {
        return Failed(verb + ": " + error);
    }
    const std::string& destination = r.upload ? r.pvrPath : r.local;
    const std::string& origin = r.upload ? r.local : r.pvrPath;
    if (skipped == TransferSkip::DestinationLarger) {
        return Failed(verb + ": " + destination + " is larger than " + origin +
                      "; it cannot be a part of it, so nothing was changed");
    }
    if (skipped == TransferSkip::NoCompanion) {
        return Failed(verb + ": the PVR has no .AVF file for the recording " + r.pvrPath);
    }
    if (skipped == TransferSkip::UnsafeName || skipped == TransferSkip::PathTooLong) {
        return 1;  // told already
    }
    if (built != BuildOutcome::Ready) {
        if (skipped == TransferSkip::AlreadyComplete) {
            std::fprintf(stderr, "%s: %s already holds all of %s; nothing to do\n", kProgram,
                         EscapeUnprintable(destination).c_str(), EscapeUnprintable(origin).c_str());
            return 0;
        }
        return Failed(verb + ": nothing to transfer");
    }
    CConsoleReport report(r.verb, engine);
    const bool finished =
        r.upload ? engine.RunUpload(descriptor.speed, report) : engine.RunDownload(report);
    if (finished) {
        return 0;
    }
    return Failed(verb + ": " +
                  (report.Failure().empty() ? "the transfer failed" : report.Failure()));
}

int Simple(const char* verb, std::int32_t command, const std::string& path,
           const std::string& second = std::string()) {
    FileControlBlock fcb;
    if (path.empty() || (command == FCNTL_RENAME && second.empty()) ||
        !BuildFileControlBlock(&fcb, command, path, second)) {
        return Failed(std::string(verb) + ": the PVR path is too long");
    }
    if (!TAVRIX_FCntl(&fcb)) {
        return Failed(std::string(verb) + " " + path + (second.empty() ? "" : " " + second) +
                      " failed");
    }
    return 0;
}

// Every command, declared once: its operands, whether it resumes, what it does.
struct Command {
    const char* name;
    std::vector<const char*> operands;
    bool resumable;  // takes --resume
    const char* help;
    std::function<int(const std::vector<std::string>& operands, bool resume)> run;
};

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands{
        {"info",
         {},
         false,
         "the PVR's identity, disk space and last software image",
         [](const auto&, bool) { return Info(); }},
        {"ls",
         {"PVRFOLDER"},
         false,
         "list a folder (C:\\PVR, C:\\PVR\\AV, ...)",
         [](const auto& o, bool) { return Ls(o[0]); }},
        {"get",
         {"PVRPATH", "LOCALFILE"},
         true,
         "copy a file or a recording from the PVR",
         [](const auto& o, bool resume) {
             return Transfer({"get", false, o[0], o[1], resume, g_pauses});
         }},
        {"put",
         {"LOCALFILE", "PVRPATH"},
         true,
         "copy a file or a recording to the PVR",
         [](const auto& o, bool resume) {
             return Transfer({"put", true, o[1], o[0], resume, g_pauses});
         }},
        {"rm",
         {"PVRPATH"},
         false,
         "delete a file",
         [](const auto& o, bool) { return Simple("rm", FCNTL_DELETE, o[0]); }},
        {"mkdir",
         {"PVRPATH"},
         false,
         "make a folder",
         [](const auto& o, bool) { return Simple("mkdir", FCNTL_MAKE_FOLDER, o[0]); }},
        {"rmdir",
         {"PVRPATH"},
         false,
         "remove an empty folder",
         [](const auto& o, bool) { return Simple("rmdir", FCNTL_REMOVE_FOLDER, o[0]); }},
        {"mv",
         {"OLDPATH", "NEWPATH"},
         false,
         "rename a file or a folder",
         [](const auto& o, bool) { return Simple("mv", FCNTL_RENAME, o[0], o[1]); }},
    };
    return commands;
}

int Usage(std::span<const CommandOption> options, const std::string& why) {
    if (!why.empty()) {
        std::fprintf(stderr, "%s: %s\n", kProgram, why.c_str());
    }
    const std::string start = std::string("usage: ") + kProgram + " ";
    std::vector<std::pair<std::string, std::string>> rows;
    for (const Command& command : Commands()) {
        std::string line = command.name;
        for (const char* operand : command.operands) {
            line.append(" ").append(operand);
        }
        rows.emplace_back(command.resumable ? line + " [--resume]" : line, command.help);
    }
    for (auto& row : OptionRows(options)) {
        rows.push_back(std::move(row));
    }
    std::fprintf(stderr, "%s%s COMMAND\n%s", start.c_str(),
                 OptionSynopsis(options, start.size()).c_str(), HelpLines(rows).c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> socket;
    bool resume = false;
    const CommandOption options[] = {
        {.name = "--socket",
         .argument = "PATH",
         .help = "the PVR's socket (else TAVRIX_PVR_SOCKET, else the default)",
         .take = [&](const std::string& value, std::string*) { return socket = value, true; }},
        {.name = "--resume",
         .take = [&](const std::string&, std::string*) { return resume = true; }},
        {.name = "--no-pauses",
         .help = "skip the pauses a transfer gives the PVR's firmware",
         .take =
             [](const std::string&, std::string*) {
                 g_pauses = false;
                 return true;
             }},
    };
    std::vector<std::string> operands;
    std::string error;
    if (ParseOptions(options, std::vector<std::string>(argv + 1, argv + argc), &operands, &error) !=
        OptionsEnd::Parsed) {
        return Usage(options, error);
    }
    if (operands.empty()) {
        return Usage(options, {});
    }
    const auto& commands = Commands();
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const Command& c) { return operands[0] == c.name; });
    if (command == commands.end() || operands.size() - 1 != command->operands.size() ||
        (resume && !command->resumable)) {
        return Usage(options, "bad command: " + operands[0]);
    }
    operands.erase(operands.begin());
    if (socket) {
        ::setenv("TAVRIX_PVR_SOCKET", socket->c_str(), 1);
    }

    TAVRIX_InitDevice(nullptr);
    struct Closer {
        ~Closer() { TAVRIX_UninitDevice(); }
    } closer;
    if (!TAVRIX_DevicePresent()) {
        const char* path = std::getenv("TAVRIX_PVR_SOCKET");
        return Failed(std::string("no PVR is attached") +
                      (path != nullptr ? std::string(" at ") + path : ""));
    }
    return command->run(operands, resume);
}
