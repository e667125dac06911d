// tavrix-convert IN.AVR [OUT]: converts a PVR recording into an MPEG-2 program
// stream with the same conversion module the application uses.
//
// Exit status: 0 when the conversion completed, 1 when it failed (the reason is
// on stderr), 2 on a usage error.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/options.h"
#include "core/xstring.h"
#include "platform/pcfs.h"
#include "platform/thread.h"
#include "stream/conversion.h"
#include "tools/consoleuser.h"

namespace {

constexpr const char* kProgram = "tavrix-convert";

void usage(std::FILE* out, std::span<const CommandOption> options) {
    const std::string start = std::string("usage: ") + kProgram + " ";
    std::fprintf(out,
                 "%s%s IN.AVR [OUT]\n"
                 "Converts a PVR recording into an MPEG-2 program stream.\n"
                 "OUT defaults to IN without its extension plus .AVI.\n%s",
                 start.c_str(), OptionSynopsis(options, start.size()).c_str(),
                 OptionHelp(options).c_str());
}

// IN without its extension plus ".AVI"; only a dot in the file's own name
// counts as the start of an extension.
std::string default_target(const std::string& source) {
    const std::size_t slash = source.find_last_of('/');
    const std::size_t dot = source.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        return source.substr(0, dot) + ".AVI";
    }
    return source + ".AVI";
}

std::optional<std::string> pc_path(const std::string& hostPath) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(hostPath, ec);
    if (ec) {
        return std::nullopt;
    }
    return platform::ToPcPath(absolute.lexically_normal().string());
}

std::string with_commas(long long value) {
    XString text;
    text = std::to_string(value).c_str();
    text.InsertThousandsCommas();
    return text;
}

// Redraws one status line on the terminal until told to stop.
class ProgressLine {
public:
    ProgressLine() : m_start(std::chrono::steady_clock::now()) {
        m_thread = platform::CThread::Start([this] { Run(); }, 0);
    }
    ~ProgressLine() {
        m_done.Set();
        m_thread.reset();
        Draw();
        std::fputc('\n', stderr);
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

private:
    void Run() {
        while (!m_done.Wait(250)) {
            Draw();
        }
    }
    void Draw() const {
        const std::int64_t bytes = get_converted_bytes();
        const std::int64_t total = get_total_bytes();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        const int percent = total > 0 ? static_cast<int>(bytes * 100 / total) : 0;
        const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds / 1e6 : 0.0;
        std::fprintf(stderr, "\r%3d %%  %s of %s bytes  %.1f MB/s   ", percent,
                     with_commas(bytes).c_str(), with_commas(total).c_str(), rate);
        std::fflush(stderr);
    }

    std::chrono::steady_clock::time_point m_start;
    platform::CEvent m_done;
    std::unique_ptr<platform::CThread> m_thread;
};

}  // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    const CommandOption options[] = {
        {.name = "--quiet",
         .alias = "-q",
         .help = "no progress display",
         .take = [&](const std::string&, std::string*) { return quiet = true; }},
        {.name = "--help", .alias = "-h", .ends = true},
    };
    std::vector<std::string> paths;
    std::string error;
    switch (
        ParseOptions(options, std::vector<std::string>(argv + 1, argv + argc), &paths, &error)) {
        case OptionsEnd::Parsed:
            break;
        case OptionsEnd::Stopped:
            usage(stdout, options);
            return 0;
        case OptionsEnd::Wrong:
            std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
            usage(stderr, options);
            return 2;
    }
    if (paths.empty() || paths.size() > 2 || paths[0].empty() ||
        (paths.size() == 2 && paths[1].empty())) {
        usage(stderr, options);
        return 2;
    }
    const std::string source = paths[0];
    const std::string target = paths.size() == 2 ? paths[1] : default_target(source);

    CConsoleUser user(kProgram);
    platform::SetUser(&user);

    const std::optional<std::string> pcSource = pc_path(source);
    const std::optional<std::string> pcTarget = pc_path(target);
    if (!pcSource) {
        std::fprintf(stderr, "%s: %s: the source file cannot be opened.\n", kProgram,
                     source.c_str());
        return 1;
    }
    if (!pcTarget) {
        std::fprintf(stderr, "%s: %s: the target file cannot be created.\n", kProgram,
                     target.c_str());
        return 1;
    }

    bool completed = false;
    {
        std::optional<ProgressLine> progress;
        if (!quiet && isatty(STDERR_FILENO) != 0) {
            progress.emplace();
        }
        completed = run_conversion(pcSource->c_str(), pcTarget->c_str(), nullptr);
    }
    platform::SetUser(nullptr);
    return completed ? 0 : 1;
}
