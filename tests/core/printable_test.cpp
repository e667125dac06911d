#include <gtest/gtest.h>

#include <string>

#include "core/printable.h"

TEST(EscapeUnprintable, ControlsBreaksAndOverridesBecomeEscapes) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"Plain name.AVR", "Plain name.AVR"},
        {"C:\\PVR\\AV", "C:\\PVR\\AV"},      // backslashes are not controls
        {"two\nlines\r", "two\\nlines\\r"},  // a row stays a row
        {"tab\there", "tab\\there"},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},  // terminal title, bell
        {"del\x7f", "del\\x7f"},
        {"c1 \xc2\x9b"
         "31m",
         "c1 \\u009b31m"},  // CSI as a C1 character
        {"Stra\xc3\x9f"
         "e Caf\xc3\xa9",
         "Stra\xc3\x9f"
         "e Caf\xc3\xa9"},  // letters stay
        {"rtl \xe2\x80\xae"
         "gpj.exe",
         "rtl \\u202egpj.exe"},  // a direction override
        {"sep\xe2\x80\xa8", "sep\\u2028"},
        {"bad \xff\xc3", "bad \\xff\\xc3"},          // not UTF-8: bytes as escapes
        {"over\xc0\xaflong", "over\\xc0\\xaflong"},  // an overlong "/"
        {std::string("nul\0in", 6), "nul\\x00in"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeUnprintable(c.in), c.out) << c.in;
    }
    EXPECT_TRUE(IsUnprintable(0x85));
    EXPECT_TRUE(IsUnprintable(0x2067));
    EXPECT_FALSE(IsUnprintable(0xE9));
    EXPECT_FALSE(IsUnprintable(0x20));
}
