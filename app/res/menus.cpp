#include <array>

#include "app/res/resources.h"

namespace res {

namespace {

using platform::MenuItemTemplate;
namespace mf = platform::mf;

// The items the menu bar and the panes' context menus share. Each shows the
// key that does the same in the panes.
constexpr MenuItemTemplate kNewFolder("&New Folder\tF7", ID_FILE_NEW_FOLDER);
constexpr MenuItemTemplate kRename("&Rename\tF2", ID_FILE_RENAME);
constexpr MenuItemTemplate kDelete("&Delete\tDel", ID_FILE_DELETE);
constexpr MenuItemTemplate kSeparator("", 0, mf::Separator);
constexpr MenuItemTemplate kDownload("&Download(PVR-->PC)", ID_TRANSFER_DOWNLOAD);
constexpr MenuItemTemplate kUpload("&Upload(PC--->PVR)", ID_TRANSFER_UPLOAD);
constexpr MenuItemTemplate kShowHidden("Show hidden PVR files", ID_VIEW_SHOW_HIDDEN);

constexpr std::array kFileMenu{
    kNewFolder,
    kRename,
    kDelete,
    kSeparator,
    MenuItemTemplate("&PVR file to .avi", ID_FILE_CONVERT_AVI),
    kSeparator,
    MenuItemTemplate("E&xit", ID_APP_EXIT),
};

constexpr std::array kViewMenu{kShowHidden};

constexpr std::array kTransferMenu{kDownload, kUpload};

constexpr std::array kPvrMenu{
    MenuItemTemplate("&Information", ID_PVR_INFORMATION),
    MenuItemTemplate("&Upgrade software", ID_PVR_UPGRADE),
};

// Online update has never had a handler; it stays greyed.
constexpr std::array kHelpMenu{
    MenuItemTemplate("&About Vexlo", ID_APP_ABOUT),
    MenuItemTemplate("&Online Update", ID_HELP_ONLINE_UPDATE, mf::Grayed),
};

// The positions matter: enabling the user interface addresses them by number.
constexpr std::array kMenuBar{
    MenuItemTemplate("&File", kFileMenu),         MenuItemTemplate("&View", kViewMenu),
    MenuItemTemplate("&Transfer", kTransferMenu), MenuItemTemplate("&PVR", kPvrMenu),
    MenuItemTemplate("&Help", kHelpMenu),
};

constexpr platform::MenuTemplate kMainMenu{IDR_MAINFRAME, kMenuBar};

// The panes' context menus: what applies to the pane, with the captions of
// the menu bar.
constexpr std::array kPcTreeMenu{
    kDownload,
    kSeparator,
    kNewFolder,
    kRename,
    kDelete,
    kSeparator,
    MenuItemTemplate("Re&fresh\tF5", ID_PC_REFRESH),
};

constexpr std::array kPcListMenu{
    kUpload,    MenuItemTemplate("&PVR file to .avi", ID_FILE_CONVERT_AVI),
    kSeparator, kNewFolder,
    kRename,    kDelete,
    kSeparator, MenuItemTemplate("Re&fresh\tF5", ID_PC_REFRESH),
};

constexpr std::array kPvrTreeMenu{
    kUpload,
    kSeparator,
    kNewFolder,
    kRename,
    kDelete,
    kSeparator,
    MenuItemTemplate("Re&fresh\tF5", ID_PVR_REFRESH),
    kShowHidden,
};

constexpr std::array kPvrListMenu{
    kDownload,
    kSeparator,
    kNewFolder,
    kRename,
    kDelete,
    kSeparator,
    MenuItemTemplate("Re&fresh\tF5", ID_PVR_REFRESH),
    kShowHidden,
};

}  // namespace

const platform::MenuTemplate& MainMenu() {
    return kMainMenu;
}

std::span<const MenuItemTemplate> PcTreeMenu() {
    return kPcTreeMenu;
}

std::span<const MenuItemTemplate> PcListMenu() {
    return kPcListMenu;
}

std::span<const MenuItemTemplate> PvrTreeMenu() {
    return kPvrTreeMenu;
}

std::span<const MenuItemTemplate> PvrListMenu() {
    return kPvrListMenu;
}

}  // namespace res
