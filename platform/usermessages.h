// The program's own window messages. The numbers are part of its internal
// protocol, so this is their one table: the conversion module, the controls
// and the application's windows all take them from here. The device library
// has its own two notice numbers; the application ties them to its arrival and
// removal messages where it opens the library.
//
//   WM_CONVERT_DONE     conversion worker -> conversion dialog, sent: the
//                       conversion has ended, normally or after a stop
//   WM_CONVERT_FAILED   conversion worker -> conversion dialog, sent: the source
//                       or the target could not be opened
//   WM_CONVERT_TOTAL    conversion worker -> conversion dialog, sent: the
//                       source's size, high and low 32 bits in wParam, lParam
//   WM_OPEN_AVR         PC file list -> main window, sent: an .AVR was opened
//   WM_SET_STATUS_TEXT  PVR folder tree -> main window, sent: wParam is the
//                       status text
//   WM_DEVICE_ARRIVAL   device library -> main window; main window -> PVR
//                       folder tree, sent, wParam pointing at the descriptor
//   WM_DEVICE_REMOVAL   device library -> main window
//   WM_TRANSFER_ITEM    transfer worker -> progress dialog, posted
//   WM_TRANSFER_FAILED  transfer worker -> progress dialog -> main window,
//                       posted: cancelled or failed
//   WM_TRANSFER_DONE    transfer worker -> progress dialog -> main window, posted
//   WM_TRANSFER_BYTES   transfer worker -> progress dialog, posted
//   WM_LIST_DBLCLK      list control -> its file-list view, sent: wParam is the
//                       first selected row
#pragma once

#include "platform/message.h"

// X(name, n): the message WM_USER + n.
#define TAVRIX_USER_MESSAGES(X) \
    X(WM_CONVERT_DONE, 10)      \
    X(WM_CONVERT_FAILED, 11)    \
    X(WM_CONVERT_TOTAL, 12)     \
    X(WM_OPEN_AVR, 20)          \
    X(WM_SET_STATUS_TEXT, 22)   \
    X(WM_DEVICE_ARRIVAL, 33)    \
    X(WM_DEVICE_REMOVAL, 34)    \
    X(WM_TRANSFER_ITEM, 100)    \
    X(WM_TRANSFER_FAILED, 101)  \
    X(WM_TRANSFER_DONE, 102)    \
    X(WM_TRANSFER_BYTES, 103)   \
    X(WM_LIST_DBLCLK, 188)

#define TAVRIX_USER_MESSAGE_NUMBER(name, n) constexpr UINT name = WM_USER + (n);
TAVRIX_USER_MESSAGES(TAVRIX_USER_MESSAGE_NUMBER)
#undef TAVRIX_USER_MESSAGE_NUMBER

// The message's name for trace lines; nullptr for a number not in the table.
constexpr const char* UserMessageName(UINT message) {
    switch (message) {
#define TAVRIX_USER_MESSAGE_NAME(name, n) \
    case name:                            \
        return #name;
        TAVRIX_USER_MESSAGES(TAVRIX_USER_MESSAGE_NAME)
#undef TAVRIX_USER_MESSAGE_NAME
        default:
            return nullptr;
    }
}
