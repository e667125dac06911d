#include "emulator/demodisk.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/recordingname.h"

namespace pvrd {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHeaderSize = 134;

bool FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Runs a program quietly; true when it exits with 0.
bool Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<char> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteAll(const fs::path& path, const char* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

bool IsEmptyDisk(const fs::path& root) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(root, ec)) {
        if (!entry.is_directory(ec) || !fs::is_empty(entry.path(), ec)) {
            return false;
        }
    }
    return !ec;
}

struct DemoRecording {
    const char* title;
    const char* stamp;
    const char* video;  // an ffmpeg test source
    int seconds;
    int tone;
    const char* size = "320x240";
    const char* bitrate = "1200k";  // held constant, so the file's size is known ahead
};

}  // namespace

bool FillDemoDisk(const fs::path& root, const PvrOptions& options, bool* skipped,
                  std::string* error) {
    *skipped = false;
    std::error_code ec;
    fs::create_directories(root, ec);
    if (!IsEmptyDisk(root)) {
        *skipped = true;
        return true;
    }
    if (!FindProgram("ffmpeg")) {
        *error = "--demo makes its recordings with ffmpeg, which is not installed";
        return false;
    }
    char work[] = "/tmp/tavrix-demo-XXXXXX";
    if (::mkdtemp(work) == nullptr) {
        *error = "--demo cannot make a work folder in /tmp";
        return false;
    }
    struct Cleanup {
        fs::path path;
        ~Cleanup() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } cleanup{work};
    for (const char* folder : {"AV", "MP3", "IMG", "Firmware"}) {
        fs::create_directories(root / folder, ec);
    }

    const DemoRecording recordings[] = {
        {"News", "200503211830", "testsrc", 4, 440},
        {"Nature", "200504021200", "smptebars", 5, 523},
        {"Cartoon", "200505151915", "rgbtestsrc", 3, 659},
        // About 60 MB: long enough to watch a transfer at work.
        {"Concert", "200506101930", "testsrc2", 60, 587, "720x576", "7800k"},
    };
    for (const DemoRecording& rec : recordings) {
        const fs::path ts = fs::path(work) / "rec.ts";
        const std::string seconds = std::to_string(rec.seconds);
        if (!Run({"ffmpeg",
                  "-nostdin",
                  "-hide_banner",
                  "-loglevel",
                  "error",
                  "-y",
                  "-f",
                  "lavfi",
                  "-i",
                  std::string(rec.video) + "=size=" + rec.size + ":rate=25:duration=" + seconds,
                  "-f",
                  "lavfi",
                  "-i",
                  "sine=frequency=" + std::to_string(rec.tone) +
                      ":sample_rate=48000:duration=" + seconds,
                  "-c:v",
                  "mpeg2video",
                  "-b:v",
                  rec.bitrate,
                  "-minrate",
                  rec.bitrate,
                  "-maxrate",
                  rec.bitrate,
                  "-bufsize",
                  "1835k",
                  "-c:a",
                  "mp2",
                  "-b:a",
                  "128k",
                  "-f",
                  "mpegts",
                  ts.string()})) {
            *error = "--demo: ffmpeg could not make a recording";
            return false;
        }
        std::vector<char> data(kHeaderSize, '\0');
        // Bytes 6-7: a format word; 8-9: where the transport stream starts,
        // both big-endian. The title rides along for people with a hex viewer.
        data[7] = 1;
        data[8] = static_cast<char>(kHeaderSize >> 8);
        data[9] = static_cast<char>(kHeaderSize & 0xFF);
        std::memcpy(data.data() + 16, rec.title, std::strlen(rec.title));
        const std::vector<char> stream = ReadAll(ts);
        data.insert(data.end(), stream.begin(), stream.end());

        // Several parts even when the PVR's part size is large.
        const std::int64_t third = static_cast<std::int64_t>(data.size() + 2) / 3;
        const std::int64_t partSize = std::max<std::int64_t>(1, std::min(options.partSize, third));
        int number = 1;
        for (std::size_t at = 0; at < data.size();
             at += static_cast<std::size_t>(partSize), ++number) {
            const std::size_t size =
                std::min<std::size_t>(static_cast<std::size_t>(partSize), data.size() - at);
            if (!WriteAll(root / "AV" / MakePartName(rec.title, number, rec.stamp, "AVR"),
                          data.data() + at, size)) {
                *error = "--demo cannot write to the disk folder";
                return false;
            }
        }
        std::vector<char> avf(static_cast<std::size_t>(options.avfSize), '\0');
        for (std::size_t i = 0; i < avf.size(); ++i) {
            avf[i] = static_cast<char>(i * 7 + 3);
        }
        if (!WriteAll(root / "AV" / MakePartName(rec.title, kFirstRecordingPart, rec.stamp, "AVF"),
                      avf.data(), avf.size())) {
            *error = "--demo cannot write to the disk folder";
            return false;
        }
    }

    const std::pair<const char*, int> songs[] = {{"Morning Tune.mp3", 392},
                                                 {"Evening Tune.mp3", 330}};
    for (const auto& [name, tone] : songs) {
        const std::string source = "sine=frequency=" + std::to_string(tone) + ":duration=6";
        const std::string out = (root / "MP3" / name).string();
        if (!Run({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", source,
                  "-c:a", "libmp3lame", "-b:a", "128k", out}) &&
            !Run({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", source,
                  "-c:a", "mp2", "-b:a", "128k", "-f", "mp3", out})) {
            *error = "--demo: ffmpeg could not make a music file";
            return false;
        }
    }
    const std::pair<const char*, const char*> pictures[] = {{"Holiday 1.jpg", "testsrc"},
                                                            {"Holiday 2.jpg", "smptebars"}};
    for (const auto& [name, source] : pictures) {
        if (!Run({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                  std::string(source) + "=size=640x480", "-frames:v", "1",
                  (root / "IMG" / name).string()})) {
            *error = "--demo: ffmpeg could not make a picture";
            return false;
        }
    }
    return true;
}

}  // namespace pvrd
