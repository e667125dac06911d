#include "platform/pcfs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/privatedrive.h"

using namespace platform;

namespace {

std::vector<std::string> Names(const std::vector<FindEntry>& entries) {
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const FindEntry& e : entries) {
        names.push_back(e.name);
    }
    return names;
}

std::string ReadHost(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(PcPaths, MapToHostAndBack) {
    PrivateDrives drives;
    const std::string c = drives.C();
    struct Row {
        const char* pc;
        std::string host;
        const char* canonical;  // what the host path reads back as
    };
    const Row rows[] = {
        {R"(C:\a\b)", c + "/a/b", R"(C:\a\b)"},
        {R"(c:\a\b)", c + "/a/b", R"(C:\a\b)"},
        {R"(C:\a\b\)", c + "/a/b", R"(C:\a\b)"},
        {"C:/a/b", c + "/a/b", R"(C:\a\b)"},
        {R"(C:\a\.\x\..\b)", c + "/a/b", R"(C:\a\b)"},
        {R"(C:\)", c, R"(C:\)"},
        {"C:", c, R"(C:\)"},
        {R"(D:\Music\song.MP3)", drives.D() + "/Music/song.MP3", R"(D:\Music\song.MP3)"},
        {R"(C:\with space\x.AVR)", c + "/with space/x.AVR", R"(C:\with space\x.AVR)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.pc);
        const std::optional<std::string> host = ToHostPath(r.pc);
        ASSERT_TRUE(host.has_value());
        EXPECT_EQ(*host, r.host);
        EXPECT_EQ(ToPcPath(*host), std::optional<std::string>(r.canonical));
        EXPECT_EQ(NormalizePcPath(r.pc), std::optional<std::string>(r.canonical));
    }
}

TEST(PcPaths, RefusesPathsThatLeaveTheirDriveOrNameNone) {
    PrivateDrives drives;
    for (const char* bad : {R"(C:\..\x)", R"(C:\..)", R"(C:\a\..\..\x)", R"(C:\a\b\..\..\..)",
                            "C:/../x", R"(E:\x)", R"(a\b)", R"(\a\b)", "C:a", R"(1:\x)", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ToHostPath(bad).has_value());
        EXPECT_FALSE(CreateDirectory(bad));
    }
    // The refused escape did not create anything beside the drive.
    EXPECT_FALSE(std::filesystem::exists(drives.Base() + "/x"));
    // Host paths outside every drive, or with a name that has no PC form.
    EXPECT_FALSE(ToPcPath("/definitely/not/a/drive").has_value());
    EXPECT_FALSE(ToPcPath(drives.C() + "/odd\\name").has_value());
    EXPECT_FALSE(ToPcPath("relative/path").has_value());
}

TEST(DriveTable, ListsTheConfiguredDrivesWithTheirTypes) {
    PrivateDrives drives;
    EXPECT_EQ(GetLogicalDriveStrings(), (std::vector<std::string>{R"(C:\)", R"(D:\)"}));
    EXPECT_EQ(GetDriveType(R"(C:\)"), DriveType::Fixed);
    EXPECT_EQ(GetDriveType("d:"), DriveType::Removable);
    EXPECT_EQ(GetDriveType(R"(E:\)"), DriveType::NoRootDir);
}

// "letter:type=folder" per drive, split at "," or ";".
std::string Table(const DriveMap& map) {
    std::string text;
    for (const Drive& d : map.drives) {
        text += std::string(text.empty() ? "" : " ") + d.letter + ":" +
                std::to_string(static_cast<int>(d.type)) + "=" + d.hostRoot;
    }
    return text;
}

TEST(DriveTable, ParsesEntriesAndNamesEachOneItCannotRead) {
    struct Case {
        const char* text;
        const char* drives;
        std::vector<std::string> problems;
    };
    const Case cases[] = {
        {"e:cdrom=/mnt/cd/,C=/srv/pc,F:remote=/net/share",
         "C:3=/srv/pc E:5=/mnt/cd F:4=/net/share",
         {}},
        {"C=/a;D=/b", "C:3=/a D:3=/b", {}},
        {"C=/a; D:removable=/b ,", "C:3=/a D:2=/b", {}},
        {"C",
         "",
         {"TAVRIX_DRIVES: cannot read \"C\" (it should be LETTER=FOLDER or LETTER:TYPE=FOLDER); "
          "ignored"}},
        {"C=/a,D,E=/e",
         "C:3=/a E:3=/e",
         {"TAVRIX_DRIVES: cannot read \"D\" (it should be LETTER=FOLDER or LETTER:TYPE=FOLDER); "
          "ignored"}},
        {"C=,=/x,CC=/x,C:=/x",
         "",
         {"TAVRIX_DRIVES: cannot read \"C=\" (it should be LETTER=FOLDER or LETTER:TYPE=FOLDER); "
          "ignored",
          "TAVRIX_DRIVES: cannot read \"=/x\" (it should be LETTER=FOLDER or LETTER:TYPE=FOLDER); "
          "ignored",
          "TAVRIX_DRIVES: cannot read \"CC=/x\" (it should be LETTER=FOLDER or "
          "LETTER:TYPE=FOLDER); ignored",
          "TAVRIX_DRIVES: cannot read \"C:=/x\" (it should be LETTER=FOLDER or "
          "LETTER:TYPE=FOLDER); ignored"}},
        {"C:floppy=/x",
         "",
         {"TAVRIX_DRIVES: \"C:floppy=/x\" names an unknown drive type (removable, fixed, remote, "
          "cdrom or ramdisk); ignored"}},
        {"C=/a,c=/b", "C:3=/a", {"TAVRIX_DRIVES: \"c=/b\" names drive C: a second time; ignored"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const DriveMap map = ParseDriveMap(c.text);
        EXPECT_EQ(Table(map), c.drives);
        EXPECT_EQ(map.problems, c.problems);
    }
}

TEST(DriveTable, WarnsOnceAtStartOfEntriesItCannotUse) {
    PrivateDrives drives;
    const std::string text = "C=" + drives.C() + ";D:removable=" + drives.Base() + "/gone;X";
    setenv("TAVRIX_DRIVES", text.c_str(), 1);
    ReloadDriveTable();
    EXPECT_EQ(GetLogicalDriveStrings(), (std::vector<std::string>{R"(C:\)", R"(D:\)"}));
    EXPECT_EQ(DriveTableWarnings(),
              (std::vector<std::string>{
                  "TAVRIX_DRIVES: cannot read \"X\" (it should be LETTER=FOLDER or "
                  "LETTER:TYPE=FOLDER); ignored",
                  "TAVRIX_DRIVES: the folder of D: (" + drives.Base() + "/gone) does not exist"}));

    // A table of good entries has nothing to say.
    setenv("TAVRIX_DRIVES", ("C=" + drives.C()).c_str(), 1);
    ReloadDriveTable();
    EXPECT_TRUE(DriveTableWarnings().empty());
}

TEST(DriveTable, MalformedEnvironmentMapsNothingRatherThanTheHostRoot) {
    PrivateDrives drives;
    setenv("TAVRIX_DRIVES", "C", 1);
    ReloadDriveTable();
    EXPECT_TRUE(GetDrives().empty());
    EXPECT_FALSE(ToHostPath(R"(C:\etc)").has_value());
}

TEST(DriveTable, DefaultTableStartsWithTheHostRootAsC) {
    unsetenv("TAVRIX_DRIVES");
    ReloadDriveTable();
    const std::vector<Drive> drives = GetDrives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives[0].letter, 'C');
    EXPECT_EQ(drives[0].hostRoot, "/");
    EXPECT_EQ(ToHostPath(R"(C:\etc\hostname)"), std::optional<std::string>("/etc/hostname"));
}

TEST(DriveTable, ClassifiesMountedMedia) {
    PrivateDrives scratch;
    namespace fs = std::filesystem;
    const std::string sys = scratch.Base() + "/sys";
    // A removable disk sdb with partition sdb1; a USB disk sdc that calls itself
    // fixed; a fixed disk sda.
    fs::create_directories(sys + "/devices/pci/sdb/sdb1");
    fs::create_directories(sys + "/devices/pci/usb1/sdc");
    fs::create_directories(sys + "/devices/pci/sda/sda2");
    fs::create_directories(sys + "/class/block");
    std::ofstream(sys + "/devices/pci/sdb/removable") << "1\n";
    std::ofstream(sys + "/devices/pci/sdb/sdb1/partition") << "1\n";
    std::ofstream(sys + "/devices/pci/usb1/sdc/removable") << "0\n";
    std::ofstream(sys + "/devices/pci/sda/removable") << "0\n";
    std::ofstream(sys + "/devices/pci/sda/sda2/partition") << "2\n";
    fs::create_directory_symlink("../../devices/pci/sdb/sdb1", sys + "/class/block/sdb1");
    fs::create_directory_symlink("../../devices/pci/usb1/sdc", sys + "/class/block/sdc");
    fs::create_directory_symlink("../../devices/pci/sda/sda2", sys + "/class/block/sda2");

    const std::string mounts =
        "/dev/sda1 / ext4 rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "/dev/sdb1 /media/stick vfat rw 0 0\n"
        "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
        "server:/export /mnt/share nfs4 rw 0 0\n"
        "/dev/sdc /media/my\\040disk exfat rw 0 0\n"
        "/dev/sdb1 /media/stick vfat rw 0 0\n";
    const std::vector<Drive> drives = DrivesFromMounts(mounts, sys);
    struct Row {
        const char* root;
        DriveType type;
        char letter;
    };
    const Row expected[] = {
        {"/media/stick", DriveType::Removable, 'D'},
        {"/media/cdrom", DriveType::Cdrom, 'E'},
        {"/mnt/share", DriveType::Remote, 'F'},
        {"/media/my disk", DriveType::Removable, 'G'},
    };
    ASSERT_EQ(drives.size(), std::size(expected));
    for (std::size_t i = 0; i < drives.size(); ++i) {
        EXPECT_EQ(drives[i].letter, expected[i].letter);
        EXPECT_EQ(drives[i].hostRoot, expected[i].root);
        EXPECT_EQ(drives[i].type, expected[i].type);
    }
}

class PcFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_drives.MakeFile("Movies/Movie.avr", std::string(100, 'x'));
        m_drives.MakeFile("Movies/song.MP3", "abc");
        m_drives.MakeFile("Movies/readme.txt", "");
        m_drives.MakeFile("Movies/noext", "1");
        m_drives.MakeFile("Movies/.hidden", "");
        m_drives.MakeFolder("Movies/Clips");
        m_drives.MakeFolder("Empty");
    }
    PrivateDrives m_drives;
};

TEST_F(PcFolder, SearchMatchesWildcardsWithoutCaseAndSortsByName) {
    struct Row {
        const char* pattern;
        std::vector<std::string> names;
    };
    const Row rows[] = {
        {R"(C:\Movies\*.*)", {".hidden", "Clips", "Movie.avr", "noext", "readme.txt", "song.MP3"}},
        {R"(C:\Movies\*)", {".hidden", "Clips", "Movie.avr", "noext", "readme.txt", "song.MP3"}},
        {R"(C:\Movies\*.mp3)", {"song.MP3"}},
        {R"(c:\movies\MOVIE.AVR)", {"Movie.avr"}},
        {R"(C:\Movies\?ong.*)", {"song.MP3"}},
        {R"(C:\Movies\*.avi)", {}},
        {R"(C:\Empty\*.*)", {}},
        {R"(C:\*.*)", {"Empty", "Movies"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.pattern);
        std::vector<FindEntry> entries;
        ASSERT_TRUE(FindFiles(r.pattern, entries));
        EXPECT_EQ(Names(entries), r.names);
    }
    std::vector<FindEntry> entries;
    EXPECT_FALSE(FindFiles(R"(C:\Missing\*.*)", entries));
    EXPECT_EQ(LastFsError(), ENOENT);
    EXPECT_FALSE(FindFiles(R"(C:\..\*.*)", entries));
}

// Folders list in the order the folder tree sorts its labels (the one rule of
// core/names.h), so the PC list and the PC tree agree; names equal but for
// case come in byte order.
TEST_F(PcFolder, SearchSortsByTheNameRule) {
    for (const char* name : {"b.txt", "Ab", "ärger", "A_b", "B.txt", "Zebra", "Ärger2"}) {
        m_drives.MakeFile(std::string("Sorted/") + name, "");
    }
    std::vector<FindEntry> entries;
    ASSERT_TRUE(FindFiles(R"(C:\Sorted\*.*)", entries));
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"A_b", "Ab", "B.txt", "b.txt", "Zebra",
                                                        "ärger", "Ärger2"}));
    ASSERT_TRUE(FindFiles(R"(C:\Sorted\ÄRGER*)", entries));
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"ärger", "Ärger2"}));
}

TEST_F(PcFolder, SearchReportsSizeKindAndTimes) {
    const std::string host = m_drives.C() + "/Movies/Movie.avr";
    // 2004-03-05 12:05:09 UTC as the last write.
    const struct timespec times[2] = {{1078488309, 0}, {1078488309, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, host.c_str(), times, 0), 0);

    std::vector<FindEntry> entries;
    ASSERT_TRUE(FindFiles(R"(C:\Movies\*.*)", entries));
    ASSERT_EQ(entries.size(), 6u);
    const FindEntry& hidden = entries[0];
    const FindEntry& clips = entries[1];
    const FindEntry& movie = entries[2];
    EXPECT_TRUE(hidden.hidden);
    EXPECT_TRUE(clips.isFolder);
    EXPECT_FALSE(movie.isFolder);
    EXPECT_FALSE(movie.hidden);
    EXPECT_EQ(movie.size, 100u);
    EXPECT_EQ(movie.lastWriteTime, 1078488309000);
    // The birth time where the file system keeps one (then it is now, not the
    // back-dated write), else the write time: either way a real time.
    EXPECT_GT(movie.creationTime, 0);
    EXPECT_LE(movie.creationTime, static_cast<std::int64_t>(std::time(nullptr) + 5) * 1000);

    auto info = GetFileInfo(R"(C:\Movies\Movie.avr)");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->name, "Movie.avr");
    EXPECT_EQ(info->size, 100u);
    EXPECT_TRUE(FolderExists(R"(C:\Movies\Clips\)"));
    EXPECT_FALSE(FolderExists(R"(C:\Movies\Movie.avr)"));
    EXPECT_TRUE(FileExists(R"(C:\Movies\Movie.avr)"));
    EXPECT_FALSE(FileExists(R"(C:\Movies\nothing)"));
}

TEST_F(PcFolder, NamesMatchWithoutRegardToCase) {
    const std::string c = m_drives.C();
    EXPECT_EQ(ToHostPath(R"(c:\movies\MOVIE.AVR)"), c + "/Movies/Movie.avr");
    EXPECT_EQ(ToHostPath(R"(C:\MOVIES\new\Deeper)"), c + "/Movies/new/Deeper");
    PcFile file;
    EXPECT_TRUE(file.Open(R"(C:\movies\SONG.mp3)", PcFile::Mode::Read));

    // The same name in another case is taken, for a new folder and for a rename.
    EXPECT_FALSE(CreateDirectory(R"(C:\Movies\clips)"));
    EXPECT_EQ(LastFsError(), EEXIST);
    EXPECT_FALSE(MoveFile(R"(C:\Movies\readme.txt)", R"(C:\movies\MOVIE.avr)"));
    EXPECT_EQ(LastFsError(), EEXIST);
    EXPECT_EQ(ReadHost(c + "/Movies/Movie.avr"), std::string(100, 'x'));
    // A change of case only renames the file itself.
    EXPECT_TRUE(MoveFile(R"(C:\Movies\song.MP3)", R"(C:\Movies\Song.mp3)"));
    std::vector<FindEntry> entries;
    ASSERT_TRUE(FindFiles(R"(C:\Movies\s*)", entries));
    EXPECT_EQ(Names(entries), std::vector<std::string>{"Song.mp3"});
    EXPECT_TRUE(DeleteFile(R"(C:\MOVIES\SONG.MP3)"));
    EXPECT_FALSE(std::filesystem::exists(c + "/Movies/Song.mp3"));
}

TEST_F(PcFolder, FolderAndFileOperations) {
    const std::string c = m_drives.C();
    EXPECT_TRUE(CreateDirectory(R"(C:\Movies\New)"));
    EXPECT_TRUE(std::filesystem::is_directory(c + "/Movies/New"));
    EXPECT_FALSE(CreateDirectory(R"(C:\Movies\New)"));
    EXPECT_EQ(LastFsError(), EEXIST);
    EXPECT_FALSE(CreateDirectory(R"(C:\NoParent\New)"));

    // Only an empty folder goes; a drive's root never does.
    EXPECT_FALSE(RemoveDirectory(R"(C:\Movies)"));
    EXPECT_TRUE(std::filesystem::exists(c + "/Movies/song.MP3"));
    EXPECT_TRUE(RemoveDirectory(R"(C:\Movies\New\)"));
    EXPECT_FALSE(std::filesystem::exists(c + "/Movies/New"));
    EXPECT_FALSE(RemoveDirectory(R"(C:\)"));
    EXPECT_FALSE(RemoveDirectory(R"(D:\)"));
    EXPECT_TRUE(std::filesystem::exists(m_drives.D()));

    // Renaming onto an existing name fails and leaves both files as they were.
    EXPECT_FALSE(MoveFile(R"(C:\Movies\song.MP3)", R"(C:\Movies\Movie.avr)"));
    EXPECT_EQ(LastFsError(), EEXIST);
    EXPECT_EQ(ReadHost(c + "/Movies/song.MP3"), "abc");
    EXPECT_EQ(ReadHost(c + "/Movies/Movie.avr"), std::string(100, 'x'));
    EXPECT_TRUE(MoveFile(R"(C:\Movies\song.MP3)", R"(C:\Movies\song.txt)"));
    EXPECT_EQ(ReadHost(c + "/Movies/song.txt"), "abc");
    EXPECT_TRUE(MoveFile(R"(C:\Movies\Clips)", R"(C:\Movies\Clips2)"));
    EXPECT_TRUE(std::filesystem::is_directory(c + "/Movies/Clips2"));
    EXPECT_FALSE(MoveFile(R"(C:\Movies)", R"(C:\..\Movies)"));
    EXPECT_FALSE(MoveFile(R"(C:\)", R"(C:\Other)"));

    // Replacing takes the place of the file of that name in any case, never of a folder.
    std::ofstream(c + "/Movies/new.part", std::ios::binary) << "new";
    EXPECT_TRUE(ReplaceFile(R"(C:\Movies\new.part)", R"(C:\MOVIES\movie.AVR)"));
    EXPECT_EQ(ReadHost(c + "/Movies/Movie.avr"), "new");
    EXPECT_FALSE(std::filesystem::exists(c + "/Movies/new.part"));
    EXPECT_FALSE(ReplaceFile(R"(C:\Movies\Movie.avr)", R"(C:\Movies\Clips2)"));
    EXPECT_EQ(LastFsError(), EISDIR);
    EXPECT_EQ(ReadHost(c + "/Movies/Movie.avr"), "new");

    // Deleting takes files only.
    EXPECT_FALSE(DeleteFile(R"(C:\Movies\Clips2)"));
    EXPECT_TRUE(std::filesystem::is_directory(c + "/Movies/Clips2"));
    EXPECT_TRUE(DeleteFile(R"(C:\Movies\song.txt)"));
    EXPECT_FALSE(std::filesystem::exists(c + "/Movies/song.txt"));
    EXPECT_FALSE(DeleteFile(R"(C:\Movies\song.txt)"));
    EXPECT_EQ(LastFsError(), ENOENT);
}

// Emptying a folder removes links as links: whatever they lead to, outside the
// folder or on another drive, stays as it was.
TEST_F(PcFolder, EmptyingAFolderNeverFollowsALink) {
    namespace fs = std::filesystem;
    const std::string c = m_drives.C();
    m_drives.MakeFile("Outside/keep.avr", "kept");
    m_drives.MakeFolder("Outside/Sub");
    std::ofstream(m_drives.D() + "/far.mp3", std::ios::binary) << "far";
    m_drives.MakeFile("Doomed/a.avr", "a");
    m_drives.MakeFile("Doomed/.hidden", "h");
    m_drives.MakeFile("Doomed/Deep/er/b.mp3", "b");
    fs::create_directory_symlink(c + "/Outside", c + "/Doomed/ToOutside");
    fs::create_directory_symlink(c + "/Outside", c + "/Doomed/Deep/er/AlsoOutside");
    fs::create_symlink(m_drives.D() + "/far.mp3", c + "/Doomed/far.mp3");
    fs::create_symlink(c + "/nowhere", c + "/Doomed/dangling");

    EXPECT_TRUE(RemoveFolderContents(R"(C:\doomed\)"));
    EXPECT_TRUE(fs::is_empty(c + "/Doomed"));
    EXPECT_TRUE(RemoveDirectory(R"(C:\Doomed)"));
    EXPECT_FALSE(fs::exists(c + "/Doomed"));
    EXPECT_EQ(ReadHost(c + "/Outside/keep.avr"), "kept");
    EXPECT_TRUE(fs::is_directory(c + "/Outside/Sub"));
    EXPECT_EQ(ReadHost(m_drives.D() + "/far.mp3"), "far");

    // A folder that is itself a link: its target's files are not its own, and
    // removing it takes the link away.
    fs::create_directory_symlink(c + "/Outside", c + "/Movies/Linked");
    EXPECT_TRUE(RemoveFolderContents(R"(C:\Movies\Linked)"));
    EXPECT_TRUE(RemoveDirectory(R"(C:\Movies\Linked)"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(c + "/Movies/Linked")));
    EXPECT_EQ(ReadHost(c + "/Outside/keep.avr"), "kept");

    // Never a whole drive, and never a file or a folder that is not there.
    EXPECT_FALSE(RemoveFolderContents(R"(C:\)"));
    EXPECT_EQ(LastFsError(), EBUSY);
    EXPECT_FALSE(RemoveFolderContents(R"(C:\Movies\song.MP3)"));
    EXPECT_EQ(LastFsError(), ENOTDIR);
    EXPECT_FALSE(RemoveFolderContents(R"(C:\Missing)"));
    EXPECT_TRUE(fs::exists(c + "/Movies/song.MP3"));
}

// A part that cannot be removed is left, the rest goes, and the result says so.
TEST_F(PcFolder, EmptyingGoesOnPastAFailure) {
    namespace fs = std::filesystem;
    if (geteuid() == 0) {
        GTEST_SKIP() << "root removes files from a read-only folder";
    }
    const std::string c = m_drives.C();
    m_drives.MakeFile("Mixed/Locked/in.avr", "x");
    m_drives.MakeFile("Mixed/free.avr", "y");
    fs::permissions(c + "/Mixed/Locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(RemoveFolderContents(R"(C:\Mixed)"));
    EXPECT_EQ(LastFsError(), EACCES);
    EXPECT_FALSE(fs::exists(c + "/Mixed/free.avr"));
    EXPECT_TRUE(fs::exists(c + "/Mixed/Locked/in.avr"));
    fs::permissions(c + "/Mixed/Locked", fs::perms::owner_all);
}

TEST_F(PcFolder, FileReadsWritesAndSeeksPast4GiB) {
    PcFile file;
    EXPECT_FALSE(file.Open(R"(C:\Movies\missing.avr)", PcFile::Mode::Read));
    EXPECT_FALSE(file.Open(R"(C:\Movies\Clips)", PcFile::Mode::Read));
    EXPECT_FALSE(file.Open(R"(C:\Movies\song.MP3)", PcFile::Mode::CreateNew));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Read(nullptr, 0), -1);

    ASSERT_TRUE(file.Open(R"(C:\Movies\big.bin)", PcFile::Mode::Create));
    const std::int64_t far = 5LL * 1024 * 1024 * 1024 + 7;  // beyond any 32-bit offset
    EXPECT_EQ(file.Seek(far), far);
    ASSERT_TRUE(file.Write("tail", 4));
    EXPECT_EQ(file.Size(), far + 4);
    EXPECT_EQ(file.Seek(-4, PcFile::Origin::End), far);
    char buf[16] = {};
    EXPECT_EQ(file.Read(buf, sizeof buf), 4);  // short only at the end
    EXPECT_EQ(std::string(buf, 4), "tail");
    EXPECT_EQ(file.Position(), far + 4);
    EXPECT_EQ(file.Seek(-2, PcFile::Origin::Current), far + 2);
    EXPECT_EQ(file.Seek(-1), -1);
    file.Close();

    std::vector<FindEntry> entries;
    ASSERT_TRUE(FindFiles(R"(C:\Movies\big.bin)", entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size, static_cast<std::uint64_t>(far + 4));

    // Opening for write keeps what is there; create truncates.
    ASSERT_TRUE(file.Open(R"(C:\Movies\song.MP3)", PcFile::Mode::Write));
    EXPECT_EQ(file.Size(), 3);
    EXPECT_EQ(file.Seek(0, PcFile::Origin::End), 3);
    ASSERT_TRUE(file.Write("def", 3));
    PcFile moved = std::move(file);
    EXPECT_TRUE(moved.IsOpen());
    moved.Close();
    EXPECT_EQ(ReadHost(m_drives.C() + "/Movies/song.MP3"), "abcdef");
    file = PcFile();
    ASSERT_TRUE(file.Open(R"(C:\Movies\song.MP3)", PcFile::Mode::Create));
    EXPECT_EQ(file.Size(), 0);
}

TEST(LocalTimes, SplitIntoCalendarFields) {
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz != nullptr ? oldTz : "";
    setenv("TZ", "UTC", 1);
    tzset();
    struct Row {
        std::int64_t ms;
        LocalTime expected;
    };
    const Row rows[] = {
        {0, {1970, 1, 1, 0, 0, 0}},
        {1078488309000, {2004, 3, 5, 12, 5, 9}},
        {1078492053999, {2004, 3, 5, 13, 7, 33}},
        {-1, {1969, 12, 31, 23, 59, 59}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.ms);
        const LocalTime t = ToLocalTime(r.ms);
        EXPECT_EQ(t.year, r.expected.year);
        EXPECT_EQ(t.month, r.expected.month);
        EXPECT_EQ(t.day, r.expected.day);
        EXPECT_EQ(t.hour, r.expected.hour);
        EXPECT_EQ(t.minute, r.expected.minute);
        EXPECT_EQ(t.second, r.expected.second);
    }
    if (oldTz != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}
