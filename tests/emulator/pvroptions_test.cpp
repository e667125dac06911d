#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "emulator/pvroptions.h"

TEST(PvrOptions, ParsedIntoTheirFields) {
    pvrd::PvrOptions o;
    bool help = true;
    std::string error;
    ASSERT_EQ(pvrd::ParsePvrOptions({"--disk",
                                     "d",
                                     "--socket",
                                     "s",
                                     "--product",
                                     "P",
                                     "--oem",
                                     "O",
                                     "--stb-version",
                                     "0x0207",
                                     "--usb-version",
                                     "0x01010001",
                                     "--speed",
                                     "full",
                                     "--part-size",
                                     "100",
                                     "--avf-size",
                                     "0",
                                     "--disk-size",
                                     "5000",
                                     "--busy",
                                     "3",
                                     "--list-delay",
                                     "40",
                                     "--name-prefix",
                                     "--avf-first",
                                     "--demo",
                                     "--fail-bulk-out",
                                     "2",
                                     "--refuse-stream",
                                     "--unplug-after",
                                     "77",
                                     "--bulk-delay",
                                     "9"},
                                    &o, &help, &error),
              0)
        << error;
    EXPECT_FALSE(help);
    EXPECT_EQ(o.disk, "d");
    EXPECT_EQ(o.socket, "s");
    EXPECT_EQ(o.product, "P");
    EXPECT_EQ(o.oem, "O");
    EXPECT_EQ(o.stbVersion, 0x0207);
    EXPECT_EQ(o.usbVersion, 0x01010001u);
    EXPECT_FALSE(o.highSpeed);
    EXPECT_EQ(o.partSize, 100);
    EXPECT_EQ(o.avfSize, 0);
    EXPECT_EQ(o.diskSize, 5000);
    EXPECT_EQ(o.busy, 3);
    EXPECT_EQ(o.listDelayMs, 40);
    EXPECT_TRUE(o.namePrefix && o.avfFirst && o.demo && o.refuseStream);
    EXPECT_EQ(o.failBulkOut, 2);
    EXPECT_EQ(o.unplugAfter, 77);
    EXPECT_EQ(o.bulkDelayMs, 9);
}

TEST(PvrOptions, UsageErrorsAndHelp) {
    struct Row {
        std::vector<std::string> args;
        int status;
        bool help;
        const char* error;
    };
    const Row rows[] = {
        {{"--disk", "d", "--help"}, 0, true, ""},
        {{"-h", "--bogus"}, 0, true, ""},
        {{}, 2, false, "--disk DIR is required"},
        {{"--disk", ""}, 2, false, "--disk DIR is required"},
        {{"--disk"}, 2, false, "--disk needs a value"},
        {{"--disk", "d", "extra"}, 2, false, "unknown option: extra"},
        {{"--disk", "d", "--stb-version", "0x10000"},
         2,
         false,
         "bad value for --stb-version: 0x10000"},
        {{"--disk", "d", "--part-size", "0"}, 2, false, "bad value for --part-size: 0"},
        {{"--disk", "d", "--busy", "2x"}, 2, false, "bad value for --busy: 2x"},
        {{"--disk", "d", "--oem", "12345678901234567890"},
         2,
         false,
         "--oem takes at most 19 characters"},
        {{"--disk", "d", "--speed", "slow"}, 2, false, "--speed is high or full"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.args));
        pvrd::PvrOptions o;
        bool help = false;
        std::string error;
        EXPECT_EQ(pvrd::ParsePvrOptions(r.args, &o, &help, &error), r.status);
        EXPECT_EQ(help, r.help);
        EXPECT_EQ(error, r.error);
    }
    EXPECT_EQ(pvrd::PvrUsage().rfind("usage: tavrix-pvrd --disk DIR [--socket PATH]", 0), 0u);
    EXPECT_NE(pvrd::PvrHelp().find("\n  --busy N "), std::string::npos);
}

TEST(PvrOptions, TheSocketDefaultsToTheOneTheLibraryUses) {
    ::setenv("TAVRIX_PVR_SOCKET", "/tmp/somewhere.sock", 1);
    pvrd::PvrOptions o;
    bool help = false;
    std::string error;
    ASSERT_EQ(pvrd::ParsePvrOptions({"--disk", "d"}, &o, &help, &error), 0);
    EXPECT_EQ(o.socket, "/tmp/somewhere.sock");
    ::unsetenv("TAVRIX_PVR_SOCKET");
}
