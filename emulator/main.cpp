// tavrix-pvrd: the PVR emulator. Serves a host folder as the PVR's disk on a
// Unix-domain socket until SIGINT or SIGTERM (or a fault pulls the cable).
#include <signal.h>

#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/demodisk.h"
#include "emulator/pvroptions.h"
#include "emulator/pvrserver.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    pvrd::PvrOptions options;
    bool help = false;
    std::string error;
    if (pvrd::ParsePvrOptions(args, &options, &help, &error) != 0) {
        std::fprintf(stderr, "tavrix-pvrd: %s\n%s", error.c_str(), pvrd::PvrUsage().c_str());
        return 2;
    }
    if (help) {
        std::fputs(pvrd::PvrHelp().c_str(), stdout);
        return 0;
    }
    static std::mutex logMutex;
    options.log = [](const std::string& line) {
        std::lock_guard<std::mutex> lock(logMutex);
        std::fprintf(stderr, "tavrix-pvrd: %s\n", line.c_str());
        std::fflush(stderr);
    };

    if (options.demo) {
        bool skipped = false;
        if (!pvrd::FillDemoDisk(options.disk, options, &skipped, &error)) {
            std::fprintf(stderr, "tavrix-pvrd: %s\n", error.c_str());
            return 1;
        }
        options.log(skipped ? "the disk is not empty; no demo content added"
                            : "demo content written to " + options.disk);
    }

    // Signals are taken by this thread alone, so a stop is an orderly unplug.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    signal(SIGPIPE, SIG_IGN);

    pvrd::CPvrServer server(options);
    if (!server.Start(&error)) {
        std::fprintf(stderr, "tavrix-pvrd: %s\n", error.c_str());
        return 1;
    }
    const timespec tick{0, 200 * 1000 * 1000};
    while (!server.Unplugged()) {
        const int sig = sigtimedwait(&stops, nullptr, &tick);
        if (sig == SIGINT || sig == SIGTERM) {
            break;
        }
    }
    server.Stop();
    return 0;
}
