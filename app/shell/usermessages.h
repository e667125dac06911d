// The program's own window messages. The numbers are part of its internal
// protocol (the device library sends two of them), so they live in one table.
#pragma once

#include "platform/message.h"
// Conversion worker -> conversion dialog, sent: WM_CONVERT_DONE (0x40A),
// WM_CONVERT_FAILED (0x40B) and WM_CONVERT_TOTAL (0x40C), kept with the
// conversion module that sends them.
#include "stream/conversion.h"

// PC file list -> main window, sent: an .AVR file was opened.
constexpr UINT WM_OPEN_AVR = WM_USER + 20;  // 0x414
// PVR folder tree -> main window, sent: wParam is the status text.
constexpr UINT WM_SET_STATUS_TEXT = WM_USER + 22;  // 0x416
// Device library -> main window; main window -> PVR folder tree with wParam
// pointing at the DeviceDescriptor.
constexpr UINT WM_DEVICE_ARRIVAL = WM_USER + 33;  // 0x421
// Device library -> main window.
constexpr UINT WM_DEVICE_REMOVAL = WM_USER + 34;  // 0x422
// Transfer worker -> progress dialog, posted.
constexpr UINT WM_TRANSFER_ITEM = WM_USER + 100;  // 0x464
// Transfer worker -> progress dialog -> main window, posted.
constexpr UINT WM_TRANSFER_FAILED = WM_USER + 101;  // 0x465: cancelled or failed
constexpr UINT WM_TRANSFER_DONE = WM_USER + 102;    // 0x466
// Transfer worker -> progress dialog, posted.
constexpr UINT WM_TRANSFER_BYTES = WM_USER + 103;  // 0x467
// List control -> its file-list view, sent: wParam is the first selected row.
constexpr UINT WM_LIST_DBLCLK = WM_USER + 188;  // 0x4BC

// The message's name for trace lines; nullptr for a number not in the table.
constexpr const char* UserMessageName(UINT message) {
    switch (message) {
        case WM_CONVERT_DONE:
            return "WM_CONVERT_DONE";
        case WM_CONVERT_FAILED:
            return "WM_CONVERT_FAILED";
        case WM_CONVERT_TOTAL:
            return "WM_CONVERT_TOTAL";
        case WM_OPEN_AVR:
            return "WM_OPEN_AVR";
        case WM_SET_STATUS_TEXT:
            return "WM_SET_STATUS_TEXT";
        case WM_DEVICE_ARRIVAL:
            return "WM_DEVICE_ARRIVAL";
        case WM_DEVICE_REMOVAL:
            return "WM_DEVICE_REMOVAL";
        case WM_TRANSFER_ITEM:
            return "WM_TRANSFER_ITEM";
        case WM_TRANSFER_FAILED:
            return "WM_TRANSFER_FAILED";
        case WM_TRANSFER_DONE:
            return "WM_TRANSFER_DONE";
        case WM_TRANSFER_BYTES:
            return "WM_TRANSFER_BYTES";
        case WM_LIST_DBLCLK:
            return "WM_LIST_DBLCLK";
        default:
            return nullptr;
    }
}
