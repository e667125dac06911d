#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/pcfs.h"
#include "stream/backgroundfiles.h"
#include "support/streambuilder.h"

namespace {

namespace fs = std::filesystem;

// Bytes that never repeat with a period a chunk size could hide.
Bytes Pattern(std::size_t size) {
    Bytes b(size);
    std::uint32_t x = 12345;
    for (std::uint8_t& v : b) {
        x = x * 1103515245u + 12345u;
        v = static_cast<std::uint8_t>(x >> 24);
    }
    return b;
}

// A private C: in a temp folder, D: on /dev (for /dev/full) and E: on this
// process's /proc folder (its memory file fails every read at a low offset).
class BackgroundFilesTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavrix-bgfiles-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        const std::string drives = "C=" + m_dir.string() + ",D=/dev,E=/proc/self";
        setenv("TAVRIX_DRIVES", drives.c_str(), 1);
        platform::ReloadDriveTable();
    }
    void TearDown() override {
        unsetenv("TAVRIX_DRIVES");
        platform::ReloadDriveTable();
        fs::remove_all(m_dir);
    }

    void WriteFile(const char* name, const Bytes& data) {
        std::ofstream out(m_dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
    }

    fs::path m_dir;
};

constexpr std::size_t kChunk = BackgroundFiles::kChunkSize;

TEST_F(BackgroundFilesTest, ManyOddWritesReachTheFileInOrder) {
    // Enough for the chunks to go round several times, so the filling side has
    // to wait for the writing side.
    const Bytes data = Pattern(kChunk * BackgroundFiles::kChunks * 3 + 777);
    BackgroundFiles writer;
    ASSERT_TRUE(writer.OpenTarget("C:\\out.bin"));
    ASSERT_TRUE(writer.Start());
    std::size_t at = 0;
    for (std::size_t step = 1; at < data.size(); step = step * 7 % 5003 + 1) {
        const std::size_t n = std::min(step, data.size() - at);
        ASSERT_TRUE(BackgroundFiles::Sink(&writer, data.data() + at, n));
        at += n;
    }
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(ReadFile(m_dir / "out.bin"), data);
    // Finish leaves the writer usable; Close finishes what came since.
    ASSERT_TRUE(writer.Write(data.data(), 10));
    writer.Close();
    EXPECT_EQ(fs::file_size(m_dir / "out.bin"), data.size() + 10);
}

TEST_F(BackgroundFilesTest, AFailedWriteIsReportedByLaterWritesAndByFinish) {
    BackgroundFiles writer;
    ASSERT_TRUE(writer.OpenTarget("D:\\full"));
    ASSERT_TRUE(writer.Start());
    const Bytes block(2048, 0x55);
    // The failure surfaces within the chunks that can be in flight.
    const std::size_t limit = (BackgroundFiles::kChunks + 2) * kChunk / block.size();
    bool refused = false;
    for (std::size_t i = 0; i < limit && !refused; ++i) {
        refused = !writer.Write(block.data(), block.size());
    }
    EXPECT_TRUE(refused);
    EXPECT_FALSE(writer.Write(block.data(), block.size()));
    EXPECT_FALSE(writer.Finish());
}

TEST_F(BackgroundFilesTest, EndingWithoutFinishStillWritesTheChunksHandedOver) {
    const Bytes data = Pattern(kChunk * 2 + 100);
    {
        BackgroundFiles writer;
        ASSERT_TRUE(writer.OpenTarget("C:\\out.bin"));
        ASSERT_TRUE(writer.Start());
        ASSERT_TRUE(writer.Write(data.data(), data.size()));
    }
    // The two full chunks are on disk; the one still being filled is not.
    const Bytes out = ReadFile(m_dir / "out.bin");
    EXPECT_EQ(out, Bytes(data.begin(), data.begin() + static_cast<long>(kChunk * 2)));
}

TEST_F(BackgroundFilesTest, TheSourceComesOutWholeThroughBorrowsAndReadsAcrossChunks) {
    // An odd start and an odd length, so blocks straddle every chunk boundary
    // and the last chunk is short.
    constexpr std::int64_t kStart = 134;
    const Bytes data = Pattern(kChunk * (BackgroundFiles::kChunks + 3) + 1234);
    WriteFile("in.bin", data);
    BackgroundFiles files;
    ASSERT_TRUE(files.OpenSource("C:\\in.bin"));
    ASSERT_EQ(files.Source().Seek(kStart), kStart);
    ASSERT_TRUE(files.Start());

    Bytes got;
    for (int turn = 0;; ++turn) {
        long n = 0;
        if (turn % 5 == 4) {
            std::uint8_t buf[777];
            n = files.Read(buf, sizeof buf);
            got.insert(got.end(), buf, buf + std::max(n, 0L));
        } else {
            const std::uint8_t* block = nullptr;
            n = files.Borrow(&block, 1880);
            ASSERT_GE(n, 0);
            got.insert(got.end(), block, block + n);
        }
        ASSERT_GE(n, 0);
        if (n == 0) {
            break;
        }
    }
    EXPECT_EQ(got, Bytes(data.begin() + kStart, data.end()));
    // The end stays the end.
    const std::uint8_t* block = nullptr;
    EXPECT_EQ(files.Borrow(&block, 1880), 0);
}

TEST_F(BackgroundFilesTest, AFailedSourceReadIsAFailureNotTheEnd) {
    BackgroundFiles files;
    ASSERT_TRUE(files.OpenSource("E:\\mem"));
    ASSERT_TRUE(files.Start());
    const std::uint8_t* block = nullptr;
    EXPECT_EQ(files.Borrow(&block, 1880), -1);
    std::uint8_t buf[16];
    EXPECT_EQ(files.Read(buf, sizeof buf), -1);
}

}  // namespace
