// Runs the tavrix-convert program as a user would.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "stream/tsreader.h"
#include "support/streambuilder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    const Bytes b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

bool HaveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

class ConvertCli : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavrix-convert-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Runs a shell command line; returns the exit status, stderr in m_stderr.
    int Shell(const std::string& line) {
        const fs::path err = m_dir / "stderr.txt";
        const std::string command =
            "env -u TAVRIX_DRIVES " + line + " 2>" + Quote(err) + " </dev/null";
        const int status = std::system(command.c_str());
        m_stderr = ReadText(err);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Convert(const std::string& args) {
        return Shell(Quote(TAVRIX_CONVERT_PATH) + " " + args + " >/dev/null");
    }
    // The last line written to stderr, with its line end.
    std::string LastLine() const {
        const std::size_t before =
            m_stderr.size() >= 2 ? m_stderr.rfind('\n', m_stderr.size() - 2) : std::string::npos;
        return before == std::string::npos ? m_stderr : m_stderr.substr(before + 1);
    }

    fs::path m_dir;
    std::string m_stderr;
};

TEST_F(ConvertCli, UsageErrorsExitWithTwo) {
    WriteFile(m_dir / "a.AVR", Concat({AvrHeader(), SyntheticTs(2)}));
    const std::string in = Quote((m_dir / "a.AVR").string());
    for (const std::string& args :
         {std::string(""), "--bogus " + in, in + " b c", std::string("''")}) {
        EXPECT_EQ(Convert(args), 2) << args;
        EXPECT_NE(m_stderr.find("usage: tavrix-convert"), std::string::npos) << args;
    }
    EXPECT_FALSE(fs::exists(m_dir / "a.AVI"));
}

// A file's name can carry escapes that would rewrite the terminal. (A "\" in
// it keeps it off the PC's drives, so the message names it.)
TEST_F(ConvertCli, NamesReachTheTerminalEscaped) {
    const std::string name = "rec\\\x1b[2J\nX.AVR";
    EXPECT_EQ(Convert(Quote((m_dir / name).string())), 1);
    EXPECT_EQ(m_stderr, "tavrix-convert: " + m_dir.string() +
                            "/rec\\\\x1b[2J\\nX.AVR: the source file cannot be opened.\n");
}

TEST_F(ConvertCli, ConvertsToTheDefaultNameQuietly) {
    const Bytes ts = SyntheticTs(40);
    WriteFile(m_dir / "Movie.rec.AVR", Concat({AvrHeader(), ts}));
    MemorySource source;
    source.data = ts;
    CaptureSink sink;
    ASSERT_EQ(convert_transport_stream(MakeIo(source, sink), 0, 0, ipack_output::program_stream),
              ts_result::ended);

    EXPECT_EQ(Convert(Quote((m_dir / "Movie.rec.AVR").string())), 0);
    // The engine describes the streams it found; progress shows only on a terminal.
    EXPECT_EQ(m_stderr,
              "Videostream: ASPECT: 4:3  Size = 720x576  FRate: 25 fps  BRate: 6.00 Mbit/s\n"
              "Audiostream: Layer: 2  BRate: 192 kb/s  Freq: 48.0 kHz\n");
    EXPECT_EQ(ReadFile(m_dir / "Movie.rec.AVI"), sink.All());

    // An existing target is replaced.
    WriteFile(m_dir / "other.mpg", Bytes(300000, 0xAA));
    EXPECT_EQ(Convert("--quiet " + Quote((m_dir / "Movie.rec.AVR").string()) + " " +
                      Quote((m_dir / "other.mpg").string())),
              0);
    EXPECT_EQ(ReadFile(m_dir / "other.mpg"), sink.All());
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 4);
}

struct CliFailure {
    const char* name;
    Bytes source;        // written to in.AVR unless empty
    const char* target;  // relative to the temp folder, or absolute
    const char* line;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const CliFailure& c, std::ostream* os) {
    *os << c.name;
}

class ConvertCliFailure : public ConvertCli, public testing::WithParamInterface<CliFailure> {};

// Once into a folder without the target, once over an existing one, which
// the failure must leave as it was.
TEST_P(ConvertCliFailure, ExitsWithOneAndSaysWhy) {
    const CliFailure& c = GetParam();
    if (!c.source.empty()) {
        WriteFile(m_dir / "in.AVR", c.source);
    }
    const bool local = c.target[0] != '/';
    const fs::path target = local ? m_dir / c.target : fs::path(c.target);
    const std::string args = Quote((m_dir / "in.AVR").string()) + " " + Quote(target.string());
    EXPECT_EQ(Convert(args), 1);
    EXPECT_EQ(LastLine(), std::string("tavrix-convert: ") + c.line + "\n") << m_stderr;
    if (!local) {
        return;
    }
    EXPECT_FALSE(fs::exists(target));  // not even an empty file
    if (!fs::exists(target.parent_path())) {
        return;
    }
    const Bytes old(70000, 0x5A);
    WriteFile(target, old);
    const auto entries = std::distance(fs::directory_iterator(m_dir), fs::directory_iterator());
    EXPECT_EQ(Convert(args), 1);
    EXPECT_EQ(LastLine(), std::string("tavrix-convert: ") + c.line + "\n") << m_stderr;
    EXPECT_EQ(ReadFile(target), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), entries);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertCliFailure,
    testing::Values(CliFailure{"MissingSource", {}, "out.AVI", "The source file cannot be opened."},
                    CliFailure{"UnwritableTarget", Concat({AvrHeader(), SyntheticTs(2)}),
                               "no/dir/out.AVI", "Can't open the target file"},
                    CliFailure{"TruncatedHeader", Bytes(133, 0x47), "out.AVI",
                               "The source file is not a PVR recording."},
                    CliFailure{"WriteFails", Concat({AvrHeader(), SyntheticTs(20)}), "/dev/full",
                               "The target file cannot be written."},
                    CliFailure{
                        "H264Video", Concat({AvrHeader(), H264Ts(30)}), "out.AVI",
                        "No usable MPEG-2 video sequence header was found in the recording."},
                    CliFailure{"AudioOnly", Concat({AvrHeader(), AudioOnlyTs(30)}), "out.AVI",
                               "No video stream was found in the recording."},
                    CliFailure{"NotATransportStream", Concat({AvrHeader(), Filled(50000, 0)}),
                               "out.AVI", "The recording does not hold an MPEG transport stream."},
                    CliFailure{"Garbage", Concat({AvrHeader(), Garbage(300000, 7)}), "out.AVI",
                               "The recording does not hold an MPEG transport stream."},
                    CliFailure{"HeaderOnly", AvrHeader(), "out.AVI",
                               "The recording holds nothing after its header."}),
    [](const testing::TestParamInfo<CliFailure>& row) { return row.param.name; });

struct CliRefusal {
    const char* name;
    // Makes what the case needs beside rec.AVI (the recording) in the folder.
    std::function<void(const fs::path&)> prepare;
    const char* args;  // relative to the folder, or absolute
    const char* line;
};

void PrintTo(const CliRefusal& c, std::ostream* os) {
    *os << c.name;
}

class ConvertCliRefusal : public ConvertCli, public testing::WithParamInterface<CliRefusal> {};

TEST_P(ConvertCliRefusal, ExitsWithOneAndTouchesNothing) {
    const CliRefusal& c = GetParam();
    const Bytes recording = Concat({AvrHeader(), SyntheticTs(5)});
    WriteFile(m_dir / "rec.AVI", recording);
    c.prepare(m_dir);
    const auto count = [this] {  // the folder's entries, besides the captured stderr
        return std::count_if(
            fs::directory_iterator(m_dir), fs::directory_iterator(),
            [](const fs::directory_entry& e) { return e.path().filename() != "stderr.txt"; });
    };
    const auto entries = count();

    // Bounded, so that an input that never ends fails the case instead of hanging it.
    EXPECT_EQ(Shell("timeout 20 env -C " + Quote(m_dir.string()) + " " +
                    Quote(TAVRIX_CONVERT_PATH) + " " + c.args + " >/dev/null"),
              1);
    EXPECT_EQ(LastLine(), std::string("tavrix-convert: ") + c.line + "\n") << m_stderr;
    EXPECT_EQ(ReadFile(m_dir / "rec.AVI"), recording);
    EXPECT_EQ(count(), entries);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertCliRefusal,
    testing::Values(
        CliRefusal{"DefaultTargetIsTheSource", [](const fs::path&) {}, "rec.AVI",
                   "The source and the target are the same file."},
        CliRefusal{"SamePathTwice", [](const fs::path&) {}, "rec.AVI ./rec.AVI",
                   "The source and the target are the same file."},
        CliRefusal{"SymbolicLink",
                   [](const fs::path& dir) { fs::create_symlink("rec.AVI", dir / "link.mpg"); },
                   "rec.AVI link.mpg", "The source and the target are the same file."},
        CliRefusal{
            "HardLink",
            [](const fs::path& dir) { fs::create_hard_link(dir / "rec.AVI", dir / "hard.mpg"); },
            "hard.mpg rec.AVI", "The source and the target are the same file."},
        CliRefusal{"Folder", [](const fs::path& dir) { fs::create_directory(dir / "folder.AVR"); },
                   "folder.AVR", "The source is not a regular file."},
        CliRefusal{
            "Fifo",
            [](const fs::path& dir) { ASSERT_EQ(mkfifo((dir / "fifo.AVR").c_str(), 0600), 0); },
            "fifo.AVR", "The source is not a regular file."},
        CliRefusal{"DevZero", [](const fs::path&) {}, "/dev/zero out.AVI",
                   "The source is not a regular file."}),
    [](const testing::TestParamInfo<CliRefusal>& row) { return row.param.name; });

TEST_F(ConvertCli, SigintStopsTheConversionWhichKeepsWhatItWroteAndExitsWithOne) {
    const Bytes ts = SyntheticTs(300);
    MemorySource source;
    source.data = ts;
    CaptureSink sink;
    ASSERT_EQ(convert_transport_stream(MakeIo(source, sink), 0, 0, ipack_output::program_stream),
              ts_result::ended);
    const Bytes full = sink.All();

    // Behind the stream, 64 GiB of a hole (no disk taken): packets without
    // payload, which keep the converter reading until it is interrupted.
    const fs::path in = m_dir / "long.AVR";
    const fs::path out = m_dir / "long.AVI";
    const fs::path err = m_dir / "stderr.txt";
    WriteFile(in, Concat({AvrHeader(), ts}));
    fs::resize_file(in, fs::file_size(in) + (std::uintmax_t{64} << 30));

    // Started with SIGINT at its default, as from a terminal.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string program = TAVRIX_CONVERT_PATH;
    std::string quiet = "--quiet";
    std::string inArg = in.string();
    std::string outArg = out.string();
    char* argv[] = {program.data(), quiet.data(), inArg.data(), outArg.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &files, &attr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attr);

    // Interrupted once the first output has been written: into a file beside
    // the target, which takes the target's place when the conversion ends.
    const auto written = [&] {
        for (const fs::directory_entry& e : fs::directory_iterator(m_dir)) {
            std::error_code ec;
            if (e.path() != in && e.path() != err && e.file_size(ec) > 0 && !ec) {
                return true;
            }
        }
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!written() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(written());
    kill(pid, SIGINT);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline + std::chrono::seconds(30)) {
            kill(pid, SIGKILL);  // never left running; the case fails below
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(ReadText(err),
              "Videostream: ASPECT: 4:3  Size = 720x576  FRate: 25 fps  BRate: 6.00 Mbit/s\n"
              "Audiostream: Layer: 2  BRate: 192 kb/s  Freq: 48.0 kHz\n"
              "tavrix-convert: The conversion was stopped.\n");
    const Bytes kept = ReadFile(out);
    ASSERT_FALSE(kept.empty());
    ASSERT_LE(kept.size(), full.size());
    EXPECT_EQ(kept, Bytes(full.begin(), full.begin() + static_cast<long>(kept.size())));
    // Nothing else is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 3);
}

// A recording made by a real encoder and muxer must come out as a program
// stream that a real demuxer and decoder accept.
TEST_F(ConvertCli, FfmpegRecordingConvertsToAReadableProgramStream) {
    if (!HaveProgram("ffmpeg") || !HaveProgram("ffprobe")) {
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    }
    const fs::path ts = m_dir / "made.ts";
    ASSERT_EQ(Shell("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi "
                    "-i sine=frequency=440:sample_rate=48000 -t 3 -c:v mpeg2video -b:v 2M "
                    "-c:a mp2 -b:a 192k -f mpegts " +
                    Quote(ts.string())),
              0)
        << m_stderr;
    WriteFile(m_dir / "rec.AVR", Concat({AvrHeader(), ReadFile(ts)}));

    ASSERT_EQ(Convert(Quote((m_dir / "rec.AVR").string())), 0) << m_stderr;
    const fs::path out = m_dir / "rec.AVI";
    ASSERT_GT(fs::file_size(out), 100000u);

    const fs::path streams = m_dir / "streams.txt";
    ASSERT_EQ(Shell("ffprobe -v error -show_entries stream=codec_type,codec_name -of csv=p=0 " +
                    Quote(out.string()) + " >" + Quote(streams.string())),
              0)
        << m_stderr;
    const std::string found = ReadText(streams);
    EXPECT_NE(found.find("mpeg2video,video"), std::string::npos) << found;
    EXPECT_NE(found.find("mp2,audio"), std::string::npos) << found;

    EXPECT_EQ(Shell("ffmpeg -nostdin -v error -i " + Quote(out.string()) + " -f null - >/dev/null"),
              0);
    EXPECT_EQ(m_stderr, "");
}

}  // namespace
