// The folder tree of both tree panes.
//
// PC mode shows "My Computer" with the drives of the drive table below it and
// reads folders from the disk only when they are expanded; PVR mode shows one
// root that stands for C:\PVR, whose folders the PVR tree view hands in from
// device listings. Items are addressed by path: labels joined with "\", compared
// without regard to case.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QIcon>
#include <QPersistentModelIndex>
#include <QTreeWidget>

#include "app/controls/panehooks.h"

struct StbFindData;

using HTREEITEM = QTreeWidgetItem*;

class CTreeCtrlX : public QTreeWidget {
public:
    // Modes for Init.
    static constexpr int kPvrMode = 0;
    static constexpr int kPcMode = 1;

    // True when item is candidate or lies below it.
    static bool IsSelfOrAncestor(const QTreeWidgetItem* candidate, const QTreeWidgetItem* item);

    // Image list indexes.
    static constexpr int kImageFixedDrive = 0;
    static constexpr int kImageRemoteDrive = 1;
    static constexpr int kImageRemovableDrive = 2;
    static constexpr int kImageCdromDrive = 3;
    static constexpr int kImageClosedFolder = 4;
    static constexpr int kImageOpenFolder = 5;
    static constexpr int kImageRoot = 6;
    static constexpr int kNoImage = -1;

    static constexpr int kItemHeight = 20;

    explicit CTreeCtrlX(QWidget* parent = nullptr);
    ~CTreeCtrlX() override;
    CTreeCtrlX(const CTreeCtrlX&) = delete;
    CTreeCtrlX& operator=(const CTreeCtrlX&) = delete;

    // Makes the control a visible child of parent at rect (parent's client
    // coordinates) with the given control id.
    bool Create(QWidget* parent, const QRect& rect, int id);
    int GetDlgCtrlID() const { return m_ctrlId; }

    // The root's label in PVR mode; set before Init.
    std::string m_rootLabel;

    // Builds the image list and the root (and in PC mode the drives). Expects an
    // empty control.
    void Init(int mode);
    // Drops the image list; items keep their indexes but show no image.
    void ClearImages();

    // The selected item's path (the root's when nothing is selected): "" for the
    // PC root, "C:\" for a drive, "C:\Movies\" for a folder; "C:\PVR" for the PVR
    // root and "C:\PVR\AV\" below it. Returns the item, or nullptr for an empty tree.
    HTREEITEM GetSelectedPath(std::string& path) const;
    // The same path for any item of the tree.
    std::string GetItemPath(HTREEITEM item) const;
    // True when the selected folder (the root when none) has no children or is
    // not expanded, i.e. its contents are not on show yet.
    bool NeedsListing() const;
    // The deepest item the path leads to; components without an item are skipped.
    HTREEITEM FindItemByPath(const std::string& path) const;
    // A hold on an item that comes to nothing (ItemOf gives null) once the
    // item is deleted, where a kept pointer would dangle.
    QPersistentModelIndex ItemHandle(HTREEITEM item) const {
        return item != nullptr ? QPersistentModelIndex(indexFromItem(item))
                               : QPersistentModelIndex();
    }
    HTREEITEM ItemOf(const QPersistentModelIndex& handle) const {
        return handle.isValid() ? itemFromIndex(handle) : nullptr;
    }
    // The item the path names; null unless every component has an item.
    HTREEITEM FindExactItemByPath(const std::string& path) const;
    // Expands down the path and selects its last folder; clears the selection
    // when that folder is not there (any more).
    void SelectPath(const std::string& path);
    // Replaces the children of the folder's item by the folder entries of a PVR
    // listing, sorted, and expands it.
    void FillFromList(const std::string& folderPath, int count, const StbFindData* entries);
    // Adds a folder under the parent path's item and expands the parent. False
    // when the parent path has no item.
    bool AddFolder(const std::string& parentPath, const std::string& name);
    // Deletes the path's item with everything below it; nothing when the path
    // has no item of its own.
    void DeleteItemByPath(const std::string& path);
    // First item in pre-order whose label equals name without regard to case.
    HTREEITEM FindItemByName(const std::string& name) const;
    // Busy mode: while disabled the tree greys its labels, drops clicks and keys
    // and shows the wait cursor.
    void SetEnabled(bool enabled);
    bool IsEnabledFlag() const { return m_enabled; }
    // The pane's name, for screen readers: the tree's own name and that of its
    // one column, whose header is hidden on screen but not from them.
    void SetPaneName(const std::string& name);

    // Plain tree operations, for the views.
    HTREEITEM GetRootItem() const;
    HTREEITEM GetSelectedItem() const;
    // Selects and shows the item; nullptr clears the selection.
    void SelectItem(HTREEITEM item);
    std::string GetItemText(HTREEITEM item) const;
    void SetItemText(HTREEITEM item, const std::string& text);
    void DeleteAllItems();
    void Expand(HTREEITEM item, bool expand);
    int GetItemImage(HTREEITEM item) const;
    // The whole row cell, or with textOnly the label's rectangle (measured in the
    // control's own font), in viewport coordinates.
    QRect GetItemRect(HTREEITEM item, bool textOnly) const;
    int GetImageCount() const { return static_cast<int>(m_images.size()); }

    // Notifications for the owning view: the selected item changed; a key went
    // down (virtual-key code, before the tree handles it).
    void SetSelChangedHandler(std::function<void()> handler) {
        m_onSelChanged = std::move(handler);
    }
    void SetKeyDownHandler(std::function<void(int vk)> handler) {
        m_onKeyDown = std::move(handler);
    }
    // Keys, context menu and drops, for the owner. The hooks see a key before
    // the notification above. Backspace, when no hook takes it, goes up to the
    // selected folder's parent.
    void SetPaneHooks(PaneHooks hooks) { m_hooks = std::move(hooks); }
    // The item drawn as the target of a drop or a context menu (null: none).
    void SetDropHighlight(HTREEITEM item);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    class Delegate;

    void BuildRoot();
    void AddDrive(const std::string& root);
    bool PopulateFolder(const std::string& searchSpec, HTREEITEM parent);
    std::string BuildPath(const std::string& text, HTREEITEM item) const;
    // Runs after Qt has expanded or collapsed an item; returns true when the
    // change must be undone (the folder could not be read).
    bool OnItemExpanding(HTREEITEM item, bool expanding);
    void OnExpandChanged(HTREEITEM item, bool expanded);

    HTREEITEM NewItem(const QString& label, int image) const;
    HTREEITEM InsertSorted(HTREEITEM parent, const QString& label, int image);
    // Adds many items at once, sorted among themselves (the parent must have no
    // children), each with a placeholder child when asked.
    void InsertSortedBatch(HTREEITEM parent, std::vector<QString>& labels, int image,
                           bool placeholders);
    void InsertPlaceholder(HTREEITEM parent);
    void SetItemImage(HTREEITEM item, int image);
    void DeleteChildren(HTREEITEM item);
    void RemoveItem(HTREEITEM item);
    HTREEITEM FindChild(HTREEITEM parent, const QString& label) const;
    std::vector<QString> PathComponents(const std::string& path) const;
    void ApplyCursor();

    std::vector<QIcon> m_images;
    bool m_hasImageList = false;
    bool m_enabled = true;
    int m_mode = kPcMode;
    int m_ctrlId = 0;
    bool m_undoingExpansion = false;
    std::function<void()> m_onSelChanged;
    std::function<void(int)> m_onKeyDown;
    PaneHooks m_hooks;
    QPersistentModelIndex m_dropHighlight;
    std::vector<QMetaObject::Connection> m_connections;
};
