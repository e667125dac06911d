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

TEST(RecordingNameGrammar, PartAndListedNames) {
    struct Row {
        const char* name;
        bool part;    // a part name: title, part, stamp, extension below
        bool listed;  // a listed name: title and stamp below
        const char* title;
        const char* number;
        const char* stamp;
        const char* extension;
    };
    const Row rows[] = {
        {"Movie_#001_A1B2C3D4E5F6.AVR", true, false, "Movie", "001", "A1B2C3D4E5F6", "AVR"},
        {"Movie_#002_A1B2C3D4E5F6.avf", true, false, "Movie", "002", "A1B2C3D4E5F6", "avf"},
        {"My_Show_#001_A1B2C3D4E5F6.MP3", true, false, "My_Show", "001", "A1B2C3D4E5F6", "MP3"},
        {"_#001_A1B2C3D4E5F6.AVR", true, false, "", "001", "A1B2C3D4E5F6", "AVR"},
        {"Movie_A1B2C3D4E5F6.AVR", false, true, "Movie", "", "A1B2C3D4E5F6", ""},
        {"Movie_A1B2C3D4E5F6.avr", false, true, "Movie", "", "A1B2C3D4E5F6", ""},
        {"_A1B2C3D4E5F6.AVR", false, true, "", "", "A1B2C3D4E5F6", ""},
        // A listed name must be an .AVR and a part name needs its dot.
        {"Movie_A1B2C3D4E5F6.AVF", false, false, "", "", "", ""},
        {"Movie_#001_A1B2C3D4E5F6XAVR", false, false, "", "", "", ""},
        {"Movie-#001_A1B2C3D4E5F6.AVR", false, true, "Movie-#001", "", "A1B2C3D4E5F6", ""},
        {"Movie_#001-A1B2C3D4E5F6.AVR", false, false, "", "", "", ""},
        {"Movie.AVR", false, false, "", "", "", ""},
        {"", false, false, "", "", "", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        RecordingPartName part;
        ASSERT_EQ(ParsePartName(r.name, &part), r.part);
        if (r.part) {
            EXPECT_EQ(part.title, r.title);
            EXPECT_EQ(part.part, r.number);
            EXPECT_EQ(part.stamp, r.stamp);
            EXPECT_EQ(part.extension, r.extension);
            EXPECT_EQ(MakePartName(part.title, part.part, part.stamp, part.extension), r.name);
        }
        std::string title = "?";
        std::string stamp = "?";
        ASSERT_EQ(ParseListedName(r.name, &title, &stamp), r.listed);
        EXPECT_EQ(title, r.listed ? r.title : "?");
        EXPECT_EQ(stamp, r.listed ? r.stamp : "?");
    }
}

TEST(RecordingNameGrammar, HasExtension) {
    EXPECT_TRUE(HasExtension("Movie.AVR", "AVR"));
    EXPECT_TRUE(HasExtension("movie.avr", "AVR"));
    EXPECT_TRUE(HasExtension(".avr", "AVR"));
    EXPECT_FALSE(HasExtension("MovieAVR", "AVR"));
    EXPECT_FALSE(HasExtension("AVR", "AVR"));
    EXPECT_FALSE(HasExtension("Movie.AVRX", "AVR"));
    EXPECT_FALSE(HasExtension("Movie.AV", "AVR"));
}
