// The device CLI as users script it: outputs and exit status.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "support/pvrfixture.h"

namespace {

class CliTest : public PvrTest {
protected:
    // Runs tavrix-pvr with args (each single-quoted); returns its exit status.
    int Run(const std::vector<std::string>& args, std::string* out = nullptr) {
        std::string command = std::string("'") + TAVRIX_PVR_CLI + "' --socket '" + m_socket + "'";
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
    EXPECT_NE(out.find("usage: tavrix-pvr [--socket PATH] COMMAND\n"), std::string::npos) << out;
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

}  // namespace
