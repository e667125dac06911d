// The main window with its PVR panes against a PVR served from a thread of the
// test, with the process on the manual clock, so every listing's polls happen
// exactly when the test moves time on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/pvr/stbfilelistview.h"
#include "app/pvr/stbtreeview.h"
#include "app/shell/mainfrm.h"
#include "platform/clock.h"
#include "support/pauseclock.h"
#include "support/pvrfixture.h"
#include "support/shellfixture.h"

// What one listing did, from its start to its end.
struct ListingRun {
    std::vector<std::uint64_t> pollTimes;  // ms after the start, one per TAVRIX_FindNext
    std::vector<std::string> statuses;     // the status text after each poll
    std::vector<std::string> dialogLines;  // the wait notice's line after each poll
    std::int64_t endDelay = -1;            // timer 101 after the last poll
    bool pollTimerLeft = false;            // timer 100 still set at the end
};

class PvrBrowserTest : public PvrTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the PVR and the main window; returns once the arrival's listing
    // has started (nothing polled yet).
    void StartBrowser(const std::function<void(pvrd::PvrOptions&)>& tweak = nullptr);
    // Moves the clock on until the listing in progress has ended.
    ListingRun FinishListing();
    // Moves the clock on to each of the next count polls, no further.
    void FinishPolls(int count);
    // Selects the folder's item and runs the listing that follows.
    ListingRun ListFolder(const std::string& path);

    CMainFrame& Frame() { return m_env->Frame(); }
    CSTBTreeView& Tree() { return *Frame().GetSTBTreeView(); }
    CSTBFileListView& Files() { return *Frame().GetSTBFileListView(); }
    HTREEITEM Item(const std::string& path) { return Tree().GetTreeCtrl()->FindItemByPath(path); }
    std::vector<std::string> ChildLabels(const std::string& path);
    // "name|KB column|row size" per row.
    std::vector<std::string> Rows();
    std::string DialogLine();
    bool DialogVisible();
    std::string Trace();
    void MakeHostFolder(const std::string& relative);

    CPauseClock m_clock;
    std::unique_ptr<ShellEnvironment> m_env;
    // Device calls as the panes made them.
    int m_findFileCalls = 0;
    int m_findCloseCalls = 0;
    int m_fcntlCalls = 0;
    std::uint64_t m_listingStart = 0;
    std::vector<std::uint64_t> m_pollTimes;
    // Refuses every TAVRIX_FindFile when set.
    bool m_refuseFindFile = false;
    // What TAVRIX_DevicePresent answers, while the PVR is in fact there.
    bool m_devicePresent = true;
    // Changes what a TAVRIX_FindNext answered (its result and the disk record).
    std::function<void(int& result, StbDiskSpace* space)> m_bendFindNext;

private:
    void InstallDeviceCalls();
    std::mutex m_traceMutex;
    std::string m_trace;
};
