#include <array>
#include <cstdint>

#include "app/res/resources.h"

namespace res {

namespace {

using platform::ControlKind;
using platform::ControlTemplate;
namespace cs = platform::cs;
namespace ds = platform::ds;

// The notice over the main window while the PVR is being read.
constexpr std::array kOnRefreshControls{
    ControlTemplate(ControlKind::GroupBox, -1, "", 7, 3, 219, 40),
    ControlTemplate(ControlKind::Static, -1, "Now updating PVR files.....", 14, 13, 205, 10,
                    cs::Center),
    ControlTemplate(ControlKind::Static, IDC_REFRESH_STATUS, "", 14, 27, 205, 10, cs::Center),
};

constexpr platform::DialogTemplate kOnRefresh{IDD_ONREFRESH, "", "Arial",   10,
                                              233,           46, ds::Popup, kOnRefreshControls};

constexpr std::array kAboutControls{
    ControlTemplate(ControlKind::Icon, -1, "", 11, 14, 21, 20, 0, IDR_MAINFRAME),
    ControlTemplate(ControlKind::Static, -1, "Vexlo", 40, 10, 119, 10, cs::NoPrefix),
    ControlTemplate(ControlKind::Static, IDC_ABOUT_VERSION, "1.0.0", 40, 22, 119, 10, cs::NoPrefix),
    ControlTemplate(ControlKind::DefPushButton, IDOK, "OK", 178, 7, 50, 14, cs::Group),
    ControlTemplate(ControlKind::Static, -1,
                    "PC companion of the TX-PVR 100 video recorder\n"
                    "Support: https://www.tavrix.example/support",
                    40, 38, 188, 20, cs::NoPrefix | cs::Multiline),
};

constexpr platform::DialogTemplate kAbout{IDD_ABOUTBOX,
                                          "About Vexlo",
                                          "Arial",
                                          12,
                                          235,
                                          64,
                                          ds::Popup | ds::Caption | ds::SysMenu | ds::ModalFrame,
                                          kAboutControls};

// The transfer progress window: no system menu, so no close box.
constexpr std::array kTransferControls{
    ControlTemplate(ControlKind::Static, -1, "From", 7, 9, 26, 8),
    ControlTemplate(ControlKind::Static, IDC_TRANSFER_SOURCE, "", 36, 7, 225, 12,
                    cs::Sunken | cs::NoPrefix),
    ControlTemplate(ControlKind::Static, -1, "To", 7, 25, 26, 8),
    ControlTemplate(ControlKind::Static, IDC_TRANSFER_DESTINATION, "", 36, 23, 225, 12,
                    cs::Sunken | cs::NoPrefix),
    ControlTemplate(ControlKind::Static, -1, "Files", 7, 41, 26, 8),
    ControlTemplate(ControlKind::Static, IDC_TRANSFER_FILES, "10/10", 36, 39, 50, 12,
                    cs::Sunken | cs::Center),
    ControlTemplate(ControlKind::Static, IDC_TRANSFER_DONE, "1,000,000,000", 92, 39, 72, 12,
                    cs::Sunken | cs::Right),
    ControlTemplate(ControlKind::Static, IDC_TRANSFER_TOTAL, "1,000,000,000", 168, 39, 72, 12,
                    cs::Sunken | cs::Right),
    ControlTemplate(ControlKind::Static, -1, "Bytes", 244, 41, 22, 8),
    ControlTemplate(ControlKind::Static, IDC_TRANSFER_PLACEHOLDER,
                    "Progress control will be placed here", 7, 57, 254, 14),
    ControlTemplate(ControlKind::Static, -1, "Elapsed", 7, 79, 30, 8),
    ControlTemplate(ControlKind::Static, IDC_TRANSFER_ELAPSED, "", 40, 77, 70, 12,
                    cs::Sunken | cs::Center),
    ControlTemplate(ControlKind::Static, -1, "Remains", 130, 79, 30, 8),
    ControlTemplate(ControlKind::Static, IDC_TRANSFER_REMAINS, "", 163, 77, 70, 12,
                    cs::Sunken | cs::Center),
    ControlTemplate(ControlKind::Static, IDC_TRANSFER_STATUS, "Initializing....", 7, 95, 254, 12,
                    cs::Sunken),
    ControlTemplate(ControlKind::Static, IDC_TRANSFER_BATCH, "", 7, 111, 254, 10, cs::NoPrefix),
    ControlTemplate(ControlKind::PushButton, IDC_TRANSFER_CANCEL, "Cancel", 109, 126, 50, 14),
};

constexpr platform::DialogTemplate kTransfer{
    IDD_TRANSFER, "Transferring....",      "Arial",          11, 268,
    147,          ds::Popup | ds::Caption, kTransferControls};

// The overwrite/resume question. No button is the default one.
constexpr std::array kXferModeControls{
    ControlTemplate(ControlKind::Static, IDC_XFER_MESSAGE, "Static", 7, 7, 244, 30,
                    cs::NoPrefix | cs::Multiline),
    ControlTemplate(ControlKind::PushButton, IDC_XFER_OVERWRITE, "&Overwrite", 7, 44, 46, 14),
    ControlTemplate(ControlKind::PushButton, IDC_XFER_RESUME, "&Resume", 57, 44, 46, 14),
    ControlTemplate(ControlKind::PushButton, IDC_XFER_OVERWRITE_ALL, "O&verwrite All", 107, 44, 54,
                    14),
    ControlTemplate(ControlKind::PushButton, IDC_XFER_RESUME_ALL, "R&esume All", 165, 44, 46, 14),
    ControlTemplate(ControlKind::PushButton, IDC_XFER_CANCEL, "&Cancel", 215, 44, 36, 14),
};

constexpr platform::DialogTemplate kXferMode{IDD_XFERMODE,
                                             "Dialog",
                                             "Arial",
                                             10,
                                             258,
                                             65,
                                             ds::Popup | ds::Caption | ds::SysMenu | ds::ModalFrame,
                                             kXferModeControls};

constexpr std::uint32_t kModalStyle = ds::Popup | ds::Caption | ds::SysMenu | ds::ModalFrame;

// The name dialogs of the file commands.
constexpr std::array kNewFolderControls{
    ControlTemplate(ControlKind::Static, -1, "New folder", 7, 7, 166, 8),
    ControlTemplate(ControlKind::Edit, IDC_NEWFOLDER_NAME, "", 7, 18, 166, 13,
                    cs::Border | cs::AutoHScroll),
    ControlTemplate(ControlKind::DefPushButton, IDC_NAME_OK, "&OK", 66, 38, 50, 14, cs::Group),
    ControlTemplate(ControlKind::PushButton, IDC_NAME_CANCEL, "&Cancel", 123, 38, 50, 14),
};

constexpr platform::DialogTemplate kNewFolder{
    IDD_NEWFOLDER, "New Folder", "Arial", 10, 180, 59, kModalStyle, kNewFolderControls};

constexpr std::array kRenameControls{
    ControlTemplate(ControlKind::Static, -1, "Reassign a file or directory name", 7, 7, 166, 8),
    ControlTemplate(ControlKind::Edit, IDC_RENAME_NAME, "", 7, 18, 166, 13,
                    cs::Border | cs::AutoHScroll),
    ControlTemplate(ControlKind::DefPushButton, IDC_NAME_OK, "&OK", 66, 38, 50, 14, cs::Group),
    ControlTemplate(ControlKind::PushButton, IDC_NAME_CANCEL, "&Cancel", 123, 38, 50, 14),
};

constexpr platform::DialogTemplate kRename{IDD_RENAME, "Rename", "Arial",     10,
                                           180,        59,       kModalStyle, kRenameControls};

// What the PVR reported about itself, and how full its disk is.
constexpr std::array kPvrInfoControls{
    ControlTemplate(ControlKind::GroupBox, -1, "Model", 7, 4, 206, 74),
    ControlTemplate(ControlKind::Static, -1, "Model", 14, 17, 52, 8),
    ControlTemplate(ControlKind::Edit, IDC_INFO_MODEL, "", 70, 15, 136, 12, cs::Disabled),
    ControlTemplate(ControlKind::Static, -1, "Company", 14, 32, 52, 8),
    ControlTemplate(ControlKind::Edit, IDC_INFO_COMPANY, "", 70, 30, 136, 12, cs::Disabled),
    ControlTemplate(ControlKind::Static, -1, "SW Version", 14, 47, 52, 8),
    ControlTemplate(ControlKind::Edit, IDC_INFO_SW_VERSION, "", 70, 45, 136, 12, cs::Disabled),
    ControlTemplate(ControlKind::Static, -1, "HW Version", 14, 62, 52, 8),
    ControlTemplate(ControlKind::Edit, IDC_INFO_HW_VERSION, "", 70, 60, 136, 12, cs::Disabled),
    ControlTemplate(ControlKind::GroupBox, -1, "USB", 7, 81, 206, 26),
    ControlTemplate(ControlKind::RadioButton, IDC_INFO_LOW_SPEED, "Low-speed", 14, 92, 60, 10,
                    cs::Group),
    ControlTemplate(ControlKind::RadioButton, IDC_INFO_FULL_SPEED, "Full-speed", 80, 92, 60, 10),
    ControlTemplate(ControlKind::RadioButton, IDC_INFO_HIGH_SPEED, "High-speed", 146, 92, 60, 10),
    ControlTemplate(ControlKind::GroupBox, -1, "PVR HDD", 7, 110, 206, 72),
    ControlTemplate(ControlKind::Static, -1, "Free", 14, 123, 40, 8),
    ControlTemplate(ControlKind::Static, IDC_INFO_FREE, "100,000,000,000 Bytes", 60, 123, 146, 8,
                    cs::Right),
    ControlTemplate(ControlKind::Static, -1, "Total", 14, 135, 40, 8),
    ControlTemplate(ControlKind::Static, IDC_INFO_TOTAL, "100,000,000,000 Bytes", 60, 135, 146, 8,
                    cs::Right),
    ControlTemplate(ControlKind::Static, IDC_INFO_USED_CAPTION, "Used Space", 14, 149, 192, 8,
                    cs::Center),
    ControlTemplate(ControlKind::Static, IDC_INFO_USED_BAR, "50%", 34, 161, 150, 12, cs::Center),
    ControlTemplate(ControlKind::Static, -1, "0%", 14, 163, 18, 8),
    ControlTemplate(ControlKind::Static, -1, "100%", 186, 163, 20, 8, cs::Right),
    ControlTemplate(ControlKind::DefPushButton, IDOK, "&Close", 85, 187, 50, 14, cs::Group),
};

constexpr platform::DialogTemplate kPvrInfo{IDD_PVRINFO, "PVR informations", "Arial", 10, 220, 207,
                                            kModalStyle, kPvrInfoControls};

// The software update: who the PVR is, and which image to send it as what.
constexpr std::array kUpgradeSoftwareControls{
    ControlTemplate(ControlKind::GroupBox, -1, "System Information", 7, 4, 216, 62),
    ControlTemplate(ControlKind::Static, -1, "Product", 14, 17, 60, 8),
    ControlTemplate(ControlKind::Edit, IDC_UPGRADE_PRODUCT, "", 78, 15, 138, 12,
                    cs::ReadOnly | cs::Border | cs::AutoHScroll),
    ControlTemplate(ControlKind::Static, -1, "Platform Version", 14, 32, 60, 8),
    ControlTemplate(ControlKind::Edit, IDC_UPGRADE_PLATFORM, "", 78, 30, 138, 12,
                    cs::ReadOnly | cs::Border | cs::Center),
    ControlTemplate(ControlKind::Static, -1, "Software Version", 14, 47, 60, 8),
    ControlTemplate(ControlKind::Edit, IDC_UPGRADE_SW_VERSION, "", 78, 45, 138, 12,
                    cs::ReadOnly | cs::Border | cs::Center),
    ControlTemplate(ControlKind::GroupBox, -1, "Software file to upgrade", 7, 70, 216, 52),
    ControlTemplate(ControlKind::Edit, IDC_UPGRADE_PATH, "", 14, 83, 148, 12,
                    cs::Border | cs::AutoHScroll),
    ControlTemplate(ControlKind::PushButton, IDC_UPGRADE_BROWSE, "&Browser", 168, 82, 48, 14),
    ControlTemplate(ControlKind::RadioButton, IDC_UPGRADE_FIRMWARE, "Firmware", 14, 104, 60, 10,
                    cs::Group),
    ControlTemplate(ControlKind::RadioButton, IDC_UPGRADE_BOOT_LOADER, "Boot Loader", 80, 104, 64,
                    10),
    ControlTemplate(ControlKind::RadioButton, IDC_UPGRADE_DATABASE, "Database", 150, 104, 60, 10),
    ControlTemplate(ControlKind::PushButton, IDC_UPGRADE_START, "&Start", 55, 130, 50, 14,
                    cs::Group),
    ControlTemplate(ControlKind::PushButton, IDC_UPGRADE_EXIT, "&Exit", 125, 130, 50, 14),
};

constexpr platform::DialogTemplate kUpgradeSoftware{
    IDD_UPGRADESOFTWARE, "Software Update",       "Arial", 10, 230, 151,
    kModalStyle,         kUpgradeSoftwareControls};

// The conversion dialog: a caption but no close box; Exit (the cancel id) is
// the way out, and only while nothing is converting.
constexpr std::array kConvertAviControls{
    ControlTemplate(ControlKind::Static, -1, "PVR file", 7, 9, 34, 8, cs::Center),
    ControlTemplate(ControlKind::Edit, IDC_CONVERT_SOURCE, "None", 44, 7, 172, 12, cs::AutoHScroll),
    ControlTemplate(ControlKind::PushButton, IDC_CONVERT_OPEN, "&Open", 220, 6, 40, 14),
    ControlTemplate(ControlKind::Static, -1, "AVI file", 7, 27, 34, 8, cs::Center),
    ControlTemplate(ControlKind::Edit, IDC_CONVERT_TARGET, "None", 44, 25, 172, 12,
                    cs::AutoHScroll),
    ControlTemplate(ControlKind::PushButton, IDC_CONVERT_SAVE, "&Save", 220, 24, 40, 14),
    ControlTemplate(ControlKind::GroupBox, -1, "Progress", 7, 43, 253, 47),
    ControlTemplate(ControlKind::Static, IDC_CONVERT_DONE, "0", 13, 56, 92, 10, cs::Right),
    ControlTemplate(ControlKind::Static, -1, "Of", 107, 56, 16, 10, cs::Center),
    ControlTemplate(ControlKind::Static, IDC_CONVERT_TOTAL, "0", 125, 56, 92, 10, cs::Right),
    ControlTemplate(ControlKind::Static, IDC_CONVERT_PERCENT, "0%", 221, 56, 33, 10, cs::Center),
    ControlTemplate(ControlKind::Static, IDC_CONVERT_PLACEHOLDER,
                    "Progress control shall be placed here.", 13, 71, 241, 12, cs::Center),
    ControlTemplate(ControlKind::DefPushButton, IDC_CONVERT_START, "&Start", 72, 95, 50, 14),
    ControlTemplate(ControlKind::PushButton, IDCANCEL, "&Exit", 145, 95, 50, 14),
};

constexpr platform::DialogTemplate kConvertAvi{IDD_CONVERTAVI,
                                               "AVR --> AVI",
                                               "Arial",
                                               10,
                                               267,
                                               115,
                                               ds::Popup | ds::Caption | ds::ModalFrame,
                                               kConvertAviControls};

}  // namespace

const platform::DialogTemplate& ConvertAviDialog() {
    return kConvertAvi;
}

const platform::DialogTemplate& TransferDialog() {
    return kTransfer;
}

const platform::DialogTemplate& XferModeDialog() {
    return kXferMode;
}

const platform::DialogTemplate& NewFolderDialog() {
    return kNewFolder;
}

const platform::DialogTemplate& RenameDialog() {
    return kRename;
}

const platform::DialogTemplate& UpgradeDialog() {
    return kUpgradeSoftware;
}

const platform::DialogTemplate& PvrInfoDialog() {
    return kPvrInfo;
}

const platform::DialogTemplate& OnRefreshDialog() {
    return kOnRefresh;
}

const platform::DialogTemplate& AboutDialog() {
    return kAbout;
}

}  // namespace res
