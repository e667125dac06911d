// The device CLI as users script it: outputs and exit status.
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "scriptedpvr.h"
#include "support/pvrfixture.h"

namespace {

class CliTest : public PvrTest {
protected:
    // Runs tavrix-pvr with args (each single-quoted); returns its exit status.
    int Run(const std::vector<std::string>& args, std::string* out = nullptr) {
        // The firmware's pauses are the transfer engine's own, tested on manual time.
        std::string command =
            std::string("'") + TAVRIX_PVR_CLI + "' --no-pauses --socket '" + m_socket + "'";
        for (const std::string& arg : args) {
            command += " '" + arg + "'";
        }
        const std::filesystem::path output = m_dir / "cli.out";
        command += " >'" + output.string() + "' 2>&1";
        const int status = std::system(command.c_str());
        if (out != nullptr) {
            std::ifstream in(output);
            *out =
                std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(CliTest, CommandsAndExitStatus) {
    std::string out;
    EXPECT_EQ(Run({"info"}, &out), 1) << "no PVR yet";
    EXPECT_NE(out.find("no PVR is attached"), std::string::npos) << out;

    PutHost("AV/Show_#001_200601010000.AVR", "AAAA");
    PutHost("AV/Show_#002_200601010000.AVR", "BB");
    StartPvr([](pvrd::PvrOptions& o) {
        o.stbVersion = 0x0207;
        o.highSpeed = false;
        o.busy = 2;
    });
    EXPECT_EQ(Run({"info"}, &out), 0);
    EXPECT_NE(
        out.find("product:  TX-PVR 100\noem:      Tavrix\nsoftware: 2.07\nusb:      0x01010000\n"
                 "speed:    full (12 MHz)\nfree:     "),
        std::string::npos)
        << out;

    EXPECT_EQ(Run({"ls", "C:\\PVR\\AV"}, &out), 0);
    EXPECT_NE(out.find("-            4 "), std::string::npos) << out;
    EXPECT_NE(out.find(" Show_#002_200601010000.AVR\n"), std::string::npos) << out;

    const std::string local = (m_dir / "show.avr").string();
    EXPECT_EQ(Run({"get", "C:\\PVR\\AV\\Show_200601010000.AVR", local}), 0);
    EXPECT_EQ(std::ifstream(local).rdbuf() != nullptr, true);
    std::ifstream got(local, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(got), std::istreambuf_iterator<char>()),
              "AAAABB");

    std::ofstream(m_dir / "up.bin", std::ios::binary) << Bytes(5000);
    EXPECT_EQ(Run({"put", (m_dir / "up.bin").string(), "C:\\PVR\\MP3\\up.bin"}), 0);
    EXPECT_EQ(GetHost("MP3/up.bin"), Bytes(5000));

    EXPECT_EQ(Run({"mkdir", "C:\\PVR\\AV\\New"}), 0);
    EXPECT_EQ(Run({"mv", "C:\\PVR\\AV\\New", "C:\\PVR\\AV\\Old"}), 0);
    EXPECT_EQ(Run({"rmdir", "C:\\PVR\\AV\\Old"}), 0);
    EXPECT_EQ(Run({"rm", "C:\\PVR\\MP3\\up.bin"}), 0);
    EXPECT_FALSE(ExistsHost("MP3/up.bin"));

    EXPECT_EQ(Run({"rm", "C:\\PVR\\MP3\\up.bin"}, &out), 1);
    EXPECT_EQ(out, "tavrix-pvr: rm C:\\PVR\\MP3\\up.bin failed\n");
    EXPECT_EQ(Run({"get", "C:\\PVR\\AV\\none.ts", local}), 1);
    EXPECT_EQ(Run({"ls", "C:\\PVR\\None"}, &out), 1);
    EXPECT_EQ(out, "tavrix-pvr: ls: cannot list C:\\PVR\\None\n");
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_EQ(Run({"ls"}), 2);
    EXPECT_EQ(Run({"ls", "C:\\PVR", "--resume"}), 2);
    EXPECT_EQ(Run({}, &out), 2);
    // The usage text comes from the command table.
    EXPECT_NE(out.find("usage: tavrix-pvr [--socket PATH] [--no-pauses] COMMAND\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\n  get PVRPATH LOCALFILE [--resume]  copy"), std::string::npos) << out;
    EXPECT_NE(out.find("\n  mv OLDPATH NEWPATH  "), std::string::npos) << out;
}

TEST_F(CliTest, InfoShowsTheLastSoftwareImageReceived) {
    StartAndAttach();
    std::string out;
    EXPECT_EQ(Run({"info"}, &out), 0);
    EXPECT_NE(out.find("\ntotal:    "), std::string::npos) << out;
    EXPECT_NE(out.find(" bytes\nimage:    none received\n"), std::string::npos) << out;

    ASSERT_TRUE(Upload("C:\\PVR\\Firmware\\db.mem", Bytes(5000), 0, TRANSFER_KIND_DATABASE));
    EXPECT_EQ(Run({"info"}, &out), 0);
    EXPECT_NE(out.find("\nimage:    database (kind 2), 5000 bytes, db.mem\n"), std::string::npos)
        << out;

    // A record that cannot be trusted is named as such; the rest of info stands.
    PutHost("Firmware/LASTIMG.TXT", "kind=9\nsize=1\nname=x\n");
    EXPECT_EQ(Run({"info"}, &out), 0);
    EXPECT_NE(out.find("\nimage:    unknown (C:\\PVR\\Firmware\\LASTIMG.TXT is not a sound "
                       "record)\n"),
              std::string::npos)
        << out;
}

TEST_F(CliTest, ResumeContinuesBothWays) {
    const std::string data = Bytes(3 << 20, 11);
    PutHost("AV/clip.ts", data);
    StartPvr();
    const std::filesystem::path local = m_dir / "clip.ts";
    std::ofstream(local, std::ios::binary) << data.substr(0, 1234567);
    EXPECT_EQ(Run({"get", "C:\\PVR\\AV\\clip.ts", local.string(), "--resume"}), 0);
    std::ifstream in(local, std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) ==
                data);

    PutHost("MP3/clip.ts", data.substr(0, 2000000));
    EXPECT_EQ(Run({"put", local.string(), "C:\\PVR\\MP3\\clip.ts", "--resume"}), 0);
    EXPECT_TRUE(GetHost("MP3/clip.ts") == data);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A resume that cannot be right, or a stream the PVR refuses, changes nothing
// on either side and says why.
TEST_F(CliTest, TransfersThatCannotBeRightChangeNothing) {
    PutHost("AV/clip.ts", Bytes(1000, 1));
    PutHost("AV/small.ts", Bytes(100, 2));
    StartPvr();
    const std::filesystem::path local = m_dir / "clip.ts";
    std::ofstream(local, std::ios::binary) << Bytes(1500, 3);
    std::string out;
    EXPECT_EQ(Run({"get", "C:\\PVR\\AV\\clip.ts", local.string(), "--resume"}, &out), 1);
    EXPECT_EQ(out, "tavrix-pvr: get: " + local.string() +
                       " is larger than C:\\PVR\\AV\\clip.ts; it cannot be a part of it, so "
                       "nothing was changed\n");
    EXPECT_TRUE(ReadFile(local) == Bytes(1500, 3));

    EXPECT_EQ(Run({"put", (m_dir / "clip.ts").string(), "C:\\PVR\\AV\\clip.ts", "--resume"}), 0)
        << "1500 bytes over 1000: the last 500 go";
    EXPECT_TRUE(GetHost("AV/clip.ts") == Bytes(1000, 1) + Bytes(1500, 3).substr(1000))
        << "resumed from byte 1000";
    std::ofstream(m_dir / "tiny.ts", std::ios::binary) << Bytes(10, 4);
    EXPECT_EQ(Run({"put", (m_dir / "tiny.ts").string(), "C:\\PVR\\AV\\small.ts", "--resume"}, &out),
              1);
    EXPECT_NE(out.find("C:\\PVR\\AV\\small.ts is larger than"), std::string::npos) << out;
    EXPECT_TRUE(GetHost("AV/small.ts") == Bytes(100, 2));

    // Equal sizes: nothing left to resume, and that is no failure.
    std::ofstream(m_dir / "same.ts", std::ios::binary) << Bytes(100, 2);
    EXPECT_EQ(Run({"get", "C:\\PVR\\AV\\small.ts", (m_dir / "same.ts").string(), "--resume"}, &out),
              0);
    EXPECT_NE(out.find("nothing to do"), std::string::npos) << out;
}

TEST_F(CliTest, ARefusedStreamLeavesTheOldCopy) {
    PutHost("AV/clip.ts", Bytes(3000, 1));
    StartPvr([](pvrd::PvrOptions& o) { o.refuseStream = true; });
    const std::filesystem::path local = m_dir / "clip.ts";
    std::ofstream(local, std::ios::binary) << Bytes(2000, 9);
    std::string out;
    EXPECT_EQ(Run({"get", "C:\\PVR\\AV\\clip.ts", local.string()}, &out), 1);
    EXPECT_EQ(out, "tavrix-pvr: get: the PVR refused the stream of C:\\PVR\\AV\\clip.ts\n");
    EXPECT_TRUE(ReadFile(local) == Bytes(2000, 9));
    // No scratch file is left beside it.
    for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
        EXPECT_EQ(entry.path().filename().string().find(".download"), std::string::npos);
    }
}

// Names the device gives can carry escapes that would rewrite the terminal.
TEST_F(CliTest, DeviceTextReachesTheTerminalEscaped) {
    const auto bend = [](const wire::Header& request, const std::string&,
                         CScriptedPvr::Answer* answer) {
        const auto code = static_cast<wire::Code>(request.code);
        if (code == wire::Code::Hello || code == wire::Code::GetDescriptor) {
            std::memcpy(answer->payload.data(), "PVR\x1b]0;pwned\x07", 14);
        }
        if (code == wire::Code::FindNext && answer->header.status == 2) {
            std::memcpy(answer->payload.data() + 16,
                        "bell\x07"
                        "and\x1b[2Jclear",
                        18);
            std::memcpy(answer->payload.data() + 16 + 144, "two\nlines\r", 11);
        }
    };
    std::string out;
    {
        CScriptedPvr pvr(m_socket, bend);
        ASSERT_TRUE(pvr.Start());
        EXPECT_EQ(Run({"ls", "C:\\PVR\\AV"}, &out), 0);
    }
    EXPECT_NE(out.find(" bell\\x07and\\x1b[2Jclear\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" two\\nlines\\r\n"), std::string::npos) << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    {
        CScriptedPvr pvr(m_socket, bend);
        ASSERT_TRUE(pvr.Start());
        EXPECT_EQ(Run({"info"}, &out), 0);
    }
    EXPECT_NE(out.find("product:  PVR\\x1b]0;pwned\\x07\n"), std::string::npos) << out;
    EXPECT_EQ(out.find('\x07'), std::string::npos);
}

}  // namespace
