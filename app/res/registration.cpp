#include <array>

#include <QApplication>
#include <QIcon>
#include <QSize>
#include <QString>
#include <QStyle>

#include "app/res/resources.h"

namespace res {

namespace {

// No prompts or tool tips for the program's own command ids: their buttons and
// menu items show none.
constexpr std::array<platform::StringTemplate, 3> kStrings{{
    {IDS_DOCUMENT, "Vexlo\n\nVexlo\n\n\nVexlo.Document\nVexlo Document"},
    {IDS_STATUS_PANE, " "},
    {IDS_APP_TITLE, "Vexlo"},
}};

struct IconSource {
    int id;
    QStyle::StandardPixmap pixmap;
};

// The style's own pictures: they follow the desktop's theme and need no files.
constexpr std::array kIcons{
    IconSource{IDB_TB_NEW_FOLDER, QStyle::SP_FileDialogNewFolder},
    IconSource{IDB_TB_RENAME, QStyle::SP_FileDialogDetailedView},
    IconSource{IDB_TB_DELETE, QStyle::SP_TrashIcon},
    IconSource{IDB_TB_DOWNLOAD, QStyle::SP_ArrowDown},
    IconSource{IDB_TB_UPLOAD, QStyle::SP_ArrowUp},
    IconSource{IDI_APPLICATION_ROOT, QStyle::SP_ComputerIcon},
    IconSource{IDI_DRIVE_NETWORK, QStyle::SP_DriveNetIcon},
    IconSource{IDI_DRIVE_CDROM, QStyle::SP_DriveCDIcon},
    IconSource{IDI_DRIVE_REMOVABLE, QStyle::SP_DriveFDIcon},
    IconSource{IDI_FOLDER_CLOSED, QStyle::SP_DirClosedIcon},
    IconSource{IDI_FOLDER_OPEN, QStyle::SP_DirOpenIcon},
    IconSource{IDI_DRIVE_FIXED, QStyle::SP_DriveHDIcon},
    IconSource{IDI_FILE_DEFAULT, QStyle::SP_FileIcon},
};

// The program's own picture, built in at the sizes the desktop's icon theme
// carries, so the window, the task bar and the desktop entry show the same one.
QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QString(":/icons/tavrix-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace

void RegisterResources() {
    platform::RegisterStrings(kStrings);
    platform::RegisterIcon(IDR_MAINFRAME, ProgramIcon());
    const QStyle* style = QApplication::style();
    for (const IconSource& icon : kIcons) {
        platform::RegisterIcon(icon.id, style->standardIcon(icon.pixmap));
    }
}

}  // namespace res
