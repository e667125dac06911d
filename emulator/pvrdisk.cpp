#include "emulator/pvrdisk.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <tuple>

#include "core/names.h"
#include "core/recordingname.h"
#include "device/imagerecord.h"

namespace pvrd {

namespace {

constexpr std::string_view kRootPath = "C:\\PVR";
const char* const kSystemFolders[] = {"AV", "MP3", "IMG", "Firmware"};

enum class Kind { None, File, Folder, Refused };

Kind KindOf(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return Kind::None;
    }
    if (S_ISDIR(st.st_mode)) {
        return Kind::Folder;
    }
    if (S_ISREG(st.st_mode)) {
        return Kind::File;
    }
    // Links could lead anywhere on the host; devices and sockets are no files.
    return Kind::Refused;
}

bool ValidComponent(std::string_view name) {
    if (name.empty() || name.find_first_not_of('.') == std::string_view::npos) {
        return false;
    }
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::strchr("<>:\"/\\|?*", c) != nullptr) {
            return false;
        }
    }
    return true;
}

// Looks name up in folder: the exact name first, then any case of it.
Kind Lookup(const std::filesystem::path& folder, const std::string& name, std::string* actual) {
    Kind kind = KindOf(folder / name);
    if (kind != Kind::None) {
        *actual = name;
        return kind;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return Kind::None;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (EqualsNoCase(entry->d_name, name)) {
            *actual = entry->d_name;
            kind = KindOf(folder / *actual);
            break;
        }
    }
    ::closedir(dir);
    return kind;
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    return names;
}

// "*.*" lists every name, dotted or not, as "*" does.
bool MaskMatches(std::string_view mask, std::string_view name) {
    return mask == "*.*" || WildcardMatch(mask, name);
}

std::int64_t UsedBytes(const std::filesystem::path& root) {
    std::int64_t used = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec)) {
            used += static_cast<std::int64_t>(it->file_size(ec));
        }
    }
    return used;
}

}  // namespace

bool SplitPvrPath(std::string_view path, std::vector<std::string>* components) {
    components->clear();
    if (path.size() < kRootPath.size() ||
        !EqualsNoCase(path.substr(0, kRootPath.size()), kRootPath)) {
        return false;
    }
    std::string_view rest = path.substr(kRootPath.size());
    if (rest.empty()) {
        return true;
    }
    if (rest.front() != '\\') {
        return false;
    }
    rest.remove_prefix(1);
    while (!rest.empty()) {
        const std::size_t cut = rest.find('\\');
        const std::string_view name = rest.substr(0, cut);
        if (!ValidComponent(name)) {
            return false;
        }
        components->emplace_back(name);
        if (cut == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(cut + 1);
    }
    return true;
}

CPvrDisk::CPvrDisk(std::filesystem::path root, const PvrOptions& options)
    : m_root(std::move(root)), m_options(options) {}

bool CPvrDisk::Prepare(std::string* error) {
    if (KindOf(m_root) != Kind::Folder) {
        *error = "the disk folder does not exist: " + m_root.string();
        return false;
    }
    for (const char* name : kSystemFolders) {
        std::string actual;
        const Kind kind = Lookup(m_root, name, &actual);
        if (kind == Kind::None && ::mkdir((m_root / name).c_str(), 0755) != 0) {
            *error = "cannot make the folder " + (m_root / name).string();
            return false;
        }
    }
    return true;
}

bool CPvrDisk::Resolve(std::string_view pvrPath, Location* out) const {
    *out = Location{};
    if (!SplitPvrPath(pvrPath, &out->components)) {
        return false;
    }
    out->folder = m_root;
    if (out->components.empty()) {
        out->isRoot = out->exists = out->isFolder = true;
        return true;
    }
    for (std::size_t i = 0; i < out->components.size(); ++i) {
        const std::string& wanted = out->components[i];
        std::string actual;
        const Kind kind = Lookup(out->folder, wanted, &actual);
        if (kind == Kind::Refused) {
            return false;
        }
        if (i + 1 < out->components.size()) {
            if (kind != Kind::Folder) {
                return false;
            }
            out->folder /= actual;
            continue;
        }
        out->exists = kind != Kind::None;
        out->isFolder = kind == Kind::Folder;
        out->name = out->exists ? actual : wanted;
    }
    return true;
}

std::vector<CDiskFile::Part> CPvrDisk::FindParts(const std::filesystem::path& folder,
                                                 const std::string& title,
                                                 const std::string& stamp) const {
    std::vector<CDiskFile::Part> parts;
    for (const std::string& name : FolderNames(folder)) {
        RecordingPartName part;
        if (ParsePartName(name, &part) && EqualsNoCase(part.extension, "AVR") &&
            EqualsNoCase(part.title, title) && EqualsNoCase(part.stamp, stamp) &&
            KindOf(folder / name) == Kind::File) {
            int number = 0;
            if (std::all_of(part.part.begin(), part.part.end(),
                            [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
                number = std::stoi(part.part);
            }
            parts.push_back({name, number, part.part});
        }
    }
    std::sort(parts.begin(), parts.end(), [](const CDiskFile::Part& a, const CDiskFile::Part& b) {
        return CompareNoCase(a.label, b.label) < 0;
    });
    return parts;
}

bool CPvrDisk::FindAvf(const std::filesystem::path& folder, const std::string& title,
                       const std::string& stamp, std::string* name) const {
    return Lookup(folder, MakePartName(title, kFirstRecordingPart, stamp, "AVF"), name) ==
           Kind::File;
}

bool CPvrDisk::List(std::string_view folderPath, std::string_view mask,
                    std::vector<StbFindData>* entries) const {
    Location where;
    if (!Resolve(folderPath, &where) || !where.exists || !where.isFolder) {
        return false;
    }
    const std::filesystem::path folder = where.Host();
    std::string prefix;
    if (m_options.namePrefix) {
        prefix = std::string(folderPath);
        if (prefix.empty() || prefix.back() != '\\') {
            prefix += '\\';
        }
    }
    struct Sorted {
        StbFindData entry;
        int kind;           // 0 folders, 1 files
        std::string group;  // the recording, or the file's own name
        int rank;           // within a recording: parts, then (or before) the .AVF
        std::string part;
    };
    std::vector<Sorted> found;
    for (const std::string& name : FolderNames(folder)) {
        const std::filesystem::path host = folder / name;
        struct stat st {};
        if (::lstat(host.c_str(), &st) != 0 || !(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode))) {
            continue;
        }
        const std::string shown = prefix + name;
        // A name the PVR cannot address is not shown at all.
        if (!ValidComponent(name) || shown.size() >= sizeof(StbFindData::name) ||
            !MaskMatches(mask, name)) {
            continue;
        }
        Sorted item{};
        std::memcpy(item.entry.name, shown.c_str(), shown.size() + 1);
        item.entry.kind = S_ISDIR(st.st_mode) ? STB_ENTRY_FOLDER : STB_ENTRY_FILE;
        item.entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
        std::tm local{};
        const std::time_t when = st.st_mtime;
        ::localtime_r(&when, &local);
        item.entry.year = static_cast<std::uint16_t>(local.tm_year + 1900);
        item.entry.month = static_cast<std::uint8_t>(local.tm_mon + 1);
        item.entry.day = static_cast<std::uint8_t>(local.tm_mday);
        item.entry.hour = static_cast<std::uint8_t>(local.tm_hour);
        item.entry.minute = static_cast<std::uint8_t>(local.tm_min);
        item.entry.second = static_cast<std::uint8_t>(local.tm_sec);
        item.kind = S_ISDIR(st.st_mode) ? 0 : 1;
        item.group = FoldCase(name);
        RecordingPartName part;
        if (item.kind == 1 && ParsePartName(name, &part) &&
            (EqualsNoCase(part.extension, "AVR") || EqualsNoCase(part.extension, "AVF"))) {
            // The PVR writes a recording's parts one after the other and its
            // .AVF when the recording ends.
            item.group = FoldCase(part.title + "_" + part.stamp);
            const bool avf = EqualsNoCase(part.extension, "AVF");
            item.rank = (avf != m_options.avfFirst) ? 1 : 0;
            item.part = FoldCase(part.part);
        }
        found.push_back(std::move(item));
    }
    std::sort(found.begin(), found.end(), [](const Sorted& a, const Sorted& b) {
        return std::tie(a.kind, a.group, a.rank, a.part) <
               std::tie(b.kind, b.group, b.rank, b.part);
    });
    entries->clear();
    for (const Sorted& item : found) {
        entries->push_back(item.entry);
    }
    return true;
}

StbDiskSpace CPvrDisk::DiskSpace() const {
    StbDiskSpace space{};
    struct statvfs vfs {};
    if (::statvfs(m_root.c_str(), &vfs) == 0) {
        space.freeBytes =
            static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize);
        space.totalBytes =
            static_cast<std::int64_t>(vfs.f_blocks) * static_cast<std::int64_t>(vfs.f_frsize);
    }
    if (m_options.diskSize > 0) {
        const std::int64_t left = std::max<std::int64_t>(0, m_options.diskSize - UsedBytes(m_root));
        space.freeBytes = std::min(space.freeBytes, left);
        space.totalBytes = m_options.diskSize;
    }
    return space;
}

bool CPvrDisk::MakeFolder(std::string_view path) const {
    Location where;
    return Resolve(path, &where) && !where.exists && ::mkdir(where.Host().c_str(), 0755) == 0;
}

bool CPvrDisk::RemoveFolder(std::string_view path) const {
    Location where;
    return Resolve(path, &where) && where.exists && where.isFolder && !where.isRoot &&
           ::rmdir(where.Host().c_str()) == 0;
}

bool CPvrDisk::Delete(std::string_view path) const {
    Location where;
    if (!Resolve(path, &where) || where.isFolder) {
        return false;
    }
    if (where.exists) {
        return ::unlink(where.Host().c_str()) == 0;
    }
    std::string title;
    std::string stamp;
    if (!ParseListedName(where.name, &title, &stamp)) {
        return false;
    }
    const std::vector<CDiskFile::Part> parts = FindParts(where.folder, title, stamp);
    if (parts.empty()) {
        return false;
    }
    bool ok = true;
    for (const CDiskFile::Part& part : parts) {
        ok = ::unlink((where.folder / part.name).c_str()) == 0 && ok;
    }
    std::string avf;
    if (FindAvf(where.folder, title, stamp, &avf)) {
        ok = ::unlink((where.folder / avf).c_str()) == 0 && ok;
    }
    return ok;
}

bool CPvrDisk::Rename(std::string_view from, std::string_view to) const {
    Location source;
    Location target;
    if (!Resolve(from, &source) || !Resolve(to, &target) || source.isRoot || target.isRoot) {
        return false;
    }
    if (source.exists) {
        // Only a change of case may land on an existing name: its own.
        if (target.exists && target.Host() != source.Host()) {
            return false;
        }
        const std::filesystem::path dest = target.folder / target.components.back();
        return std::rename(source.Host().c_str(), dest.c_str()) == 0;
    }
    std::string title;
    std::string stamp;
    std::string newTitle;
    std::string newStamp;
    if (target.exists || !ParseListedName(source.name, &title, &stamp) ||
        !ParseListedName(target.name, &newTitle, &newStamp)) {
        return false;
    }
    const std::vector<CDiskFile::Part> parts = FindParts(source.folder, title, stamp);
    if (parts.empty()) {
        return false;
    }
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> moves;
    moves.reserve(parts.size() + 1);
    for (const CDiskFile::Part& part : parts) {
        moves.emplace_back(source.folder / part.name,
                           target.folder / MakePartName(newTitle, part.label, newStamp, "AVR"));
    }
    std::string avf;
    if (FindAvf(source.folder, title, stamp, &avf)) {
        moves.emplace_back(
            source.folder / avf,
            target.folder / MakePartName(newTitle, kFirstRecordingPart, newStamp, "AVF"));
    }
    // Nothing moves unless everything can: a half-renamed recording is lost.
    for (const auto& move : moves) {
        std::string existing;
        if (Lookup(move.second.parent_path(), move.second.filename().string(), &existing) !=
                Kind::None &&
            move.second.parent_path() / existing != move.first) {
            return false;
        }
    }
    for (const auto& move : moves) {
        if (std::rename(move.first.c_str(), move.second.c_str()) != 0) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<CDiskFile> CPvrDisk::Open(std::string_view path, bool forWrite) const {
    Location where;
    if (!Resolve(path, &where) || where.isFolder) {
        return nullptr;
    }
    if (where.exists) {
        return CDiskFile::OpenPlain(where.Host(), forWrite, false);
    }
    std::string title;
    std::string stamp;
    if (!ParseListedName(where.name, &title, &stamp)) {
        return nullptr;
    }
    const std::vector<CDiskFile::Part> parts = FindParts(where.folder, title, stamp);
    if (parts.empty()) {
        return nullptr;
    }
    return CDiskFile::OpenParts(where.folder, parts, title, stamp, m_options.partSize, forWrite);
}

std::unique_ptr<CDiskFile> CPvrDisk::Create(std::string_view path) const {
    Location where;
    if (!Resolve(path, &where) || where.isFolder) {
        return nullptr;
    }
    std::string title;
    std::string stamp;
    if (!where.exists && ParseListedName(where.name, &title, &stamp)) {
        for (const CDiskFile::Part& part : FindParts(where.folder, title, stamp)) {
            ::unlink((where.folder / part.name).c_str());
        }
        return CDiskFile::OpenParts(where.folder, {}, title, stamp, m_options.partSize, true);
    }
    return CDiskFile::OpenPlain(where.Host(), true, true);
}

bool CPvrDisk::FileSize(std::string_view path, std::int64_t* size) const {
    Location where;
    struct stat st {};
    if (!Resolve(path, &where) || !where.exists || where.isFolder ||
        ::lstat(where.Host().c_str(), &st) != 0) {
        return false;
    }
    *size = st.st_size;
    return true;
}

bool CPvrDisk::WriteWhole(std::string_view path, std::string_view content) const {
    Location where;
    if (!Resolve(path, &where) || where.isRoot || where.isFolder) {
        return false;
    }
    // Sessions run side by side: each write gets a scratch name of its own.
    static std::atomic<unsigned> s_writes{0};
    const std::filesystem::path scratch =
        where.folder / ("." + where.name + "." + std::to_string(::getpid()) + "-" +
                        std::to_string(++s_writes) + ".new");
    bool ok = false;
    if (const std::unique_ptr<CDiskFile> file = CDiskFile::OpenPlain(scratch, true, true)) {
        ok = file->Append(content.data(), content.size()) ==
             static_cast<std::int64_t>(content.size());
    }
    ok = ok && std::rename(scratch.c_str(), where.Host().c_str()) == 0;
    if (!ok) {
        ::unlink(scratch.c_str());
    }
    return ok;
}

bool CPvrDisk::IsFirmwarePath(std::string_view path) {
    std::vector<std::string> components;
    return SplitPvrPath(path, &components) && components.size() == 2 &&
           EqualsNoCase(components[0], "Firmware");
}

bool CPvrDisk::IsImageRecordPath(std::string_view path) {
    std::vector<std::string> components;
    return SplitPvrPath(path, &components) && components.size() == 2 &&
           EqualsNoCase(components[0], "Firmware") && EqualsNoCase(components[1], kImageRecordName);
}

}  // namespace pvrd
