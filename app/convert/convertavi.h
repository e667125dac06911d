// The modal "AVR --> AVI" dialog: the user names a PVR recording and a target
// file, starts and stops the conversion and watches it go. The conversion runs
// on the process-wide conversion's worker, which reports by sent messages.
//
// While converting, Start reads Stop and the way out (Exit, Escape) is closed,
// so the dialog never goes away under a running conversion.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/xstring.h"
#include "platform/message.h"
#include "platform/templates.h"

class CEnhProgressCtrl;

class CConvertAVI : public platform::CDialog, public CMessageTarget {
public:
    static constexpr UINT_PTR kTimerId = 200;
    static constexpr std::uint32_t kTimerPeriod = 1000;

    explicit CConvertAVI(QWidget* parent = nullptr);
    ~CConvertAVI() override;
    CConvertAVI(const CConvertAVI&) = delete;
    CConvertAVI& operator=(const CConvertAVI&) = delete;

    // Shows the two paths in the dialog's fields (empty ones as empty fields)
    // and runs it modally; the dialog's result.
    int DoModalWithPaths(const std::string& sourcePath, const std::string& targetPath);

    // Called after each conversion that ended with something written (it
    // completed or was stopped), before the user is told.
    void SetConversionEndObserver(std::function<void()> observer) {
        m_onConversionEnd = std::move(observer);
    }

    // The worker's messages and the timer.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    bool IsConverting() const { return m_converting; }
    std::int64_t GetTotalBytes() const { return m_totalBytes; }
    CEnhProgressCtrl* GetProgressBar() const { return m_progressBar; }

    // "1,234,567 Bytes".
    static std::string ByteCountText(std::int64_t count);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnCancel() override;

private:
    void OnOpen();
    void OnSave();
    void OnStartStop();
    void OnStart();
    void OnStop();
    void OnTimer();
    void OnConvertTotal(WPARAM wParam, LPARAM lParam);
    void OnConvertDone();
    void OnConvertFailed();
    // The buttons of the idle or the converting state.
    void ShowConverting(bool converting);
    // Counts, percentage and bar as the conversion has them now.
    void ShowProgress(std::int64_t converted, int percent);

    std::int64_t m_totalBytes = 0;
    XString m_targetPath;
    XString m_sourcePath;
    CEnhProgressCtrl* m_progressBar = nullptr;  // a child of the dialog once created
    bool m_converting = false;
    std::function<void()> m_onConversionEnd;
};
