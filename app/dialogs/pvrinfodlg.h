// "PVR informations": what the attached PVR reported about itself on arrival
// (model, company, software version, USB speed) and its disk as the last
// listing found it, with a bar of the used space. It changes nothing.
#pragma once

#include <cstdint>
#include <string>

#include "app/controls/enhprogressctrl.h"
#include "device/tavrixapi.h"
#include "platform/templates.h"

class CPVRInfoDlg : public platform::CDialog {
public:
    explicit CPVRInfoDlg(QWidget* parent = nullptr);

    // Set before the run.
    void SetDeviceDescriptor(const DeviceDescriptor& descriptor) { m_descriptor = descriptor; }
    void SetDiskSpace(std::int64_t freeBytes, std::int64_t totalBytes) {
        m_freeBytes = freeBytes;
        m_totalBytes = totalBytes;
    }

    // The used-space bar, over the placeholder once the dialog is initialised.
    CEnhProgressCtrl& GetUsedBar() { return m_usedBar; }

    // The software version word: major (high byte) "." minor (low byte), both
    // in decimal, so 0x0105 reads 1.5.
    static std::string FormatVersion(std::uint16_t version);
    // "1,234,567 Bytes".
    static std::string FormatBytes(std::int64_t bytes);

protected:
    bool OnInitDialog() override;

private:
    CEnhProgressCtrl m_usedBar;
    std::int64_t m_totalBytes = 0;
    std::int64_t m_freeBytes = 0;
    DeviceDescriptor m_descriptor{};
};
