// The application's resources as data, for the platform's template builder.
#pragma once

#include <span>

#include "app/res/resource.h"
#include "platform/templates.h"

namespace res {

const platform::MenuTemplate& MainMenu();              // 129
const platform::ToolbarTemplate& MainToolbar();        // 135
const platform::ToolbarTemplate& SpareToolbar();       // 136, not loaded
const platform::AcceleratorTable& MainAccelerators();  // 129
const platform::DialogTemplate& TransferDialog();      // 141
const platform::DialogTemplate& XferModeDialog();      // 145
const platform::DialogTemplate& NewFolderDialog();     // 142
const platform::DialogTemplate& RenameDialog();        // 144
const platform::DialogTemplate& UpgradeDialog();       // 152
const platform::DialogTemplate& ConvertAviDialog();    // 158
const platform::DialogTemplate& OnRefreshDialog();     // 159
const platform::DialogTemplate& PvrInfoDialog();       // 160
const platform::DialogTemplate& AboutDialog();         // 161

// The panes' context menus.
std::span<const platform::MenuItemTemplate> PcTreeMenu();
std::span<const platform::MenuItemTemplate> PcListMenu();
std::span<const platform::MenuItemTemplate> PvrTreeMenu();
std::span<const platform::MenuItemTemplate> PvrListMenu();

// What a screen reader says for a toolbar button (the buttons carry no tool
// tips, so it cannot take those); empty for an unknown id.
const char* ToolbarButtonName(UINT id);

// Puts the string table and the icons into the process's tables. Icons come
// from the widget style, so a QApplication must exist.
void RegisterResources();

}  // namespace res
