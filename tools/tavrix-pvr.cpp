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
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/names.h"
#include "core/options.h"
#include "core/recordingname.h"
#include "device/imagerecord.h"
#include "device/tavrixapi.h"
#include "device/tavrixcalls.h"

namespace {

constexpr const char* kProgram = "tavrix-pvr";
constexpr std::uint32_t kChunk = 2u << 20;
constexpr std::uint32_t kBulkTimeoutMs = 10000;
// A PVR that never ends a listing, or never stops saying "busy", must not keep
// the command running for ever.
constexpr ListingBounds kListingBounds{.maxEntries = 100000, .deadline = std::chrono::seconds(60)};

int Failed(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", kProgram, what.c_str());
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

class CProgress {
public:
    CProgress(const char* verb, std::int64_t total)
        : m_verb(verb),
          m_total(total),
          m_show(::isatty(2) != 0),
          m_start(std::chrono::steady_clock::now()) {}
    void Update(std::int64_t done, bool last = false) {
        if (!m_show) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!last && now - m_shown < std::chrono::milliseconds(200)) {
            return;
        }
        m_shown = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const double mbs = seconds > 0 ? static_cast<double>(done) / 1e6 / seconds : 0.0;
        std::fprintf(stderr, "\r%s %" PRId64 " / %" PRId64 " bytes (%d%%), %.1f MB/s%s", m_verb,
                     done, m_total, m_total > 0 ? static_cast<int>(done * 100 / m_total) : 100, mbs,
                     last ? "\n" : "");
    }

private:
    const char* m_verb;
    std::int64_t m_total;
    bool m_show;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_shown{};
};

// A file opened on the PVR with its stream requested; the file is closed
// however the transfer ends.
class CPvrStream {
public:
    CPvrStream() = default;
    CPvrStream(const CPvrStream&) = delete;
    CPvrStream& operator=(const CPvrStream&) = delete;
    ~CPvrStream() {
        if (m_open) {
            FileControlBlock fcb{};
            fcb.command = FCNTL_CLOSE;
            TAVRIX_FCntl(&fcb);
        }
    }

    // Empty on success, else what failed.
    std::string Open(std::int32_t command, std::uint8_t direction, const std::string& pvrPath,
                     std::int64_t offset, std::int64_t byteCount) {
        FileControlBlock fcb;
        TransferItem item{};
        item.kind = TRANSFER_KIND_FILE;
        item.direction = direction;
        item.chunkSize = kChunk;
        item.offset = offset;
        item.byteCount = byteCount;
        if (pvrPath.empty() || !BuildFileControlBlock(&fcb, command, pvrPath) ||
            !CopyPath(item.pvrPath, pvrPath)) {
            return "the PVR path is too long: " + pvrPath;
        }
        fcb.offset = offset;
        if (!TAVRIX_FCntl(&fcb)) {
            return "cannot open " + pvrPath + " on the PVR";
        }
        m_open = true;
        if (!TAVRIX_RequestDataTransfer(&item)) {
            return "the PVR refused the stream of " + pvrPath;
        }
        return {};
    }

private:
    bool m_open = false;
};

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

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
    std::printf("product:  %.20s\n", d.productName);
    std::printf("oem:      %.20s\n", d.oemName);
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
        std::printf("%c %12" PRId64 " %04u-%02u-%02u %02u:%02u:%02u %.124s\n",
                    e.kind == STB_ENTRY_FOLDER ? 'd' : '-', e.size, e.year, e.month, e.day, e.hour,
                    e.minute, e.second, e.name);
    }
    return 0;
}

int Get(const std::string& pvrPath, const std::string& local, bool resume) {
    std::int64_t size = 0;
    std::string error;
    switch (PvrFileSize(pvrPath, &size, &error)) {
        case Lookup::Found:
            break;
        case Lookup::Missing:
            return Failed("get: no such file on the PVR: " + pvrPath);
        case Lookup::Failed:
            return Failed("get: " + error);
    }
    std::int64_t offset = 0;
    struct stat st {};
    if (resume && ::stat(local.c_str(), &st) == 0) {
        offset = st.st_size;
    }
    if (offset >= size && resume) {
        return 0;
    }
    FilePtr out(std::fopen(local.c_str(), offset > 0 ? "r+b" : "wb"));
    if (!out || (offset > 0 && fseeko(out.get(), offset, SEEK_SET) != 0)) {
        return Failed("get: cannot write " + local + ": " + std::strerror(errno));
    }
    CPvrStream stream;
    const std::int64_t byteCount = size - offset;
    if (const std::string refused =
            stream.Open(FCNTL_OPEN_DOWNLOAD, TRANSFER_DOWNLOAD, pvrPath, offset, byteCount);
        !refused.empty()) {
        return Failed("get: " + refused);
    }
    std::vector<char> buffer(kChunk);
    CProgress progress("get", size);
    std::int64_t done = 0;
    while (done < byteCount) {
        const auto want =
            static_cast<std::uint32_t>(std::min<std::int64_t>(kChunk, byteCount - done));
        const int got = TAVRIX_BulkIN(buffer.data(), want, 0);
        if (got <= 0) {
            break;
        }
        if (std::fwrite(buffer.data(), 1, static_cast<std::size_t>(got), out.get()) !=
            static_cast<std::size_t>(got)) {
            return Failed("get: cannot write " + local + ": " + std::strerror(errno));
        }
        done += got;
        progress.Update(offset + done);
    }
    progress.Update(offset + done, true);
    if (std::fclose(out.release()) != 0) {
        return Failed("get: cannot write " + local);
    }
    if (done < byteCount) {
        return Failed("get: transfer of " + pvrPath + " ended after " +
                      std::to_string(offset + done) + " of " + std::to_string(size) + " bytes");
    }
    return 0;
}

int Put(const std::string& local, const std::string& pvrPath, bool resume) {
    FilePtr in(std::fopen(local.c_str(), "rb"));
    struct stat st {};
    if (!in || ::fstat(fileno(in.get()), &st) != 0) {
        return Failed("put: cannot read " + local + ": " + std::strerror(errno));
    }
    const std::int64_t size = st.st_size;
    std::int64_t offset = 0;
    if (resume) {
        std::string error;
        switch (PvrFileSize(pvrPath, &offset, &error)) {
            case Lookup::Found:
                if (offset >= size) {
                    return 0;
                }
                break;
            case Lookup::Missing:
                offset = 0;
                break;
            case Lookup::Failed:
                return Failed("put: " + error);
        }
    }
    if (offset > 0 && fseeko(in.get(), offset, SEEK_SET) != 0) {
        return Failed("put: cannot read " + local + ": " + std::strerror(errno));
    }
    CPvrStream stream;
    const std::int64_t byteCount = size - offset;
    if (const std::string error = stream.Open(offset > 0 ? FCNTL_OPEN_UPLOAD : FCNTL_CREATE,
                                              TRANSFER_UPLOAD, pvrPath, offset, byteCount);
        !error.empty()) {
        return Failed("put: " + error);
    }
    std::vector<char> buffer(kChunk);
    CProgress progress("put", size);
    std::int64_t done = 0;
    while (done < byteCount) {
        const auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(kChunk, byteCount - done));
        const std::size_t got = std::fread(buffer.data(), 1, want, in.get());
        if (got == 0) {
            break;
        }
        std::size_t sent = 0;
        int retries = 1;
        while (sent < got) {
            const int n = TAVRIX_BulkOUT(buffer.data() + sent,
                                         static_cast<std::uint32_t>(got - sent), kBulkTimeoutMs);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (retries-- <= 0 || !TAVRIX_DevicePresent()) {
                return Failed("put: sending " + pvrPath + " failed at byte " +
                              std::to_string(offset + done + static_cast<std::int64_t>(sent)));
            }
        }
        done += static_cast<std::int64_t>(got);
        progress.Update(offset + done);
    }
    progress.Update(offset + done, true);
    if (done < byteCount) {
        return Failed("put: " + local + " ended before its size was read");
    }
    if (TAVRIX_RequestDataCompletion() != 1) {
        TAVRIX_RequestDataTransferStop();
        return Failed("put: the PVR did not confirm " + pvrPath);
    }
    return 0;
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
         [](const auto& o, bool resume) { return Get(o[0], o[1], resume); }},
        {"put",
         {"LOCALFILE", "PVRPATH"},
         true,
         "copy a file to the PVR",
         [](const auto& o, bool resume) { return Put(o[0], o[1], resume); }},
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
