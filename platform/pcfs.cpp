#include "platform/pcfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <system_error>

#include "core/names.h"
#include "platform/trace.h"

namespace platform {
namespace {

thread_local int t_lastError = 0;

bool Fail(int error) {
    t_lastError = error;
    return false;
}

char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// A PC path taken apart: its drive letter and its names, "." and ".." resolved.
struct PcParts {
    char letter = 0;
    std::vector<std::string> names;
};

std::optional<PcParts> SplitPcPath(std::string_view path) {
    if (path.size() < 2 || path[1] != ':') {
        return std::nullopt;
    }
    const char letter = ToUpperAscii(path[0]);
    if (letter < 'A' || letter > 'Z') {
        return std::nullopt;
    }
    std::string_view rest = path.substr(2);
    // "C:name" is relative to a drive's current folder, which this program never has.
    if (!rest.empty() && !IsSeparator(rest[0])) {
        return std::nullopt;
    }
    PcParts parts;
    parts.letter = letter;
    std::size_t pos = 0;
    while (pos < rest.size()) {
        while (pos < rest.size() && IsSeparator(rest[pos])) {
            ++pos;
        }
        std::size_t end = pos;
        while (end < rest.size() && !IsSeparator(rest[end])) {
            ++end;
        }
        const std::string_view name = rest.substr(pos, end - pos);
        pos = end;
        if (name.empty() || name == ".") {
            continue;
        }
        if (name.find('\0') != std::string_view::npos) {
            return std::nullopt;
        }
        if (name == "..") {
            if (parts.names.empty()) {
                return std::nullopt;  // would climb above the drive's root
            }
            parts.names.pop_back();
            continue;
        }
        parts.names.emplace_back(name);
    }
    return parts;
}

// Host paths are compared by their lexical form: absolute, no "." or "..", no
// trailing "/".
std::string NormalHostPath(const std::string& path) {
    std::filesystem::path p(path);
    if (p.is_relative()) {
        std::error_code ec;
        p = std::filesystem::absolute(p, ec);
    }
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') {
        s.pop_back();
    }
    return s;
}

std::vector<std::string> HostNames(const std::string& normal) {
    std::vector<std::string> names;
    std::size_t pos = 1;
    while (pos < normal.size()) {
        std::size_t end = normal.find('/', pos);
        if (end == std::string::npos) {
            end = normal.size();
        }
        if (end > pos) {
            names.push_back(normal.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    return names;
}

std::mutex g_driveMutex;
std::optional<std::vector<Drive>> g_drives;
std::vector<std::string> g_driveWarnings;

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<Drive> BuildDriveTable(std::vector<std::string>* warnings) {
    warnings->clear();
    if (const char* driveText = std::getenv("TAVRIX_DRIVES"); driveText != nullptr) {
        // Entries that cannot be read map nothing rather than falling back to the
        // host's root: a test that meant a private C: must not reach the real one.
        DriveMap map = ParseDriveMap(driveText);
        *warnings = std::move(map.problems);
        for (const Drive& d : map.drives) {
            struct stat st {};
            if (stat(d.hostRoot.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                warnings->push_back(std::string("TAVRIX_DRIVES: the folder of ") + d.letter +
                                    ": (" + d.hostRoot + ") does not exist");
            }
        }
        return std::move(map.drives);
    }
    std::vector<Drive> drives;
    drives.push_back(Drive{'C', "/", DriveType::Fixed});
    for (Drive& d : DrivesFromMounts(ReadSmallFile("/proc/self/mounts"), "/sys")) {
        drives.push_back(std::move(d));
    }
    return drives;
}

const Drive* FindDrive(const std::vector<Drive>& drives, char letter) {
    for (const Drive& d : drives) {
        if (d.letter == letter) {
            return &d;
        }
    }
    return nullptr;
}

std::string JoinHost(const std::string& root, const std::vector<std::string>& names) {
    std::string out = root;
    for (const std::string& n : names) {
        if (out.empty() || out.back() != '/') {
            out += '/';
        }
        out += n;
    }
    return out;
}

// The name in dir that equals name without regard to case (the first in byte
// order when several do).
std::optional<std::string> FindNameNoCase(const std::string& dir, const std::string& name) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    while (const dirent* de = readdir(d)) {
        const std::string_view n = de->d_name;
        if (n != "." && n != ".." && EqualsNoCase(n, name) && (!found || n < *found)) {
            found = std::string(n);
        }
    }
    closedir(d);
    return found;
}

bool HostExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// PC names are not case-sensitive: a name that exists in another case is that
// name. The first name that exists in no case, and every name after it, is
// taken as written. With resolveLast false the last name is always as written
// (the new name of a rename or a folder being made).
std::string ResolveNames(const std::string& root, const std::vector<std::string>& names,
                         bool resolveLast) {
    const std::size_t resolvable = resolveLast || names.empty() ? names.size() : names.size() - 1;
    std::string written = JoinHost(root, names);
    if (resolvable == 0 || (resolveLast && HostExists(written))) {
        return written;
    }
    std::string cur = root;
    std::size_t i = 0;
    for (; i < resolvable; ++i) {
        const std::string exact = JoinHost(cur, {names[i]});
        if (HostExists(exact)) {
            cur = exact;
            continue;
        }
        auto match = FindNameNoCase(cur, names[i]);
        if (!match) {
            break;
        }
        cur = JoinHost(cur, {*match});
    }
    return JoinHost(
        cur, std::vector<std::string>(names.begin() + static_cast<std::ptrdiff_t>(i), names.end()));
}

std::optional<std::string> PartsToHost(const PcParts& parts, bool resolveLast = true) {
    const std::vector<Drive> drives = GetDrives();
    const Drive* drive = FindDrive(drives, parts.letter);
    if (drive == nullptr) {
        return std::nullopt;
    }
    return ResolveNames(drive->hostRoot, parts.names, resolveLast);
}

// The host path of a PC path, setting the thread's error when it is refused.
std::optional<std::string> HostOf(std::string_view pcPath, bool* isRoot = nullptr,
                                  bool resolveLast = true) {
    auto parts = SplitPcPath(pcPath);
    if (!parts) {
        t_lastError = EINVAL;
        return std::nullopt;
    }
    auto host = PartsToHost(*parts, resolveLast);
    if (!host) {
        t_lastError = ENOENT;
        return std::nullopt;
    }
    if (isRoot != nullptr) {
        *isRoot = parts->names.empty();
    }
    return host;
}

std::int64_t ToMs(const struct statx_timestamp& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

bool StatEntry(int dirFd, const char* name, FindEntry& entry) {
    struct statx stx {};
    const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
    if (statx(dirFd, name, AT_STATX_SYNC_AS_STAT, mask, &stx) != 0 &&
        statx(dirFd, name, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, mask, &stx) != 0) {
        return false;
    }
    entry.size = stx.stx_size;
    entry.isFolder = S_ISDIR(stx.stx_mode);
    entry.readOnly = (stx.stx_mode & S_IWUSR) == 0;
    entry.lastWriteTime = ToMs(stx.stx_mtime);
    entry.creationTime =
        (stx.stx_mask & STATX_BTIME) != 0 ? ToMs(stx.stx_btime) : entry.lastWriteTime;
    return true;
}

bool NameMatches(std::string_view pattern, std::string_view name) {
    if (WildcardMatch(pattern, name)) {
        return true;
    }
    // "*.*" (and "x*.*") also matches names that have no dot at all.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos) {
        return WildcardMatch(pattern.substr(0, pattern.size() - 2), name);
    }
    return false;
}

// Owns an open directory stream.
class DirHandle {
public:
    explicit DirHandle(const std::string& path) : m_dir(opendir(path.c_str())) {}
    ~DirHandle() {
        if (m_dir != nullptr) {
            closedir(m_dir);
        }
    }
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    DIR* get() const { return m_dir; }

private:
    DIR* m_dir;
};

DriveType DriveTypeFromName(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, DriveType>, 5> kNames{{
        {"fixed", DriveType::Fixed},
        {"removable", DriveType::Removable},
        {"cdrom", DriveType::Cdrom},
        {"remote", DriveType::Remote},
        {"ramdisk", DriveType::RamDisk},
    }};
    for (const auto& [n, t] : kNames) {
        if (EqualsNoCase(n, name)) {
            return t;
        }
    }
    return DriveType::Unknown;
}

// Mount table fields escape blanks and backslashes as octal ("\040").
std::string UnescapeMountField(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view oct = field.substr(i + 1, 3);
            if (oct.size() == 3 &&
                std::all_of(oct.begin(), oct.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>((oct[0] - '0') * 64 + (oct[1] - '0') * 8 + (oct[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

bool IsRemoteFs(std::string_view fs) {
    static constexpr std::array<std::string_view, 11> kRemote{
        "nfs", "nfs4",      "cifs",       "smb3",        "smbfs",      "ncpfs",
        "afs", "glusterfs", "fuse.sshfs", "fuse.davfs2", "fuse.rclone"};
    return std::find(kRemote.begin(), kRemote.end(), fs) != kRemote.end();
}

// The sysfs folder of the whole disk a block device belongs to.
std::optional<std::filesystem::path> DiskSysDir(const std::string& sysfsRoot,
                                                std::string_view device) {
    if (device.substr(0, 5) != "/dev/") {
        return std::nullopt;
    }
    std::error_code ec;
    const std::filesystem::path node =
        std::filesystem::path(sysfsRoot) / "class/block" / std::string(device.substr(5));
    std::filesystem::path dir = std::filesystem::canonical(node, ec);
    if (ec) {
        return std::nullopt;
    }
    if (std::filesystem::exists(dir / "partition", ec)) {
        dir = dir.parent_path();
    }
    return dir;
}

}  // namespace

std::string Drive::Root() const {
    return std::string(1, letter) + ":\\";
}

DriveMap ParseDriveMap(std::string_view driveText) {
    DriveMap map;
    const auto unreadable = [&map](std::string_view item) {
        map.problems.push_back("TAVRIX_DRIVES: cannot read \"" + std::string(item) +
                               "\" (it should be LETTER=FOLDER or LETTER:TYPE=FOLDER); ignored");
    };
    std::size_t pos = 0;
    while (pos <= driveText.size()) {
        // Entries are separated by "," or ";", which a hand-written map uses as often.
        std::size_t end = driveText.find_first_of(",;", pos);
        if (end == std::string_view::npos) {
            end = driveText.size();
        }
        std::string_view item = driveText.substr(pos, end - pos);
        pos = end + 1;
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) {
            item.remove_prefix(1);
        }
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) {
            item.remove_suffix(1);
        }
        if (item.empty()) {
            continue;
        }
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos || eq == 0 || eq + 1 == item.size()) {
            unreadable(item);
            continue;
        }
        const std::string_view key = item.substr(0, eq);
        Drive d;
        d.letter = ToUpperAscii(key[0]);
        if (d.letter < 'A' || d.letter > 'Z' ||
            (key.size() > 1 && (key[1] != ':' || key.size() == 2))) {
            unreadable(item);
            continue;
        }
        if (key.size() > 1) {
            d.type = DriveTypeFromName(key.substr(2));
            if (d.type == DriveType::Unknown) {
                map.problems.push_back("TAVRIX_DRIVES: \"" + std::string(item) +
                                       "\" names an unknown drive type (removable, fixed, "
                                       "remote, cdrom or ramdisk); ignored");
                continue;
            }
        }
        if (FindDrive(map.drives, d.letter) != nullptr) {
            map.problems.push_back("TAVRIX_DRIVES: \"" + std::string(item) + "\" names drive " +
                                   d.letter + ": a second time; ignored");
            continue;
        }
        d.hostRoot = NormalHostPath(std::string(item.substr(eq + 1)));
        map.drives.push_back(std::move(d));
    }
    std::sort(map.drives.begin(), map.drives.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    return map;
}

std::vector<Drive> DrivesFromMounts(std::string_view mounts, const std::string& sysfsRoot) {
    std::vector<Drive> drives;
    std::vector<std::string> seen{"/"};
    char next = 'D';
    std::istringstream lines{std::string(mounts)};
    std::string line;
    while (std::getline(lines, line) && next <= 'Z') {
        std::istringstream fields(line);
        std::string device;
        std::string mountPoint;
        std::string fsType;
        if (!(fields >> device >> mountPoint >> fsType)) {
            continue;
        }
        device = UnescapeMountField(device);
        mountPoint = NormalHostPath(UnescapeMountField(mountPoint));
        if (std::find(seen.begin(), seen.end(), mountPoint) != seen.end()) {
            continue;
        }
        DriveType type = DriveType::Unknown;
        if (IsRemoteFs(fsType)) {
            type = DriveType::Remote;
        } else if (fsType == "iso9660" || fsType == "udf" || device.rfind("/dev/sr", 0) == 0) {
            type = DriveType::Cdrom;
        } else if (auto dir = DiskSysDir(sysfsRoot, device)) {
            const std::string removable = ReadSmallFile((*dir / "removable").string());
            // USB disks often report themselves fixed; the bus they hang on tells.
            if (removable.rfind('1', 0) == 0 || dir->string().find("/usb") != std::string::npos) {
                type = DriveType::Removable;
            }
        }
        if (type == DriveType::Unknown) {
            continue;
        }
        seen.push_back(mountPoint);
        drives.push_back(Drive{next++, mountPoint, type});
    }
    return drives;
}

std::vector<Drive> GetDrives() {
    std::lock_guard<std::mutex> lock(g_driveMutex);
    if (!g_drives) {
        g_drives = BuildDriveTable(&g_driveWarnings);
    }
    return *g_drives;
}

void ReloadDriveTable() {
    std::lock_guard<std::mutex> lock(g_driveMutex);
    g_drives = BuildDriveTable(&g_driveWarnings);
}

std::vector<std::string> DriveTableWarnings() {
    std::lock_guard<std::mutex> lock(g_driveMutex);
    if (!g_drives) {
        g_drives = BuildDriveTable(&g_driveWarnings);
    }
    return g_driveWarnings;
}

std::vector<std::string> GetLogicalDriveStrings() {
    std::vector<std::string> roots;
    for (const Drive& d : GetDrives()) {
        roots.push_back(d.Root());
    }
    return roots;
}

DriveType GetDriveType(std::string_view root) {
    if (root.size() < 2 || root[1] != ':') {
        return DriveType::NoRootDir;
    }
    const std::vector<Drive> drives = GetDrives();
    const Drive* d = FindDrive(drives, ToUpperAscii(root[0]));
    return d != nullptr ? d->type : DriveType::NoRootDir;
}

std::optional<std::string> ToHostPath(std::string_view pcPath) {
    auto parts = SplitPcPath(pcPath);
    if (!parts) {
        return std::nullopt;
    }
    return PartsToHost(*parts);
}

std::optional<std::string> NormalizePcPath(std::string_view pcPath) {
    auto parts = SplitPcPath(pcPath);
    if (!parts) {
        return std::nullopt;
    }
    std::string out(1, parts->letter);
    out += ":\\";
    for (std::size_t i = 0; i < parts->names.size(); ++i) {
        if (i > 0) {
            out += '\\';
        }
        out += parts->names[i];
    }
    return out;
}

std::optional<std::string> ToPcPath(std::string_view hostPath) {
    if (hostPath.empty() || hostPath[0] != '/') {
        return std::nullopt;
    }
    const std::vector<std::string> names = HostNames(NormalHostPath(std::string(hostPath)));
    const Drive* best = nullptr;
    std::size_t bestLen = 0;
    const std::vector<Drive> drives = GetDrives();
    for (const Drive& d : drives) {
        const std::vector<std::string> rootNames = HostNames(d.hostRoot);
        if (rootNames.size() > names.size() ||
            !std::equal(rootNames.begin(), rootNames.end(), names.begin())) {
            continue;
        }
        if (best == nullptr || rootNames.size() > bestLen) {
            best = &d;
            bestLen = rootNames.size();
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    std::string out = best->Root();
    for (std::size_t i = bestLen; i < names.size(); ++i) {
        if (names[i].find('\\') != std::string::npos) {
            return std::nullopt;
        }
        if (i > bestLen) {
            out += '\\';
        }
        out += names[i];
    }
    return out;
}

std::optional<std::string> CommandLineToPcPath(const std::string& hostPath) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(hostPath, ec);
    if (ec) {
        return std::nullopt;
    }
    return ToPcPath(absolute.string());
}

bool FindFiles(std::string_view pattern, std::vector<FindEntry>& entries) {
    entries.clear();
    std::size_t cut = pattern.find_last_of("\\/");
    if (cut == std::string_view::npos || cut + 1 == pattern.size()) {
        return Fail(EINVAL);
    }
    const std::string_view wild = pattern.substr(cut + 1);
    auto folder = HostOf(pattern.substr(0, cut + 1));
    if (!folder) {
        return false;
    }
    DirHandle dir(*folder);
    if (dir.get() == nullptr) {
        return Fail(errno);
    }
    const int fd = dirfd(dir.get());
    while (const dirent* de = readdir(dir.get())) {
        const std::string_view name = de->d_name;
        // A host name holding "\" has no PC form: it would read back as two names.
        if (name == "." || name == ".." || name.find('\\') != std::string_view::npos ||
            !NameMatches(wild, name)) {
            continue;
        }
        FindEntry entry;
        entry.name = std::string(name);
        entry.hidden = name[0] == '.';
        if (!StatEntry(fd, de->d_name, entry)) {
            continue;  // vanished between the listing and the look
        }
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const FindEntry& a, const FindEntry& b) {
        const int order = CompareNoCase(a.name, b.name);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    t_lastError = 0;
    return true;
}

std::optional<FindEntry> GetFileInfo(std::string_view pcPath) {
    auto parts = SplitPcPath(pcPath);
    if (!parts) {
        t_lastError = EINVAL;
        return std::nullopt;
    }
    auto host = PartsToHost(*parts);
    if (!host) {
        t_lastError = ENOENT;
        return std::nullopt;
    }
    FindEntry entry;
    if (!StatEntry(AT_FDCWD, host->c_str(), entry)) {
        t_lastError = errno;
        return std::nullopt;
    }
    entry.name = parts->names.empty() ? std::string() : parts->names.back();
    entry.hidden = !entry.name.empty() && entry.name[0] == '.';
    return entry;
}

bool FileExists(std::string_view pcPath) {
    return GetFileInfo(pcPath).has_value();
}

bool FolderExists(std::string_view pcPath) {
    auto info = GetFileInfo(pcPath);
    return info && info->isFolder;
}

bool CreateDirectory(std::string_view pcPath) {
    auto existing = HostOf(pcPath);
    auto host = HostOf(pcPath, nullptr, false);
    if (!existing || !host) {
        return false;
    }
    // "new" beside an existing "New" is the same name on a PC.
    if (HostExists(*existing)) {
        return Fail(EEXIST);
    }
    if (mkdir(host->c_str(), 0777) != 0) {
        return Fail(errno);
    }
    return true;
}

bool RemoveDirectory(std::string_view pcPath) {
    bool isRoot = false;
    auto host = HostOf(pcPath, &isRoot);
    if (!host) {
        return false;
    }
    if (isRoot) {
        return Fail(EBUSY);  // an empty drive folder would otherwise vanish
    }
    // The tree shows a link to a folder as a folder; removing it removes the
    // link, as removing a junction does, and never the folder it leads to.
    struct stat st {};
    if (lstat(host->c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (stat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            return Fail(ENOTDIR);
        }
        if (unlink(host->c_str()) != 0) {
            return Fail(errno);
        }
        return true;
    }
    if (rmdir(host->c_str()) != 0) {
        return Fail(errno);
    }
    return true;
}

namespace {

// Empties the folder open as dirFd (the fd is taken over). Every step works
// relative to an open folder and opens nothing through a link, so a folder
// swapped for a link half-way through cannot lead the removal out of the tree.
// Folders on another device than `device` are mount points: not entered.
bool EmptyFolderAt(int dirFd, dev_t device) {
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        const int error = errno;
        close(dirFd);
        return Fail(error);
    }
    const int fd = dirfd(dir);
    // Names first: removing while reading may skip entries.
    std::vector<std::string> names;
    while (const dirent* de = readdir(dir)) {
        const std::string_view name = de->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    bool ok = true;
    int error = 0;
    const auto failed = [&ok, &error](int code) {
        ok = false;
        error = code;
    };
    for (const std::string& name : names) {
        struct stat st {};
        if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) {
                failed(errno);
            }
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            // Files and links alike: unlinking a link leaves its target alone.
            if (unlinkat(fd, name.c_str(), 0) != 0 && errno != ENOENT) {
                failed(errno);
            }
            continue;
        }
        if (st.st_dev != device) {
            failed(EXDEV);
            continue;
        }
        const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat opened {};
        if (child < 0 || fstat(child, &opened) != 0 || opened.st_ino != st.st_ino ||
            opened.st_dev != st.st_dev) {
            failed(child < 0 ? errno : EAGAIN);
            if (child >= 0) {
                close(child);
            }
            continue;
        }
        if (!EmptyFolderAt(child, device)) {
            failed(t_lastError);
            continue;
        }
        if (unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0) {
            failed(errno);
        }
    }
    closedir(dir);
    return ok || Fail(error);
}

}  // namespace

bool RemoveFolderContents(std::string_view pcPath) {
    bool isRoot = false;
    auto host = HostOf(pcPath, &isRoot);
    if (!host) {
        return false;
    }
    if (isRoot) {
        return Fail(EBUSY);  // never a whole drive
    }
    struct stat st {};
    if (lstat(host->c_str(), &st) != 0) {
        return Fail(errno);
    }
    if (S_ISLNK(st.st_mode)) {
        return true;  // the contents belong to the link's target
    }
    if (!S_ISDIR(st.st_mode)) {
        return Fail(ENOTDIR);
    }
    const int fd = open(host->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return Fail(errno);
    }
    if (!EmptyFolderAt(fd, st.st_dev)) {
        return false;
    }
    t_lastError = 0;
    return true;
}

bool MoveFile(std::string_view oldPcPath, std::string_view newPcPath) {
    bool oldRoot = false;
    bool newRoot = false;
    auto from = HostOf(oldPcPath, &oldRoot);
    auto toExisting = HostOf(newPcPath, &newRoot);
    auto to = HostOf(newPcPath, nullptr, false);
    if (!from || !toExisting || !to) {
        return false;
    }
    if (oldRoot || newRoot) {
        return Fail(EBUSY);
    }
    if (*to == *from) {
        return true;  // the same name, written the same way
    }
    // Another file of the new name, in any case, stops the rename; the file
    // itself under a new case ("song.mp3" -> "Song.mp3") does not.
    if (*toExisting != *from && HostExists(*toExisting)) {
        return Fail(EEXIST);
    }
    // A plain rename would silently replace an existing file of the new name.
    if (renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return Fail(errno);
    }
    if (HostExists(*to)) {
        return Fail(EEXIST);
    }
    if (rename(from->c_str(), to->c_str()) != 0) {
        return Fail(errno);
    }
    return true;
}

bool ReplaceFile(std::string_view fromPcPath, std::string_view toPcPath) {
    auto from = HostOf(fromPcPath);
    auto to = HostOf(toPcPath);
    if (!from || !to) {
        return false;
    }
    struct stat st {};
    if (lstat(from->c_str(), &st) != 0) {
        return Fail(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return Fail(EISDIR);
    }
    if (lstat(to->c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return Fail(EISDIR);
    }
    if (rename(from->c_str(), to->c_str()) != 0) {
        return Fail(errno);
    }
    return true;
}

bool DeleteFile(std::string_view pcPath) {
    auto host = HostOf(pcPath);
    if (!host) {
        return false;
    }
    struct stat st {};
    if (lstat(host->c_str(), &st) != 0) {
        return Fail(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return Fail(EISDIR);
    }
    if (unlink(host->c_str()) != 0) {
        return Fail(errno);
    }
    return true;
}

int LastFsError() {
    return t_lastError;
}

LocalTime ToLocalTime(std::int64_t msSinceEpoch) {
    std::int64_t secs = msSinceEpoch / 1000;
    if (msSinceEpoch < 0 && msSinceEpoch % 1000 != 0) {
        --secs;
    }
    const std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    localtime_r(&t, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

PcFile::~PcFile() {
    Close();
}

PcFile::PcFile(PcFile&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

PcFile& PcFile::operator=(PcFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool PcFile::Open(std::string_view pcPath, Mode mode) {
    Close();
    auto host = HostOf(pcPath);
    if (!host) {
        return false;
    }
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read:
            flags |= O_RDONLY;
            break;
        case Mode::Write:
            flags |= O_RDWR;
            break;
        case Mode::Create:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
        case Mode::CreateNew:
            flags |= O_RDWR | O_CREAT | O_EXCL;
            break;
    }
    const int fd = ::open(host->c_str(), flags, 0666);
    if (fd < 0) {
        return Fail(errno);
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Fail(EISDIR);
    }
    m_fd = fd;
    return true;
}

void PcFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

namespace {

// Reads until count bytes are in or the file ends, through call(out, want,
// done), which reads once at the place done bytes on; -1 on an error.
template <typename ReadOnce>
std::int64_t ReadFully(void* buffer, std::size_t count, ReadOnce call) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = call(out + done, count - done, done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            t_lastError = errno;
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace

std::int64_t PcFile::Read(void* buffer, std::size_t count) {
    if (m_fd < 0) {
        t_lastError = EBADF;
        return -1;
    }
    return ReadFully(buffer, count, [this](char* out, std::size_t want, std::size_t) {
        return ::read(m_fd, out, want);
    });
}

std::int64_t PcFile::ReadAt(void* buffer, std::size_t count, std::int64_t offset) const {
    if (m_fd < 0 || offset < 0) {
        t_lastError = m_fd < 0 ? EBADF : EINVAL;
        return -1;
    }
    return ReadFully(buffer, count, [this, offset](char* out, std::size_t want, std::size_t done) {
        return ::pread(m_fd, out, want,
                       static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
    });
}

bool PcFile::Write(const void* buffer, std::size_t count) {
    if (m_fd < 0) {
        return Fail(EBADF);
    }
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t PcFile::Seek(std::int64_t offset, Origin origin) {
    if (m_fd < 0) {
        t_lastError = EBADF;
        return -1;
    }
    const int whence = origin == Origin::Begin     ? SEEK_SET
                       : origin == Origin::Current ? SEEK_CUR
                                                   : SEEK_END;
    const off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (pos < 0) {
        t_lastError = errno;
        return -1;
    }
    return pos;
}

std::int64_t PcFile::Position() const {
    if (m_fd < 0) {
        return -1;
    }
    return ::lseek(m_fd, 0, SEEK_CUR);
}

std::int64_t PcFile::Size() const {
    struct stat st {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0) {
        return -1;
    }
    return st.st_size;
}

bool PcFile::Flush() {
    if (m_fd < 0) {
        return Fail(EBADF);
    }
    if (fsync(m_fd) != 0) {
        return Fail(errno);
    }
    return true;
}

}  // namespace platform
