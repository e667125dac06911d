// Whole operations over the library's calls: file command blocks and bounded
// folder listings.
#include <chrono>
#include <cstring>
#include <thread>

#include "core/names.h"
#include "device/tavrixcalls.h"
#include "support/pvrfixture.h"

namespace {

using namespace std::chrono_literals;

class ListFolderTest : public PvrTest {
protected:
    void PutPictures(int count) {
        for (int i = 0; i < count; ++i) {
            PutHost("IMG/pic" + std::to_string(i) + ".jpg", "x");
        }
    }
};

TEST_F(ListFolderTest, CollectsEveryPageAfterTheBusyAnswers) {
    PutPictures(7);
    StartAndAttach([](pvrd::PvrOptions& o) {
        o.busy = 2;
        o.diskSize = 1 << 20;
    });
    for (const char* folder : {"C:\\PVR\\IMG", "C:\\PVR\\IMG\\"}) {
        SCOPED_TRACE(folder);
        FolderListing listing;
        ASSERT_EQ(ListFolder(folder, &listing, {.pageCapacity = 3}), ListingEnd::Listed);
        EXPECT_EQ(Names(listing.entries),
                  (std::vector<std::string>{"pic0.jpg", "pic1.jpg", "pic2.jpg", "pic3.jpg",
                                            "pic4.jpg", "pic5.jpg", "pic6.jpg"}));
        EXPECT_EQ(listing.space.totalBytes, 1 << 20);
    }
    FolderListing empty;
    EXPECT_EQ(ListFolder("C:\\PVR\\MP3", &empty), ListingEnd::Listed);
    EXPECT_TRUE(empty.entries.empty());
}

TEST_F(ListFolderTest, GivesUpAtItsBoundsAndLeavesTheLibraryUsable) {
    PutPictures(7);
    struct Row {
        const char* name;
        const char* folder;
        ListingBounds bounds;
        int listDelayMs;
        ListingEnd end;
    };
    const Row rows[] = {
        {"too many",
         "C:\\PVR\\IMG",
         {.maxEntries = 6, .pageCapacity = 3},
         0,
         ListingEnd::TooManyEntries},
        {"exactly as many",
         "C:\\PVR\\IMG",
         {.maxEntries = 7, .pageCapacity = 3},
         0,
         ListingEnd::Listed},
        {"busy past the deadline", "C:\\PVR\\IMG", {.deadline = 300ms}, 60000, ListingEnd::TooSlow},
        {"no such folder", "C:\\PVR\\Missing", {}, 0, ListingEnd::Failed},
        {"no page size", "C:\\PVR\\IMG", {.pageCapacity = 0}, 0, ListingEnd::Failed},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        StartAndAttach([&](pvrd::PvrOptions& o) { o.listDelayMs = r.listDelayMs; });
        FolderListing listing;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ListFolder(r.folder, &listing, r.bounds), r.end);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        if (r.listDelayMs == 0) {
            FolderListing again;
            EXPECT_EQ(ListFolder("C:\\PVR\\IMG", &again), ListingEnd::Listed);
            EXPECT_EQ(again.entries.size(), 7u);
        }
        TAVRIX_UninitDevice();
        StopPvr();
    }
}

TEST_F(ListFolderTest, FailsWhenThePvrGoesAwayWhileBusy) {
    StartAndAttach([](pvrd::PvrOptions& o) { o.listDelayMs = 60000; });
    std::thread unplug([this] {
        std::this_thread::sleep_for(300ms);
        StopPvr();
    });
    FolderListing listing;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ListFolder("C:\\PVR\\IMG", &listing, {.deadline = 20s}), ListingEnd::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    unplug.join();
}

TEST(FileControlBlock, FilledOnlyWhenBothPathsFit) {
    struct Row {
        std::string path;
        std::string second;
        bool fits;
    };
    const std::string longest(sizeof FileControlBlock::path - 1, 'p');
    const std::string longestSecond(sizeof FileControlBlock::secondPath - 1, 's');
    const Row rows[] = {
        {"C:\\PVR\\AV\\a.ts", "", true},
        {"C:\\PVR\\AV\\a.ts", "C:\\PVR\\AV\\b.ts", true},
        {longest, longestSecond, true},
        {longest + "p", "", false},
        {"C:\\PVR\\AV\\a.ts", longestSecond + "s", false},
        {std::string("C:\\PVR\\AV\\a.ts\0.AVR", 19), "", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path.size());
        FileControlBlock fcb;
        std::memset(&fcb, 0x5A, sizeof fcb);
        EXPECT_EQ(BuildFileControlBlock(&fcb, FCNTL_RENAME, r.path, r.second), r.fits);
        if (r.fits) {
            EXPECT_EQ(fcb.command, FCNTL_RENAME);
            EXPECT_EQ(fcb.reserved, 0);
            EXPECT_EQ(fcb.offset, 0);
            EXPECT_EQ(FieldText(fcb.path), r.path);
            EXPECT_EQ(FieldText(fcb.secondPath), r.second);
        } else {
            const FileControlBlock zero{};
            EXPECT_EQ(std::memcmp(&fcb, &zero, sizeof fcb), 0);
        }
    }
}

}  // namespace
