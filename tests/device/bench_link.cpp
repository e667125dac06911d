// Throughput of 1 GiB down and up: the raw link (2 MiB bulk calls through the
// socket) and the transfer engine over it (with its pauses off), in one run
// against an emulator on threads of this process, with the peak resident
// memory after each. A measurement, not a test: run it by hand.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>
#include <vector>

#include "device/tavrixapi.h"
#include "emulator/pvrserver.h"
#include "platform/pcfs.h"
#include "transfer/batchbuilder.h"
#include "transfer/transferengine.h"

namespace {

constexpr std::int64_t kTotal = 1ll << 30;
constexpr std::uint32_t kChunk = 2u << 20;

struct Bench {
    std::filesystem::path dir;
    std::unique_ptr<pvrd::CPvrServer> server;

    Bench() {
        char tmpl[] = "/tmp/tavrix-bench-XXXXXX";
        dir = ::mkdtemp(tmpl);
        std::filesystem::create_directories(dir / "disk" / "AV");
        std::filesystem::create_directories(dir / "pc");
        for (const auto& file : {dir / "disk" / "AV" / "big.ts", dir / "pc" / "up.ts"}) {
            std::ofstream out(file, std::ios::binary);
            std::vector<char> block(1 << 20, 'x');
            for (int i = 0; i < kTotal >> 20; ++i) {
                out.write(block.data(), static_cast<std::streamsize>(block.size()));
            }
        }
        ::setenv("TAVRIX_DRIVES", ("C=" + dir.string()).c_str(), 1);
        platform::ReloadDriveTable();
        pvrd::PvrOptions options;
        options.disk = (dir / "disk").string();
        options.socket = (dir / "pvr.sock").string();
        server = std::make_unique<pvrd::CPvrServer>(options);
        std::string error;
        if (!server->Start(&error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        ::setenv("TAVRIX_PVR_SOCKET", options.socket.c_str(), 1);
        TAVRIX_InitDevice(nullptr);
    }
    ~Bench() {
        TAVRIX_UninitDevice();
        server.reset();
        std::filesystem::remove_all(dir);
    }
};

Bench& TheBench() {
    static Bench bench;
    return bench;
}

bool Open(std::int32_t command, const char* path, std::uint8_t direction) {
    FileControlBlock fcb{};
    fcb.command = command;
    std::strcpy(fcb.path, path);
    TransferItem item{};
    item.kind = TRANSFER_KIND_FILE;
    item.direction = direction;
    std::strcpy(item.pvrPath, path);
    item.chunkSize = kChunk;
    item.byteCount = kTotal;
    return TAVRIX_FCntl(&fcb) && TAVRIX_RequestDataTransfer(&item);
}

void Close() {
    FileControlBlock fcb{};
    fcb.command = FCNTL_CLOSE;
    TAVRIX_FCntl(&fcb);
}

void PeakMemory(benchmark::State& state) {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The engine's reports go nowhere: this measures the workers alone.
class CSilentReport : public ITransferReport {
public:
    void ItemStarted(int, int) override {}
    void Progressed() override {}
    void Ended(bool failed) override { m_failed = failed; }
    void Tell(const std::string&) override {}
    bool m_failed = false;
};

void RunEngine(benchmark::State& state, bool upload) {
    TheBench();
    CTransferEngine engine(false);
    for (auto _ : state) {
        // A whole copy already on the PC would be left out of the batch.
        state.PauseTiming();
        std::filesystem::remove(TheBench().dir / "pc" / "down.ts");
        state.ResumeTiming();
        bool given = false;
        BatchSource source;
        source.nextSelected = [&given, upload](TransferSelection& selected) {
            if (std::exchange(given, true)) {
                return false;
            }
            selected = upload ? TransferSelection{"up.ts", 0, "big-up.ts"}
                              : TransferSelection{"big.ts", kTotal, "down.ts"};
            return true;
        };
        source.pcFolder = "C:\\pc\\";
        source.pvrFolder = "C:\\PVR\\AV\\";
        source.ask = [](const std::string&) { return static_cast<int>(XFER_OVERWRITE); };
        source.speed = 1;
        const BuildOutcome built = upload ? BuildUploadBatch(source, engine.Batch())
                                          : BuildDownloadBatch(source, engine.Batch());
        CSilentReport report;
        if (built != BuildOutcome::Ready ||
            !(upload ? engine.RunUpload(1, report) : engine.RunDownload(report))) {
            state.SkipWithError("the batch failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
    PeakMemory(state);
}

void BM_EngineDownload(benchmark::State& state) {
    RunEngine(state, false);
}

void BM_EngineUpload(benchmark::State& state) {
    RunEngine(state, true);
}

void BM_Download(benchmark::State& state) {
    TheBench();
    std::vector<char> buffer(kChunk);
    for (auto _ : state) {
        if (!Open(FCNTL_OPEN_DOWNLOAD, "C:\\PVR\\AV\\big.ts", TRANSFER_DOWNLOAD)) {
            state.SkipWithError("cannot open");
            break;
        }
        std::int64_t done = 0;
        while (done < kTotal) {
            const int got = TAVRIX_BulkIN(buffer.data(), kChunk, 0);
            if (got <= 0) {
                state.SkipWithError("bulk in failed");
                break;
            }
            done += got;
        }
        Close();
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
    PeakMemory(state);
}

void BM_Upload(benchmark::State& state) {
    TheBench();
    std::vector<char> buffer(kChunk, 'y');
    for (auto _ : state) {
        if (!Open(FCNTL_CREATE, "C:\\PVR\\AV\\up.ts", TRANSFER_UPLOAD)) {
            state.SkipWithError("cannot create");
            break;
        }
        for (std::int64_t done = 0; done < kTotal;) {
            const int sent = TAVRIX_BulkOUT(buffer.data(), kChunk, 10000);
            if (sent <= 0) {
                state.SkipWithError("bulk out failed");
                break;
            }
            done += sent;
        }
        if (TAVRIX_RequestDataCompletion() != 1) {
            state.SkipWithError("not confirmed");
        }
        Close();
    }
    state.SetBytesProcessed(state.iterations() * kTotal);
    PeakMemory(state);
}

BENCHMARK(BM_Download)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_EngineDownload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Upload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_EngineUpload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
