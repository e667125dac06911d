#include "app/controls/treectrlx.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "app/controls/visibletext.h"
#include "core/names.h"
#include "device/tavrixapi.h"
#include "platform/pcfs.h"
#include "platform/syscolor.h"
#include "platform/templates.h"
#include "platform/trace.h"

namespace {

constexpr int kImageRole = Qt::UserRole;
constexpr int kIconSize = 16;
// Where the image and the label start inside an item's cell.
constexpr int kIconLeft = 1;
constexpr int kTextLeft = kIconLeft + kIconSize + 3;
// Win32-style text rectangles leave a little room on either side of the text.
constexpr int kTextPadding = 4;
// Trailing highlight after a selected label, so the selection reads as a block.
constexpr int kHighlightTail = 10;
constexpr const char* kPlaceholder = "AAAAA";
constexpr const char* kPcRootLabel = "My Computer";
constexpr const char* kPvrRootPath = "C:\\PVR";

// Icon resources, in image list order.
constexpr int kIconIds[] = {142, 135, 137, 136, 138, 141};
constexpr int kRootIconId = 128;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// Labels are names: they compare by the program's one rule for names.
bool LabelIs(const QTreeWidgetItem* item, std::string_view name) {
    return EqualsNoCase(ToUtf8(item->text(0)), name);
}

// Reading a folder can take a while on slow media; the whole application
// shows that, not just the tree.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

// Draws only the image: the labels are painted over the finished tree in the
// pane font, and the selection is painted with them.
class CTreeCtrlX::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(CTreeCtrlX* tree) : QStyledItemDelegate(tree), m_tree(tree) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (!m_tree->m_hasImageList) {
            return;
        }
        const int image = index.data(kImageRole).toInt();
        if (image < 0 || image >= static_cast<int>(m_tree->m_images.size())) {
            return;
        }
        const QRect r(option.rect.left() + kIconLeft,
                      option.rect.top() + (option.rect.height() - kIconSize) / 2, kIconSize,
                      kIconSize);
        m_tree->m_images[static_cast<std::size_t>(image)].paint(painter, r);
    }

    QSize sizeHint(const QStyleOptionViewItem& /*option*/,
                   const QModelIndex& index) const override {
        const QFontMetrics fm(platform::PaneFont());
        const int width = kTextLeft + fm.horizontalAdvance(VisibleText(index.data().toString())) +
                          2 + kHighlightTail + kTextPadding;
        return {width, kItemHeight};
    }

private:
    CTreeCtrlX* m_tree;
};

CTreeCtrlX::CTreeCtrlX(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(kIconSize, kIconSize));
    setItemDelegate(new Delegate(this));
    // One column as wide as its widest visible label, so long names scroll
    // sideways instead of being cut off.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    // Files may be dropped on a folder; what is taken, the owner decides.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);

    // The style's own selection would show through around the painted labels.
    QPalette pal = palette();
    pal.setColor(QPalette::Base, GetSysColor(COLOR_WINDOW));
    pal.setColor(QPalette::Highlight, GetSysColor(COLOR_WINDOW));
    pal.setColor(QPalette::HighlightedText, GetSysColor(COLOR_WINDOWTEXT));
    setPalette(pal);

    m_connections.push_back(
        connect(this, &QTreeWidget::itemExpanded, this,
                [this](QTreeWidgetItem* item) { OnExpandChanged(item, true); }));
    m_connections.push_back(
        connect(this, &QTreeWidget::itemCollapsed, this,
                [this](QTreeWidgetItem* item) { OnExpandChanged(item, false); }));
    m_connections.push_back(connect(this, &QTreeWidget::itemSelectionChanged, this, [this]() {
        if (m_onSelChanged) {
            m_onSelChanged();
        }
    }));
    ApplyCursor();
}

CTreeCtrlX::~CTreeCtrlX() {
    // The base classes still delete items and emit signals after this body has
    // run, when the handlers' objects (and the view's) are gone.
    for (const QMetaObject::Connection& c : m_connections) {
        disconnect(c);
    }
    ClearImages();
}

bool CTreeCtrlX::Create(QWidget* parent, const QRect& rect, int id) {
    setParent(parent);
    setGeometry(rect);
    m_ctrlId = id;
    show();
    return true;
}

// ---- Building -------------------------------------------------------------------

void CTreeCtrlX::Init(int mode) {
    m_mode = mode;
    m_images.clear();
    for (const int id : kIconIds) {
        m_images.push_back(platform::LoadIcon(id));
    }
    m_hasImageList = true;
    BuildRoot();
    if (m_mode == kPcMode) {
        if (HTREEITEM root = GetRootItem()) {
            root->setExpanded(true);
        }
    }
}

void CTreeCtrlX::BuildRoot() {
    const std::vector<std::string> drives = platform::GetLogicalDriveStrings();
    m_images.push_back(platform::LoadIcon(kRootIconId));
    const int rootImage = static_cast<int>(m_images.size()) - 1;

    HTREEITEM root = NewItem(
        m_mode == kPcMode ? QString::fromLatin1(kPcRootLabel) : FromUtf8(m_rootLabel), rootImage);
    addTopLevelItem(root);
    if (m_mode != kPcMode) {
        SelectItem(root);
        return;
    }
    for (const std::string& drive : drives) {
        AddDrive(drive);
    }
}

void CTreeCtrlX::AddDrive(const std::string& root) {
    int image = kImageFixedDrive;
    switch (platform::GetDriveType(root)) {
        case platform::DriveType::Removable:
            image = kImageRemovableDrive;
            break;
        case platform::DriveType::Remote:
            image = kImageRemoteDrive;
            break;
        case platform::DriveType::Cdrom:
            image = kImageCdromDrive;
            break;
        default:
            break;
    }
    HTREEITEM item = InsertSorted(GetRootItem(), FromUtf8(root), image);
    InsertPlaceholder(item);
}

bool CTreeCtrlX::PopulateFolder(const std::string& searchSpec, HTREEITEM parent) {
    std::vector<platform::FindEntry> entries;
    if (!platform::FindFiles(searchSpec, entries)) {
        TRACE("FindFile() error %d\n", platform::LastFsError());
        return false;
    }
    std::vector<QString> folders;
    for (const platform::FindEntry& e : entries) {
        TRACE("====>%s\n", e.name.c_str());
        if (!e.isFolder || e.name == "." || e.name == "..") {
            continue;
        }
        folders.push_back(FromUtf8(e.name));
    }
    InsertSortedBatch(parent, folders, kImageClosedFolder, true);
    return true;
}

std::string CTreeCtrlX::BuildPath(const std::string& text, HTREEITEM item) const {
    const HTREEITEM root = GetRootItem();
    std::string path = text;
    while (item != nullptr && item != root && item->parent() != root && item->parent() != nullptr) {
        HTREEITEM parent = item->parent();
        // Drive labels already end with "\".
        if (parent->parent() != root) {
            path.insert(0, "\\");
        }
        path.insert(0, GetItemText(parent));
        item = parent;
    }
    return path;
}

// ---- Expansion ----------------------------------------------------------------

void CTreeCtrlX::OnExpandChanged(HTREEITEM item, bool expanded) {
    if (m_undoingExpansion) {
        return;
    }
    if (OnItemExpanding(item, expanded)) {
        m_undoingExpansion = true;
        item->setExpanded(!expanded);
        m_undoingExpansion = false;
    }
}

bool CTreeCtrlX::OnItemExpanding(HTREEITEM item, bool expanding) {
    if (m_mode != kPcMode) {
        return false;
    }
    const HTREEITEM root = GetRootItem();
    if (item != root) {
        // Nothing is cached: both expanding and collapsing show the disk as it
        // is now, and a folder that cannot be read is left empty.
        std::string path = BuildPath(GetItemText(item), item);
        if (!path.ends_with('\\')) {
            path += '\\';
        }
        path += "*.*";
        DeleteChildren(item);
        bool read = false;
        {
            const WaitCursor wait;
            read = PopulateFolder(path, item);
        }
        if (!read) {
            return true;
        }
    }
    if (item == root || item->parent() == root) {
        return false;
    }
    if (!expanding) {
        SetItemImage(item, kImageClosedFolder);
    } else if (item->childCount() > 0) {
        SetItemImage(item, kImageOpenFolder);
    }
    return false;
}

// ---- Paths ----------------------------------------------------------------------

HTREEITEM CTreeCtrlX::GetSelectedPath(std::string& path) const {
    HTREEITEM item = GetSelectedItem();
    if (item == nullptr) {
        item = GetRootItem();
    }
    path = GetItemPath(item);
    return item;
}

std::string CTreeCtrlX::GetItemPath(HTREEITEM item) const {
    std::string path;
    if (item == nullptr) {
        return path;
    }
    const HTREEITEM root = GetRootItem();
    for (HTREEITEM it = item; it != nullptr && it != root; it = it->parent()) {
        std::string label = GetItemText(it);
        if (!label.ends_with('\\')) {
            label += '\\';
        }
        path.insert(0, label);
    }
    if (m_mode == kPvrMode) {
        if (!path.empty()) {
            path.insert(0, "\\");
        }
        path.insert(0, kPvrRootPath);
    }
    return path;
}

bool CTreeCtrlX::NeedsListing() const {
    HTREEITEM item = GetSelectedItem();
    if (item == nullptr) {
        item = GetRootItem();
    }
    if (item == nullptr) {
        return false;
    }
    return item->childCount() == 0 || !item->isExpanded();
}

std::vector<QString> CTreeCtrlX::PathComponents(const std::string& path) const {
    std::string_view rest = path;
    if (m_mode == kPvrMode && StartsWithNoCase(rest, kPvrRootPath)) {
        rest.remove_prefix(std::strlen(kPvrRootPath));
    }
    // Empty components (a leading "\", a trailing "\", or "\\") name nothing.
    std::vector<QString> components;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\\'), rest.size());
        std::string part(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (part.empty()) {
            continue;
        }
        // "C:" names the drive item "C:\".
        if (part.back() == ':') {
            part += '\\';
        }
        components.push_back(FromUtf8(part));
    }
    return components;
}

HTREEITEM CTreeCtrlX::FindChild(HTREEITEM parent, const QString& label) const {
    if (parent == nullptr) {
        return nullptr;
    }
    const std::string name = ToUtf8(label);
    for (int i = 0; i < parent->childCount(); ++i) {
        HTREEITEM child = parent->child(i);
        if (LabelIs(child, name)) {
            return child;
        }
    }
    return nullptr;
}

HTREEITEM CTreeCtrlX::FindItemByPath(const std::string& path) const {
    HTREEITEM item = GetRootItem();
    if (item == nullptr) {
        return nullptr;
    }
    for (const QString& component : PathComponents(path)) {
        if (HTREEITEM child = FindChild(item, component)) {
            item = child;
        }
    }
    return item;
}

HTREEITEM CTreeCtrlX::FindExactItemByPath(const std::string& path) const {
    HTREEITEM item = GetRootItem();
    for (const QString& component : PathComponents(path)) {
        item = FindChild(item, component);
        if (item == nullptr) {
            return nullptr;
        }
    }
    return item;
}

void CTreeCtrlX::SelectPath(const std::string& path) {
    if (path.empty()) {
        return;
    }
    HTREEITEM item = GetRootItem();
    if (item == nullptr) {
        return;
    }
    bool lastMatched = true;
    for (const QString& component : PathComponents(path)) {
        HTREEITEM child = FindChild(item, component);
        lastMatched = child != nullptr;
        if (child != nullptr) {
            item = child;
            // In PC mode this reads the folder, so the next component can be found.
            Expand(item, true);
        }
    }
    SelectItem(lastMatched ? item : nullptr);
}

void CTreeCtrlX::FillFromList(const std::string& folderPath, int count,
                              const StbFindData* entries) {
    // Only the listed folder's own item may take the listing: a deeper match
    // would give an ancestor the wrong children.
    HTREEITEM parent = FindExactItemByPath(folderPath);
    if (parent == nullptr) {
        return;
    }
    // Entry names may carry the listed folder's path; the folder path from the
    // tree already ends with "\" below the root, and must not get a second one.
    std::string prefix = folderPath;
    if (!prefix.ends_with('\\')) {
        prefix += '\\';
    }
    DeleteChildren(parent);
    std::vector<QString> folders;
    for (int i = 0; entries != nullptr && i < count; ++i) {
        const StbFindData& e = entries[i];
        std::string name(FieldText(e.name));
        if (e.kind != STB_ENTRY_FOLDER || name.empty()) {
            continue;
        }
        if (name.starts_with(prefix)) {
            name.erase(0, prefix.size());
        }
        folders.push_back(FromUtf8(name));
    }
    InsertSortedBatch(parent, folders, kImageClosedFolder, false);
    Expand(parent, true);
}

bool CTreeCtrlX::AddFolder(const std::string& parentPath, const std::string& name) {
    HTREEITEM parent = FindExactItemByPath(parentPath);
    if (parent == nullptr) {
        return false;
    }
    InsertSorted(parent, FromUtf8(name), kImageClosedFolder);
    Expand(parent, true);
    return true;
}

void CTreeCtrlX::DeleteItemByPath(const std::string& path) {
    HTREEITEM item = FindExactItemByPath(path);
    // The root is never a folder anyone deletes; a path that leads nowhere
    // must not take an ancestor with it.
    if (item == nullptr || item == GetRootItem()) {
        return;
    }
    RemoveItem(item);
}

HTREEITEM CTreeCtrlX::FindItemByName(const std::string& name) const {
    std::vector<HTREEITEM> stack;
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        stack.push_back(topLevelItem(i));
    }
    while (!stack.empty()) {
        HTREEITEM item = stack.back();
        stack.pop_back();
        if (LabelIs(item, name)) {
            return item;
        }
        for (int i = item->childCount() - 1; i >= 0; --i) {
            stack.push_back(item->child(i));
        }
    }
    return nullptr;
}

// ---- Items ----------------------------------------------------------------------

HTREEITEM CTreeCtrlX::NewItem(const QString& label, int image) const {
    auto* item = new QTreeWidgetItem(QStringList{label});
    item->setData(0, kImageRole, image);
    return item;
}

HTREEITEM CTreeCtrlX::InsertSorted(HTREEITEM parent, const QString& label, int image) {
    HTREEITEM item = NewItem(label, image);
    const std::string name = ToUtf8(label);
    int pos = parent->childCount();
    for (int i = 0; i < parent->childCount(); ++i) {
        if (CompareNoCase(ToUtf8(parent->child(i)->text(0)), name) > 0) {
            pos = i;
            break;
        }
    }
    parent->insertChild(pos, item);
    return item;
}

void CTreeCtrlX::InsertSortedBatch(HTREEITEM parent, std::vector<QString>& labels, int image,
                                   bool placeholders) {
    if (parent->childCount() > 0) {
        for (const QString& label : labels) {
            HTREEITEM item = InsertSorted(parent, label, image);
            if (placeholders) {
                InsertPlaceholder(item);
            }
        }
        return;
    }
    // Equal labels keep their order, as one-by-one sorted insertion would. The
    // folded text orders as CompareNoCase does, and is made once per label.
    std::vector<std::pair<std::string, const QString*>> sorted;
    sorted.reserve(labels.size());
    for (const QString& label : labels) {
        sorted.emplace_back(FoldCase(ToUtf8(label)), &label);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(labels.size()));
    for (const auto& [key, labelPointer] : sorted) {
        const QString& label = *labelPointer;
        HTREEITEM item = NewItem(label, image);
        if (placeholders) {
            item->addChild(NewItem(QString::fromLatin1(kPlaceholder), kNoImage));
        }
        items.push_back(item);
    }
    parent->addChildren(items);
}

void CTreeCtrlX::InsertPlaceholder(HTREEITEM parent) {
    parent->addChild(NewItem(QString::fromLatin1(kPlaceholder), kNoImage));
}

void CTreeCtrlX::SetItemImage(HTREEITEM item, int image) {
    item->setData(0, kImageRole, image);
}

int CTreeCtrlX::GetItemImage(HTREEITEM item) const {
    return item != nullptr ? item->data(0, kImageRole).toInt() : kNoImage;
}

void CTreeCtrlX::DeleteChildren(HTREEITEM item) {
    HTREEITEM selected = GetSelectedItem();
    if (selected != nullptr && selected != item && CTreeCtrlX::IsSelfOrAncestor(item, selected)) {
        SelectItem(item);
    }
    const QList<QTreeWidgetItem*> children = item->takeChildren();
    qDeleteAll(children);
}

void CTreeCtrlX::RemoveItem(HTREEITEM item) {
    // Like any tree, hand the selection on (next sibling, previous sibling,
    // parent) rather than leave the view without a current folder.
    HTREEITEM selected = GetSelectedItem();
    if (selected != nullptr && CTreeCtrlX::IsSelfOrAncestor(item, selected)) {
        HTREEITEM parent = item->parent();
        const int index =
            parent != nullptr ? parent->indexOfChild(item) : indexOfTopLevelItem(item);
        const int siblings = parent != nullptr ? parent->childCount() : topLevelItemCount();
        auto sibling = [&](int i) {
            return parent != nullptr ? parent->child(i) : topLevelItem(i);
        };
        HTREEITEM next = nullptr;
        if (index + 1 < siblings) {
            next = sibling(index + 1);
        } else if (index > 0) {
            next = sibling(index - 1);
        } else {
            next = parent;
        }
        SelectItem(next);
    }
    delete item;
}

HTREEITEM CTreeCtrlX::GetRootItem() const {
    return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr;
}

HTREEITEM CTreeCtrlX::GetSelectedItem() const {
    HTREEITEM item = currentItem();
    return item != nullptr && item->isSelected() ? item : nullptr;
}

void CTreeCtrlX::SelectItem(HTREEITEM item) {
    if (item == nullptr) {
        setCurrentItem(nullptr);
        clearSelection();
        return;
    }
    setCurrentItem(item);
    scrollToItem(item);
}

std::string CTreeCtrlX::GetItemText(HTREEITEM item) const {
    return item != nullptr ? ToUtf8(item->text(0)) : std::string();
}

void CTreeCtrlX::SetItemText(HTREEITEM item, const std::string& text) {
    if (item != nullptr) {
        item->setText(0, FromUtf8(text));
    }
}

void CTreeCtrlX::DeleteAllItems() {
    clear();
}

void CTreeCtrlX::Expand(HTREEITEM item, bool expand) {
    if (item != nullptr) {
        item->setExpanded(expand);
    }
}

void CTreeCtrlX::ClearImages() {
    if (!m_hasImageList) {
        return;
    }
    m_images.clear();
    m_hasImageList = false;
    viewport()->update();
}

QRect CTreeCtrlX::GetItemRect(HTREEITEM item, bool textOnly) const {
    if (item == nullptr) {
        return {};
    }
    const QRect cell = visualItemRect(item);
    if (!textOnly || cell.isNull()) {
        return cell;
    }
    const int left = cell.left() + (m_hasImageList ? kTextLeft : kIconLeft);
    const int width = fontMetrics().horizontalAdvance(VisibleText(item->text(0))) + kTextPadding;
    return {left, cell.top(), width, cell.height()};
}

void CTreeCtrlX::SetPaneName(const std::string& name) {
    const QString text = FromUtf8(name);
    setAccessibleName(text);
    headerItem()->setText(0, text);
}

// ---- Busy mode and input --------------------------------------------------------

void CTreeCtrlX::SetEnabled(bool enabled) {
    m_enabled = enabled;
    ApplyCursor();
    viewport()->update();
}

void CTreeCtrlX::ApplyCursor() {
    // Cursors are per widget here, so the busy tree shows the wait cursor while
    // the pointer is over it and nothing global needs restoring afterwards.
    const Qt::CursorShape shape = m_enabled ? Qt::ArrowCursor : Qt::WaitCursor;
    setCursor(shape);
    viewport()->setCursor(shape);
}

void CTreeCtrlX::mousePressEvent(QMouseEvent* event) {
    if (!m_enabled) {
        event->accept();
        return;
    }
    // A right click brings the focus and a context menu for the folder under
    // it; it selects nothing, since on the PVR a selection starts a listing.
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    // A click below the items would clear the selection, and with it the folder
    // whose files the pane shows; it only brings the tree the focus.
    if (!indexAt(event->position().toPoint()).isValid()) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CTreeCtrlX::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double-click is a press too; while busy it must not expand anything.
    if (!m_enabled) {
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void CTreeCtrlX::mouseReleaseEvent(QMouseEvent* event) {
    // Some styles toggle an item's expansion on release.
    if (!m_enabled) {
        event->accept();
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void CTreeCtrlX::keyPressEvent(QKeyEvent* event) {
    if (!m_enabled) {
        event->accept();
        return;
    }
    // "Expand everything below" would read the whole disk on the UI thread, and
    // through links a folder can contain itself.
    if (m_mode == kPcMode && event->key() == Qt::Key_Asterisk) {
        event->accept();
        return;
    }
    const int vk = platform::QtKeyToVirtualKey(event->key());
    const unsigned modifiers = PaneKeyModifiers(event->modifiers());
    if (vk != 0 && m_hooks.key && m_hooks.key(vk, modifiers)) {
        event->accept();
        return;
    }
    if (m_onKeyDown) {
        m_onKeyDown(vk);
    }
    // Backspace goes up a folder (the root has nowhere to go).
    if (vk == platform::VK_BACK && modifiers == 0) {
        const HTREEITEM item = GetSelectedItem();
        if (item != nullptr && item->parent() != nullptr) {
            SelectItem(item->parent());
        }
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

// ---- Context menu and drops ----------------------------------------------------------

void CTreeCtrlX::SetDropHighlight(HTREEITEM item) {
    const QPersistentModelIndex index(item != nullptr ? indexFromItem(item) : QModelIndex());
    if (index != m_dropHighlight) {
        m_dropHighlight = index;
        viewport()->update();
    }
}

void CTreeCtrlX::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_enabled || !m_hooks.contextMenu) {
        event->accept();
        return;
    }
    HTREEITEM item = nullptr;
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        item = itemAt(event->pos());
    } else {
        item = GetSelectedItem();
        const QRect cell = item != nullptr ? GetItemRect(item, true) : QRect();
        at = viewport()->mapToGlobal(cell.isValid() ? cell.center() : QPoint(0, 0));
    }
    if (item == nullptr) {
        event->accept();
        return;
    }
    // The folder the menu is for shows as such while the menu is up.
    SetDropHighlight(item);
    m_hooks.contextMenu(item, at);
    SetDropHighlight(nullptr);
    event->accept();
}

void CTreeCtrlX::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void CTreeCtrlX::dragMoveEvent(QDragMoveEvent* event) {
    HTREEITEM item = itemAt(event->position().toPoint());
    if (m_enabled && m_hooks.canDrop && m_hooks.canDrop(event->mimeData(), item)) {
        SetDropHighlight(item);
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        SetDropHighlight(nullptr);
        event->ignore();
    }
}

void CTreeCtrlX::dragLeaveEvent(QDragLeaveEvent* event) {
    SetDropHighlight(nullptr);
    event->accept();
}

void CTreeCtrlX::dropEvent(QDropEvent* event) {
    SetDropHighlight(nullptr);
    HTREEITEM item = itemAt(event->position().toPoint());
    if (!m_enabled || !m_hooks.canDrop || !m_hooks.drop ||
        !m_hooks.canDrop(event->mimeData(), item)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    m_hooks.drop(event->mimeData(), item);
}

// The selection's colours depend on the focus.
void CTreeCtrlX::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    viewport()->update();
}

void CTreeCtrlX::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    viewport()->update();
}

// ---- Painting ---------------------------------------------------------------------

void CTreeCtrlX::paintEvent(QPaintEvent* event) {
    // Lines, buttons and images first; then the labels in the pane font, with a
    // selection that stays visible (grey) when the tree has no focus.
    QTreeWidget::paintEvent(event);

    const bool focused = hasFocus();
    QPainter painter(viewport());
    painter.setClipRegion(event->region());
    const QFont& font = platform::PaneFont();
    painter.setFont(font);
    const QFontMetrics fm(font);

    const int x = std::max(0, columnViewportPosition(0));
    HTREEITEM item = itemAt(QPoint(x, 0));
    const int maxItems = viewport()->height() / kItemHeight + 1;
    for (int n = 0; item != nullptr && n < maxItems; ++n, item = itemBelow(item)) {
        const QRect textRect = GetItemRect(item, true);
        if (textRect.top() >= viewport()->height()) {
            break;
        }
        const QString label = VisibleText(item->text(0));
        const int labelWidth = fm.horizontalAdvance(label);
        QColor textColor;
        const bool highlighted = item->isSelected() || (m_dropHighlight.isValid() &&
                                                        indexFromItem(item) == m_dropHighlight);
        if (!highlighted) {
            textColor = m_enabled ? QColor(0, 0, 0) : GetSysColor(COLOR_GRAYTEXT);
            painter.fillRect(textRect, GetSysColor(m_enabled ? COLOR_WINDOW : COLOR_SCROLLBAR));
        } else {
            textColor = GetSysColor(focused ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT);
            const QRect fill(textRect.left(), textRect.top(), labelWidth + kHighlightTail,
                             textRect.height());
            painter.fillRect(fill, GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_INACTIVEBORDER));
        }
        painter.setPen(textColor);
        painter.drawText(QPoint(textRect.left() + 2, textRect.top() + 1 + fm.ascent()), label);
    }
}

bool CTreeCtrlX::IsSelfOrAncestor(const QTreeWidgetItem* candidate, const QTreeWidgetItem* item) {
    for (const QTreeWidgetItem* it = item; it != nullptr; it = it->parent()) {
        if (it == candidate) {
            return true;
        }
    }
    return false;
}
