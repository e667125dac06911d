#include "support/browserfixture.h"

#include <filesystem>

#include "app/controls/listctrlx.h"
#include "app/shell/onrefreshdlg.h"
#include "platform/trace.h"

void PvrBrowserTest::SetUp() {
    PvrTest::SetUp();
    platform::SetClock(&m_clock);
    platform::SetTraceSink([this](std::string_view text) {
        std::lock_guard lock(m_traceMutex);
        m_trace += text;
    });
}

void PvrBrowserTest::TearDown() {
    m_env.reset();
    platform::SetTraceSink(nullptr);
    platform::SetClock(nullptr);
    PvrTest::TearDown();
}

void PvrBrowserTest::InstallDeviceCalls() {
    StbDeviceCalls calls;
    calls.findFile = [this](const char* pattern) {
        ++m_findFileCalls;
        m_listingStart = m_clock.Now();
        return m_refuseFindFile ? 0 : TAVRIX_FindFile(pattern);
    };
    calls.findNext = [this](int handle, int capacity, StbDiskSpace* space, StbFindData* entries) {
        m_pollTimes.push_back(m_clock.Now() - m_listingStart);
        int result = TAVRIX_FindNext(handle, capacity, space, entries);
        if (m_bendFindNext) {
            m_bendFindNext(result, space);
        }
        return result;
    };
    calls.findClose = [this](int handle) {
        ++m_findCloseCalls;
        TAVRIX_FindClose(handle);
    };
    calls.devicePresent = [this] { return m_devicePresent && TAVRIX_DevicePresent(); };
    calls.fcntl = [this](const FileControlBlock* fcb) {
        ++m_fcntlCalls;
        return TAVRIX_FCntl(fcb);
    };
    Tree().SetDeviceCalls(calls);
    Files().SetDeviceCalls(calls);
}

void PvrBrowserTest::StartBrowser(const std::function<void(pvrd::PvrOptions&)>& tweak) {
    StartPvr(tweak);
    m_env = std::make_unique<ShellEnvironment>(m_socket);
    m_env->MakeFrame();
    // The library posts the arrival; it is handled once messages are.
    InstallDeviceCalls();
    ASSERT_TRUE(platform::WaitProcessingMessages(
        [this] { return !Tree().GetRootLabel().empty() && Tree().IsBusy(); }, 5000));
    ASSERT_EQ(m_findFileCalls, 1);
}

ListingRun PvrBrowserTest::FinishListing() {
    ListingRun run;
    m_pollTimes.clear();
    const HWND view = Tree().GetSafeHwnd();
    for (int guard = 0; guard < 100; ++guard) {
        const std::int64_t poll = m_clock.TimerRemaining(view, CSTBTreeView::kPollTimer);
        const std::int64_t end = m_clock.TimerRemaining(view, CSTBTreeView::kEndTimer);
        if (poll >= 0) {
            m_clock.Advance(static_cast<std::uint32_t>(poll));
            run.statuses.push_back(Frame().GetStatusText());
            run.dialogLines.push_back(DialogLine());
            continue;
        }
        if (end >= 0) {
            run.endDelay = end;
            m_clock.Advance(static_cast<std::uint32_t>(end));
        }
        break;
    }
    run.pollTimes = m_pollTimes;
    run.pollTimerLeft = m_clock.TimerRemaining(view, CSTBTreeView::kPollTimer) >= 0;
    return run;
}

void PvrBrowserTest::FinishPolls(int count) {
    const HWND view = Tree().GetSafeHwnd();
    for (int i = 0; i < count; ++i) {
        const std::int64_t poll = m_clock.TimerRemaining(view, CSTBTreeView::kPollTimer);
        ASSERT_GE(poll, 0) << "poll " << i + 1 << " is not due";
        m_clock.Advance(static_cast<std::uint32_t>(poll));
    }
}

ListingRun PvrBrowserTest::ListFolder(const std::string& path) {
    HTREEITEM item = Item(path);
    EXPECT_NE(item, nullptr) << path;
    Tree().GetTreeCtrl()->SelectItem(item);
    EXPECT_TRUE(Tree().IsBusy()) << path << " was not listed";
    return FinishListing();
}

std::vector<std::string> PvrBrowserTest::ChildLabels(const std::string& path) {
    std::vector<std::string> labels;
    HTREEITEM item = Item(path);
    for (int i = 0; item != nullptr && i < item->childCount(); ++i) {
        labels.push_back(Tree().GetTreeCtrl()->GetItemText(item->child(i)));
    }
    return labels;
}

std::vector<std::string> PvrBrowserTest::Rows() {
    std::vector<std::string> rows;
    const CListCtrlX* list = Files().GetListCtrl();
    rows.reserve(static_cast<std::size_t>(list->GetItemCount()));
    for (int row = 0; row < list->GetItemCount(); ++row) {
        rows.push_back(list->GetItemText(row, 0) + "|" + list->GetItemText(row, 1) + "|" +
                       std::to_string(Files().GetRowSize(row)));
    }
    return rows;
}

std::string PvrBrowserTest::DialogLine() {
    return Frame().GetRefreshDialog()->GetText();
}

bool PvrBrowserTest::DialogVisible() {
    return Frame().GetRefreshDialog()->isVisible();
}

std::string PvrBrowserTest::Trace() {
    std::lock_guard lock(m_traceMutex);
    return m_trace;
}

void PvrBrowserTest::MakeHostFolder(const std::string& relative) {
    std::filesystem::create_directories(m_disk / relative);
}
