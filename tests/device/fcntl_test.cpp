// File commands against the emulated PVR, recordings included.
#include "support/pvrfixture.h"

namespace {

class FcntlTest : public PvrTest {};

TEST_F(FcntlTest, FolderCommands) {
    StartAndAttach();
    EXPECT_TRUE(Fcntl(FCNTL_MAKE_FOLDER, "C:\\PVR\\AV\\Films"));
    EXPECT_FALSE(Fcntl(FCNTL_MAKE_FOLDER, "C:\\PVR\\AV\\films")) << "exists, in another case";
    EXPECT_FALSE(Fcntl(FCNTL_MAKE_FOLDER, "C:\\PVR\\Nowhere\\Films")) << "no parent";
    EXPECT_TRUE(Fcntl(FCNTL_RENAME, "C:\\PVR\\av\\FILMS", "C:\\PVR\\AV\\Movies"));
    EXPECT_TRUE(std::filesystem::is_directory(m_disk / "AV" / "Movies"));

    PutHost("AV/Movies/a.ts", "x");
    EXPECT_FALSE(Fcntl(FCNTL_REMOVE_FOLDER, "C:\\PVR\\AV\\Movies")) << "only empty folders go";
    EXPECT_TRUE(ExistsHost("AV/Movies/a.ts"));
    EXPECT_TRUE(Fcntl(FCNTL_DELETE, "C:\\PVR\\AV\\Movies\\A.TS"));
    EXPECT_TRUE(Fcntl(FCNTL_REMOVE_FOLDER, "C:\\PVR\\AV\\Movies\\"));
    EXPECT_FALSE(ExistsHost("AV/Movies"));
    EXPECT_FALSE(Fcntl(FCNTL_REMOVE_FOLDER, "C:\\PVR"));
    EXPECT_FALSE(Fcntl(6, "C:\\PVR\\AV")) << "6 is no command";
}

TEST_F(FcntlTest, FileCommands) {
    StartAndAttach();
    const std::string data = Bytes(3000);
    ASSERT_TRUE(Upload("C:\\PVR\\MP3\\song.mp3", data));
    EXPECT_EQ(GetHost("MP3/song.mp3"), data);

    EXPECT_FALSE(Fcntl(FCNTL_RENAME, "C:\\PVR\\MP3\\song.mp3", "C:\\PVR\\IMG")) << "target exists";
    EXPECT_TRUE(Fcntl(FCNTL_RENAME, "C:\\PVR\\MP3\\SONG.MP3", "C:\\PVR\\IMG\\tune.mp3"));
    EXPECT_EQ(GetHost("IMG/tune.mp3"), data);

    EXPECT_FALSE(Fcntl(FCNTL_OPEN_DOWNLOAD, "C:\\PVR\\MP3\\song.mp3")) << "moved away";
    EXPECT_FALSE(Fcntl(FCNTL_OPEN_DOWNLOAD, "C:\\PVR\\IMG\\tune.mp3", "", 3001))
        << "beyond the end";
    EXPECT_FALSE(Fcntl(FCNTL_OPEN_UPLOAD, "C:\\PVR\\IMG\\none.mp3", "", 0))
        << "continue needs a file";
    EXPECT_FALSE(Fcntl(FCNTL_CREATE, "C:\\PVR\\IMG")) << "a folder is no file";
    EXPECT_FALSE(Fcntl(FCNTL_CLOSE, "")) << "nothing open";
    EXPECT_FALSE(Fcntl(FCNTL_DELETE, "C:\\PVR\\IMG")) << "delete takes files only";
    EXPECT_TRUE(Fcntl(FCNTL_DELETE, "C:\\PVR\\IMG\\tune.mp3"));
    EXPECT_FALSE(ExistsHost("IMG/tune.mp3"));
    EXPECT_FALSE(Fcntl(FCNTL_DELETE, "C:\\PVR\\IMG\\tune.mp3"));
}

// A recording of three parts and its .AVF, plus an unrelated recording.
class RecordingTest : public PvrTest {
protected:
    void SetUp() override {
        PvrTest::SetUp();
        PutHost("AV/Movie_#001_A1B2C3D4E5F6.AVR", "part one|");
        PutHost("AV/Movie_#002_A1B2C3D4E5F6.AVR", "part two|");
        PutHost("AV/Movie_#003_A1B2C3D4E5F6.AVR", "part three");
        PutHost("AV/Movie_#001_A1B2C3D4E5F6.AVF", "index");
        PutHost("AV/Other_#001_A1B2C3D4E5F6.AVR", "other");
        StartAndAttach();
    }
};

TEST_F(RecordingTest, DeleteTakesAllPartsAndTheAvf) {
    EXPECT_TRUE(Fcntl(FCNTL_DELETE, "C:\\PVR\\AV\\movie_a1b2c3d4e5f6.avr"));
    EXPECT_FALSE(ExistsHost("AV/Movie_#001_A1B2C3D4E5F6.AVR"));
    EXPECT_FALSE(ExistsHost("AV/Movie_#002_A1B2C3D4E5F6.AVR"));
    EXPECT_FALSE(ExistsHost("AV/Movie_#003_A1B2C3D4E5F6.AVR"));
    EXPECT_FALSE(ExistsHost("AV/Movie_#001_A1B2C3D4E5F6.AVF"));
    EXPECT_TRUE(ExistsHost("AV/Other_#001_A1B2C3D4E5F6.AVR"));
    EXPECT_FALSE(Fcntl(FCNTL_DELETE, "C:\\PVR\\AV\\Movie_A1B2C3D4E5F6.AVR"));
}

TEST_F(RecordingTest, PartNameAddressesThatPartAlone) {
    EXPECT_EQ(Download("C:\\PVR\\AV\\Movie_#002_A1B2C3D4E5F6.AVR", 0, 9), "part two|");
    EXPECT_TRUE(Fcntl(FCNTL_DELETE, "C:\\PVR\\AV\\Movie_#002_A1B2C3D4E5F6.AVR"));
    EXPECT_TRUE(ExistsHost("AV/Movie_#001_A1B2C3D4E5F6.AVR"));
    EXPECT_TRUE(ExistsHost("AV/Movie_#003_A1B2C3D4E5F6.AVR"));
}

TEST_F(RecordingTest, RenameMovesAllPartsAndTheAvf) {
    EXPECT_FALSE(
        Fcntl(FCNTL_RENAME, "C:\\PVR\\AV\\Movie_A1B2C3D4E5F6.AVR", "C:\\PVR\\AV\\Film.AVR"))
        << "the new name must be a recording name";
    EXPECT_FALSE(Fcntl(FCNTL_RENAME, "C:\\PVR\\AV\\Movie_A1B2C3D4E5F6.AVR",
                       "C:\\PVR\\AV\\Other_A1B2C3D4E5F6.AVR"))
        << "would land on another recording's part";
    ASSERT_TRUE(Fcntl(FCNTL_RENAME, "C:\\PVR\\AV\\Movie_A1B2C3D4E5F6.AVR",
                      "C:\\PVR\\AV\\Film_A1B2C3D4E5F6.AVR"));
    EXPECT_EQ(GetHost("AV/Film_#001_A1B2C3D4E5F6.AVR"), "part one|");
    EXPECT_EQ(GetHost("AV/Film_#002_A1B2C3D4E5F6.AVR"), "part two|");
    EXPECT_EQ(GetHost("AV/Film_#003_A1B2C3D4E5F6.AVR"), "part three");
    EXPECT_EQ(GetHost("AV/Film_#001_A1B2C3D4E5F6.AVF"), "index");
    EXPECT_FALSE(ExistsHost("AV/Movie_#001_A1B2C3D4E5F6.AVR"));
    EXPECT_FALSE(ExistsHost("AV/Movie_#001_A1B2C3D4E5F6.AVF"));
}

}  // namespace
