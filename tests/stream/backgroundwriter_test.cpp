#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/stream/backgroundwriter.h"
#include "platform/pcfs.h"
#include "stream/streambuilder.h"

namespace {

namespace fs = std::filesystem;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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

// A private C: in a temp folder and D: on /dev (for /dev/full).
class BackgroundWriterTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavrix-bgwriter-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        const std::string drives = "C=" + m_dir.string() + ",D=/dev";
        setenv("TAVRIX_DRIVES", drives.c_str(), 1);
        platform::ReloadDriveTable();
    }
    void TearDown() override {
        unsetenv("TAVRIX_DRIVES");
        platform::ReloadDriveTable();
        fs::remove_all(m_dir);
    }

    fs::path m_dir;
};

constexpr std::size_t kChunk = BackgroundWriter::kChunkSize;

TEST_F(BackgroundWriterTest, ManyOddWritesReachTheFileInOrder) {
    // Enough for the chunks to go round several times, so the filling side has
    // to wait for the writing side.
    const Bytes data = Pattern(kChunk * BackgroundWriter::kChunks * 3 + 777);
    BackgroundWriter writer;
    ASSERT_TRUE(writer.Open("C:\\out.bin"));
    ASSERT_TRUE(writer.Start());
    std::size_t at = 0;
    for (std::size_t step = 1; at < data.size(); step = step * 7 % 5003 + 1) {
        const std::size_t n = std::min(step, data.size() - at);
        ASSERT_TRUE(BackgroundWriter::Sink(&writer, data.data() + at, n));
        at += n;
    }
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(ReadFile(m_dir / "out.bin"), data);
    // Finish leaves the writer usable; Close finishes what came since.
    ASSERT_TRUE(writer.Write(data.data(), 10));
    writer.Close();
    EXPECT_EQ(fs::file_size(m_dir / "out.bin"), data.size() + 10);
}

TEST_F(BackgroundWriterTest, AFailedWriteIsReportedByLaterWritesAndByFinish) {
    BackgroundWriter writer;
    ASSERT_TRUE(writer.Open("D:\\full"));
    ASSERT_TRUE(writer.Start());
    const Bytes block(2048, 0x55);
    // The failure surfaces within the chunks that can be in flight.
    const std::size_t limit = (BackgroundWriter::kChunks + 2) * kChunk / block.size();
    bool refused = false;
    for (std::size_t i = 0; i < limit && !refused; ++i) {
        refused = !writer.Write(block.data(), block.size());
    }
    EXPECT_TRUE(refused);
    EXPECT_FALSE(writer.Write(block.data(), block.size()));
    EXPECT_FALSE(writer.Finish());
}

TEST_F(BackgroundWriterTest, EndingWithoutFinishStillWritesTheChunksHandedOver) {
    const Bytes data = Pattern(kChunk * 2 + 100);
    {
        BackgroundWriter writer;
        ASSERT_TRUE(writer.Open("C:\\out.bin"));
        ASSERT_TRUE(writer.Start());
        ASSERT_TRUE(writer.Write(data.data(), data.size()));
    }
    // The two full chunks are on disk; the one still being filled is not.
    const Bytes out = ReadFile(m_dir / "out.bin");
    EXPECT_EQ(out, Bytes(data.begin(), data.begin() + static_cast<long>(kChunk * 2)));
}

}  // namespace
