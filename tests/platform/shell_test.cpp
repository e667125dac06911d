#include "platform/shell.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/privatedrive.h"

using namespace platform;

TEST(Shell, FindsTheProgramOrTypeOfAFile) {
    PrivateDrives drives;
    drives.MakeFile("Docs/notes.txt", "plain words\n");
    drives.MakeFile("Docs/blob.zzq", std::string("\x00\x01\x02\x03\xff\xfe", 6));

    const auto text = FindExecutable(R"(C:\Docs\notes.txt)");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->mimeType, "text/plain");
    EXPECT_FALSE(text->name.empty());
    EXPECT_FALSE(ExtractIcon(*text).isNull());

    // Bytes of no known type: only a program the desktop names for any file claims them.
    const auto blob = FindExecutable(R"(C:\Docs\blob.zzq)");
    if (blob.has_value()) {
        EXPECT_FALSE(blob->desktopId.empty());
    }
    EXPECT_FALSE(FindExecutable(R"(C:\Docs\missing.txt)").has_value());
    EXPECT_FALSE(FindExecutable(R"(C:\Docs)").has_value());
    EXPECT_FALSE(FindExecutable(R"(C:\..\x.txt)").has_value());

    // An unknown program still gets an icon to show.
    EXPECT_FALSE(ExtractIcon(AssociatedProgram{}).isNull());
}

TEST(Shell, ExecLinesTakeTheFile) {
    const std::string f = "/c/My Movies/a.AVR";
    struct Row {
        const char* exec;
        std::vector<std::string> args;
    };
    const Row rows[] = {
        {"player %U", {"player", f}},
        {"player --new", {"player", "--new", f}},
        {R"("/opt/My App/run" %f --flag)", {"/opt/My App/run", f, "--flag"}},
        {"app %i %c %k %f", {"app", f}},
        {"app --rate=100%% %F", {"app", "--rate=100%", f}},
        {"app --file=%f", {"app", "--file=" + f}},
        {"", {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.exec);
        EXPECT_EQ(ExpandExecLine(r.exec, f), r.args);
    }
}

TEST(Shell, StartsAProgramInAFolder) {
    PrivateDrives drives;
    drives.MakeFolder("Work");
    ASSERT_TRUE(StartProgram("sh", {"-c", "pwd > out.tmp && mv out.tmp out.txt"}, R"(C:\Work)"));
    const std::string out = drives.C() + "/Work/out.txt";
    // The program runs on its own; wait (boundedly) for its mark.
    for (int i = 0; i < 200 && !std::filesystem::exists(out); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, drives.C() + "/Work");

    EXPECT_FALSE(StartProgram("sh", {}, R"(C:\..\Work)"));
    EXPECT_FALSE(StartProgram(R"(Q:\nothing.exe)", {}, ""));
}
