#include <gtest/gtest.h>

#include <string>

#include "core/xstring.h"

namespace {

struct Row {
    const char* input;
    std::string expected;
};

XString Make(const char* text) {
    XString s;
    s = text;
    return s;
}

}  // namespace

TEST(XString, GetBaseName) {
    const Row rows[] = {{"Movie.avr", "Movie"}, {"a.b.c", "a.b"}, {"noext", "noext"},
                        {".hidden", ""},        {"", ""},         {"C:\\a.b\\c", "C:\\a"}};
    for (const Row& r : rows) {
        EXPECT_EQ(Make(r.input).GetBaseName(), r.expected) << r.input;
    }
}

TEST(XString, GetExtension) {
    const Row rows[] = {
        {"Movie.avr", "avr"}, {"a.b.c", "c"}, {"name.", ""}, {"noext", ""}, {"", ""}};
    for (const Row& r : rows) {
        EXPECT_EQ(Make(r.input).GetExtension(), r.expected) << r.input;
    }
}

TEST(XString, GetFileName) {
    const Row rows[] = {
        {"C:\\PVR\\AV\\x.AVR", "x.AVR"}, {"C:\\PVR\\", ""}, {"x.AVR", "x.AVR"}, {"", ""}};
    for (const Row& r : rows) {
        EXPECT_EQ(Make(r.input).GetFileName(), r.expected) << r.input;
    }
}

TEST(XString, InsertThousandsCommas) {
    const Row rows[] = {
        {"999", "999"}, {"1000", "1,000"}, {"1234567", "1,234,567"},       {"123456", "123,456"},
        {"", ""},       {"1", "1"},        {"5368709120", "5,368,709,120"}};
    for (const Row& r : rows) {
        XString s = Make(r.input);
        s.InsertThousandsCommas();
        EXPECT_EQ(s.Text(), r.expected) << r.input;
    }
}

TEST(XString, WithThousandsCommasKeepsTheSignInFront) {
    EXPECT_EQ(WithThousandsCommas(0), "0");
    EXPECT_EQ(WithThousandsCommas(5368709120), "5,368,709,120");
    EXPECT_EQ(WithThousandsCommas(-123456), "-123,456");
    EXPECT_EQ(WithThousandsCommas(INT64_MIN), "-9,223,372,036,854,775,808");
}

TEST(XString, AssignmentYieldsTheTextAndNullIsEmpty) {
    XString s;
    EXPECT_EQ(s.Text(), "");
    const std::string& held = (s = "C:\\x.AVR");
    EXPECT_EQ(held, "C:\\x.AVR");
    s = nullptr;
    EXPECT_EQ(s.Text(), "");
}
