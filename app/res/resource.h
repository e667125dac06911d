// Resource and command ids. The numbers are fixed: the menu, the toolbar, the
// accelerators, the dialogs and the string table refer to each other by them.
#pragma once

#include "platform/message.h"

// The main window's menu, accelerator table, icon and document string.
constexpr int IDR_MAINFRAME = 129;

// Icons of the pane controls' image lists.
constexpr int IDI_APPLICATION_ROOT = 128;
constexpr int IDI_DRIVE_NETWORK = 135;
constexpr int IDI_DRIVE_CDROM = 136;
constexpr int IDI_DRIVE_REMOVABLE = 137;
constexpr int IDI_FOLDER_CLOSED = 138;
constexpr int IDI_FOLDER_OPEN = 141;
constexpr int IDI_DRIVE_FIXED = 142;
constexpr int IDI_FILE_DEFAULT = 162;
constexpr int IDR_TOOLBAR = 135;
// A copy of the toolbar that nothing loads; kept so the id stays taken.
constexpr int IDR_TOOLBAR_SPARE = 136;

constexpr int IDD_TRANSFER = 141;
constexpr int IDD_XFERMODE = 145;
constexpr int IDD_NEWFOLDER = 142;
constexpr int IDD_RENAME = 144;
constexpr int IDD_UPGRADESOFTWARE = 152;
constexpr int IDD_CONVERTAVI = 158;
constexpr int IDD_ONREFRESH = 159;
constexpr int IDD_PVRINFO = 160;
constexpr int IDD_ABOUTBOX = 161;

// Strings.
constexpr UINT IDS_DOCUMENT = 129;
constexpr UINT IDS_STATUS_PANE = 101;  // the status bar's one indicator
constexpr UINT IDS_APP_TITLE = 61205;

// Controls.
constexpr int IDC_NEWFOLDER_NAME = 1010;
constexpr int IDC_NAME_OK = 1011;      // the name dialogs' OK
constexpr int IDC_NAME_CANCEL = 1012;  // and Cancel
constexpr int IDC_RENAME_NAME = 1013;
constexpr int IDC_REFRESH_STATUS = 1017;
// The transfer progress dialog.
constexpr int IDC_TRANSFER_PLACEHOLDER = 1003;
constexpr int IDC_TRANSFER_SOURCE = 1004;
constexpr int IDC_TRANSFER_DESTINATION = 1005;
constexpr int IDC_TRANSFER_ELAPSED = 1006;
constexpr int IDC_TRANSFER_REMAINS = 1007;
constexpr int IDC_TRANSFER_STATUS = 1008;
constexpr int IDC_TRANSFER_CANCEL = 1009;
constexpr int IDC_TRANSFER_DONE = 1010;
constexpr int IDC_TRANSFER_TOTAL = 1011;
constexpr int IDC_TRANSFER_FILES = 1012;
constexpr int IDC_TRANSFER_BATCH = 1020;  // the whole batch, under the file's figures
// The overwrite/resume prompt: its buttons end it with their own ids.
constexpr int IDC_XFER_CANCEL = 1012;
constexpr int IDC_XFER_OVERWRITE = 1014;
constexpr int IDC_XFER_RESUME = 1015;
constexpr int IDC_XFER_MESSAGE = 1017;
constexpr int IDC_XFER_OVERWRITE_ALL = 1018;
constexpr int IDC_XFER_RESUME_ALL = 1019;
// The software update dialog.
constexpr int IDC_UPGRADE_BOOT_LOADER = 1018;
constexpr int IDC_UPGRADE_PATH = 1019;
constexpr int IDC_UPGRADE_BROWSE = 1020;
constexpr int IDC_UPGRADE_START = 1021;
constexpr int IDC_UPGRADE_EXIT = 1022;
constexpr int IDC_UPGRADE_PRODUCT = 1024;
constexpr int IDC_UPGRADE_SW_VERSION = 1026;
constexpr int IDC_UPGRADE_PLATFORM = 1027;
constexpr int IDC_UPGRADE_FIRMWARE = 1053;
constexpr int IDC_UPGRADE_DATABASE = 1055;
constexpr int IDC_ABOUT_VERSION = 1029;
constexpr int IDC_INFO_MODEL = 1040;
constexpr int IDC_INFO_COMPANY = 1041;
constexpr int IDC_INFO_SW_VERSION = 1042;
constexpr int IDC_INFO_HW_VERSION = 1043;
constexpr int IDC_INFO_LOW_SPEED = 1046;
constexpr int IDC_INFO_FULL_SPEED = 1047;
constexpr int IDC_INFO_FREE = 1048;
constexpr int IDC_INFO_HIGH_SPEED = 1049;
constexpr int IDC_INFO_TOTAL = 1050;
constexpr int IDC_INFO_USED_BAR = 1051;  // placeholder the used-space bar covers
constexpr int IDC_INFO_USED_CAPTION = 1052;
// The conversion dialog; its Exit button is IDCANCEL.
constexpr int IDC_CONVERT_SOURCE = 1030;
constexpr int IDC_CONVERT_OPEN = 1031;
constexpr int IDC_CONVERT_TARGET = 1032;
constexpr int IDC_CONVERT_SAVE = 1033;
constexpr int IDC_CONVERT_PLACEHOLDER = 1034;
constexpr int IDC_CONVERT_START = 1035;
constexpr int IDC_CONVERT_DONE = 1037;
constexpr int IDC_CONVERT_TOTAL = 1038;
constexpr int IDC_CONVERT_PERCENT = 1039;

// Toolbar images (the toolbar bitmap, one id per button picture).
constexpr int IDB_TB_NEW_FOLDER = 13500;
constexpr int IDB_TB_RENAME = 13501;
constexpr int IDB_TB_DELETE = 13502;
constexpr int IDB_TB_DOWNLOAD = 13503;
constexpr int IDB_TB_UPLOAD = 13504;

// Commands of the menu and the toolbar. Several commands have a menu id and a
// toolbar id that reach the same handler.
constexpr UINT ID_TB_UPLOAD = 32775;
constexpr UINT ID_NEW_FOLDER_SPARE = 32782;  // carried by no menu item or button
constexpr UINT ID_TRANSFER_UPLOAD = 32783;
constexpr UINT ID_TRANSFER_DOWNLOAD = 32784;
constexpr UINT ID_HELP_ONLINE_UPDATE = 32790;
constexpr UINT ID_FILE_NEW_FOLDER = 32797;
constexpr UINT ID_FILE_DELETE = 32798;
constexpr UINT ID_FILE_RENAME = 32799;
constexpr UINT ID_PVR_REFRESH = 32805;  // carried by no menu item or button
constexpr UINT ID_TB_DELETE = 32806;
constexpr UINT ID_TB_NEW_FOLDER = 32807;
constexpr UINT ID_TB_DOWNLOAD = 32809;
constexpr UINT ID_TB_RENAME = 32811;
constexpr UINT ID_PVR_UPGRADE = 32815;
constexpr UINT ID_VIEW_SHOW_HIDDEN = 32816;
constexpr UINT ID_FILE_CONVERT_AVI = 32817;
constexpr UINT ID_PVR_INFORMATION = 32818;
// Lists the PC folder's files again (F5 and the PC panes' context menus).
constexpr UINT ID_PC_REFRESH = 32830;

// The standard commands, with their customary numbers.
constexpr UINT ID_FILE_NEW = 0xE100;
constexpr UINT ID_FILE_OPEN = 0xE101;
constexpr UINT ID_FILE_SAVE = 0xE103;
constexpr UINT ID_EDIT_COPY = 0xE122;
constexpr UINT ID_EDIT_CUT = 0xE123;
constexpr UINT ID_EDIT_PASTE = 0xE125;
constexpr UINT ID_EDIT_UNDO = 0xE12B;
constexpr UINT ID_APP_ABOUT = 0xE140;  // 57664
constexpr UINT ID_APP_EXIT = 0xE141;   // 57665
constexpr UINT ID_NEXT_PANE = 0xE150;
constexpr UINT ID_PREV_PANE = 0xE151;
