// tavrix-convert IN.AVR [OUT]: converts a PVR recording into an MPEG-2 program
// stream with the same conversion module the application uses.
//
// Exit status: 0 when the conversion completed, 1 when it failed or was
// stopped by SIGINT or SIGTERM (the reason is on stderr; a stopped conversion
// leaves what it wrote), 2 on a usage error.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/options.h"
#include "core/printable.h"
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

// The conversion an interrupt stops; set while one runs.
std::atomic<CConversion*> g_interruptible{nullptr};

void on_interrupt(int) {
    if (CConversion* conversion = g_interruptible.load()) {
        conversion->RequestStop();
    }
}

// The first SIGINT or SIGTERM stops the conversion as the dialog's Stop does;
// a second one ends the program at once. A signal that was ignored when the
// program started (a background job's SIGINT) stays ignored.
void stop_on_interrupt(CConversion& conversion) {
    g_interruptible = &conversion;
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = &on_interrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigaction(signal, &action, nullptr);
    }
}

// Redraws one status line on the terminal until told to stop.
class ProgressLine {
public:
    explicit ProgressLine(const CConversion& conversion)
        : m_conversion(conversion), m_start(std::chrono::steady_clock::now()) {
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
        const std::int64_t bytes = m_conversion.ConvertedBytes();
        const std::int64_t total = m_conversion.TotalBytes();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        const int percent = total > 0 ? static_cast<int>(bytes * 100 / total) : 0;
        const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds / 1e6 : 0.0;
        std::fprintf(stderr, "\r%3d %%  %s of %s bytes  %.1f MB/s   ", percent,
                     WithThousandsCommas(bytes).c_str(), WithThousandsCommas(total).c_str(), rate);
        std::fflush(stderr);
    }

    const CConversion& m_conversion;
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
    const std::string target =
        paths.size() == 2 ? paths[1] : default_conversion_target(source, '/');

    CConsoleUser user(kProgram);
    platform::SetUser(&user);

    const std::optional<std::string> pcSource = platform::CommandLineToPcPath(source);
    const std::optional<std::string> pcTarget = platform::CommandLineToPcPath(target);
    if (!pcSource) {
        std::fprintf(stderr, "%s: %s: the source file cannot be opened.\n", kProgram,
                     EscapeUnprintable(source).c_str());
        return 1;
    }
    if (!pcTarget) {
        std::fprintf(stderr, "%s: %s: the target file cannot be created.\n", kProgram,
                     EscapeUnprintable(target).c_str());
        return 1;
    }

    CConversion conversion;
    stop_on_interrupt(conversion);
    ConversionResult result;
    {
        std::optional<ProgressLine> progress;
        if (!quiet && isatty(STDERR_FILENO) != 0) {
            progress.emplace(conversion);
        }
        result = conversion.Run(*pcSource, *pcTarget, nullptr);
    }
    g_interruptible = nullptr;
    platform::SetUser(nullptr);
    // A failure has been told through the user already; a stop has not.
    if (result.end == ConversionEnd::Stopped) {
        std::fprintf(stderr, "%s: %s\n", kProgram, EscapeUnprintable(result.reason).c_str());
    }
    return result.end == ConversionEnd::Completed ? 0 : 1;
}
