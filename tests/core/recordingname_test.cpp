#include <gtest/gtest.h>

#include <string>

#include "core/recordingname.h"

TEST(SplitRecordingName, Table) {
    struct Row {
        const char* name;
        bool ok;
        const char* title;  // "?" means left as it was
        const char* part;
        const char* stamp;
    };
    const Row rows[] = {
        {"Movie_#001_A1B2C3D4E5F6.AVR", true, "Movie", "001", "A1B2C3D4E5F6"},
        {"C:\\PVR\\AV\\Movie_#002_A1B2C3D4E5F6.avr", true, "C:\\PVR\\AV\\Movie", "002",
         "A1B2C3D4E5F6"},
        {"C:\\PVR\\AV\\TITLE_A1B2C3D4E5F6.AVR", true, "C:\\PVR\\AV\\TITLE", "?", "A1B2C3D4E5F6"},
        {"D:\\rec\\Movie_A1B2C3D4E5F6.AVF", true, "D:\\rec\\Movie", "?", "A1B2C3D4E5F6"},
        {"_A1B2C3D4E5F6.AVR", true, "", "?", "A1B2C3D4E5F6"},
        {"_#001_A1B2C3D4E5F6.AVR", true, "", "001", "A1B2C3D4E5F6"},
        // "#" without "_" in front of it is not the part form; the rest still fits.
        {"X#001_A1B2C3D4E5F6.AVR", true, "X#001", "?", "A1B2C3D4E5F6"},
        {"A1B2C3D4E5F6.AVR", false, "?", "?", "?"},
        {"", false, "?", "?", "?"},
        {"Movie-A1B2C3D4E5F6.AVR", false, "?", "?", "?"},
        {"Movie_#001_A1B2C3D4E5F.AVR", false, "?", "?", "?"},
        {"Movie.AVR", false, "?", "?", "?"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::string title = "?";
        std::string part = "?";
        std::string stamp = "?";
        EXPECT_EQ(SplitRecordingName(r.name, &title, &part, &stamp), r.ok);
        EXPECT_EQ(title, r.title);
        EXPECT_EQ(part, r.part);
        EXPECT_EQ(stamp, r.stamp);
        EXPECT_EQ(SplitRecordingName(r.name), r.ok);
        std::string stampOnly = "?";
        EXPECT_EQ(SplitRecordingName(r.name, nullptr, nullptr, &stampOnly), r.ok);
        EXPECT_EQ(stampOnly, r.stamp);
    }
}
