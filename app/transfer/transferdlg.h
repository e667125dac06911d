// The "Transferring...." window: names, byte counts, a percentage bar, elapsed
// and remaining time of the file a transfer worker is moving, and a line with
// the whole batch's figures. Its Cancel stops the batch; the worker's end
// message closes it and is passed on to the main window.
//
// The object lives on from the first transfer; each batch gets a new window,
// and with it a new handle, so late messages of an earlier batch are dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/message.h"
#include "platform/templates.h"

class CEnhProgressCtrl;
class CSharedProgress;

class CTransferDlg : public platform::CDialog {
public:
    static constexpr UINT_PTR kTimerId = 777;

    // stop: what Cancel calls; it returns once the worker has stopped.
    explicit CTransferDlg(std::function<void()> stop, QWidget* parent = nullptr);
    ~CTransferDlg() override;
    CTransferDlg(const CTransferDlg&) = delete;
    CTransferDlg& operator=(const CTransferDlg&) = delete;

    // The current window's handle; null while there is no window.
    HWND GetSafeHwnd() const;
    // Stops the timer, removes the bar and the controls and gives the handle up.
    void DestroyWindow();

    // The window's message map: the worker's messages (lParam: the shared
    // progress record) and the timer.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    int RemainingSeconds() const { return m_remainingSeconds; }
    CEnhProgressCtrl* GetProgressBar() const { return m_bar; }
    // "%02d:%02d:%02d" of a count of seconds.
    static std::string FormatDuration(std::int64_t seconds);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnCancel() override;
    void showEvent(QShowEvent* event) override;

private:
    void OnFileStart(WPARAM wParam, const CSharedProgress& shared);
    void OnProgressUpdate(const CSharedProgress& shared);
    void OnBatchEnd(UINT message);
    void OnTimer();
    void ShowBatchFigures();
    static std::int64_t NowSeconds();

    std::function<void()> m_stop;
    int m_remainingSeconds = 0;
    std::int64_t m_startTime = 0;  // seconds; 0 before the first file
    CEnhProgressCtrl* m_bar = nullptr;
    std::unique_ptr<CWindowHandle> m_handle;
    // Handles given up inside their own handler, freed with the next window.
    std::vector<std::unique_ptr<CWindowHandle>> m_closedHandles;
    // The batch line: the last record seen, and when the batch's first file started.
    const CSharedProgress* m_shared = nullptr;
    std::int64_t m_batchStart = 0;
};
