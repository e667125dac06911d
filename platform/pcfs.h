// The PC file system as the program sees it.
//
// Paths keep the PC form everywhere ("C:\Movies\x.AVR"): a drive letter, a colon
// and "\"-separated names. A drive table maps each letter to a host folder. By
// default C: is the host's root and every mounted removable medium, optical disc
// and network share gets the next free letter; TAVRIX_DRIVES ("C=/srv/pc,D=/mnt/usb",
// ";" also separates; a letter may carry a type: "E:cdrom=/mnt/cd") replaces the
// table, which is how tests get a private C:. A path whose ".." would climb above its drive's root
// is refused, so nothing can reach past a drive through the PC form.
//
// Failures return false / -1 / nullopt and never throw; LastFsError() gives the
// errno-style reason of the last failure on the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Drive types with their classic numbers, so the tree's icon choice reads as usual.
enum class DriveType : int {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    Cdrom = 5,
    RamDisk = 6,
};

struct Drive {
    char letter = 'C';  // upper case
    std::string hostRoot;
    DriveType type = DriveType::Fixed;
    // The drive's root string, "C:\".
    std::string Root() const;
};

// The drive table, sorted by letter. Built on first use.
std::vector<Drive> GetDrives();
// Builds the table again from TAVRIX_DRIVES or the mount table (tests call it
// after changing the environment).
void ReloadDriveTable();
// The roots of all drives in letter order ("C:\", "D:\", ...).
std::vector<std::string> GetLogicalDriveStrings();
// Type of the drive named by a root ("C:\", "c:" or "C:\anything"); NoRootDir
// for a letter that has no drive.
DriveType GetDriveType(std::string_view root);

// What was wrong with the drive table when it was last built, one line each:
// TAVRIX_DRIVES entries that could not be read (they map nothing) and folders
// of drives that do not exist. Empty for the default table.
std::vector<std::string> DriveTableWarnings();

// TAVRIX_DRIVES-style text read: entries are separated by "," or ";". The
// drives of the entries that could be read, sorted by letter, and one line for
// each entry that could not (a later entry for a letter already named is one).
struct DriveMap {
    std::vector<Drive> drives;
    std::vector<std::string> problems;
};
DriveMap ParseDriveMap(std::string_view driveText);
// Classifies the entries of a mount table text (/proc/self/mounts format). The
// sysfs root is where block devices are looked up for their removable flag.
std::vector<Drive> DrivesFromMounts(std::string_view mounts, const std::string& sysfsRoot);

// PC path -> host path. nullopt for a path without a drive letter, a letter with
// no drive, or one whose ".." would leave the drive. "." and ".." are resolved;
// a trailing "\" is dropped except on the drive root. PC names are not
// case-sensitive: a name that exists on the host in another case maps to it;
// names that do not exist are taken as written.
std::optional<std::string> ToHostPath(std::string_view pcPath);
// Host path -> PC path, through the drive with the longest matching root. The
// drive root comes out as "C:\". nullopt when no drive holds the path or a name
// holds a "\" (it would read back as two names).
std::optional<std::string> ToPcPath(std::string_view hostPath);
// ToPcPath of a path as a command line gives it: a relative one is taken from
// the working folder.
std::optional<std::string> CommandLineToPcPath(const std::string& hostPath);
// The PC path in canonical form (upper-case letter, "\" separators, "." and ".."
// resolved, no trailing "\" except on the root), or nullopt when refused.
std::optional<std::string> NormalizePcPath(std::string_view pcPath);

struct FindEntry {
    std::string name;
    std::uint64_t size = 0;
    bool isFolder = false;
    bool hidden = false;
    bool readOnly = false;
    // Milliseconds since 1970-01-01 UTC. Creation is the file system's birth time
    // where it keeps one, else the last write.
    std::int64_t creationTime = 0;
    std::int64_t lastWriteTime = 0;
};

// Searches a folder. The pattern is a folder path, "\" and a name that may hold
// the wildcards "*" and "?" ("C:\Movies\*.*", "C:\Movies\*", "C:\img\main.mem");
// names compare without regard to case and "*.*" also matches names without a
// dot. Entries come sorted by name without regard to case; "." and ".." are not
// reported. False when the folder cannot be read (an empty result is a success).
bool FindFiles(std::string_view pattern, std::vector<FindEntry>& entries);

// Name, size, folder flag and times of one file or folder.
std::optional<FindEntry> GetFileInfo(std::string_view pcPath);
bool FileExists(std::string_view pcPath);  // a file or a folder
bool FolderExists(std::string_view pcPath);

// Fails when the folder (in any case) exists or its parent does not.
bool CreateDirectory(std::string_view pcPath);
// Removes an empty folder only. A link to a folder is removed as a link; its
// target is not touched.
bool RemoveDirectory(std::string_view pcPath);
// Empties a folder, depth first, so that RemoveDirectory can take it. A link
// inside it, to a file or to a folder, is removed as a link and never followed,
// and another file system mounted inside it is not entered: nothing outside the
// folder is touched. Goes on past a failure; false when anything could not be
// removed. A folder that is itself a link has no contents of its own. A drive
// root is refused.
bool RemoveFolderContents(std::string_view pcPath);
// Renames a file or a folder; fails when the new name already exists rather than
// replacing it. A change of case only is a rename like any other.
bool MoveFile(std::string_view oldPcPath, std::string_view newPcPath);
// Moves a file over another (in any case of its name), replacing it in one
// step, as a finished download takes the place of the old copy; never a folder.
bool ReplaceFile(std::string_view fromPcPath, std::string_view toPcPath);
// Deletes a file; never a folder.
bool DeleteFile(std::string_view pcPath);

// errno-style code of the last failed call above on this thread (0: none).
int LastFsError();

// Local calendar time of a FindEntry time.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalTime ToLocalTime(std::int64_t msSinceEpoch);

// An open PC file with 64-bit positions. Closes itself.
class PcFile {
public:
    enum class Mode {
        Read,       // existing file, read only
        Write,      // existing file, read and write, not truncated
        Create,     // created or truncated, read and write
        CreateNew,  // created, fails when it exists
    };
    enum class Origin { Begin, Current, End };

    PcFile() = default;
    ~PcFile();
    PcFile(PcFile&& other) noexcept;
    PcFile& operator=(PcFile&& other) noexcept;
    PcFile(const PcFile&) = delete;
    PcFile& operator=(const PcFile&) = delete;

    // Folders are refused in every mode.
    bool Open(std::string_view pcPath, Mode mode);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Reads up to count bytes, fewer only at the end of the file; -1 on error.
    std::int64_t Read(void* buffer, std::size_t count);
    // The same at a given offset, leaving the position alone; several threads
    // may read one file this way at once.
    std::int64_t ReadAt(void* buffer, std::size_t count, std::int64_t offset) const;
    // Writes all count bytes; false (and an unknown part written) on error.
    bool Write(const void* buffer, std::size_t count);
    // Moves the position; returns the new position or -1.
    std::int64_t Seek(std::int64_t offset, Origin origin = Origin::Begin);
    std::int64_t Position() const;
    std::int64_t Size() const;  // -1 on error
    bool Flush();

private:
    int m_fd = -1;
};

}  // namespace platform
