#include "app/dialogs/upgradesoftwaredlg.h"

#include <cstdio>

#include "app/res/resources.h"
#include "app/shell/tavrixapp.h"
#include "core/names.h"
#include "transfer/batchbuilder.h"

CUpgradeSoftwareDlg::CUpgradeSoftwareDlg(QWidget* parent) : CDialog(res::UpgradeDialog(), parent) {}

std::string CUpgradeSoftwareDlg::FormatVersion(std::uint16_t version) {
    char text[16];
    std::snprintf(text, sizeof text, "%2x.%02x", static_cast<unsigned>(version >> 8),
                  static_cast<unsigned>(version & 0xFF));
    return text;
}

bool CUpgradeSoftwareDlg::OnInitDialog() {
    // The names come from the device and need not be terminated.
    platform::SetDlgItemText(this, IDC_UPGRADE_PRODUCT,
                             std::string(FieldText(m_descriptor.oemName)) + "/" +
                                 std::string(FieldText(m_descriptor.productName)));
    platform::SetDlgItemText(this, IDC_UPGRADE_PLATFORM, "All");
    platform::SetDlgItemText(this, IDC_UPGRADE_SW_VERSION, FormatVersion(m_descriptor.stbVersion));
    platform::CheckRadioButton(this, IDC_UPGRADE_BOOT_LOADER, IDC_UPGRADE_DATABASE,
                               IDC_UPGRADE_FIRMWARE);
    return true;
}

void CUpgradeSoftwareDlg::OnCommand(int id) {
    switch (id) {
        case IDC_UPGRADE_BROWSE:
            OnBrowse();
            return;
        case IDC_UPGRADE_START:
            OnStart();
            return;
        case IDC_UPGRADE_EXIT:
            EndDialog(IDCANCEL);
            return;
        default:
            CDialog::OnCommand(id);
    }
}

void CUpgradeSoftwareDlg::OnBrowse() {
    // A boot loader is the one image a PVR cannot recover from: choosing a file
    // asks for that choice again.
    platform::CheckDlgButton(this, IDC_UPGRADE_BOOT_LOADER, false);
    platform::FileDialogRequest request;
    request.title = "Open";
    request.defaultExtension = "mem";
    if (const auto path = platform::TheUser().GetOpenFileName(nullptr, request)) {
        platform::SetDlgItemText(this, IDC_UPGRADE_PATH, *path);
    }
}

int CUpgradeSoftwareDlg::SelectedKind() const {
    if (platform::IsDlgButtonChecked(this, IDC_UPGRADE_FIRMWARE)) {
        return TRANSFER_KIND_FIRMWARE;
    }
    if (platform::IsDlgButtonChecked(this, IDC_UPGRADE_BOOT_LOADER)) {
        return TRANSFER_KIND_BOOT_LOADER;
    }
    if (platform::IsDlgButtonChecked(this, IDC_UPGRADE_DATABASE)) {
        return TRANSFER_KIND_DATABASE;
    }
    return kNoKind;
}

void CUpgradeSoftwareDlg::OnStart() {
    const std::string path = platform::GetDlgItemText(this, IDC_UPGRADE_PATH);
    const int kind = SelectedKind();
    std::int64_t size = 0;
    const UpgradeImage check =
        kind == kNoKind ? UpgradeImage::NoKind : CheckUpgradeImage(path, &size);
    if (check != UpgradeImage::Ready) {
        AppMessageBox(nullptr, UpgradeImageText(check, path), MB_ICONSTOP);
        return;
    }
    m_imagePath = path;
    m_imageKind = kind;
    EndDialog(IDOK);
}
