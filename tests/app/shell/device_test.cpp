// The main window against a PVR served from a thread of the test.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "app/pvr/stbfilelistview.h"
#include "app/pvr/stbtreeview.h"
#include "app/res/resource.h"
#include "app/shell/mainfrm.h"
#include "platform/trace.h"
#include "support/pvrfixture.h"
#include "support/shellfixture.h"

namespace {

class ShellDevice : public PvrTest {
protected:
    void SetUp() override {
        PvrTest::SetUp();
        m_env = std::make_unique<ShellEnvironment>(m_socket);
        platform::SetTraceSink([this](std::string_view text) {
            std::lock_guard lock(m_traceMutex);
            m_trace += text;
        });
    }
    void TearDown() override {
        platform::SetTraceSink(nullptr);
        m_env.reset();
        PvrTest::TearDown();
    }

    // Builds the frame and records every status text it shows from then on.
    void MakeFrame() {
        m_env->MakeFrame();
        Frame().SetStatusObserver([this](const std::string& text) { m_statuses.push_back(text); });
    }
    // The first status text shown that contains the fragment ("" when none came).
    std::string WaitForStatus(const std::string& fragment) {
        std::string found;
        platform::WaitProcessingMessages(
            [&] {
                for (const std::string& text : m_statuses) {
                    if (text.find(fragment) != std::string::npos) {
                        found = text;
                        return true;
                    }
                }
                return false;
            },
            5000);
        return found;
    }
    CMainFrame& Frame() { return m_env->Frame(); }
    std::string Trace() {
        std::lock_guard lock(m_traceMutex);
        return m_trace;
    }

    std::unique_ptr<ShellEnvironment> m_env;
    std::mutex m_traceMutex;
    std::string m_trace;
    std::vector<std::string> m_statuses;
};

TEST_F(ShellDevice, HighSpeedPvrIsAnnouncedAndHandedToThePvrTree) {
    StartPvr();
    MakeFrame();
    EXPECT_EQ(WaitForStatus("attached"), "TX-PVR 100 has been attached by High speeded USB");
    EXPECT_EQ(Frame().GetSTBTreeView()->GetRootLabel(), "TX-PVR 100 / Tavrix");
    std::string folder;
    EXPECT_TRUE(Frame().GetSTBTreeView()->GetCurrentFolder(folder));
    EXPECT_EQ(folder, "C:\\PVR\\");
    EXPECT_NE(Frame().GetDeviceDescriptor().speed, 0u);
    EXPECT_TRUE(MessageBoxes(m_env->User()).empty());

    const std::string trace = Trace();
    EXPECT_NE(trace.find("CMainFrame::OnDeviceArrival\r\n"), std::string::npos) << trace;
    for (const char* line :
         {"product_name ; TX-PVR 100\r\n", "oem_name     ; Tavrix\r\n", "stb_version  ; 105\r\n",
          "USB version  ; 1010000\r\n", "usb speed    ; High Speed(480MHz)\r\n"}) {
        EXPECT_NE(trace.find("mainfrm.cpp, "), std::string::npos);
        EXPECT_NE(trace.find(line), std::string::npos) << line;
    }

    // With a PVR there, the information command passes its presence check.
    Frame().OnCommand(ID_PVR_INFORMATION);
    EXPECT_TRUE(MessageBoxes(m_env->User()).empty());
}

TEST_F(ShellDevice, FullSpeedPvr) {
    StartPvr([](pvrd::PvrOptions& o) {
        o.highSpeed = false;
        o.product = "SlowBox";
    });
    MakeFrame();
    EXPECT_EQ(WaitForStatus("attached"), "SlowBox has been attached by Full speeded USB");
    EXPECT_EQ(Frame().GetDeviceDescriptor().speed, 0u);
    EXPECT_NE(Trace().find("usb speed    ; Full Speed(12MHz)\r\n"), std::string::npos);
}

TEST_F(ShellDevice, IncompatibleVersionIsRefusedAndTheTreeNotTold) {
    StartPvr([](pvrd::PvrOptions& o) { o.usbVersion = 0x01000000; });
    MakeFrame();
    EXPECT_EQ(WaitForStatus("attached"), "TX-PVR 100 has been attached by High speeded USB");
    const auto boxes = MessageBoxes(m_env->User());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Incompatible PVR unit has been detected.!");
    EXPECT_EQ(boxes[0].caption, "Tavrix");
    EXPECT_EQ(boxes[0].type, static_cast<unsigned>(MB_OK));
    std::string folder;
    EXPECT_FALSE(Frame().GetSTBTreeView()->GetCurrentFolder(folder));
    EXPECT_EQ(Frame().GetSTBTreeView()->GetRootLabel(), "");
    EXPECT_EQ(Frame().GetDeviceDescriptor().usbVersion, 0x01000000u) << "kept all the same";
}

TEST_F(ShellDevice, RemovalEmptiesThePvrPanes) {
    StartPvr();
    MakeFrame();
    ASSERT_NE(WaitForStatus("attached"), "");
    StbFindData entry{};
    std::strcpy(entry.name, "News_200503211830.AVR");
    entry.kind = STB_ENTRY_FILE;
    entry.size = 4096;
    Frame().GetSTBFileListView()->FillList("C:\\PVR\\AV\\", 1, &entry);
    ASSERT_EQ(Frame().GetSTBFileListView()->GetItemCount(), 1);

    StopPvr();
    EXPECT_EQ(WaitForStatus("removed"), "TX-PVR 100 has been removed...");
    EXPECT_EQ(Frame().GetSTBFileListView()->GetItemCount(), 0);
    std::string folder;
    EXPECT_FALSE(Frame().GetSTBTreeView()->GetCurrentFolder(folder));
    EXPECT_NE(Trace().find("CMainFrame::OnDeviceRemoved\r\n"), std::string::npos);
    // The descriptor outlives the removal.
    EXPECT_STREQ(Frame().GetDeviceDescriptor().productName, "TX-PVR 100");
}

TEST_F(ShellDevice, RemovalBeforeAnyArrivalNamesNoProduct) {
    m_env->MakeFrame();
    SendMessage(Frame().GetSafeHwnd(), TAVRIX_WM_REMOVAL, 0, 0);
    EXPECT_EQ(Frame().GetStatusText(), " has been removed...");
}

}  // namespace
