// Listings: busy answers first, then the entries in the PVR's order.
#include "support/pvrfixture.h"

namespace {

class ListingTest : public PvrTest {
protected:
    void PutRecording() {
        PutHost("AV/Zoo_#001_200501011200.AVR", std::string(10, 'a'));
        PutHost("AV/Zoo_#002_200501011200.AVR", std::string(20, 'b'));
        PutHost("AV/Zoo_#001_200501011200.AVF", std::string(5, 'c'));
        PutHost("AV/clip.ts", std::string(7, 'd'));
        std::filesystem::create_directories(m_disk / "AV" / "Series");
    }
};

TEST_F(ListingTest, BusyAnswersThenEntriesInThePvrsOrder) {
    PutRecording();
    StartAndAttach([](pvrd::PvrOptions& o) { o.busy = 3; });
    int busy = 0;
    const std::vector<StbFindData> entries = List("C:\\PVR\\AV\\", nullptr, &busy);
    EXPECT_EQ(busy, 3);
    EXPECT_EQ(Names(entries),
              (std::vector<std::string>{"Series", "clip.ts", "Zoo_#001_200501011200.AVR",
                                        "Zoo_#002_200501011200.AVR", "Zoo_#001_200501011200.AVF"}));
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].kind, STB_ENTRY_FOLDER);
    EXPECT_EQ(entries[3].kind, STB_ENTRY_FILE);
    EXPECT_EQ(entries[3].size, 20);
    EXPECT_GE(entries[3].year, 2000);
    EXPECT_GE(entries[3].month, 1);
    EXPECT_LE(entries[3].month, 12);
}

TEST_F(ListingTest, AvfFirstAndNamePrefix) {
    PutRecording();
    StartAndAttach([](pvrd::PvrOptions& o) {
        o.avfFirst = true;
        o.namePrefix = true;
    });
    EXPECT_EQ(
        Names(List("C:\\PVR\\AV\\")),
        (std::vector<std::string>{
            "C:\\PVR\\AV\\Series", "C:\\PVR\\AV\\clip.ts", "C:\\PVR\\AV\\Zoo_#001_200501011200.AVF",
            "C:\\PVR\\AV\\Zoo_#001_200501011200.AVR", "C:\\PVR\\AV\\Zoo_#002_200501011200.AVR"}));
}

TEST_F(ListingTest, CapacityIsRespectedAndTheListingContinues) {
    for (int i = 0; i < 7; ++i) {
        PutHost("IMG/pic" + std::to_string(i) + ".jpg", "x");
    }
    StartAndAttach();
    ASSERT_EQ(TAVRIX_FindFile("C:\\PVR\\IMG\\*.*"), 1);
    std::vector<StbFindData> page(4);
    StbDiskSpace space{};
    std::vector<std::string> names;
    std::vector<int> counts;
    for (int n; (n = TAVRIX_FindNext(0, 3, &space, page.data())) > 0;) {
        counts.push_back(n);
        for (int i = 0; i < n; ++i) {
            names.emplace_back(page[static_cast<std::size_t>(i)].name);
        }
        EXPECT_EQ(page[3].name[0], '\0') << "written beyond the capacity";
    }
    TAVRIX_FindClose(0);
    EXPECT_EQ(counts, (std::vector<int>{3, 3, 1}));
    EXPECT_EQ(names.front(), "pic0.jpg");
    EXPECT_EQ(names.back(), "pic6.jpg");
}

TEST_F(ListingTest, DiskSpaceOfASmallerDisk) {
    PutHost("MP3/a.mp3", std::string(3000, 'x'));
    StartAndAttach([](pvrd::PvrOptions& o) { o.diskSize = 1 << 20; });
    StbDiskSpace space{};
    List("C:\\PVR\\", &space);
    EXPECT_EQ(space.totalBytes, 1 << 20);
    EXPECT_EQ(space.freeBytes, (1 << 20) - 3000);
}

TEST_F(ListingTest, ListingOfAMissingFolderDoesNotStart) {
    StartAndAttach();
    EXPECT_EQ(TAVRIX_FindFile("C:\\PVR\\Nowhere\\*.*"), 0);
    EXPECT_EQ(TAVRIX_FindFile("C:\\PVR\\AV\\"), 0) << "no pattern";
    EXPECT_EQ(TAVRIX_FindFile("C:\\PVR\\av\\*.*"), 1);
}

}  // namespace
