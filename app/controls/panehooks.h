// What a pane control hands to its owner beyond its own notifications: keys,
// the context menu, and dragging and dropping files. The main window fills
// these in, so that every way in ends at its command handlers.
#pragma once

#include <functional>

#include <QPoint>

#include "platform/templates.h"

class QMimeData;
class QTreeWidgetItem;

struct PaneHooks {
    // A key went down in the control (virtual-key code and modifier bits of
    // platform::fv). True when it was taken; the control then does nothing more.
    std::function<bool(int vk, unsigned modifiers)> key;
    // The context menu was asked for over item (null: over no item) at a
    // point on the screen.
    std::function<void(QTreeWidgetItem* item, const QPoint& globalPos)> contextMenu;
    // What a drag of the selection carries; null: nothing to drag.
    std::function<QMimeData*()> dragData;
    // Whether data dragged over item (null: over no item) can be dropped there.
    std::function<bool(const QMimeData* data, QTreeWidgetItem* item)> canDrop;
    // The data was dropped over item.
    std::function<void(const QMimeData* data, QTreeWidgetItem* item)> drop;
};

// The modifier bits of a key event as platform::fv has them (the keypad's
// own bit is no modifier).
inline unsigned PaneKeyModifiers(Qt::KeyboardModifiers modifiers) {
    unsigned bits = 0;
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        bits |= platform::fv::Shift;
    }
    if (modifiers.testFlag(Qt::ControlModifier)) {
        bits |= platform::fv::Control;
    }
    if (modifiers.testFlag(Qt::AltModifier) || modifiers.testFlag(Qt::MetaModifier)) {
        bits |= platform::fv::Alt;
    }
    return bits;
}
