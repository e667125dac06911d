// The two PC panes as the main window wires them, on a private C: and D:, in
// a shown window; plus a trace capture and a window that records messages.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QHBoxLayout>
#include <QTest>
#include <QWidget>

#include "app/pc/hostfilelistview.h"
#include "app/pc/hosttreeview.h"
#include "platform/message.h"
#include "platform/trace.h"
#include "support/privatedrive.h"
#include "support/tracecapture.h"

class PcPanes {
public:
    PcPanes() {
        auto* layout = new QHBoxLayout(&m_window);
        layout->setContentsMargins(0, 0, 0, 0);
        tree = new CHostTreeView(nullptr);
        list = new CHostFileListView(nullptr);
        layout->addWidget(tree, 1);
        layout->addWidget(list, 2);
        m_window.resize(900, 400);
        tree->InitTree();
        tree->SetFileListView(list);
        m_window.show();
        QApplication::processEvents();
    }
    PcPanes(const PcPanes&) = delete;
    PcPanes& operator=(const PcPanes&) = delete;

    // Shown, so the panes have their real size and take the focus.
    bool Activate() {
        m_window.activateWindow();
        return QTest::qWaitForWindowActive(&m_window);
    }

    // Column 0 texts of the list, in row order.
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        rows.reserve(static_cast<std::size_t>(list->GetItemCount()));
        for (int r = 0; r < list->GetItemCount(); ++r) {
            rows.push_back(list->GetListCtrl()->GetItemName(r));
        }
        return rows;
    }

    // Labels of the item's children, in tree order.
    std::vector<std::string> Children(const std::string& path) const {
        CTreeCtrlX* ctrl = tree->GetTreeCtrl();
        std::vector<std::string> labels;
        HTREEITEM item = ctrl->FindItemByPath(path);
        for (int i = 0; item != nullptr && i < item->childCount(); ++i) {
            labels.push_back(ctrl->GetItemText(item->child(i)));
        }
        return labels;
    }

    void SelectRows(std::initializer_list<int> rows) const {
        CListCtrlX* ctrl = list->GetListCtrl();
        ctrl->clearSelection();
        for (const int row : rows) {
            ctrl->SetItemState(row, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
        }
    }

    PrivateDrives drives;
    CHostTreeView* tree;
    CHostFileListView* list;

private:
    QWidget m_window;
};

// Stands in for the main window: records the messages it is sent.
class RecordingWindow : public CMessageTarget {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        received.push_back({message, wParam, lParam});
        return 0;
    }
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Message> received;
};
