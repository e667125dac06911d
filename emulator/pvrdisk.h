// The PVR's disk: a host folder presented as C:\PVR.
//
// Every path from the host side of the cable is checked here before it touches
// the host: it must lie below C:\PVR, its components must be plain names (no
// "..", no separators of the host, no links), and it is looked up without
// regard to case, as the PVR's file system does.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/records.h"
#include "emulator/diskfile.h"
#include "emulator/pvroptions.h"

namespace pvrd {

class CPvrDisk {
public:
    // A PVR path found on the host.
    struct Location {
        std::vector<std::string> components;  // below C:\PVR, as given
        std::filesystem::path folder;         // host folder that holds it (the disk for the root)
        std::string name;                     // host name when it exists, else as given
        bool exists = false;
        bool isFolder = false;
        bool isRoot = false;
        std::filesystem::path Host() const { return isRoot ? folder : folder / name; }
    };

    CPvrDisk(std::filesystem::path root, const PvrOptions& options);

    // Makes the system folders that are missing.
    bool Prepare(std::string* error);

    // False for a path that is not a sound path below C:\PVR or whose folder
    // does not exist.
    bool Resolve(std::string_view pvrPath, Location* out) const;

    // Entries of a folder matching mask (DOS wildcards), folders first, then
    // files with each recording's parts in part order next to its .AVF.
    bool List(std::string_view folderPath, std::string_view mask,
              std::vector<StbFindData>* entries) const;
    StbDiskSpace DiskSpace() const;

    bool MakeFolder(std::string_view path) const;
    bool RemoveFolder(std::string_view path) const;
    bool Delete(std::string_view path) const;
    bool Rename(std::string_view from, std::string_view to) const;

    // The file or recording behind a path, for reading or continuing an upload.
    std::unique_ptr<CDiskFile> Open(std::string_view path, bool forWrite) const;
    // A new, empty file; a recording's listed name gets its parts anew.
    std::unique_ptr<CDiskFile> Create(std::string_view path) const;
    // Size of an existing plain file (for a recording's .AVF).
    bool FileSize(std::string_view path, std::int64_t* size) const;
    // Puts a plain file with this content in place in one step: a reader sees
    // the old content or the new, never a part.
    bool WriteWhole(std::string_view path, std::string_view content) const;

    // True when the path names a file in C:\PVR\Firmware\.
    static bool IsFirmwarePath(std::string_view path);
    // True when the path names the PVR's record of the last software image,
    // which only the PVR writes.
    static bool IsImageRecordPath(std::string_view path);

    const std::filesystem::path& Root() const { return m_root; }

private:
    std::vector<CDiskFile::Part> FindParts(const std::filesystem::path& folder,
                                           const std::string& title,
                                           const std::string& stamp) const;
    bool FindAvf(const std::filesystem::path& folder, const std::string& title,
                 const std::string& stamp, std::string* name) const;

    std::filesystem::path m_root;
    const PvrOptions& m_options;
};

// Splits C:\PVR\a\b\ into {a, b}. False for anything not below C:\PVR or with
// a component that is not a plain name.
bool SplitPvrPath(std::string_view path, std::vector<std::string>* components);

}  // namespace pvrd
