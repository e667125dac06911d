#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/transferfixture.h"

namespace {

constexpr std::int64_t kMiB = 1 << 20;
constexpr const char* kRec = "Movie_A1B2C3D4E5F6.AVR";

std::vector<TransferSelection> Files(int count, const char* prefix = "f") {
    std::vector<TransferSelection> out;
    for (int i = 0; i < count; ++i) {
        out.push_back({std::string(prefix) + std::to_string(i) + ".bin", 10, {}});
    }
    return out;
}

std::string PvrPathOf(const TransferItem& item) {
    return item.pvrPath;
}

class BatchBuilder : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        PutHost("AV/.keep", "");
        StartAndAttach();
    }
    TransferBatch m_batch;
};

}  // namespace

TEST_F(BatchBuilder, TheBatchHoldsAHundredItemsAndARecordingNeverSplitsAcrossTheLimit) {
    struct Case {
        const char* name;
        int files;
        bool recording;
        int items;
    };
    const Case cases[] = {
        {"101 files take 100", 101, false, 100},
        {"99 files and a recording stop at 99", 99, true, 99},
        {"98 files and a recording fill 100", 98, true, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto selection = Files(c.files);
        if (c.recording) {
            selection.push_back({kRec, 5000, {}});
        }
        for (bool upload : {true, false}) {
            if (!upload) {
                PutHost("AV/Movie_#001_A1B2C3D4E5F6.AVF", Bytes(100));
            }
            const BatchSource source = Source(selection, "C:\\pc\\", "C:\\PVR\\AV\\");
            const BuildOutcome outcome =
                upload ? BuildUploadBatch(source, m_batch) : BuildDownloadBatch(source, m_batch);
            EXPECT_EQ(outcome, BuildOutcome::Ready);
            ASSERT_EQ(m_batch.itemCount, c.items);
            EXPECT_EQ(PvrPathOf(m_batch.items[0]), "C:\\PVR\\AV\\f0.bin");
            if (c.items == 100 && c.recording) {
                EXPECT_EQ(PvrPathOf(m_batch.items[98]), "C:\\PVR\\AV\\Movie_#001_A1B2C3D4E5F6.AVF");
                EXPECT_EQ(PvrPathOf(m_batch.items[99]), "C:\\PVR\\AV\\Movie_A1B2C3D4E5F6.AVR");
            } else {
                EXPECT_EQ(PvrPathOf(m_batch.items[static_cast<std::size_t>(c.items - 1)]),
                          "C:\\PVR\\AV\\f" + std::to_string(c.items - 1) + ".bin");
            }
        }
    }
}

TEST_F(BatchBuilder, ARecordingMovesItsCompanionFirstWithTheExactPaths) {
    m_drives.MakeFile("../d/rec/Movie_A1B2C3D4E5F6.AVR", Bytes(5000));
    ASSERT_EQ(BuildUploadBatch(Source({{kRec, 0, {}}}, "D:\\rec\\", "C:\\PVR\\AV\\"), m_batch),
              BuildOutcome::Ready);
    ASSERT_EQ(m_batch.itemCount, 2);
    EXPECT_EQ(PvrPathOf(m_batch.items[0]), "C:\\PVR\\AV\\Movie_#001_A1B2C3D4E5F6.AVF");
    EXPECT_EQ(m_batch.pcPaths[0], "D:\\rec\\Movie_A1B2C3D4E5F6.AVF");
    EXPECT_EQ(m_batch.items[0].byteCount, 8192);  // the PVR's fixed companion size
    EXPECT_EQ(PvrPathOf(m_batch.items[1]), "C:\\PVR\\AV\\Movie_A1B2C3D4E5F6.AVR");
    EXPECT_EQ(m_batch.pcPaths[1], "D:\\rec\\Movie_A1B2C3D4E5F6.AVR");
    EXPECT_EQ(m_batch.items[1].byteCount, 5000);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(m_batch.items[i].kind, TRANSFER_KIND_FILE);
        EXPECT_EQ(m_batch.items[i].direction, TRANSFER_UPLOAD);
        EXPECT_EQ(m_batch.items[i].chunkSize, 0x200000u);
        EXPECT_EQ(m_batch.items[i].offset, 0);
    }

    PutHost("AV/Movie_#001_A1B2C3D4E5F6.AVF", Bytes(300));
    m_answers = {XFER_OVERWRITE};
    ASSERT_EQ(BuildDownloadBatch(Source({{kRec, 7000, {}}}, "D:\\rec\\", "C:\\PVR\\AV\\"), m_batch),
              BuildOutcome::Ready);
    ASSERT_EQ(m_batch.itemCount, 2);
    EXPECT_EQ(PvrPathOf(m_batch.items[0]), "C:\\PVR\\AV\\Movie_#001_A1B2C3D4E5F6.AVF");
    EXPECT_EQ(m_batch.pcPaths[0], "D:\\rec\\Movie_A1B2C3D4E5F6.AVF");
    EXPECT_EQ(m_batch.items[0].byteCount, 300);
    EXPECT_EQ(m_batch.items[1].byteCount, 7000);
    EXPECT_EQ(m_batch.items[1].direction, TRANSFER_DOWNLOAD);
    // Asked about: the existing PC copy of the recording.
    EXPECT_EQ(m_asked.size(), 1u);
}

TEST_F(BatchBuilder, RecordingsWithoutCompanionsAndOddNames) {
    // A recording the PVR knows no companion of is left out altogether.
    ASSERT_EQ(
        BuildDownloadBatch(
            Source({{kRec, 7000, {}}, {"b.bin", 3, {}}}, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
        BuildOutcome::Ready);
    ASSERT_EQ(m_batch.itemCount, 1);
    EXPECT_EQ(PvrPathOf(m_batch.items[0]), "C:\\PVR\\AV\\b.bin");
    ASSERT_EQ(m_skipped.size(), 1u);
    EXPECT_EQ(m_skipped[0].second, TransferSkip::NoCompanion);

    // An .AVR that fits neither name form moves alone.
    ASSERT_EQ(
        BuildUploadBatch(Source({{"holiday.avr", 0, {}}}, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
        BuildOutcome::Ready);
    ASSERT_EQ(m_batch.itemCount, 1);
    EXPECT_EQ(PvrPathOf(m_batch.items[0]), "C:\\PVR\\AV\\holiday.avr");
}

TEST_F(BatchBuilder, ResumeStartsWhereTheDestinationEnds) {
    m_drives.MakeFile("pc/big.bin", Bytes(10 * kMiB));
    PutHost("AV/big.bin", Bytes(3 * kMiB));
    m_answers = {XFER_RESUME};
    ASSERT_EQ(BuildUploadBatch(Source({{"big.bin", 0, {}}}, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
              BuildOutcome::Ready);
    ASSERT_EQ(m_batch.itemCount, 1);
    EXPECT_EQ(m_batch.items[0].offset, 3 * kMiB);
    EXPECT_EQ(m_batch.items[0].byteCount, 7 * kMiB);
    EXPECT_EQ(m_asked, std::vector<std::string>{"big.bin is already exist in PVR.\nDo you want to "
                                                "overwrite or resume the file?"});

    m_asked.clear();
    m_drives.MakeFile("pc/big.bin", Bytes(4 * kMiB));
    m_answers = {XFER_RESUME};
    ASSERT_EQ(BuildDownloadBatch(Source({{"big.bin", 10 * kMiB, {}}}, "C:\\pc\\", "C:\\PVR\\AV\\"),
                                 m_batch),
              BuildOutcome::Ready);
    ASSERT_EQ(m_batch.itemCount, 1);
    EXPECT_EQ(m_batch.items[0].offset, 4 * kMiB);
    EXPECT_EQ(m_batch.items[0].byteCount, 6 * kMiB);
    EXPECT_EQ(m_asked, std::vector<std::string>{"big.bin is already exist.\nSelect button to "
                                                "overwrite existing file or resume."});
}

TEST_F(BatchBuilder, ADownloadThePcHasWholeIsLeftOutWhateverTheAnswer) {
    struct Case {
        int answer;
        std::int64_t pcSize;
        TransferSkip why;
    };
    const Case cases[] = {
        {XFER_OVERWRITE, 100, TransferSkip::AlreadyComplete},
        {XFER_OVERWRITE_ALL, 101, TransferSkip::DestinationLarger},
        {XFER_RESUME, 100, TransferSkip::AlreadyComplete},
        {XFER_RESUME_ALL, 150, TransferSkip::DestinationLarger},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        m_skipped.clear();
        m_drives.MakeFile("pc/a.bin", Bytes(static_cast<std::size_t>(c.pcSize)));
        m_answers = {c.answer};
        EXPECT_EQ(
            BuildDownloadBatch(Source({{"a.bin", 100, {}}}, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
            BuildOutcome::Empty);
        EXPECT_EQ(m_batch.itemCount, 0);
        ASSERT_EQ(m_skipped.size(), 1u);
        EXPECT_EQ(m_skipped[0].second, c.why);
    }
    // The same rule does not hold for uploads that overwrite.
    PutHost("AV/a.bin", Bytes(100));
    m_answers = {XFER_OVERWRITE};
    EXPECT_EQ(BuildUploadBatch(Source({{"a.bin", 0, {}}}, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
              BuildOutcome::Ready);
}

TEST_F(BatchBuilder, AnswersAllAndCancel) {
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
        m_drives.MakeFile(std::string("pc/") + name, Bytes(10));
        PutHost(std::string("AV/") + name, Bytes(5));
    }
    const std::vector<TransferSelection> all = {
        {"a.bin", 0, {}}, {"b.bin", 0, {}}, {"c.bin", 0, {}}};

    // Overwrite All once: no more questions, every file from its start.
    m_answers = {XFER_OVERWRITE_ALL};
    ASSERT_EQ(BuildUploadBatch(Source(all, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
              BuildOutcome::Ready);
    EXPECT_EQ(m_asked.size(), 1u);
    ASSERT_EQ(m_batch.itemCount, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m_batch.items[i].offset, 0);
        EXPECT_EQ(m_batch.items[i].byteCount, 10);
    }

    // Resume All likewise resumes every later file.
    m_asked.clear();
    m_answers = {XFER_RESUME_ALL};
    ASSERT_EQ(BuildUploadBatch(Source(all, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
              BuildOutcome::Ready);
    EXPECT_EQ(m_asked.size(), 1u);
    EXPECT_EQ(m_batch.items[2].offset, 5);

    // Cancel at the second question: nothing at all, not even the first file.
    m_asked.clear();
    m_answers = {XFER_OVERWRITE, XFER_CANCEL};
    EXPECT_EQ(BuildUploadBatch(Source(all, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
              BuildOutcome::Abandoned);
    EXPECT_EQ(m_asked.size(), 2u);
    EXPECT_EQ(m_batch.itemCount, 0);

    // Enter in the prompt (1) keeps the default, overwrite, and asks again next time.
    m_asked.clear();
    m_answers = {1, 1, 1};
    ASSERT_EQ(BuildUploadBatch(Source(all, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
              BuildOutcome::Ready);
    EXPECT_EQ(m_asked.size(), 3u);
    EXPECT_EQ(m_batch.items[0].offset, 0);
}

TEST_F(BatchBuilder, NoCurrentFolderOnEitherSideDoesNothing) {
    m_drives.MakeFile("pc/a.bin", Bytes(10));
    PutHost("AV/a.bin", Bytes(10));
    for (bool upload : {true, false}) {
        for (int missing = 0; missing < 2; ++missing) {
            SCOPED_TRACE(std::string(upload ? "upload" : "download") + (missing ? " pvr" : " pc"));
            const auto pc = missing == 0 ? std::nullopt : std::optional<std::string>("C:\\pc\\");
            const auto pvr =
                missing == 1 ? std::nullopt : std::optional<std::string>("C:\\PVR\\AV\\");
            const BatchSource source = Source({{"a.bin", 10, {}}}, pc, pvr);
            EXPECT_EQ(
                upload ? BuildUploadBatch(source, m_batch) : BuildDownloadBatch(source, m_batch),
                BuildOutcome::Abandoned);
            EXPECT_EQ(m_batch.itemCount, 0);
            EXPECT_TRUE(m_asked.empty());
        }
    }
}

TEST_F(BatchBuilder, ANameThatWouldLeaveTheFolderIsRefusedWithAMessage) {
    const std::vector<TransferSelection> selection = {{"..", 1, {}},  {"a\\..\\..\\b", 1, {}},
                                                      {"x/y", 1, {}}, {"", 1, {}},
                                                      {".", 1, {}},   {"fine..bin", 1, {}}};
    ASSERT_EQ(BuildDownloadBatch(Source(selection, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
              BuildOutcome::Ready);
    ASSERT_EQ(m_batch.itemCount, 1);
    EXPECT_EQ(m_batch.pcPaths[0], "C:\\pc\\fine..bin");
    ASSERT_EQ(m_told.size(), 5u);
    EXPECT_EQ(m_told[0],
              "\"..\" was not transferred: its name cannot be used for a file in the destination "
              "folder.");
    for (const auto& [name, why] : m_skipped) {
        EXPECT_EQ(why, TransferSkip::UnsafeName) << name;
    }

    // A path that does not fit the PVR's field is refused too, never cut.
    m_told.clear();
    const std::string longName(130, 'n');
    EXPECT_EQ(BuildUploadBatch(Source({{longName, 0, {}}}, "C:\\pc\\", "C:\\PVR\\AV\\"), m_batch),
              BuildOutcome::Empty);
    ASSERT_EQ(m_told.size(), 1u);
    EXPECT_EQ(m_told[0], "\"" + longName + "\" was not transferred: its path is too long.");
}

// ---- Software upgrade ----------------------------------------------------------------------

namespace {

void MakeD(const PrivateDrives& drives, const std::string& relative, const std::string& data) {
    const std::filesystem::path path = drives.D() + "/" + relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

}  // namespace

TEST_F(BatchBuilder, AnUpgradeSendsTheWholeImageToTheFirmwareFolderAsItsKind) {
    const std::string image = Bytes(2 * kMiB + 5, 31);
    MakeD(m_drives, "img/main.mem", image);
    TransferBatch& batch = m_engine.Batch();
    ASSERT_EQ(BuildUpgradeBatch("D:\\img\\main.mem", TRANSFER_KIND_FIRMWARE, batch),
              UpgradeImage::Ready);
    ASSERT_EQ(batch.itemCount, 1);
    const TransferItem& item = batch.items[0];
    EXPECT_EQ(item.kind, TRANSFER_KIND_FIRMWARE);
    EXPECT_EQ(item.direction, TRANSFER_UPLOAD);
    EXPECT_EQ(PvrPathOf(item), "C:\\PVR\\Firmware\\main.mem");
    EXPECT_EQ(batch.pcPaths[0], "D:\\img\\main.mem");
    // 1 MiB whatever the speed: this PVR is on high-speed USB.
    EXPECT_EQ(item.chunkSize, 0x100000u);
    EXPECT_EQ(item.offset, 0);
    EXPECT_EQ(item.byteCount, static_cast<std::int64_t>(image.size()));

    CReportLog log(m_engine);
    ASSERT_TRUE(RunUpload(log));
    EXPECT_FALSE(log.Failed());
    EXPECT_TRUE(GetHost("Firmware/main.mem") == image);
    EXPECT_TRUE(LogContains("software image received: C:\\PVR\\Firmware\\main.mem (firmware, " +
                            std::to_string(image.size()) + " bytes)"));

    // The other kinds go as they are; anything else is no image kind at all.
    for (const int kind : {1, 2}) {
        ASSERT_EQ(BuildUpgradeBatch("D:\\img\\main.mem", kind, m_batch), UpgradeImage::Ready);
        EXPECT_EQ(m_batch.items[0].kind, kind);
    }
    for (const int kind : {-1, 3, 4}) {
        EXPECT_EQ(BuildUpgradeBatch("D:\\img\\main.mem", kind, m_batch), UpgradeImage::NoKind)
            << kind;
        EXPECT_TRUE(m_batch.Empty()) << kind;
    }
}

TEST_F(BatchBuilder, AnUpgradeImageOverFourGiBKeepsItsFullSize) {
    const std::filesystem::path path = m_drives.D() + "/big.mem";
    std::ofstream(path, std::ios::binary) << "x";
    constexpr std::uintmax_t kSize = (std::uintmax_t{1} << 32) + 5;
    std::filesystem::resize_file(path, kSize);  // sparse: no 4 GiB written
    ASSERT_EQ(BuildUpgradeBatch("D:\\big.mem", TRANSFER_KIND_DATABASE, m_batch),
              UpgradeImage::Ready);
    EXPECT_EQ(m_batch.items[0].byteCount, static_cast<std::int64_t>(kSize));
}

TEST_F(BatchBuilder, AnUpgradeImageThatCannotGoIsNamedAndNothingIsBuilt) {
    MakeD(m_drives, "img/main.mem", "image");
    MakeD(m_drives, "img/empty.mem", "");
    std::filesystem::create_directories(m_drives.D() + "/img/sub.mem");
    const std::string longName = std::string(110, 'n') + ".mem";
    MakeD(m_drives, "img/" + longName, "image");
    struct Case {
        const char* what;
        std::string path;
        UpgradeImage outcome;
        const char* text;  // nullptr: not checked here
    };
    const Case cases[] = {
        {"no path", "", UpgradeImage::NoPath, "Please choose the software file to upgrade."},
        {"missing", "D:\\img\\none.mem", UpgradeImage::Missing,
         "The software file cannot be found:\nD:\\img\\none.mem"},
        {"missing folder", "D:\\none\\main.mem", UpgradeImage::Missing, nullptr},
        {"no folder at all", "main.mem", UpgradeImage::Missing, nullptr},
        {"empty", "D:\\img\\empty.mem", UpgradeImage::Empty,
         "The software file is empty:\nD:\\img\\empty.mem"},
        {"a folder", "D:\\img\\sub.mem", UpgradeImage::NotOneFile,
         "The path does not name one software file:\nD:\\img\\sub.mem"},
        // The pattern finds main.mem, which is not the file the path names.
        {"a pattern", "D:\\img\\*.mem", UpgradeImage::NotOneFile, nullptr},
        {"a name longer than the PVR's path field", "D:\\img\\" + longName, UpgradeImage::TooLong,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_batch.itemCount = 1;  // left over from an earlier batch
        EXPECT_EQ(BuildUpgradeBatch(c.path, TRANSFER_KIND_FIRMWARE, m_batch), c.outcome);
        EXPECT_TRUE(m_batch.Empty());
        if (c.text != nullptr) {
            EXPECT_EQ(UpgradeImageText(c.outcome, c.path), c.text);
        }
    }
    // Case aside, the path names the file; the PVR gets the name as written.
    ASSERT_EQ(BuildUpgradeBatch("d:\\IMG\\MAIN.MEM", TRANSFER_KIND_FIRMWARE, m_batch),
              UpgradeImage::Ready);
    EXPECT_EQ(PvrPathOf(m_batch.items[0]), "C:\\PVR\\Firmware\\MAIN.MEM");
}
