// The folder commands on the device and the protected-folder tests.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/user.h"
#include "support/browserfixture.h"

namespace {

TEST(PvrFolders, ProtectedFolders) {
    struct Case {
        const char* path;
        bool system;
        bool root;
    };
    for (const Case& c : {
             Case{"", true, true},
             Case{"C:\\PVR\\AV", true, false},
             Case{"D:\\PVR\\AV", true, false},
             Case{"c:\\pvr\\mp3\\", true, false},
             Case{"z:\\Pvr\\Img", true, false},
             // Only a letter is taken for a drive; without one nothing is cut.
             Case{"\\PVR\\IMG", false, false},
             Case{"1:\\PVR\\AV", false, false},
             // One trailing backslash is dropped, not two.
             Case{"C:\\PVR\\AV\\\\", false, false},
             Case{"C:\\PVR\\AV\\Films", false, false},
             Case{"C:\\PVR\\Firmware", false, false},
             Case{"C:\\PVR\\", false, true},
             Case{"c:\\pvr", false, true},
             Case{"C:\\PVRX", false, false},
         }) {
        EXPECT_EQ(CSTBTreeView::IsSystemFolder(c.path), c.system) << c.path;
        EXPECT_EQ(CSTBTreeView::IsPvrRoot(c.path), c.root) << c.path;
    }
}

class PvrFolderCommands : public PvrBrowserTest {
protected:
    void SetUp() override {
        PvrBrowserTest::SetUp();
        MakeHostFolder("AV/Clips");
        MakeHostFolder("MP3/Clips");
        StartBrowser();
        FinishListing();
    }
    std::vector<ShownBox> Boxes() { return MessageBoxes(m_env->User()); }
};

TEST_F(PvrFolderCommands, MakeRenameRemoveFollowTheDevice) {
    ASSERT_TRUE(Tree().MakeFolder("C:\\PVR\\AV\\New"));
    EXPECT_TRUE(std::filesystem::is_directory(m_disk / "AV/New"));
    EXPECT_EQ(ChildLabels("C:\\PVR\\AV"), (std::vector<std::string>{"New"}));

    ASSERT_TRUE(Tree().RenameFolder("C:\\PVR\\AV\\New", "C:\\PVR\\AV\\Old"));
    EXPECT_TRUE(std::filesystem::is_directory(m_disk / "AV/Old"));
    EXPECT_EQ(ChildLabels("C:\\PVR\\AV"), (std::vector<std::string>{"Old"}));

    // The tree hands out folders with their trailing backslash.
    ASSERT_TRUE(Tree().RemoveFolder("C:\\PVR\\AV\\Old\\"));
    EXPECT_FALSE(std::filesystem::exists(m_disk / "AV/Old"));
    EXPECT_TRUE(ChildLabels("C:\\PVR\\AV").empty());
    EXPECT_TRUE(Boxes().empty());

    // Failures: make and remove are silent, rename tells the user.
    EXPECT_FALSE(Tree().MakeFolder("C:\\PVR\\MP3"));
    EXPECT_FALSE(Tree().RemoveFolder("C:\\PVR\\AV\\Missing\\"));
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(Tree().RenameFolder("C:\\PVR\\AV\\Missing", "C:\\PVR\\AV\\Found"));
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error occurred.");
    EXPECT_EQ(boxes[0].caption, "Tavrix");
    EXPECT_EQ(boxes[0].type, MB_ICONSTOP);
    EXPECT_EQ(ChildLabels("C:\\PVR").size(), 4u);
}

TEST_F(PvrFolderCommands, RenamingATwinNameRetitlesTheRenamedFolder) {
    ListFolder("C:\\PVR\\AV\\");
    ListFolder("C:\\PVR\\MP3\\");
    ASSERT_EQ(ChildLabels("C:\\PVR\\AV"), (std::vector<std::string>{"Clips"}));
    ASSERT_EQ(ChildLabels("C:\\PVR\\MP3"), (std::vector<std::string>{"Clips"}));

    // AV\Clips comes first in the tree, but it is MP3\Clips that the device renamed.
    ASSERT_TRUE(Tree().RenameFolder("C:\\PVR\\MP3\\Clips", "C:\\PVR\\MP3\\Shorts"));
    EXPECT_TRUE(std::filesystem::is_directory(m_disk / "MP3/Shorts"));
    EXPECT_EQ(ChildLabels("C:\\PVR\\AV"), (std::vector<std::string>{"Clips"}));
    EXPECT_EQ(ChildLabels("C:\\PVR\\MP3"), (std::vector<std::string>{"Shorts"}));
}

TEST_F(PvrFolderCommands, OverlongPathsNeverReachTheDevice) {
    const auto path = [](std::size_t length) {
        const std::string folder = "C:\\PVR\\AV\\";
        return folder + std::string(length - folder.size(), 'x');
    };
    ListFolder("C:\\PVR\\AV\\");
    const std::string fits = path(121);
    const std::string tooLong = path(122);
    struct Case {
        const char* name;
        std::function<bool()> command;
        int deviceCalls;
        bool errorBox;
    };
    const std::vector<Case> cases{
        {"MakeFolderAtTheLimit", [&] { return Tree().MakeFolder(fits); }, 1, false},
        {"MakeFolder", [&] { return Tree().MakeFolder(tooLong); }, 0, false},
        {"RemoveFolder", [&] { return Tree().RemoveFolder(tooLong); }, 0, false},
        {"RenameFolderOld", [&] { return Tree().RenameFolder(tooLong, "C:\\PVR\\AV\\y"); }, 0,
         true},
        {"RenameFolderNew", [&] { return Tree().RenameFolder("C:\\PVR\\AV\\Clips", path(126)); }, 0,
         true},
        {"DeleteFile", [&] { return Files().DeleteFile(tooLong); }, 0, false},
        {"RenameFileNew", [&] { return Files().RenameFile("C:\\PVR\\AV\\a.txt", path(126)); }, 0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_env->User().ClearHistory();
        m_fcntlCalls = 0;
        if (c.deviceCalls == 1) {
            EXPECT_TRUE(c.command());
        } else {
            EXPECT_FALSE(c.command());
        }
        EXPECT_EQ(m_fcntlCalls, c.deviceCalls);
        EXPECT_EQ(Boxes().size(), c.errorBox ? 1u : 0u);
    }
    // A second path of 125 characters still fits its larger field.
    m_fcntlCalls = 0;
    EXPECT_TRUE(Tree().RenameFolder("C:\\PVR\\AV\\Clips", path(125)));
    EXPECT_EQ(m_fcntlCalls, 1);
}

}  // namespace
