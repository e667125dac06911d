// The conversion dialog over the real conversion module, on a private C: and a
// scripted user: its states, its texts, its pickers and how each end of a
// conversion is told.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "app/controls/enhprogressctrl.h"
#include "app/convert/convertavi.h"
#include "app/res/resources.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "platform/user.h"
#include "stream/conversion.h"
#include "stream/streamdiag.h"
#include "stream/tsreader.h"
#include "support/privatedrive.h"
#include "support/streambuilder.h"

namespace {

namespace fs = std::filesystem;

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

// The state the buttons show: caption of Start, and whether Exit, Open and
// Save are enabled (all three alike).
struct Buttons {
    std::string start;
    bool others;
    bool operator==(const Buttons&) const = default;
};

const Buttons kIdle{"&Start", true};
const Buttons kConverting{"&Stop", false};

class ConvertDialog : public ::testing::Test {
protected:
    ConvertDialog() {
        res::RegisterResources();
        platform::SetUser(&m_user);
        platform::SetClock(&m_clock);
    }
    ~ConvertDialog() override {
        wait_conversion_end(20000);
        set_stream_diag_sink(nullptr, nullptr);
        platform::SetClock(nullptr);
        platform::SetUser(nullptr);
    }

    // Runs the dialog with the paths; steps act on it while it is up.
    int Run(const std::string& source, const std::string& target,
            const std::function<void(CConvertAVI&)>& steps) {
        m_user.QueueDialog([&steps](QDialog* dialog) {
            auto& convert = *static_cast<CConvertAVI*>(dialog);
            steps(convert);
            return convert.result();
        });
        CConvertAVI dialog;
        return dialog.DoModalWithPaths(source, target);
    }

    static std::string Text(const CConvertAVI& dialog, int id) {
        return platform::GetDlgItemText(&dialog, id);
    }
    static bool Enabled(const CConvertAVI& dialog, int id) {
        return platform::GetDlgItem(&dialog, id)->isEnabled();
    }
    static Buttons ButtonsOf(const CConvertAVI& dialog) {
        const bool exit = Enabled(dialog, IDCANCEL);
        EXPECT_EQ(Enabled(dialog, IDC_CONVERT_OPEN), exit);
        EXPECT_EQ(Enabled(dialog, IDC_CONVERT_SAVE), exit);
        return {Text(dialog, IDC_CONVERT_START), exit};
    }
    // Until the worker's end message has been handled.
    static bool WaitForEnd(const CConvertAVI& dialog) {
        return platform::WaitProcessingMessages(
                   [&dialog] { return !dialog.IsConverting() && !conversion_running(); }, 20000) &&
               wait_conversion_end(20000);
    }

    std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const auto& shown : m_user.History()) {
            if (shown.kind == "messagebox") {
                EXPECT_EQ(shown.caption, "Tavrix");
                EXPECT_EQ(shown.type & MB_TYPEMASK, MB_OK);
                texts.push_back(shown.text);
            }
        }
        return texts;
    }

    PrivateDrives m_drives;
    platform::ScriptedUser m_user;
    platform::ManualClock m_clock;
};

TEST_F(ConvertDialog, OpensWithThePathsItWasGiven) {
    Run("C:\\rec\\Movie.AVR", "C:\\rec\\Movie.AVI", [](CConvertAVI& dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "AVR --> AVI");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_SOURCE), "C:\\rec\\Movie.AVR");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TARGET), "C:\\rec\\Movie.AVI");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_DONE), "0");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TOTAL), "0");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_PERCENT), "0%");
        EXPECT_EQ(ButtonsOf(dialog), kIdle);
        // The bar lies over its placeholder.
        const QWidget* placeholder = platform::GetDlgItem(&dialog, IDC_CONVERT_PLACEHOLDER);
        ASSERT_NE(dialog.GetProgressBar(), nullptr);
        EXPECT_EQ(dialog.GetProgressBar()->geometry(), placeholder->geometry());
        EXPECT_EQ(dialog.GetProgressBar()->GetPos(), 0);
    });
    // No paths: empty fields, not "None".
    Run("", "", [](CConvertAVI& dialog) {
        EXPECT_EQ(Text(dialog, IDC_CONVERT_SOURCE), "");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TARGET), "");
    });
}

TEST_F(ConvertDialog, ByteCountsHaveThousandsSeparators) {
    EXPECT_EQ(CConvertAVI::ByteCountText(0), "0 Bytes");
    EXPECT_EQ(CConvertAVI::ByteCountText(999), "999 Bytes");
    EXPECT_EQ(CConvertAVI::ByteCountText(1000), "1,000 Bytes");
    EXPECT_EQ(CConvertAVI::ByteCountText(1234567), "1,234,567 Bytes");
}

// A source under 1 MiB: the percentage jumps to 100 at the end and both counts
// show its exact size; the existing target is replaced without a question.
TEST_F(ConvertDialog, ConvertsAndShowsCompletedWithTheExactCounts) {
    const Bytes ts = SyntheticTs(120);
    const int offset = 523264 - static_cast<int>(ts.size());
    ASSERT_GE(offset, kAvrHeaderSize);
    ASSERT_LE(offset, 65535);
    const Bytes recording = Concat(
        {AvrHeader(offset), Bytes(static_cast<std::size_t>(offset - kAvrHeaderSize), 0), ts});
    ASSERT_EQ(recording.size(), 523264u);
    m_drives.MakeFolder("rec");
    WriteFile(m_drives.C() + "/rec/Movie.AVR", recording);
    WriteFile(m_drives.C() + "/rec/Movie.AVI", Bytes(700000, 0xAA));
    int ends = 0;

    const int result = Run("C:\\rec\\Movie.AVR", "C:\\rec\\Movie.AVI", [&](CConvertAVI& dialog) {
        dialog.SetConversionEndObserver([&ends] { ++ends; });
        dialog.SendCommand(IDC_CONVERT_START);
        EXPECT_EQ(ButtonsOf(dialog), kConverting);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_DONE), "0 Bytes");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TOTAL), "0 Bytes");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_PERCENT), "0 %");
        EXPECT_EQ(m_clock.TimerRemaining(dialog.GetSafeHwnd(), CConvertAVI::kTimerId), 1000);
        // Exit is off while converting, and Escape does not get round it.
        dialog.SendCommand(IDCANCEL);
        EXPECT_EQ(dialog.result(), 0);

        ASSERT_TRUE(WaitForEnd(dialog));
        EXPECT_EQ(ButtonsOf(dialog), kIdle);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_DONE), "523,264 Bytes");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TOTAL), "523,264 Bytes");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_PERCENT), "100 %");
        EXPECT_EQ(dialog.GetProgressBar()->GetPos(), 100);
        EXPECT_EQ(m_clock.TimerRemaining(dialog.GetSafeHwnd(), CConvertAVI::kTimerId), -1);
        dialog.SendCommand(IDCANCEL);
    });

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Completed."});
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(ReadFile(m_drives.C() + "/rec/Movie.AVI"), EngineOutput(ts));
}

// Timer 200 shows the counts as the worker has them; a stop says it stopped,
// leaves the counts where the stop found them and keeps the partial target.
TEST_F(ConvertDialog, TimerShowsProgressAndAStopTellsTheTruth) {
    const Bytes ts = SyntheticTs(900);
    const Bytes recording = Concat({AvrHeader(), ts});
    ASSERT_GT(recording.size(), 3u * 1048576);
    WriteFile(m_drives.C() + "/in.AVR", recording);
    WriteFile(m_drives.C() + "/out.AVI", Bytes(5000000, 0xAA));
    Gate gate;
    set_stream_diag_sink(&Gate::Sink, &gate);
    const std::string total =
        CConvertAVI::ByteCountText(static_cast<std::int64_t>(recording.size()));
    int ends = 0;

    Run("C:\\in.AVR", "C:\\out.AVI", [&](CConvertAVI& dialog) {
        dialog.SetConversionEndObserver([&ends] { ++ends; });
        dialog.SendCommand(IDC_CONVERT_START);
        ASSERT_TRUE(platform::WaitProcessingMessages([&] { return gate.reached.load(); }, 10000));
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TOTAL), total);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_DONE), "0 Bytes");

        // The worker stands still inside the engine: what the timer shows is
        // exactly what the conversion has.
        m_clock.Advance(999);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_DONE), "0 Bytes");
        m_clock.Advance(1);
        const std::int64_t converted = get_converted_bytes();
        ASSERT_GT(converted, kAvrHeaderSize);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_DONE), CConvertAVI::ByteCountText(converted));
        EXPECT_EQ(Text(dialog, IDC_CONVERT_PERCENT), std::to_string(get_convert_percent()) + " %");
        EXPECT_EQ(dialog.GetProgressBar()->GetPos(), get_convert_percent());
        EXPECT_EQ(ButtonsOf(dialog), kConverting);

        // Released only from inside the stop's wait, once the stop is asked for.
        platform::PostToUiThread([&] { gate.release.Set(); });
        dialog.SendCommand(IDC_CONVERT_START);
        EXPECT_EQ(ButtonsOf(dialog), kIdle);
        ASSERT_TRUE(WaitForEnd(dialog));
        EXPECT_EQ(get_conversion_result().end, ConversionEnd::Stopped);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_DONE),
                  CConvertAVI::ByteCountText(get_converted_bytes()));
        EXPECT_NE(Text(dialog, IDC_CONVERT_DONE), total);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TOTAL), total);
        EXPECT_NE(Text(dialog, IDC_CONVERT_PERCENT), "100 %");
        EXPECT_LT(dialog.GetProgressBar()->GetPos(), 100);
        EXPECT_EQ(m_clock.TimerRemaining(dialog.GetSafeHwnd(), CConvertAVI::kTimerId), -1);
    });

    EXPECT_EQ(Boxes(), std::vector<std::string>{"The conversion was stopped."});
    EXPECT_EQ(ends, 1);
    const Bytes out = ReadFile(m_drives.C() + "/out.AVI");
    const Bytes full = EngineOutput(ts);
    ASSERT_FALSE(out.empty());
    ASSERT_LT(out.size(), full.size());
    EXPECT_EQ(out, Bytes(full.begin(), full.begin() + static_cast<long>(out.size())));
}

// The total travels in two halves; over 4 GiB the high one is not 0.
TEST_F(ConvertDialog, ATotalOverFourGiBShowsWhole) {
    const Bytes ts = SyntheticTs(30);
    WriteFile(m_drives.C() + "/big.AVR", Concat({AvrHeader(), ts}));
    fs::resize_file(m_drives.C() + "/big.AVR", 5000000000);  // a hole, no disk taken

    Run("C:\\big.AVR", "C:\\big.AVI", [&](CConvertAVI& dialog) {
        dialog.SendCommand(IDC_CONVERT_START);
        ASSERT_TRUE(platform::WaitProcessingMessages(
            [&] { return Text(dialog, IDC_CONVERT_TOTAL) != "0 Bytes"; }, 10000));
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TOTAL), "5,000,000,000 Bytes");
        EXPECT_EQ(dialog.GetTotalBytes(), 5000000000);
        dialog.SendCommand(IDC_CONVERT_START);
        ASSERT_TRUE(WaitForEnd(dialog));
    });
    EXPECT_EQ(Boxes(), std::vector<std::string>{"The conversion was stopped."});
}

// The module tells the reason; the dialog then says the operation failed, and
// the target stays as it was.
TEST_F(ConvertDialog, AFailureNamesItsReasonOnce) {
    struct Case {
        const char* name;
        Bytes source;
        const char* reason;
    };
    const Case cases[] = {
        {"H.264 video", Concat({AvrHeader(), H264Ts(30)}),
         "No usable MPEG-2 video sequence header was found in the recording."},
        {"no source", {}, "The source file cannot be opened."},
    };
    const DiagCapture engineLines;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_user.ClearHistory();
        fs::remove(m_drives.C() + "/in.AVR");
        if (!c.source.empty()) {
            WriteFile(m_drives.C() + "/in.AVR", c.source);
        }
        const Bytes old(4000, 0x5A);
        WriteFile(m_drives.C() + "/out.AVI", old);
        int ends = 0;
        Run("C:\\in.AVR", "C:\\out.AVI", [&](CConvertAVI& dialog) {
            dialog.SetConversionEndObserver([&ends] { ++ends; });
            dialog.SendCommand(IDC_CONVERT_START);
            ASSERT_TRUE(WaitForEnd(dialog));
            EXPECT_EQ(ButtonsOf(dialog), kIdle);
            EXPECT_NE(Text(dialog, IDC_CONVERT_PERCENT), "");
        });
        EXPECT_EQ(Boxes(), (std::vector<std::string>{c.reason, "Operation failed!!"}));
        EXPECT_EQ(m_user.History().back().type & MB_ICONMASK, MB_ICONSTOP);
        EXPECT_EQ(ends, 0);
        EXPECT_EQ(ReadFile(m_drives.C() + "/out.AVI"), old);
    }
}

// Start with a field empty only resets the counters.
TEST_F(ConvertDialog, StartWithAnEmptyPathStartsNothing) {
    m_drives.MakeFile("in.AVR", "x");
    Run("C:\\in.AVR", "", [&](CConvertAVI& dialog) {
        dialog.SendCommand(IDC_CONVERT_START);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_DONE), "0 Bytes");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TOTAL), "0 Bytes");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_PERCENT), "0 %");
        EXPECT_EQ(ButtonsOf(dialog), kIdle);
        EXPECT_FALSE(conversion_running());
        EXPECT_EQ(m_clock.TimerRemaining(dialog.GetSafeHwnd(), CConvertAVI::kTimerId), -1);
    });
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ConvertDialog, PickersFillTheFieldsAndACancelLeavesThem) {
    m_user.QueueFile(std::string("C:\\rec\\Show.AVR"));
    m_user.QueueFile(std::string("C:\\out\\Show.avi"));
    m_user.QueueFile(std::nullopt);
    m_user.QueueFile(std::nullopt);
    Run("C:\\a.AVR", "C:\\a.AVI", [](CConvertAVI& dialog) {
        dialog.SendCommand(IDC_CONVERT_OPEN);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_SOURCE), "C:\\rec\\Show.AVR");
        dialog.SendCommand(IDC_CONVERT_SAVE);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TARGET), "C:\\out\\Show.avi");
        dialog.SendCommand(IDC_CONVERT_OPEN);
        dialog.SendCommand(IDC_CONVERT_SAVE);
        EXPECT_EQ(Text(dialog, IDC_CONVERT_SOURCE), "C:\\rec\\Show.AVR");
        EXPECT_EQ(Text(dialog, IDC_CONVERT_TARGET), "C:\\out\\Show.avi");
        EXPECT_EQ(dialog.result(), 0);  // a picker does not end the dialog
    });
    std::vector<std::string> pickers;
    for (const auto& shown : m_user.History()) {
        if (shown.kind == "open" || shown.kind == "save") {
            pickers.push_back(shown.kind + " " + shown.caption + " [" + shown.text + "]");
        }
    }
    EXPECT_EQ(pickers, (std::vector<std::string>{"open Open []", "save Save As [Untitled.avi]",
                                                 "open Open []", "save Save As [Untitled.avi]"}));
}

}  // namespace
