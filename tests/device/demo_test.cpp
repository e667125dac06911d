// The demo disk: real recordings in parts, music and pictures.
#include <cstdlib>

#include "emulator/demodisk.h"
#include "support/pvrfixture.h"

namespace {

class DemoTest : public PvrTest {};

TEST_F(DemoTest, FillsAnEmptyDiskWithRecordingsInParts) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    pvrd::PvrOptions options;
    bool skipped = true;
    std::string error;
    ASSERT_TRUE(pvrd::FillDemoDisk(m_disk, options, &skipped, &error)) << error;
    EXPECT_FALSE(skipped);

    const std::string first = GetHost("AV/News_#001_200503211830.AVR");
    ASSERT_GT(first.size(), 134u + 188u);
    const unsigned offset =
        (static_cast<unsigned char>(first[8]) << 8) | static_cast<unsigned char>(first[9]);
    EXPECT_EQ(offset, 134u);
    EXPECT_EQ(first[offset], 0x47) << "a transport stream packet starts there";
    EXPECT_EQ(first[offset + 188], 0x47);
    for (const char* name : {"AV/News_#002_200503211830.AVR", "AV/News_#001_200503211830.AVF",
                             "AV/Nature_#003_200504021200.AVR", "AV/Cartoon_#001_200505151915.AVF",
                             "AV/Concert_#002_200506101930.AVR"}) {
        EXPECT_TRUE(ExistsHost(name)) << name;
    }
    // One recording is large enough to watch a transfer at work.
    std::uintmax_t concert = 0;
    for (const char* part : {"001", "002", "003"}) {
        concert += std::filesystem::file_size(
            m_disk / "AV" / (std::string("Concert_#") + part + "_200506101930.AVR"));
    }
    EXPECT_GT(concert, 50u << 20);
    EXPECT_FALSE(std::filesystem::is_empty(m_disk / "MP3"));
    EXPECT_FALSE(std::filesystem::is_empty(m_disk / "IMG"));
    EXPECT_TRUE(std::filesystem::is_directory(m_disk / "Firmware"));

    ASSERT_TRUE(pvrd::FillDemoDisk(m_disk, options, &skipped, &error));
    EXPECT_TRUE(skipped) << "a disk with content is left alone";
}

}  // namespace
