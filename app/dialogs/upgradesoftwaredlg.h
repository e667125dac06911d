// "Software Update": shows who the attached PVR is and lets the user name a
// software image and say what it is (firmware, boot loader or database). Start
// takes the path and the kind; the upgrade command sends the image.
//
// An image sent as the wrong kind can leave a PVR unusable, so Start refuses,
// with the dialog left open, while no kind is selected (Browse clears "Boot
// Loader") and while the path does not name one image file with bytes in it.
#pragma once

#include <cstdint>
#include <string>

#include "device/tavrixapi.h"
#include "platform/templates.h"

class CUpgradeSoftwareDlg : public platform::CDialog {
public:
    static constexpr int kNoKind = -1;

    explicit CUpgradeSoftwareDlg(QWidget* parent = nullptr);

    // Set before the run.
    void SetDeviceDescriptor(const DeviceDescriptor& descriptor) { m_descriptor = descriptor; }

    // What Start took: TRANSFER_KIND_FIRMWARE, _BOOT_LOADER or _DATABASE (kNoKind
    // before Start), and the path edit's text.
    int GetImageKind() const { return m_imageKind; }
    const std::string& GetImagePath() const { return m_imagePath; }

    // The software version word as "%2x.%02x": 0x0105 reads " 1.05".
    static std::string FormatVersion(std::uint16_t version);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    // Enter is Start, with Start's checks.
    void OnOK() override { OnStart(); }

private:
    void OnBrowse();
    void OnStart();
    // The kind of the selected radio button, or kNoKind.
    int SelectedKind() const;

    DeviceDescriptor m_descriptor{};
    int m_imageKind = kNoKind;
    std::string m_imagePath;
};
