// A private C: (and a removable D:) in a fresh temp folder for one test, so tests
// running in parallel never share files and never reach the host's real root.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/pcfs.h"

class PrivateDrives {
public:
    PrivateDrives() {
        char tmpl[] = "/tmp/tavrix-drive-XXXXXX";
        const char* made = mkdtemp(tmpl);
        m_base = made != nullptr ? made : "";
        std::filesystem::create_directories(m_base + "/c");
        std::filesystem::create_directories(m_base + "/d");
        const std::string driveText = "C=" + m_base + "/c,D:removable=" + m_base + "/d";
        setenv("TAVRIX_DRIVES", driveText.c_str(), 1);
        platform::ReloadDriveTable();
    }
    ~PrivateDrives() {
        unsetenv("TAVRIX_DRIVES");
        platform::ReloadDriveTable();
        std::error_code ec;
        std::filesystem::remove_all(m_base, ec);
    }
    PrivateDrives(const PrivateDrives&) = delete;
    PrivateDrives& operator=(const PrivateDrives&) = delete;

    const std::string& Base() const { return m_base; }
    std::string C() const { return m_base + "/c"; }
    std::string D() const { return m_base + "/d"; }

    // Writes a host file under C: ("Movies/a.avr").
    void MakeFile(const std::string& relative, const std::string& content) const {
        const std::filesystem::path p = C() + "/" + relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }
    void MakeFolder(const std::string& relative) const {
        std::filesystem::create_directories(C() + "/" + relative);
    }

private:
    std::string m_base;
};
