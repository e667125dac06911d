// The device keeps every path inside its disk folder.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "support/pvrfixture.h"

namespace {

class SafetyTest : public PvrTest {
protected:
    void SetUp() override {
        PvrTest::SetUp();
        std::ofstream(m_dir / "outside.txt") << "keep me";
        std::filesystem::create_directories(m_dir / "secret");
        std::ofstream(m_dir / "secret" / "data.txt") << "private";
        PutHost("AV/clip.ts", "clip");
        std::filesystem::create_directory_symlink(m_dir / "secret", m_disk / "AV" / "link");
        StartAndAttach();
    }
    // Everything outside the disk folder is as it was.
    void ExpectOutsideUntouched() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"disk", "outside.txt", "pvr.sock", "secret"}));
        std::ifstream outside(m_dir / "outside.txt");
        std::string text;
        std::getline(outside, text);
        EXPECT_EQ(text, "keep me");
        EXPECT_TRUE(std::filesystem::exists(m_dir / "secret" / "data.txt"));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir / "secret"),
                                std::filesystem::directory_iterator()),
                  1);
    }
};

TEST_F(SafetyTest, HostilePathsAreRefused) {
    const std::string outside = m_dir.filename().string();
    const char* const paths[] = {
        "C:\\PVR\\..\\..\\etc\\passwd",
        "C:\\PVR\\..\\outside.txt",
        "C:\\PVR\\AV\\..\\..\\outside.txt",
        "C:\\PVR\\AV/../../outside.txt",
        "C:\\PVR\\AV\\link\\data.txt",
        "C:\\PVR\\AV\\link",
        "D:\\PVR\\AV\\clip.ts",
        "C:\\PVRX\\clip.ts",
        "C:\\PVR\\\\AV\\clip.ts",
        "C:\\PVR\\AV\\a:b",
        "/etc/passwd",
    };
    for (const char* path : paths) {
        for (const std::int32_t command : {FCNTL_CREATE, FCNTL_OPEN_UPLOAD, FCNTL_OPEN_DOWNLOAD,
                                           FCNTL_DELETE, FCNTL_REMOVE_FOLDER, FCNTL_MAKE_FOLDER}) {
            EXPECT_FALSE(Fcntl(command, path)) << "command " << command << " on " << path;
        }
        EXPECT_FALSE(Fcntl(FCNTL_RENAME, path, "C:\\PVR\\AV\\moved")) << path;
        EXPECT_FALSE(Fcntl(FCNTL_RENAME, "C:\\PVR\\AV\\clip.ts", path)) << path;
        EXPECT_EQ(TAVRIX_FindFile((std::string(path) + "\\*.*").c_str()), 0) << path;
    }
    ExpectOutsideUntouched();
    EXPECT_EQ(GetHost("AV/clip.ts"), "clip");
    EXPECT_EQ(Names(List("C:\\PVR\\AV\\")), std::vector<std::string>{"clip.ts"})
        << "links are not listed";
}

TEST_F(SafetyTest, PathsThatDoNotFitTheirFieldOrHideBytesAreRefused) {
    const std::string longName = "C:\\PVR\\AV\\" + std::string(200, 'a');
    EXPECT_EQ(TAVRIX_FindFile((longName + "\\*.*").c_str()), 0);
    EXPECT_EQ(TAVRIX_FindFile((std::string(300, 'a') + "\\*.*").c_str()), 0);

    FileControlBlock full{};
    full.command = FCNTL_CREATE;
    std::memcpy(full.path, longName.data(), sizeof full.path);  // no room for the end
    EXPECT_FALSE(TAVRIX_FCntl(&full));

    FileControlBlock hidden{};
    hidden.command = FCNTL_DELETE;
    const char text[] = "C:\\PVR\\AV\\clip.ts\0..\\..\\outside.txt";
    std::memcpy(hidden.path, text, sizeof text);
    EXPECT_FALSE(TAVRIX_FCntl(&hidden)) << "bytes behind the terminating zero";

    FileControlBlock rename{};
    rename.command = FCNTL_RENAME;
    std::strcpy(rename.path, "C:\\PVR\\AV\\clip.ts");
    std::memset(rename.secondPath, 'b', sizeof rename.secondPath);
    EXPECT_FALSE(TAVRIX_FCntl(&rename));

    TransferItem item{};
    item.direction = TRANSFER_DOWNLOAD;
    std::memset(item.pvrPath, 'c', sizeof item.pvrPath);
    std::int64_t size = 0;
    EXPECT_FALSE(TAVRIX_RequestAVFSize(&size, &item));

    ExpectOutsideUntouched();
    EXPECT_EQ(GetHost("AV/clip.ts"), "clip");
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_disk / "AV")) {
        (void)entry;
        ++count;
    }
    EXPECT_EQ(count, 2u) << "nothing made in the disk either";
}

}  // namespace
