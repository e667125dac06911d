// The file list of both file-list panes: a report-style list whose rows it
// paints itself.
//
// The selection is highlighted across the whole row up to the end of the last
// column and stays visible in grey while the list has no focus; texts are drawn
// in the pane font, the second column right-aligned and the third left-aligned.
// A double-click, and Enter, become WM_LIST_DBLCLK to the owning view. Rows
// stay in the order the view inserts them until a column heading is clicked:
// then they are sorted by that column (again: the other way round), by the
// row's sort key for the column where the view gave one (exact byte counts,
// real times), else by its text, ties by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QIcon>
#include <QTreeWidget>

#include "app/controls/panehooks.h"
#include "platform/message.h"

class CListCtrlX : public QTreeWidget {
public:
    // Row state bits.
    static constexpr unsigned kStateFocused = 0x1;
    static constexpr unsigned kStateSelected = 0x2;
    static constexpr unsigned kStateDropHighlighted = 0x8;
    static constexpr unsigned kStateAll = 0xF;

    // Rectangles of a row (GetItemRect).
    static constexpr int kRectBounds = 0;
    static constexpr int kRectIcon = 1;
    static constexpr int kRectLabel = 2;

    // Column heading alignment (InsertColumn).
    static constexpr int kFormatLeft = 0;
    static constexpr int kFormatRight = 1;
    static constexpr int kFormatCenter = 2;

    explicit CListCtrlX(QWidget* parent = nullptr);
    ~CListCtrlX() override;
    CListCtrlX(const CListCtrlX&) = delete;
    CListCtrlX& operator=(const CListCtrlX&) = delete;

    // Makes the list a visible child of parent at rect with the given control id.
    bool Create(QWidget* parent, const QRect& rect, int id);
    int GetDlgCtrlID() const { return m_ctrlId; }

    // side: 1 for the PC list, 0 for the PVR list. Creates the image list with
    // the default file image at index 0.
    void Init(int side);
    // Drops the images; rows drawn afterwards show none.
    void ClearImages();
    // Index of the added image, -1 when the icon is null.
    int AddImage(const QIcon& icon);
    int GetImageCount() const { return static_cast<int>(m_images.size()); }
    // Column 0 text of the row.
    std::string GetItemName(int row) const;
    // Paints one row into rowRect (viewport coordinates).
    void DrawItem(QPainter* painter, int row, const QRect& rowRect) const;

    // Keeps the full highlight while the list has no focus.
    void SetShowSelectionAlways(bool on);

    // The rule of both file lists, for columns name, size and date: the size and
    // date columns are as wide as their longest texts in the pane font, and the
    // name column takes the rest of the visible width, so no horizontal scroll
    // bar shows while the columns fit. A name cut short ends in "…".
    void UseFileColumns();
    // The full name of the row under a point of the viewport when its name
    // column shows it cut short; empty otherwise.
    QString ToolTipAt(const QPoint& viewportPos) const;
    // True when the row's name does not fit its column.
    bool IsNameCut(int row) const;

    // Report-view operations, for the views. Columns are appended in order.
    int InsertColumn(int column, const std::string& heading, int format, int width);
    int GetColumnCount() const;
    int GetColumnWidth(int column) const;
    // A row with its column 0 text; image 0 is the default file image.
    int InsertItem(int row, const std::string& text, int image = 0);
    bool SetItemText(int row, int column, const std::string& text);
    std::string GetItemText(int row, int column) const;
    bool SetItemImage(int row, int image);
    int GetItemImage(int row) const;
    bool SetItemData(int row, std::uintptr_t data);
    std::uintptr_t GetItemData(int row) const;
    bool DeleteItem(int row);
    void DeleteAllItems();
    int GetItemCount() const;
    unsigned GetItemState(int row, unsigned mask) const;
    bool SetItemState(int row, unsigned state, unsigned mask);
    // The first selected row after the given one (-1: from the start); -1 when none.
    int GetNextSelectedItem(int after) const;
    int GetSelectedCount() const;
    QRect GetItemRect(int row, int code) const;

    // Sorting. A key makes the column sort by number rather than by its text.
    bool SetItemSortKey(int row, int column, std::int64_t key);
    // The row's key for the column; fallback when it has none.
    std::int64_t GetItemSortKey(int row, int column, std::int64_t fallback = 0) const;
    // What a click on the column's heading does: sorts by it, the other way
    // round when it already is the sort column.
    void OnColumnClick(int column);
    // Sorts the rows as the last click asked (after a new filling); nothing
    // while no heading was clicked.
    void ApplySort();
    // -1 while the rows are in the view's order.
    int GetSortColumn() const { return m_sortColumn; }

    // Keys, context menu and drag and drop, for the owner.
    void SetPaneHooks(PaneHooks hooks) { m_hooks = std::move(hooks); }
    // Where a drag of the selection starts; what it carries, from the hooks.
    void StartDrag();

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    class Delegate;
    class Item;

    void OnDblClk(int firstSelected);
    int TotalColumnWidth() const;
    int RowHeight() const;
    // Twice a space of the list's own font: cells are inset by half of it on the
    // left and all of it on the right.
    int Margin() const;

    std::vector<QIcon> m_images;
    bool m_hasImageList = false;
    int m_ctrlId = 0;
    bool m_showSelectionAlways = false;
    int m_sortColumn = -1;
    bool m_sortDescending = false;
    PaneHooks m_hooks;
};
