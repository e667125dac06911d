// Raw link throughput: 256 MiB down and up through the socket in 2 MiB bulk
// calls, against an emulator on threads of this process. A measurement, not a
// test: run it by hand.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "device/tavrixapi.h"
#include "emulator/pvrserver.h"

namespace {

constexpr std::int64_t kTotal = 256ll << 20;
constexpr std::uint32_t kChunk = 2u << 20;

struct Bench {
    std::filesystem::path dir;
    std::unique_ptr<pvrd::CPvrServer> server;

    Bench() {
        char tmpl[] = "/tmp/tavrix-bench-XXXXXX";
        dir = ::mkdtemp(tmpl);
        std::filesystem::create_directories(dir / "disk" / "AV");
        {
            std::ofstream out(dir / "disk" / "AV" / "big.ts", std::ios::binary);
            std::vector<char> block(1 << 20, 'x');
            for (int i = 0; i < kTotal >> 20; ++i) {
                out.write(block.data(), static_cast<std::streamsize>(block.size()));
            }
        }
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
}

BENCHMARK(BM_Download)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(BM_Upload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

}  // namespace

BENCHMARK_MAIN();
