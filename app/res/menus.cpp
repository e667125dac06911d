#include <array>

#include "app/res/resources.h"

namespace res {

namespace {

using platform::MenuItemTemplate;
namespace mf = platform::mf;

constexpr std::array kFileMenu{
    MenuItemTemplate("&New Folder", ID_FILE_NEW_FOLDER),
    MenuItemTemplate("&Rename", ID_FILE_RENAME),
    MenuItemTemplate("&Delete", ID_FILE_DELETE),
    MenuItemTemplate("", 0, mf::Separator),
    MenuItemTemplate("&PVR file to .avi", ID_FILE_CONVERT_AVI),
    MenuItemTemplate("", 0, mf::Separator),
    MenuItemTemplate("E&xit", ID_APP_EXIT),
};

constexpr std::array kViewMenu{
    MenuItemTemplate("Show hidden PVR files", ID_VIEW_SHOW_HIDDEN),
};

constexpr std::array kTransferMenu{
    MenuItemTemplate("&Download(PVR-->PC)", ID_TRANSFER_DOWNLOAD),
    MenuItemTemplate("&Upload(PC--->PVR)", ID_TRANSFER_UPLOAD),
};

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

}  // namespace

const platform::MenuTemplate& MainMenu() {
    return kMainMenu;
}

}  // namespace res
