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
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/tavrixapi.h"

namespace {

constexpr std::uint32_t kChunk = 2u << 20;
constexpr std::uint32_t kBulkTimeoutMs = 10000;
constexpr int kListingCapacity = 1000;

const char* const kUsage =
    "usage: tavrix-pvr [--socket PATH] COMMAND\n"
    "  info                          the PVR's identity and disk space\n"
    "  ls PVRFOLDER                  list a folder (C:\\PVR, C:\\PVR\\AV, ...)\n"
    "  get PVRPATH LOCALFILE [--resume]\n"
    "  put LOCALFILE PVRPATH [--resume]\n"
    "  rm PVRPATH | mkdir PVRPATH | rmdir PVRPATH | mv OLDPATH NEWPATH\n";

int Usage(const char* why) {
    if (why != nullptr) {
        std::fprintf(stderr, "tavrix-pvr: %s\n", why);
    }
    std::fputs(kUsage, stderr);
    return 2;
}

int Failed(const std::string& what) {
    std::fprintf(stderr, "tavrix-pvr: %s\n", what.c_str());
    return 1;
}

// The library's own field limits: a path that does not fit is refused here
// rather than cut short.
bool CopyPath(char* field, std::size_t size, const std::string& path) {
    if (path.empty() || path.size() >= size) {
        return false;
    }
    std::memcpy(field, path.c_str(), path.size() + 1);
    return true;
}

struct Listing {
    std::vector<StbFindData> entries;
    StbDiskSpace space{};
};

std::string FolderOf(const std::string& path) {
    std::string folder = path;
    if (folder.empty() || folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

// Lists a whole folder. The device may say "busy" for a while first.
bool List(const std::string& folder, Listing* out) {
    if (TAVRIX_FindFile((FolderOf(folder) + "*.*").c_str()) == 0) {
        return false;
    }
    std::vector<StbFindData> page(kListingCapacity);
    int busy = 0;
    while (true) {
        const int n = TAVRIX_FindNext(0, kListingCapacity, &out->space, page.data());
        if (n == -1) {
            // About a minute of "busy" is a device that will not answer.
            if (++busy > 600 || !TAVRIX_DevicePresent()) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (n <= 0) {
            break;
        }
        out->entries.insert(out->entries.end(), page.begin(), page.begin() + n);
    }
    if (!out->entries.empty()) {
        TAVRIX_FindClose(0);
    }
    return true;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::string EntryName(const StbFindData& entry, const std::string& folder) {
    std::string name(entry.name, strnlen(entry.name, sizeof entry.name));
    const std::string prefix = FolderOf(folder);
    if (name.size() > prefix.size() && EqualsNoCase(name.substr(0, prefix.size()), prefix)) {
        name.erase(0, prefix.size());
    }
    return name;
}

// The size of a file on the PVR as its folder lists it. A recording's listed
// name TITLE_STAMP.AVR stands for its parts TITLE_#NNN_STAMP.AVR.
bool PvrFileSize(const std::string& path, std::int64_t* size) {
    const std::size_t cut = path.rfind('\\');
    if (cut == std::string::npos) {
        return false;
    }
    const std::string folder = path.substr(0, cut);
    const std::string name = path.substr(cut + 1);
    Listing listing;
    if (!List(folder, &listing)) {
        return false;
    }
    std::int64_t parts = 0;
    bool anyPart = false;
    const std::size_t len = name.size();
    const bool listedForm =
        len >= 17 && name[len - 17] == '_' && EqualsNoCase(name.substr(len - 4), ".AVR");
    for (const StbFindData& entry : listing.entries) {
        if (entry.kind != STB_ENTRY_FILE) {
            continue;
        }
        const std::string entryName = EntryName(entry, folder);
        if (EqualsNoCase(entryName, name)) {
            *size = entry.size;
            return true;
        }
        const std::size_t el = entryName.size();
        if (listedForm && el == len + 5 && entryName[el - 21] == '#' &&
            EqualsNoCase(entryName.substr(0, len - 16), name.substr(0, len - 16)) &&
            EqualsNoCase(entryName.substr(el - 17), name.substr(len - 17))) {
            parts += entry.size;
            anyPart = true;
        }
    }
    *size = parts;
    return anyPart;
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
        FileControlBlock fcb{};
        fcb.command = command;
        fcb.offset = offset;
        TransferItem item{};
        item.kind = TRANSFER_KIND_FILE;
        item.direction = direction;
        item.chunkSize = kChunk;
        item.offset = offset;
        item.byteCount = byteCount;
        if (!CopyPath(fcb.path, sizeof fcb.path, pvrPath) ||
            !CopyPath(item.pvrPath, sizeof item.pvrPath, pvrPath)) {
            return "the PVR path is too long: " + pvrPath;
        }
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
    Listing listing;
    if (!List("C:\\PVR", &listing)) {
        return Failed("info: cannot read the PVR's disk space");
    }
    std::printf("product:  %.20s\n", d.productName);
    std::printf("oem:      %.20s\n", d.oemName);
    std::printf("software: %x.%02x\n", d.stbVersion >> 8, d.stbVersion & 0xFF);
    std::printf("usb:      0x%08x\n", d.usbVersion);
    std::printf("speed:    %s\n", d.speed != 0 ? "high (480 MHz)" : "full (12 MHz)");
    std::printf("free:     %" PRId64 " bytes\n", listing.space.freeBytes);
    std::printf("total:    %" PRId64 " bytes\n", listing.space.totalBytes);
    return 0;
}

int Ls(const std::string& folder) {
    Listing listing;
    if (!List(folder, &listing)) {
        return Failed("ls: cannot list " + folder);
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
    if (!PvrFileSize(pvrPath, &size)) {
        return Failed("get: no such file on the PVR: " + pvrPath);
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
    if (const std::string error =
            stream.Open(FCNTL_OPEN_DOWNLOAD, TRANSFER_DOWNLOAD, pvrPath, offset, byteCount);
        !error.empty()) {
        return Failed("get: " + error);
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
    if (resume && PvrFileSize(pvrPath, &offset) && offset >= size) {
        return 0;
    }
    if (!resume) {
        offset = 0;
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
    FileControlBlock fcb{};
    fcb.command = command;
    if (!CopyPath(fcb.path, sizeof fcb.path, path) ||
        (command == FCNTL_RENAME && !CopyPath(fcb.secondPath, sizeof fcb.secondPath, second))) {
        return Failed(std::string(verb) + ": the PVR path is too long");
    }
    if (!TAVRIX_FCntl(&fcb)) {
        return Failed(std::string(verb) + " " + path + (second.empty() ? "" : " " + second) +
                      " failed");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--socket") {
        ::setenv("TAVRIX_PVR_SOCKET", args[1].c_str(), 1);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return Usage(nullptr);
    }
    const std::string command = args[0];
    bool resume = false;
    if ((command == "get" || command == "put") && !args.empty() && args.back() == "--resume") {
        resume = true;
        args.pop_back();
    }
    const std::size_t operands = args.size() - 1;
    const bool known =
        (command == "info" && operands == 0) ||
        ((command == "ls" || command == "rm" || command == "mkdir" || command == "rmdir") &&
         operands == 1) ||
        ((command == "get" || command == "put" || command == "mv") && operands == 2);
    if (!known) {
        return Usage(("bad command: " + command).c_str());
    }

    TAVRIX_InitDevice(nullptr);
    struct Closer {
        ~Closer() { TAVRIX_UninitDevice(); }
    } closer;
    if (!TAVRIX_DevicePresent()) {
        const char* socket = std::getenv("TAVRIX_PVR_SOCKET");
        return Failed(std::string("no PVR is attached") +
                      (socket != nullptr ? std::string(" at ") + socket : ""));
    }
    if (command == "info") {
        return Info();
    }
    if (command == "ls") {
        return Ls(args[1]);
    }
    if (command == "get") {
        return Get(args[1], args[2], resume);
    }
    if (command == "put") {
        return Put(args[1], args[2], resume);
    }
    if (command == "rm") {
        return Simple("rm", FCNTL_DELETE, args[1]);
    }
    if (command == "mkdir") {
        return Simple("mkdir", FCNTL_MAKE_FOLDER, args[1]);
    }
    if (command == "rmdir") {
        return Simple("rmdir", FCNTL_REMOVE_FOLDER, args[1]);
    }
    return Simple("mv", FCNTL_RENAME, args[1], args[2]);
}
