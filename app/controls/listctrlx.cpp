#include "app/controls/listctrlx.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "app/controls/visibletext.h"
#include "core/names.h"
#include "platform/syscolor.h"
#include "platform/templates.h"
#include "platform/usermessages.h"

namespace {

constexpr int kImageRole = Qt::UserRole;
constexpr int kDataRole = Qt::UserRole + 1;
constexpr int kDropRole = Qt::UserRole + 2;
// A column's sort key, kept in that column's data.
constexpr int kSortKeyRole = Qt::UserRole + 3;
constexpr int kIconSize = 16;
constexpr int kIconLeft = 2;
constexpr int kDefaultFileIconId = 162;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// Rows are painted by DrawItem; the delegate only gives them their height.
class CListCtrlX::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(CListCtrlX* list) : QStyledItemDelegate(list), m_list(list) {}

    void paint(QPainter* /*painter*/, const QStyleOptionViewItem& /*option*/,
               const QModelIndex& /*index*/) const override {}

    QSize sizeHint(const QStyleOptionViewItem& /*option*/,
                   const QModelIndex& /*index*/) const override {
        return {1, m_list->RowHeight()};
    }

private:
    CListCtrlX* m_list;
};

// A row that orders itself by the list's sort column: the column's key where
// both rows have one, else its text; then by name, without regard to case.
class CListCtrlX::Item : public QTreeWidgetItem {
public:
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
        if (column > 0) {
            const QVariant mine = data(column, kSortKeyRole);
            const QVariant theirs = other.data(column, kSortKeyRole);
            if (mine.isValid() && theirs.isValid()) {
                if (mine.toLongLong() != theirs.toLongLong()) {
                    return mine.toLongLong() < theirs.toLongLong();
                }
            } else if (const int order = CompareNoCase(text(column).toStdString(),
                                                       other.text(column).toStdString());
                       order != 0) {
                return order < 0;
            }
        }
        return CompareNoCase(text(0).toStdString(), other.text(0).toStdString()) < 0;
    }
};

CListCtrlX::CListCtrlX(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setIconSize(QSize(kIconSize, kIconSize));
    setItemDelegate(new Delegate(this));
    setColumnCount(0);
    // Columns keep the widths the view gives them; a heading sorts by its column.
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int column) { OnColumnClick(column); });
    // Files go out by dragging the selection; what may come in, the owner decides.
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);

    QPalette pal = palette();
    pal.setColor(QPalette::Base, GetSysColor(COLOR_WINDOW));
    setPalette(pal);
}

CListCtrlX::~CListCtrlX() {
    ClearImages();
}

bool CListCtrlX::Create(QWidget* parent, const QRect& rect, int id) {
    setParent(parent);
    setGeometry(rect);
    m_ctrlId = id;
    show();
    return true;
}

// ---- Images ---------------------------------------------------------------------

void CListCtrlX::Init(int /*side*/) {
    m_images.clear();
    m_images.push_back(platform::LoadIcon(kDefaultFileIconId));
    m_hasImageList = true;
    viewport()->update();
}

void CListCtrlX::ClearImages() {
    m_images.clear();
    viewport()->update();
}

int CListCtrlX::AddImage(const QIcon& icon) {
    if (icon.isNull()) {
        return -1;
    }
    m_images.push_back(icon);
    m_hasImageList = true;
    return static_cast<int>(m_images.size()) - 1;
}

// ---- Rows and columns ---------------------------------------------------------

int CListCtrlX::InsertColumn(int /*column*/, const std::string& heading, int format, int width) {
    const int column = columnCount();
    setColumnCount(column + 1);
    QTreeWidgetItem* head = headerItem();
    head->setText(column, FromUtf8(heading));
    Qt::Alignment align = Qt::AlignLeft;
    if (format == kFormatRight) {
        align = Qt::AlignRight;
    } else if (format == kFormatCenter) {
        align = Qt::AlignHCenter;
    }
    head->setTextAlignment(column, align | Qt::AlignVCenter);
    setColumnWidth(column, width);
    return column;
}

int CListCtrlX::GetColumnCount() const {
    return header()->count();
}

int CListCtrlX::GetColumnWidth(int column) const {
    return column >= 0 && column < GetColumnCount() ? columnWidth(column) : 0;
}

int CListCtrlX::InsertItem(int row, const std::string& text, int image) {
    const int count = topLevelItemCount();
    row = std::clamp(row, 0, count);
    auto* item = new Item();
    item->setText(0, FromUtf8(text));
    item->setData(0, kImageRole, image);
    insertTopLevelItem(row, item);
    return row;
}

bool CListCtrlX::SetItemText(int row, int column, const std::string& text) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || column < 0 || column >= GetColumnCount()) {
        return false;
    }
    item->setText(column, FromUtf8(text));
    return true;
}

std::string CListCtrlX::GetItemText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || column < 0) {
        return {};
    }
    return item->text(column).toUtf8().toStdString();
}

std::string CListCtrlX::GetItemName(int row) const {
    return GetItemText(row, 0);
}

bool CListCtrlX::SetItemImage(int row, int image) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return false;
    }
    item->setData(0, kImageRole, image);
    return true;
}

int CListCtrlX::GetItemImage(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr ? item->data(0, kImageRole).toInt() : -1;
}

bool CListCtrlX::SetItemData(int row, std::uintptr_t value) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return false;
    }
    item->setData(0, kDataRole, QVariant::fromValue<quint64>(value));
    return true;
}

std::uintptr_t CListCtrlX::GetItemData(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr ? static_cast<std::uintptr_t>(item->data(0, kDataRole).toULongLong())
                           : 0;
}

bool CListCtrlX::DeleteItem(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return false;
    }
    delete item;
    return true;
}

void CListCtrlX::DeleteAllItems() {
    clear();
}

int CListCtrlX::GetItemCount() const {
    return topLevelItemCount();
}

unsigned CListCtrlX::GetItemState(int row, unsigned mask) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return 0;
    }
    unsigned state = 0;
    if (item->isSelected()) {
        state |= kStateSelected;
    }
    if (currentItem() == item) {
        state |= kStateFocused;
    }
    if (item->data(0, kDropRole).toBool()) {
        state |= kStateDropHighlighted;
    }
    return state & mask;
}

bool CListCtrlX::SetItemState(int row, unsigned state, unsigned mask) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return false;
    }
    if ((mask & kStateSelected) != 0) {
        item->setSelected((state & kStateSelected) != 0);
    }
    if ((mask & kStateFocused) != 0) {
        if ((state & kStateFocused) != 0) {
            selectionModel()->setCurrentIndex(indexFromItem(item), QItemSelectionModel::NoUpdate);
        } else if (currentItem() == item) {
            selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        }
    }
    if ((mask & kStateDropHighlighted) != 0) {
        item->setData(0, kDropRole, (state & kStateDropHighlighted) != 0);
    }
    viewport()->update();
    return true;
}

bool CListCtrlX::SetItemSortKey(int row, int column, std::int64_t key) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || column < 0 || column >= GetColumnCount()) {
        return false;
    }
    item->setData(column, kSortKeyRole, QVariant::fromValue<qint64>(key));
    return true;
}

std::int64_t CListCtrlX::GetItemSortKey(int row, int column, std::int64_t fallback) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || column < 0) {
        return fallback;
    }
    const QVariant key = item->data(column, kSortKeyRole);
    return key.isValid() ? key.toLongLong() : fallback;
}

// ---- Sorting ------------------------------------------------------------------------

void CListCtrlX::OnColumnClick(int column) {
    if (column < 0 || column >= GetColumnCount()) {
        return;
    }
    m_sortDescending = column == m_sortColumn && !m_sortDescending;
    m_sortColumn = column;
    ApplySort();
}

void CListCtrlX::ApplySort() {
    if (m_sortColumn < 0 || m_sortColumn >= GetColumnCount()) {
        return;
    }
    header()->setSortIndicatorShown(true);
    // A stable sort: rows that compare equal keep their order, the selection
    // and the current row stay with their rows.
    sortItems(m_sortColumn, m_sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

int CListCtrlX::GetNextSelectedItem(int after) const {
    for (int row = std::max(after + 1, 0); row < topLevelItemCount(); ++row) {
        if (topLevelItem(row)->isSelected()) {
            return row;
        }
    }
    return -1;
}

int CListCtrlX::GetSelectedCount() const {
    return static_cast<int>(selectedItems().size());
}

void CListCtrlX::SetShowSelectionAlways(bool on) {
    m_showSelectionAlways = on;
    viewport()->update();
}

// ---- The file lists' columns ------------------------------------------------------

void CListCtrlX::UseFileColumns() {
    QHeaderView* head = header();
    if (head->count() < 3) {
        return;
    }
    const QFontMetrics pane(platform::PaneFont());
    // Digits need not be equally wide in every font: measure with the widest.
    QChar widest = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d) {
        if (pane.horizontalAdvance(QLatin1Char(d)) > pane.horizontalAdvance(widest)) {
            widest = QLatin1Char(d);
        }
    }
    const auto textWidth = [&](std::initializer_list<const char*> samples) {
        int width = 0;
        for (const char* sample : samples) {
            QString text = QString::fromLatin1(sample);
            text.replace(QLatin1Char('0'), widest);
            width = std::max(width, pane.horizontalAdvance(text));
        }
        return width;
    };
    // The insets DrawItem leaves, and a pixel for rounding.
    const int insets = Margin() / 2 + Margin() + 1;
    // Sizes up to about 95 GB; beyond that the list's own sizes are not the limit.
    const int size = std::max(textWidth({"00,000,000"}) + insets, head->sectionSizeHint(1));
    const int date =
        std::max(textWidth({"0000-00-00 AM 00:00:00", "0000-00-00 PM 00:00:00"}) + insets,
                 head->sectionSizeHint(2));
    head->setMinimumSectionSize(std::min(head->sectionSizeHint(0), size));
    head->setSectionResizeMode(1, QHeaderView::Fixed);
    head->setSectionResizeMode(2, QHeaderView::Fixed);
    setColumnWidth(1, size);
    setColumnWidth(2, date);
    // Whatever the viewport leaves, also once a vertical scroll bar takes its share.
    head->setSectionResizeMode(0, QHeaderView::Stretch);
}

bool CListCtrlX::IsNameCut(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return false;
    }
    // The width is known whether or not the row is scrolled into view.
    const int room =
        GetColumnWidth(0) - (m_hasImageList ? kIconSize : 0) - kIconLeft - Margin() / 2 - Margin();
    return QFontMetrics(platform::PaneFont()).horizontalAdvance(VisibleText(item->text(0))) > room;
}

QString CListCtrlX::ToolTipAt(const QPoint& viewportPos) const {
    QTreeWidgetItem* item = itemAt(viewportPos);
    if (item == nullptr || item->parent() != nullptr) {
        return {};
    }
    const int row = indexOfTopLevelItem(item);
    const QRect label = GetItemRect(row, kRectLabel);
    if (viewportPos.x() >= label.left() + label.width() || !IsNameCut(row)) {
        return {};
    }
    return VisibleText(item->text(0));
}

bool CListCtrlX::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QTreeWidget::viewportEvent(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = ToolTipAt(help->pos());
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), tip, viewport());
    }
    return true;
}

// ---- Geometry -------------------------------------------------------------------

int CListCtrlX::Margin() const {
    return 2 * fontMetrics().horizontalAdvance(QLatin1Char(' '));
}

int CListCtrlX::TotalColumnWidth() const {
    int total = 0;
    for (int c = 0; c < GetColumnCount(); ++c) {
        total += columnWidth(c);
    }
    return total;
}

int CListCtrlX::RowHeight() const {
    // Tall enough for the pane font, which is larger than the list's own.
    const int own = fontMetrics().height();
    const int pane = QFontMetrics(platform::PaneFont()).height();
    return std::max({own, pane, kIconSize}) + 2;
}

QRect CListCtrlX::GetItemRect(int row, int code) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return {};
    }
    const QRect cell = visualItemRect(item);
    if (cell.isNull()) {
        return {};
    }
    const int left = -horizontalOffset();
    const QRect bounds(left, cell.top(), TotalColumnWidth(), cell.height());
    const int iconWidth = m_hasImageList ? kIconSize : 0;
    const QRect icon(left + kIconLeft, cell.top(), iconWidth, cell.height());
    switch (code) {
        case kRectIcon:
            return icon;
        case kRectLabel: {
            const int labelLeft = icon.left() + icon.width();
            return {labelLeft, cell.top(), left + GetColumnWidth(0) - labelLeft, cell.height()};
        }
        default:
            return bounds;
    }
}

// ---- Painting ---------------------------------------------------------------------

void CListCtrlX::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    if (index.parent().isValid()) {
        return;
    }
    DrawItem(painter, index.row(), option.rect);
}

void CListCtrlX::DrawItem(QPainter* painter, int row, const QRect& /*rowRect*/) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return;
    }
    painter->save();

    const int image = GetItemImage(row);
    const unsigned state = GetItemState(row, kStateAll);
    const bool focused = hasFocus();
    const bool selected = (state & kStateSelected) != 0;
    const bool highlighted =
        (state & kStateDropHighlighted) != 0 || (selected && (focused || m_showSelectionAlways));

    const QRect bounds = GetItemRect(row, kRectBounds);
    const QRect label = GetItemRect(row, kRectLabel);
    const QRect icon = GetItemRect(row, kRectIcon);
    const QString name = VisibleText(item->text(0));
    const int margin = Margin();
    const int total = TotalColumnWidth();

    // The highlight runs from the label to the end of the last column (taken from
    // the row's own left edge, so it stays right when scrolled sideways).
    QRect highlight = label;
    highlight.setRight(bounds.left() + total - 1);

    QColor textColor = GetSysColor(COLOR_WINDOWTEXT);
    if (highlighted) {
        textColor = GetSysColor(COLOR_HIGHLIGHTTEXT);
        painter->fillRect(highlight, GetSysColor(COLOR_HIGHLIGHT));
    } else if (selected) {
        textColor = GetSysColor(COLOR_GRAYTEXT);
        painter->fillRect(highlight, GetSysColor(COLOR_INACTIVEBORDER));
    } else {
        painter->fillRect(highlight, GetSysColor(COLOR_WINDOW));
    }

    painter->setClipRect(QRect(bounds.left(), bounds.top(), total, bounds.height()),
                         Qt::IntersectClip);

    if (m_hasImageList && image >= 0 && image < static_cast<int>(m_images.size())) {
        const QRect r(icon.left(), icon.top() + (icon.height() - kIconSize) / 2, kIconSize,
                      kIconSize);
        m_images[static_cast<std::size_t>(image)].paint(painter, r);
    }

    painter->setFont(platform::PaneFont());
    painter->setPen(textColor);
    const auto inset = [margin](const QRect& r) { return r.adjusted(margin / 2, 0, -margin, 0); };
    // A name too long for its column ends in "…" rather than in the middle of a letter.
    const QRect nameRect = inset(label);
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(name, Qt::ElideRight, nameRect.width()));

    // Size right-aligned, date left-aligned; further columns carry no text.
    int cellLeft = label.left() + label.width();
    for (int c = 1; c < GetColumnCount() && c <= 2; ++c) {
        const QRect cell(cellLeft, label.top(), columnWidth(c), label.height());
        const Qt::Alignment align = c == 1 ? Qt::AlignRight : Qt::AlignLeft;
        painter->drawText(inset(cell), align | Qt::AlignVCenter, VisibleText(item->text(c)));
        cellLeft += cell.width();
    }

    if ((state & kStateFocused) != 0 && focused) {
        QPen pen(textColor);
        pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(highlight.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

void CListCtrlX::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    viewport()->update();
}

void CListCtrlX::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    viewport()->update();
}

// ---- Keys, context menu, drag and drop -----------------------------------------------

void CListCtrlX::keyPressEvent(QKeyEvent* event) {
    const int vk = platform::QtKeyToVirtualKey(event->key());
    const unsigned modifiers = PaneKeyModifiers(event->modifiers());
    if (vk != 0 && m_hooks.key && m_hooks.key(vk, modifiers)) {
        event->accept();
        return;
    }
    // Enter opens the selection as a double-click does.
    if (vk == platform::VK_RETURN && modifiers == 0) {
        OnDblClk(GetNextSelectedItem(-1));
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CListCtrlX::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_hooks.contextMenu) {
        QTreeWidget::contextMenuEvent(event);
        return;
    }
    QTreeWidgetItem* item = nullptr;
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        item = itemAt(event->pos());
    } else {
        // From the keyboard: over the current row when it is selected.
        item = currentItem() != nullptr && currentItem()->isSelected() ? currentItem() : nullptr;
        const QRect cell = item != nullptr ? visualItemRect(item) : QRect();
        at = viewport()->mapToGlobal(cell.isValid() ? cell.center() : QPoint(0, 0));
    }
    m_hooks.contextMenu(item, at);
    event->accept();
}

void CListCtrlX::StartDrag() {
    if (!m_hooks.dragData || GetSelectedCount() == 0) {
        return;
    }
    QMimeData* carried = m_hooks.dragData();
    if (carried == nullptr) {
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(carried);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void CListCtrlX::startDrag(Qt::DropActions /*supportedActions*/) {
    StartDrag();
}

void CListCtrlX::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void CListCtrlX::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (event->source() != this && m_hooks.canDrop && m_hooks.canDrop(event->mimeData(), item)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CListCtrlX::dropEvent(QDropEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (event->source() == this || !m_hooks.canDrop || !m_hooks.drop ||
        !m_hooks.canDrop(event->mimeData(), item)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    m_hooks.drop(event->mimeData(), item);
}

// ---- Double-click -------------------------------------------------------------

void CListCtrlX::mouseDoubleClickEvent(QMouseEvent* event) {
    // The selection decides, not the row under the pointer. Qt treats a
    // double-click off the rows as a click that clears the selection, so the
    // selection is taken before that.
    const int before = GetNextSelectedItem(-1);
    QTreeWidget::mouseDoubleClickEvent(event);
    OnDblClk(before >= 0 ? before : GetNextSelectedItem(-1));
}

void CListCtrlX::OnDblClk(int firstSelected) {
    if (firstSelected < 0) {
        return;
    }
    // The double-click goes to the parent widget when that is a window with a
    // handle.
    HWND target = nullptr;
    if (const auto* owner = dynamic_cast<const CMessageTarget*>(parentWidget())) {
        target = owner->GetSafeHwnd();
    }
    SendMessage(target, WM_LIST_DBLCLK, static_cast<WPARAM>(firstSelected), 0);
}
