#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/transferfixture.h"

namespace {

constexpr std::int64_t kMiB = 1 << 20;

std::vector<std::uint32_t> Pauses(std::initializer_list<std::uint32_t> list) {
    return list;
}

class Engine : public TransferTest {
protected:
    // Builds an upload of PC files under C:\pc\ into C:\PVR\AV\.
    void BuildUpload(const std::vector<std::string>& names, std::vector<int> answers = {}) {
        m_answers = std::move(answers);
        std::vector<TransferSelection> selection;
        for (const std::string& name : names) {
            selection.push_back({name, 0, {}});
        }
        ASSERT_EQ(
            BuildUploadBatch(Source(selection, "C:\\pc\\", "C:\\PVR\\AV\\"), m_engine.Batch()),
            BuildOutcome::Ready);
    }
    // Builds a download of PVR files in C:\PVR\AV\ (sizes as listed) into C:\pc\.
    void BuildDownload(const std::vector<std::string>& names, std::vector<int> answers = {}) {
        m_answers = std::move(answers);
        std::vector<TransferSelection> selection;
        for (const std::string& name : names) {
            selection.push_back(
                {name, static_cast<std::int64_t>(GetHost("AV/" + name).size()), {}});
        }
        ASSERT_EQ(
            BuildDownloadBatch(Source(selection, "C:\\pc\\", "C:\\PVR\\AV\\"), m_engine.Batch()),
            BuildOutcome::Ready);
    }
    // True while no file is open on the PVR: closing one then fails.
    static bool NothingOpenOnPvr() { return !Fcntl(FCNTL_CLOSE, ""); }
};

}  // namespace

TEST_F(Engine, AnUploadArrivesWholeAfterItsFixedPauses) {
    const std::string data = Bytes(3 * kMiB + 100);
    m_drives.MakeFile("pc/a.bin", data);
    StartAndAttach();
    BuildUpload({"a.bin"});
    CReportLog log(m_engine);
    ASSERT_TRUE(RunUpload(log));
    EXPECT_FALSE(log.Failed());
    EXPECT_EQ(GetHost("AV/a.bin"), data);
    EXPECT_TRUE(NothingOpenOnPvr());
    // After the stream request, before the first chunk, after the second whole
    // MiB boundary (2 MiB chunks: 2 MiB, then 3 MiB + 100), and after the item.
    EXPECT_EQ(m_clock.WorkerPauses(), Pauses({500, 500, 1000, 1000}));

    const auto starts = log.Events("start");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].count, 1);
    EXPECT_EQ(starts[0].progress.byteCount, 3 * kMiB + 100);
    EXPECT_EQ(std::string(starts[0].progress.source), "[PC]C:\\pc\\a.bin");
    EXPECT_EQ(std::string(starts[0].progress.destination), "[PVR]C:\\PVR\\AV\\a.bin");
    const auto progress = log.Events("progress");
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[0].progress.done, 2 * kMiB);
    EXPECT_EQ(progress[1].progress.done, 3 * kMiB + 100);
}

TEST_F(Engine, ADownloadArrivesWholeAndPausesBetweenItems) {
    const std::string a = Bytes(3 * kMiB, 1);
    const std::string b = Bytes(1000, 2);
    PutHost("AV/a.bin", a);
    PutHost("AV/b.bin", b);
    StartAndAttach();
    BuildDownload({"a.bin", "b.bin"});
    CReportLog log(m_engine);
    ASSERT_TRUE(RunDownload(log));
    EXPECT_FALSE(log.Failed());
    EXPECT_EQ(ReadPc("pc/a.bin"), a);
    EXPECT_EQ(ReadPc("pc/b.bin"), b);
    EXPECT_TRUE(NothingOpenOnPvr());
    EXPECT_EQ(m_clock.WorkerPauses(), Pauses({1000, 500, 1000, 1000, 500, 1000}));
    const auto starts = log.Events("start");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1].index, 1);
    EXPECT_EQ(std::string(starts[1].progress.source), "[PVR]C:\\PVR\\AV\\b.bin");
    EXPECT_EQ(std::string(starts[1].progress.destination), "[PC]C:\\pc\\b.bin");
    // No scratch file is left beside the downloads.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_drives.C() + "/pc"),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(Engine, ARecordingGoesBothWaysWithItsCompanion) {
    const std::string parts = Bytes(3 * kMiB, 3);
    PutHost("AV/Movie_#001_A1B2C3D4E5F6.AVR", parts.substr(0, 2 * kMiB));
    PutHost("AV/Movie_#002_A1B2C3D4E5F6.AVR", parts.substr(2 * kMiB));
    PutHost("AV/Movie_#001_A1B2C3D4E5F6.AVF", Bytes(8192, 4));
    StartAndAttach();
    m_answers = {};
    ASSERT_EQ(BuildDownloadBatch(
                  Source({{"Movie_A1B2C3D4E5F6.AVR", 3 * kMiB, {}}}, "C:\\pc\\", "C:\\PVR\\AV\\"),
                  m_engine.Batch()),
              BuildOutcome::Ready);
    CReportLog down(m_engine);
    ASSERT_TRUE(RunDownload(down));
    EXPECT_FALSE(down.Failed());
    EXPECT_EQ(ReadPc("pc/Movie_A1B2C3D4E5F6.AVR"), parts);
    EXPECT_EQ(ReadPc("pc/Movie_A1B2C3D4E5F6.AVF"), Bytes(8192, 4));

    // Back up into another folder: the PVR keeps it as parts again.
    ASSERT_TRUE(Fcntl(FCNTL_MAKE_FOLDER, "C:\\PVR\\AV\\Copy"));
    ASSERT_EQ(BuildUploadBatch(
                  Source({{"Movie_A1B2C3D4E5F6.AVR", 0, {}}}, "C:\\pc\\", "C:\\PVR\\AV\\Copy\\"),
                  m_engine.Batch()),
              BuildOutcome::Ready);
    CReportLog up(m_engine);
    ASSERT_TRUE(RunUpload(up));
    EXPECT_FALSE(up.Failed());
    EXPECT_EQ(Download("C:\\PVR\\AV\\Copy\\Movie_A1B2C3D4E5F6.AVR", 0, 3 * kMiB), parts);
    EXPECT_EQ(GetHost("AV/Copy/Movie_#001_A1B2C3D4E5F6.AVF"), Bytes(8192, 4));
}

TEST_F(Engine, ATwiceFailedSendRestartsTheStreamAtTheChunksFirstByte) {
    const std::string data = Bytes(5 * kMiB, 5);
    m_drives.MakeFile("pc/a.bin", data);
    // The first chunk goes through; the second chunk's first two sends fail.
    StartAndAttach([](pvrd::PvrOptions& o) {
        o.failBulkOut = 2;
        o.failBulkOutCount = 2;
    });
    BuildUpload({"a.bin"});
    CReportLog log(m_engine);
    ASSERT_TRUE(RunUpload(log));
    EXPECT_FALSE(log.Failed());
    EXPECT_EQ(GetHost("AV/a.bin"), data);
    const auto starts = log.Events("start");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1].progress.offset, 2 * kMiB);
    EXPECT_EQ(starts[1].progress.byteCount, 3 * kMiB);
    EXPECT_EQ(m_clock.WorkerPauses(), Pauses({500, 500, 1000, 200, 200, 1000, 1000, 1000}));
    // The batch's own figures count the recovered chunk once.
    const auto figures = m_engine.SharedProgress().Batch();
    EXPECT_EQ(figures.total, 5 * kMiB);
    EXPECT_EQ(figures.done, 5 * kMiB);
}

TEST_F(Engine, ADeviceThatNeverTakesDataFailsTheItemInsteadOfRetryingForEver) {
    m_drives.MakeFile("pc/a.bin", Bytes(kMiB));
    StartAndAttach([](pvrd::PvrOptions& o) {
        o.failBulkOut = 1;
        o.failBulkOutCount = 1000000;
    });
    BuildUpload({"a.bin"});
    CReportLog log(m_engine);
    ASSERT_TRUE(RunUpload(log));
    EXPECT_TRUE(log.Failed());
    const auto items = log.Events("item");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "the PVR keeps refusing C:\\PVR\\AV\\a.bin");
    EXPECT_TRUE(NothingOpenOnPvr());
}

TEST_F(Engine, ARefusedStreamFailsTheBatchAndKeepsWhatWasThere) {
    const std::string old = Bytes(5000, 6);
    PutHost("AV/a.bin", Bytes(kMiB, 7));
    PutHost("AV/up.bin", Bytes(2 * kMiB, 7));
    m_drives.MakeFile("pc/a.bin", old);
    m_drives.MakeFile("pc/up.bin", Bytes(3 * kMiB, 7));
    StartAndAttach([](pvrd::PvrOptions& o) { o.refuseStream = true; });

    // Download over an existing PC copy: the copy survives.
    BuildDownload({"a.bin"}, {XFER_OVERWRITE});
    CReportLog down(m_engine);
    ASSERT_TRUE(RunDownload(down));
    EXPECT_TRUE(down.Failed());
    EXPECT_EQ(ReadPc("pc/a.bin"), old);
    EXPECT_TRUE(down.Events("tell").empty());
    EXPECT_TRUE(NothingOpenOnPvr());

    // A resumed upload: the bytes already on the PVR survive.
    BuildUpload({"up.bin"}, {XFER_RESUME});
    ASSERT_EQ(m_engine.Batch().items[0].offset, 2 * kMiB);
    CReportLog up(m_engine);
    ASSERT_TRUE(RunUpload(up));
    EXPECT_TRUE(up.Failed());
    EXPECT_EQ(GetHost("AV/up.bin"), Bytes(2 * kMiB, 7));
    EXPECT_TRUE(NothingOpenOnPvr());
}

TEST_F(Engine, AnUnpluggedPvrEndsTheBatchFailedAndKeepsTheBytesThatArrived) {
    const std::string data = Bytes(5 * kMiB, 8);
    PutHost("AV/a.bin", data);
    PutHost("AV/b.bin", Bytes(100, 9));
    StartAndAttach([](pvrd::PvrOptions& o) { o.unplugAfter = 3 * kMiB; });
    BuildDownload({"a.bin", "b.bin"});
    CReportLog log(m_engine);
    ASSERT_TRUE(RunDownload(log));
    EXPECT_TRUE(log.Failed());
    // The first whole chunk was written and stays for a resume; the cut one is
    // not, and the next item never arrives.
    EXPECT_EQ(ReadPc("pc/a.bin"), data.substr(0, 2 * kMiB));
    EXPECT_FALSE(std::filesystem::exists(m_drives.C() + "/pc/b.bin"));
}

TEST_F(Engine, TheLastItemCutShortByAnUnplugIsAFailureToo) {
    PutHost("AV/a.bin", Bytes(3 * kMiB, 8));
    StartAndAttach([](pvrd::PvrOptions& o) { o.unplugAfter = kMiB; });
    BuildDownload({"a.bin"});
    CReportLog log(m_engine);
    ASSERT_TRUE(RunDownload(log));
    EXPECT_TRUE(log.Failed());
    const auto items = log.Events("item");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_TRUE(items[0].failed);
}

TEST_F(Engine, AnUploadCutByAnUnplugFails) {
    m_drives.MakeFile("pc/a.bin", Bytes(4 * kMiB, 8));
    StartAndAttach([](pvrd::PvrOptions& o) { o.unplugAfter = 3 * kMiB; });
    BuildUpload({"a.bin"});
    CReportLog log(m_engine);
    ASSERT_TRUE(RunUpload(log));
    EXPECT_TRUE(log.Failed());
    // What arrived stays on the PVR, ready for a resume.
    const std::string arrived = GetHost("AV/a.bin");
    EXPECT_GE(arrived.size(), static_cast<std::size_t>(2 * kMiB));
    EXPECT_EQ(arrived, Bytes(4 * kMiB, 8).substr(0, arrived.size()));
}

TEST_F(Engine, APcFileShorterThanItsCountFailsTheItemAndTheLoopEnds) {
    m_drives.MakeFile("pc/a.bin", Bytes(3 * kMiB));
    StartAndAttach();
    BuildUpload({"a.bin"});
    m_drives.MakeFile("pc/a.bin", Bytes(kMiB));
    CReportLog log(m_engine);
    ASSERT_TRUE(RunUpload(log));
    EXPECT_TRUE(log.Failed());
    const auto items = log.Events("item");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "C:\\pc\\a.bin ended before 3145728 bytes");
    EXPECT_TRUE(NothingOpenOnPvr());
}

TEST_F(Engine, AnUnconfirmedUploadFailsItsItemAndTheBatchGoesOn) {
    m_drives.MakeFile("pc/a.bin", Bytes(1000));
    m_drives.MakeFile("pc/b.bin", Bytes(2000));
    StartAndAttach([](pvrd::PvrOptions& o) { o.refuseCompletion = true; });
    BuildUpload({"a.bin", "b.bin"});
    CReportLog log(m_engine);
    ASSERT_TRUE(RunUpload(log));
    EXPECT_TRUE(log.Failed());
    const auto items = log.Events("item");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text, "the PVR did not confirm C:\\PVR\\AV\\a.bin");
    EXPECT_EQ(items[1].text, "the PVR did not confirm C:\\PVR\\AV\\b.bin");
}

TEST_F(Engine, CancelClosesThePvrFileAndAResumeFinishesByteExact) {
    const std::string data = Bytes(9 * kMiB, 10);
    PutHost("AV/a.bin", data);
    m_drives.MakeFile("pc/up.bin", data);
    StartAndAttach();

    // Cancel a download after its second chunk.
    BuildDownload({"a.bin"});
    CReportLog down(m_engine);
    down.onProgress = [this](const CReportLog::Event& e) {
        if (e.progress.done == 4 * kMiB) {
            m_engine.Cancel();
        }
    };
    ASSERT_TRUE(RunDownload(down));
    EXPECT_TRUE(down.Failed());
    EXPECT_TRUE(NothingOpenOnPvr());
    const std::string partial = ReadPc("pc/a.bin");
    EXPECT_EQ(partial, data.substr(0, 4 * kMiB));

    BuildDownload({"a.bin"}, {XFER_RESUME});
    ASSERT_EQ(m_engine.Batch().items[0].offset, 4 * kMiB);
    CReportLog resumed(m_engine);
    ASSERT_TRUE(RunDownload(resumed));
    EXPECT_FALSE(resumed.Failed());
    EXPECT_EQ(ReadPc("pc/a.bin"), data);
    EXPECT_EQ(m_engine.SharedProgress().Batch().total, 5 * kMiB);
    EXPECT_EQ(m_engine.SharedProgress().Batch().done, 5 * kMiB);

    // The progress window's Cancel during an upload: the stop waits for the worker.
    BuildUpload({"up.bin"});
    CReportLog up(m_engine);
    ASSERT_TRUE(m_engine.StartUpload(1, &up));
    ASSERT_TRUE(DriveClock(m_clock, [&] { return !up.Events("progress").empty(); }));
    m_engine.StopTransfer();
    EXPECT_FALSE(m_engine.WorkerRegistered());
    EXPECT_TRUE(up.Failed());
    EXPECT_TRUE(NothingOpenOnPvr());
    EXPECT_FALSE(m_engine.Cancelled());  // the worker's last step clears the flag
}

TEST_F(Engine, ADownloadThatCannotBeWrittenSaysSoAndFails) {
    PutHost("AV/a.bin", Bytes(4 * kMiB));
    StartAndAttach();
    BuildDownload({"a.bin"});
    // A file-size limit makes the PC's writes fail past 3 MiB, as a full disk would.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old;
    limit.rlim_cur = 3 * kMiB;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    CReportLog log(m_engine);
    const bool ran = RunDownload(log);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(ran);
    EXPECT_TRUE(log.Failed());
    const auto tells = log.Events("tell");
    ASSERT_EQ(tells.size(), 1u);
    EXPECT_EQ(tells[0].text, "Cannot write C:\\pc\\a.bin: File too large.");
    EXPECT_TRUE(NothingOpenOnPvr());
}

TEST_F(Engine, OneWorkerAtATime) {
    m_drives.MakeFile("pc/a.bin", Bytes(kMiB));
    StartAndAttach();
    BuildUpload({"a.bin"});
    CReportLog first(m_engine);
    ASSERT_TRUE(m_engine.StartUpload(1, &first));
    CReportLog second(m_engine);
    EXPECT_FALSE(m_engine.StartUpload(1, &second));
    EXPECT_FALSE(m_engine.StartDownload(&second));
    ASSERT_TRUE(
        DriveClock(m_clock, [&] { return first.HasEnded() && !m_engine.WorkerRegistered(); }));
    EXPECT_TRUE(second.Events().empty());
}
