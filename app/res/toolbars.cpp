#include <array>

#include "app/res/resources.h"

namespace res {

namespace {

using platform::ToolbarButtonTemplate;

// No tool tips: the string table has no prompts for the program's own commands.
constexpr std::array kButtons{
    ToolbarButtonTemplate(ID_TB_NEW_FOLDER, IDB_TB_NEW_FOLDER),
    ToolbarButtonTemplate(ID_TB_RENAME, IDB_TB_RENAME),
    ToolbarButtonTemplate(ID_TB_DELETE, IDB_TB_DELETE),
    ToolbarButtonTemplate(0),
    ToolbarButtonTemplate(ID_TB_DOWNLOAD, IDB_TB_DOWNLOAD),
    ToolbarButtonTemplate(ID_TB_UPLOAD, IDB_TB_UPLOAD),
};

constexpr platform::ToolbarTemplate kMainToolbar{IDR_TOOLBAR, 32, 32, kButtons};
constexpr platform::ToolbarTemplate kSpareToolbar{IDR_TOOLBAR_SPARE, 32, 32, kButtons};

struct ButtonName {
    UINT id;
    const char* name;
};

constexpr std::array kButtonNames{
    ButtonName{ID_TB_NEW_FOLDER, "New folder"},
    ButtonName{ID_TB_RENAME, "Rename"},
    ButtonName{ID_TB_DELETE, "Delete"},
    ButtonName{ID_TB_DOWNLOAD, "Download from PVR to PC"},
    ButtonName{ID_TB_UPLOAD, "Upload from PC to PVR"},
};

}  // namespace

const platform::ToolbarTemplate& MainToolbar() {
    return kMainToolbar;
}

const platform::ToolbarTemplate& SpareToolbar() {
    return kSpareToolbar;
}

const char* ToolbarButtonName(UINT id) {
    for (const ButtonName& b : kButtonNames) {
        if (b.id == id) {
            return b.name;
        }
    }
    return "";
}

}  // namespace res
