#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/trace.h"

namespace {

class TraceCapture : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetTraceSink([this](std::string_view s) { m_text.append(s); });
    }
    void TearDown() override { platform::SetTraceSink(nullptr); }
    std::string m_text;
};

}  // namespace

TEST(SourceFileName, Table) {
    struct Row {
        const char* path;
        std::string expected;
    };
    const Row rows[] = {
        {"C:\\src\\Tavrix\\mainfrm.cpp", "mainfrm.cpp"},
        {"mainfrm.cpp", "mainfrm.cpp"},
        {"C:\\src\\", ""},
        {"/work/app/mainfrm.cpp", "/work/app/mainfrm.cpp"},
        {nullptr, ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(platform::SourceFileName(r.path), r.expected) << (r.path ? r.path : "null");
    }
}

TEST_F(TraceCapture, PlainLinesAreWrittenAsFormatted) {
    TRACE("FindFile %s\n", "C:\\Movies\\*.*");
    EXPECT_EQ(m_text, "FindFile C:\\Movies\\*.*\n");
}

TEST_F(TraceCapture, LocatedLinesPadShortNamesAndKeepLongOnes) {
    platform::TraceLocated("C:\\src\\mainfrm.cpp", 42, "selected = %s", "C:\\");
    platform::TraceLocated("C:\\src\\stbfilelistview.cpp", 1234, "Changed.");
    platform::TraceLocated("x.cpp", 7, "n=%d", 5);
    EXPECT_EQ(m_text,
              "  mainfrm.cpp,   42 : selected = C:\\\r\n"
              "stbfilelistview.cpp, 1234 : Changed.\r\n"
              "        x.cpp,    7 : n=5\r\n");
}

TEST_F(TraceCapture, LocatedMacroNamesThisFile) {
    const int line = __LINE__ + 1;
    TRACE_AT("value %d", 3);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%13s, %4d : ", "trace_test.cpp", line);
    EXPECT_EQ(m_text, std::string(prefix) + "value 3\r\n");
}

TEST(Trace, OffEvaluatesNothing) {
    unsetenv("TAVRIX_TRACE");
    platform::SetTraceSink(nullptr);
    int evaluated = 0;
    TRACE("%d\n", ++evaluated);
    TRACE_AT("%d", ++evaluated);
    EXPECT_EQ(evaluated, 0);
    EXPECT_FALSE(platform::g_traceOn.load());
}
