#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/pcfs.h"
#include "platform/thread.h"
#include "platform/user.h"
#include "stream/conversion.h"
#include "stream/streamdiag.h"
#include "stream/tsreader.h"
#include "support/streambuilder.h"

namespace {

namespace fs = std::filesystem;

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class CNotifyWindow : public CMessageTarget {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        {
            const std::lock_guard lock(m_mutex);
            m_messages.push_back({message, wParam, lParam});
        }
        if (onMessage) {
            onMessage(message);
        }
        return 0;
    }
    // Called on the UI thread with each message, after it is recorded.
    std::function<void(UINT)> onMessage;
    std::vector<UINT> Numbers() {
        const std::lock_guard lock(m_mutex);
        std::vector<UINT> n;
        for (const Message& m : m_messages) {
            n.push_back(m.message);
        }
        return n;
    }
    std::vector<Message> Messages() {
        const std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    std::mutex m_mutex;
    std::vector<Message> m_messages;
};

// A private C: in a temp folder, D: on /dev (for /dev/full) and E: on this
// process's /proc entry (for a file whose reads fail).
class Conversion : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavrix-conversion-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        const std::string drives = "C=" + m_dir.string() + ",D=/dev,E=/proc/self";
        setenv("TAVRIX_DRIVES", drives.c_str(), 1);
        platform::ReloadDriveTable();
        platform::SetUser(&m_user);
    }
    void TearDown() override {
        wait_conversion_end(10000);
        platform::SetUser(nullptr);
        unsetenv("TAVRIX_DRIVES");
        platform::ReloadDriveTable();
        fs::remove_all(m_dir);
    }

    // Starts a conversion and waits for its end, handling its messages.
    bool Convert(const std::string& source, const std::string& target) {
        if (!start_conversion(source.c_str(), target.c_str(), m_window.GetSafeHwnd())) {
            return false;
        }
        EXPECT_TRUE(wait_conversion_end(20000));
        return true;
    }

    std::vector<std::string> Shown() {
        std::vector<std::string> texts;
        for (const auto& s : m_user.History()) {
            EXPECT_EQ(s.caption, "Tavrix");
            EXPECT_EQ(s.type & MB_TYPEMASK, MB_OK);
            texts.push_back(s.text);
        }
        return texts;
    }

    // The folder's entries, sorted.
    std::vector<fs::path> Entries() const {
        std::vector<fs::path> entries(fs::directory_iterator(m_dir), fs::directory_iterator{});
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    fs::path m_dir;
    platform::ScriptedUser m_user;
    CNotifyWindow m_window;
};

TEST_F(Conversion, ConvertsARecordingAndReportsItsSize) {
    const Bytes ts = SyntheticTs(30);
    // A stream offset past the header: the bytes between are not read as stream.
    const Bytes recording = Concat({AvrHeader(200), Bytes(66, 0x47), ts});
    WriteFile(m_dir / "Movie.AVR", recording);
    WriteFile(m_dir / "Movie.AVI", Bytes(100000, 0xAA));  // replaced without a question

    ConversionResult atDone;
    m_window.onMessage = [&](UINT message) {
        if (message == WM_CONVERT_DONE) {
            atDone = get_conversion_result();
        }
    };
    ASSERT_TRUE(Convert("C:\\Movie.AVR", "C:\\Movie.AVI"));

    EXPECT_EQ(atDone.end, ConversionEnd::Completed);
    EXPECT_EQ(atDone.reason, "");
    const Bytes out = ReadFile(m_dir / "Movie.AVI");
    EXPECT_EQ(out, EngineOutput(ts));
    ASSERT_GT(out.size(), 32u);
    EXPECT_EQ(out[3], 0xBA);
    const auto messages = m_window.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, WM_CONVERT_TOTAL);
    EXPECT_EQ(messages[0].wParam, 0u);
    EXPECT_EQ(messages[0].lParam, static_cast<LPARAM>(recording.size()));
    EXPECT_EQ(messages[1].message, WM_CONVERT_DONE);
    EXPECT_EQ(get_converted_bytes(), static_cast<std::int64_t>(recording.size()));
    EXPECT_EQ(get_total_bytes(), static_cast<std::int64_t>(recording.size()));
    EXPECT_EQ(get_convert_percent(), 0);  // under 1 MiB: no division by zero
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(conversion_running());
    EXPECT_EQ(Entries(), (std::vector<fs::path>{m_dir / "Movie.AVI", m_dir / "Movie.AVR"}));
}

TEST_F(Conversion, TwoConversionsInARowBothStartWithThePackAndSystemHeader) {
    // Over 1 MiB, so the percentage is a real one at the end.
    const Bytes ts = SyntheticTs(300);
    WriteFile(m_dir / "a.AVR", Concat({AvrHeader(), ts}));
    ASSERT_TRUE(Convert("C:\\a.AVR", "C:\\a.AVI"));
    EXPECT_EQ(get_convert_percent(), 100);
    ASSERT_TRUE(Convert("C:\\a.AVR", "C:\\b.AVI"));

    const Bytes a = ReadFile(m_dir / "a.AVI");
    const Bytes b = ReadFile(m_dir / "b.AVI");
    ASSERT_GT(a.size(), 32u);
    EXPECT_EQ(a, b);
    EXPECT_EQ(m_window.Numbers(), (std::vector<UINT>{WM_CONVERT_TOTAL, WM_CONVERT_DONE,
                                                     WM_CONVERT_TOTAL, WM_CONVERT_DONE}));
}

TEST_F(Conversion, LargeRecordingMatchesTheEngineWhateverTheStreamOffset) {
    // Several read buffers' worth, and offsets that put blocks across the
    // buffer's refills at different places.
    const Bytes ts = SyntheticTs(700);
    ASSERT_GT(ts.size(), 3u * 256 * 1024);
    const Bytes expected = EngineOutput(ts);
    ASSERT_GT(expected.size(), ts.size() / 2);
    for (const int gap : {0, 1, 187, 1000}) {
        const Bytes recording = Concat({AvrHeader(134 + gap), Bytes(gap, 0x47), ts});
        WriteFile(m_dir / "big.AVR", recording);
        ASSERT_TRUE(Convert("C:\\big.AVR", "C:\\big.AVI"));
        EXPECT_EQ(ReadFile(m_dir / "big.AVI"), expected) << gap;
        EXPECT_EQ(get_converted_bytes(), static_cast<std::int64_t>(recording.size())) << gap;
    }
    EXPECT_TRUE(Shown().empty());
}

struct FailureCase {
    const char* name;
    Bytes source;  // written to C:\in.AVR
    const char* sourcePath;
    const char* targetPath;
    const char* message;
    bool totalSent;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ConversionFailure : public Conversion, public testing::WithParamInterface<FailureCase> {};

// The user is told why, the dialog hears of a failure with the same reason,
// and no empty file is left where the target was to be.
TEST_P(ConversionFailure, TellsTheUserAndEndsAsFailed) {
    const FailureCase& c = GetParam();
    WriteFile(m_dir / "in.AVR", c.source);
    const DiagCapture engineLines;  // garbage read as packets has much to say
    ConversionResult atFailed;
    m_window.onMessage = [&](UINT message) {
        if (message == WM_CONVERT_FAILED) {
            atFailed = get_conversion_result();
        }
    };
    ASSERT_TRUE(Convert(c.sourcePath, c.targetPath));

    EXPECT_EQ(Shown(), std::vector<std::string>{c.message});
    const std::vector<UINT> expected = c.totalSent
                                           ? std::vector<UINT>{WM_CONVERT_TOTAL, WM_CONVERT_FAILED}
                                           : std::vector<UINT>{WM_CONVERT_FAILED};
    EXPECT_EQ(m_window.Numbers(), expected);
    EXPECT_EQ(atFailed.end, ConversionEnd::Failed);
    EXPECT_EQ(atFailed.reason, c.message);
    EXPECT_FALSE(conversion_running());
    const std::string target = c.targetPath;
    if (!target.starts_with("C:\\") || target.find('\\', 3) != std::string::npos) {
        return;  // elsewhere, or in a folder that does not exist
    }
    EXPECT_EQ(Entries(), std::vector<fs::path>{m_dir / "in.AVR"});

    // Over an existing target: the failure leaves it as it was.
    const fs::path existing = m_dir / target.substr(3);
    const Bytes old(70000, 0x5A);
    WriteFile(existing, old);
    m_user.ClearHistory();
    ASSERT_TRUE(Convert(c.sourcePath, c.targetPath));
    EXPECT_EQ(Shown(), std::vector<std::string>{c.message});
    EXPECT_EQ(atFailed.end, ConversionEnd::Failed);
    EXPECT_EQ(ReadFile(existing), old);
    EXPECT_EQ(Entries(), (std::vector<fs::path>{m_dir / "in.AVR", existing}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConversionFailure,
    testing::Values(
        FailureCase{"MissingSource",
                    {},
                    "C:\\missing.AVR",
                    "C:\\out.AVI",
                    "The source file cannot be opened.",
                    false},
        FailureCase{"UnwritableTarget", Concat({AvrHeader(), SyntheticTs(2)}), "C:\\in.AVR",
                    "C:\\no\\such\\folder\\out.AVI", "Can't open the target file", false},
        FailureCase{"TruncatedHeader", Bytes(100, 0x47), "C:\\in.AVR", "C:\\out.AVI",
                    "The source file is not a PVR recording.", true},
        FailureCase{
            "ReadFails", {}, "E:\\mem", "C:\\out.AVI", "The source file cannot be read.", true},
        FailureCase{"WriteFails", Concat({AvrHeader(), SyntheticTs(20)}), "C:\\in.AVR", "D:\\full",
                    "The target file cannot be written.", true},
        // Conversions that run to the end and have nothing to write.
        FailureCase{"H264Video", Concat({AvrHeader(), H264Ts(30)}), "C:\\in.AVR", "C:\\out.AVI",
                    "No usable MPEG-2 video sequence header was found in the recording.", true},
        FailureCase{"AudioOnly", Concat({AvrHeader(), AudioOnlyTs(30)}), "C:\\in.AVR",
                    "C:\\out.AVI", "No video stream was found in the recording.", true},
        FailureCase{"VideoOnly", Concat({AvrHeader(), VideoOnlyTs(30)}), "C:\\in.AVR",
                    "C:\\out.AVI", "No audio stream was found in the recording.", true},
        FailureCase{"NotATransportStream", Concat({AvrHeader(), Filled(50000, 0)}), "C:\\in.AVR",
                    "C:\\out.AVI", "The recording does not hold an MPEG transport stream.", true},
        FailureCase{"Garbage", Concat({AvrHeader(), Garbage(300000, 7)}), "C:\\in.AVR",
                    "C:\\out.AVI", "The recording does not hold an MPEG transport stream.", true},
        FailureCase{"HeaderOnly", AvrHeader(), "C:\\in.AVR", "C:\\out.AVI",
                    "The recording holds nothing after its header.", true}),
    [](const testing::TestParamInfo<FailureCase>& row) { return row.param.name; });

struct RefusalCase {
    const char* name;
    // Makes what the case needs beside C:\in.AVR in the drive's folder.
    std::function<void(const fs::path&)> prepare;
    const char* sourcePath;
    const char* targetPath;
    const char* message;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class ConversionRefusal : public Conversion, public testing::WithParamInterface<RefusalCase> {};

// Refused before anything is created or emptied: the recording stays whole
// and nothing waits on an input that never ends.
TEST_P(ConversionRefusal, LeavesTheSourceWholeAndCreatesNothing) {
    const RefusalCase& c = GetParam();
    const Bytes recording = Concat({AvrHeader(), SyntheticTs(5)});
    WriteFile(m_dir / "in.AVR", recording);
    c.prepare(m_dir);
    const auto before = fs::directory_iterator(m_dir);
    std::vector<fs::path> names(fs::begin(before), fs::end(before));

    ASSERT_TRUE(Convert(c.sourcePath, c.targetPath));

    EXPECT_EQ(Shown(), std::vector<std::string>{c.message});
    EXPECT_EQ(m_window.Numbers(), std::vector<UINT>{WM_CONVERT_FAILED});
    EXPECT_EQ(ReadFile(m_dir / "in.AVR"), recording);
    const auto after = fs::directory_iterator(m_dir);
    EXPECT_EQ(std::vector<fs::path>(fs::begin(after), fs::end(after)).size(), names.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConversionRefusal,
    testing::Values(
        RefusalCase{"SamePathTwice", [](const fs::path&) {}, "C:\\in.AVR", "C:\\in.AVR",
                    "The source and the target are the same file."},
        RefusalCase{"SamePathInOtherCase", [](const fs::path&) {}, "C:\\in.AVR", "C:\\IN.avr",
                    "The source and the target are the same file."},
        RefusalCase{"SamePathThroughDotDot",
                    [](const fs::path& dir) { fs::create_directory(dir / "sub"); }, "C:\\in.AVR",
                    "C:\\sub\\..\\in.AVR", "The source and the target are the same file."},
        RefusalCase{
            "SymbolicLink",
            [](const fs::path& dir) { fs::create_symlink(dir / "in.AVR", dir / "link.AVI"); },
            "C:\\in.AVR", "C:\\link.AVI", "The source and the target are the same file."},
        RefusalCase{
            "HardLink",
            [](const fs::path& dir) { fs::create_hard_link(dir / "in.AVR", dir / "hard.AVI"); },
            "C:\\in.AVR", "C:\\hard.AVI", "The source and the target are the same file."},
        RefusalCase{"Folder", [](const fs::path& dir) { fs::create_directory(dir / "folder.AVR"); },
                    "C:\\folder.AVR", "C:\\out.AVI", "The source is not a regular file."},
        RefusalCase{
            "Fifo",
            [](const fs::path& dir) { ASSERT_EQ(mkfifo((dir / "fifo.AVR").c_str(), 0600), 0); },
            "C:\\fifo.AVR", "C:\\out.AVI", "The source is not a regular file."},
        RefusalCase{"Device", [](const fs::path&) {}, "D:\\zero", "C:\\out.AVI",
                    "The source is not a regular file."}),
    [](const testing::TestParamInfo<RefusalCase>& row) { return row.param.name; });

TEST_F(Conversion, MissingSourceCreatesNoTarget) {
    ASSERT_TRUE(Convert("C:\\missing.AVR", "C:\\out.AVI"));
    EXPECT_FALSE(fs::exists(m_dir / "out.AVI"));
}

TEST_F(Conversion, PathsLongerThanTheBuffersAreRefused) {
    const std::string longSource = "C:\\" + std::string(kConvertSourcePathSize - 3, 'a');
    const std::string longTarget = "C:\\" + std::string(kConvertTargetPathSize - 3, 'b');
    EXPECT_FALSE(start_conversion(longSource.c_str(), "C:\\x.AVI", m_window.GetSafeHwnd()));
    EXPECT_FALSE(start_conversion("C:\\x.AVR", longTarget.c_str(), m_window.GetSafeHwnd()));
    EXPECT_EQ(Shown(), (std::vector<std::string>{"The source path is too long.",
                                                 "The target path is too long."}));
    EXPECT_TRUE(m_window.Numbers().empty());
    EXPECT_FALSE(conversion_running());

    // The longest paths that fit are taken whole (and then simply not found).
    m_user.ClearHistory();
    const std::string fitting = "C:\\" + std::string(kConvertSourcePathSize - 4, 'a');
    ASSERT_TRUE(Convert(fitting, "C:\\x.AVI"));
    EXPECT_EQ(Shown(), std::vector<std::string>{"The source file cannot be opened."});
}

// Holds the worker inside the engine (at its first diagnostic line) until the
// UI thread lets it go.
struct Gate {
    std::atomic<bool> reached{false};
    platform::CEvent release;

    static void Sink(void* ctx, const char*, std::size_t) {
        auto* self = static_cast<Gate*>(ctx);
        if (!self->reached.exchange(true)) {
            self->release.Wait(10000);
        }
    }
};

TEST_F(Conversion, AStopIsReportedAsAStopAndKeepsWhatWasWritten) {
    const Bytes ts = SyntheticTs(200);
    const Bytes recording = Concat({AvrHeader(), ts});
    WriteFile(m_dir / "in.AVR", recording);
    WriteFile(m_dir / "out.AVI", Bytes(3000000, 0xAA));  // replaced by what was converted
    ConversionResult atDone;
    m_window.onMessage = [&](UINT message) {
        if (message == WM_CONVERT_DONE) {
            atDone = get_conversion_result();
        }
    };
    Gate gate;
    set_stream_diag_sink(&Gate::Sink, &gate);

    ASSERT_TRUE(start_conversion("C:\\in.AVR", "C:\\out.AVI", m_window.GetSafeHwnd()));
    ASSERT_TRUE(platform::WaitProcessingMessages([&] { return gate.reached.load(); }, 10000));
    // Let the worker go only once the stop is signalled, from inside the stop's wait.
    platform::PostToUiThread([&] { gate.release.Set(); });
    stop_conversion();
    EXPECT_TRUE(wait_conversion_end(10000));
    set_stream_diag_sink(nullptr, nullptr);

    EXPECT_EQ(m_window.Numbers(), (std::vector<UINT>{WM_CONVERT_TOTAL, WM_CONVERT_DONE}));
    EXPECT_EQ(atDone.end, ConversionEnd::Stopped);
    EXPECT_EQ(atDone.reason, "The conversion was stopped.");
    EXPECT_EQ(get_conversion_result().end, ConversionEnd::Stopped);
    // The count stays where the stop found it.
    EXPECT_GT(get_converted_bytes(), kAvrHeaderSize);
    EXPECT_LT(get_converted_bytes(), static_cast<std::int64_t>(recording.size()));
    EXPECT_EQ(get_total_bytes(), static_cast<std::int64_t>(recording.size()));
    const Bytes out = ReadFile(m_dir / "out.AVI");
    const Bytes full = EngineOutput(ts);
    ASSERT_FALSE(out.empty());
    ASSERT_LT(out.size(), full.size());
    EXPECT_EQ(out, Bytes(full.begin(), full.begin() + static_cast<long>(out.size())));
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(Entries(), (std::vector<fs::path>{m_dir / "in.AVR", m_dir / "out.AVI"}));
}

TEST_F(Conversion, AStopAskedForBeforeTheEngineBeginsIsNotLost) {
    WriteFile(m_dir / "in.AVR", Concat({AvrHeader(), SyntheticTs(20)}));
    CConversion conversion;
    // The total is sent after the files are open and before the stream is read.
    m_window.onMessage = [&](UINT message) {
        if (message == WM_CONVERT_TOTAL) {
            conversion.RequestStop();
        }
    };
    ASSERT_TRUE(conversion.Start("C:\\in.AVR", "C:\\out.AVI", m_window.GetSafeHwnd()));
    ASSERT_TRUE(conversion.Wait(10000));

    EXPECT_EQ(conversion.Result().end, ConversionEnd::Stopped);
    EXPECT_EQ(conversion.ConvertedBytes(), kAvrHeaderSize);
    EXPECT_EQ(m_window.Numbers(), (std::vector<UINT>{WM_CONVERT_TOTAL, WM_CONVERT_DONE}));
    // A stopped conversion keeps its target, even an empty one.
    EXPECT_TRUE(fs::exists(m_dir / "out.AVI"));

    // The stop was for that conversion only.
    m_window.onMessage = nullptr;
    ASSERT_TRUE(conversion.Start("C:\\in.AVR", "C:\\out.AVI", m_window.GetSafeHwnd()));
    ASSERT_TRUE(conversion.Wait(10000));
    EXPECT_EQ(conversion.Result().end, ConversionEnd::Completed);
    EXPECT_GT(fs::file_size(m_dir / "out.AVI"), 0u);
}

TEST_F(Conversion, AConversionGoingOutOfScopeStopsAndJoinsItsWorker) {
    const Bytes ts = SyntheticTs(200);
    WriteFile(m_dir / "in.AVR", Concat({AvrHeader(), ts}));
    const std::int64_t processTotal = get_total_bytes();
    Gate gate;
    set_stream_diag_sink(&Gate::Sink, &gate);
    {
        CConversion conversion;
        ASSERT_TRUE(conversion.Start("C:\\in.AVR", "C:\\out.AVI", m_window.GetSafeHwnd()));
        ASSERT_TRUE(platform::WaitProcessingMessages([&] { return gate.reached.load(); }, 10000));
        // Released only from inside the destructor's wait, once the stop is asked for.
        platform::PostToUiThread([&] { gate.release.Set(); });
    }
    set_stream_diag_sink(nullptr, nullptr);

    EXPECT_EQ(m_window.Numbers(), (std::vector<UINT>{WM_CONVERT_TOTAL, WM_CONVERT_DONE}));
    const Bytes out = ReadFile(m_dir / "out.AVI");
    const Bytes full = EngineOutput(ts);
    ASSERT_FALSE(out.empty());
    ASSERT_LT(out.size(), full.size());
    EXPECT_EQ(out, Bytes(full.begin(), full.begin() + static_cast<long>(out.size())));
    // The process-wide conversion was not the one used.
    EXPECT_EQ(get_total_bytes(), processTotal);
}

// The new file takes the place of the one a link leads to, so the link stays a
// link; and a replaced target keeps its permissions.
TEST_F(Conversion, AReplacedTargetKeepsItsLinkAndItsPermissions) {
    const Bytes ts = SyntheticTs(20);
    WriteFile(m_dir / "in.AVR", Concat({AvrHeader(), ts}));
    fs::create_directory(m_dir / "store");
    WriteFile(m_dir / "store" / "real.AVI", Bytes(5000, 0xAA));
    fs::permissions(m_dir / "store" / "real.AVI",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("store/real.AVI", m_dir / "link.AVI");

    ASSERT_TRUE(Convert("C:\\in.AVR", "C:\\link.AVI"));

    EXPECT_EQ(get_conversion_result().end, ConversionEnd::Completed);
    EXPECT_TRUE(fs::is_symlink(m_dir / "link.AVI"));
    EXPECT_EQ(ReadFile(m_dir / "store" / "real.AVI"), EngineOutput(ts));
    EXPECT_EQ(fs::status(m_dir / "store" / "real.AVI").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "store"), fs::directory_iterator()), 1);
}

TEST(DefaultConversionTarget, TakesOffTheFileNamesExtensionOnly) {
    struct Case {
        const char* source;
        char separator;
        const char* target;
    };
    const Case cases[] = {
        {"D:\\rec\\Movie.AVR", '\\', "D:\\rec\\Movie.AVI"},
        {"C:\\rec\\Movie.rec.avr", '\\', "C:\\rec\\Movie.rec.AVI"},
        {"C:\\rec\\Movie", '\\', "C:\\rec\\Movie.AVI"},
        {"C:\\my.rec\\Movie", '\\', "C:\\my.rec\\Movie.AVI"},
        {"C:\\my.rec\\Movie.AVR", '\\', "C:\\my.rec\\Movie.AVI"},
        {"Movie.AVR", '\\', "Movie.AVI"},
        {"/home/a.b/Movie", '/', "/home/a.b/Movie.AVI"},
        {"/home/a.b/Movie.AVR", '/', "/home/a.b/Movie.AVI"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(default_conversion_target(c.source, c.separator), c.target) << c.source;
    }
}

TEST_F(Conversion, StopWhenIdleDoesNothing) {
    stop_conversion();
    EXPECT_FALSE(conversion_running());
    EXPECT_TRUE(m_window.Numbers().empty());
}

}  // namespace
