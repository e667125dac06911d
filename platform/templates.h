// Resources as data, and the one builder that turns them into Qt widgets.
//
// Dialogs, menus, the toolbar, accelerators and strings are plain constant data
// (the application's live in app/res/) addressed by numeric ids, as the rest of
// the program addresses them. Dialog geometry is in dialog units of the dialog's
// own font, so a template keeps its proportions whatever the font resolves to.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include <QDialog>
#include <QIcon>
#include <QRect>

#include "platform/message.h"
#include "platform/user.h"

class QAction;
class QFont;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace platform {

// ---- Dialog templates -------------------------------------------------------

enum class ControlKind {
    Static,  // a text label
    PushButton,
    DefPushButton,  // the button Enter presses
    Edit,
    CheckBox,
    RadioButton,
    GroupBox,
    Progress,
    ListBox,
    ComboBox,
    Icon,  // an image, from the control's imageId
};

// Control style flags.
namespace cs {
constexpr std::uint32_t Disabled = 1u << 0;
constexpr std::uint32_t Hidden = 1u << 1;
constexpr std::uint32_t ReadOnly = 1u << 2;
constexpr std::uint32_t Number = 1u << 3;  // edit takes digits only
constexpr std::uint32_t Center = 1u << 4;  // text centred
constexpr std::uint32_t Right = 1u << 5;   // text right-aligned
constexpr std::uint32_t Sunken = 1u << 6;  // sunken frame around a static
constexpr std::uint32_t Border = 1u << 7;  // plain frame
constexpr std::uint32_t AutoHScroll = 1u << 8;
constexpr std::uint32_t Group = 1u << 9;  // starts a new radio group
constexpr std::uint32_t Password = 1u << 10;
constexpr std::uint32_t Multiline = 1u << 11;
constexpr std::uint32_t NoPrefix = 1u << 12;  // "&" in a static is literal
}  // namespace cs

// Dialog style flags.
namespace ds {
constexpr std::uint32_t Popup = 1u << 0;
constexpr std::uint32_t Caption = 1u << 1;     // a title bar
constexpr std::uint32_t SysMenu = 1u << 2;     // a close box on the title bar
constexpr std::uint32_t ModalFrame = 1u << 3;  // a dialog frame that cannot be resized
constexpr std::uint32_t Visible = 1u << 4;     // shown as soon as it is created
constexpr std::uint32_t Child = 1u << 5;
}  // namespace ds

// Constructors rather than bare aggregates, so resource tables can leave the
// trailing fields out without tripping -Wmissing-field-initializers.
struct ControlTemplate {
    ControlKind kind;
    int id;  // -1 for controls the code never addresses
    const char* text;
    int x, y, cx, cy;  // dialog units
    std::uint32_t style;
    int imageId;  // Icon controls: the icon's id (RegisterIcon)

    constexpr ControlTemplate(ControlKind kind_, int id_, const char* text_, int x_, int y_,
                              int cx_, int cy_, std::uint32_t style_ = 0, int imageId_ = 0)
        : kind(kind_),
          id(id_),
          text(text_),
          x(x_),
          y(y_),
          cx(cx_),
          cy(cy_),
          style(style_),
          imageId(imageId_) {}
};

struct DialogTemplate {
    int id;
    const char* caption;
    const char* fontName;
    int fontPointSize;
    int cx, cy;  // dialog units
    std::uint32_t style;
    std::span<const ControlTemplate> controls;

    constexpr DialogTemplate(int id_, const char* caption_, const char* fontName_,
                             int fontPointSize_, int cx_, int cy_, std::uint32_t style_,
                             std::span<const ControlTemplate> controls_)
        : id(id_),
          caption(caption_),
          fontName(fontName_),
          fontPointSize(fontPointSize_),
          cx(cx_),
          cy(cy_),
          style(style_),
          controls(controls_) {}
};

// The font a dialog template names, sized as the classic 96-dpi screen sizes it.
QFont DialogFont(const char* name, int pointSize);
// Dialog units to pixels: x * average character width / 4, y * character height / 8.
QRect DialogUnitsToPixels(const QFont& font, const QRect& dlu);

// A dialog built from a template. Button clicks, Enter, Escape and the close box
// all arrive as commands (OnCommand with a control id); by default a push button
// ends the dialog with its own id, Escape and the close box with IDCANCEL, Enter
// with the default button's id or IDOK when there is none.
class CDialog : public QDialog {
public:
    explicit CDialog(const DialogTemplate& tpl, QWidget* parent = nullptr);
    ~CDialog() override;

    // Builds the controls (once) and runs OnInitDialog; a template with the
    // Visible style is then shown. For modeless use.
    bool Create(QWidget* parent = nullptr);
    // Create, then run modally through the process's User; the result code.
    int DoModal();
    // Hides the window and removes the controls the template made; a later Create
    // builds them afresh and runs OnInitDialog again.
    void DestroyWindow();
    void EndDialog(int result);

    const DialogTemplate& Template() const { return m_template; }
    bool IsCreated() const { return m_created; }

    // Code that does not subclass can take commands first: a hook that returns
    // true has handled the command and the default does not run.
    void SetCommandHook(std::function<bool(int id)> hook) { m_hook = std::move(hook); }
    // Delivers a command as a click would.
    void SendCommand(int id);

protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnCommand(int id);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    void reject() override;
    void accept() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    DialogTemplate m_template;
    bool m_built = false;
    bool m_created = false;
    std::function<bool(int)> m_hook;
};

// Builds the controls of a template into any widget (CDialog does this itself).
// Clicks of push buttons and of check and radio buttons call onCommand.
void BuildDialogControls(QWidget* dialog, const DialogTemplate& tpl,
                         const std::function<void(int id)>& onCommand);

// Controls by id. The first control with that id, in template order.
QWidget* GetDlgItem(const QWidget* dialog, int id);
int GetDlgCtrlID(const QWidget* control);  // -1 for a widget without one
ControlKind GetControlKind(const QWidget* control);
bool SetDlgItemText(const QWidget* dialog, int id, const std::string& text);
std::string GetDlgItemText(const QWidget* dialog, int id);
// Window text of any control or window (UTF-8).
bool SetWindowText(QWidget* widget, const std::string& text);
std::string GetWindowText(const QWidget* widget);
bool EnableDlgItem(const QWidget* dialog, int id, bool enable);
// Sets one button's check mark without touching the rest of its group.
bool CheckDlgButton(const QWidget* dialog, int id, bool checked);
bool IsDlgButtonChecked(const QWidget* dialog, int id);
// Checks checkId and clears every other radio button with an id in [firstId, lastId].
bool CheckRadioButton(const QWidget* dialog, int firstId, int lastId, int checkId);

// ---- Menus ---------------------------------------------------------------------

namespace mf {
constexpr std::uint32_t Separator = 1u << 0;
constexpr std::uint32_t Grayed = 1u << 1;
constexpr std::uint32_t Checked = 1u << 2;
}  // namespace mf

// An item with a command id, a separator, or (with a submenu) a popup. The caption
// marks its mnemonic with "&"; accelerator text follows a "\t".
struct MenuItemTemplate {
    const char* caption;
    UINT id;
    std::uint32_t flags;
    std::span<const MenuItemTemplate> submenu;

    // A command item, or a separator with flags mf::Separator.
    constexpr MenuItemTemplate(const char* caption_, UINT id_, std::uint32_t flags_ = 0)
        : caption(caption_), id(id_), flags(flags_) {}
    // A popup.
    constexpr MenuItemTemplate(const char* caption_, std::span<const MenuItemTemplate> submenu_,
                               std::uint32_t flags_ = 0)
        : caption(caption_), id(0), flags(flags_), submenu(submenu_) {}
};

struct MenuTemplate {
    int id;
    std::span<const MenuItemTemplate> items;  // the top-level popups of a menu bar
};

// Command ids go to the owner as WM_COMMAND-style calls.
using CommandSink = std::function<void(UINT id)>;

void BuildMenuBar(QMenuBar* bar, const MenuTemplate& tpl, const CommandSink& sink);
void BuildPopupMenu(QMenu* menu, std::span<const MenuItemTemplate> items, const CommandSink& sink);

// Items by command id (searched through all submenus) and by position (menu is a
// QMenuBar or a QMenu; separators count). nullptr when there is none.
QAction* FindMenuItem(const QWidget* menu, UINT id);
QAction* GetMenuItemByPosition(const QWidget* menu, int position);
// The command id at a position: 0 for a separator, UINT(-1) for a popup or none.
UINT GetMenuItemID(const QWidget* menu, int position);
int GetMenuItemCount(const QWidget* menu);
bool EnableMenuItem(const QWidget* menu, UINT id, bool enable);
bool EnableMenuItemByPosition(const QWidget* menu, int position, bool enable);
bool CheckMenuItem(const QWidget* menu, UINT id, bool checked);
bool IsMenuItemChecked(const QWidget* menu, UINT id);

// Pops the menu up at a point of the screen and waits for the user: the
// command id of the item chosen, 0 when the menu was dismissed. Build the menu
// without a sink: the caller carries the command out.
UINT TrackPopupMenu(QMenu* menu, const QPoint& globalPos);
// Tests choose in the person's place: the chooser sees the menu and names a
// command id (0: dismiss). A greyed or missing item counts as no choice, as a
// person could not click it. nullptr puts the person back.
using PopupMenuChooser = std::function<UINT(QMenu* menu)>;
void SetPopupMenuChooser(PopupMenuChooser chooser);

// ---- Toolbar ---------------------------------------------------------------------

struct ToolbarButtonTemplate {
    UINT id;  // 0: a separator
    int imageId;
    const char* tooltip;  // empty: no tool tip

    constexpr ToolbarButtonTemplate(UINT id_, int imageId_ = 0, const char* tooltip_ = "")
        : id(id_), imageId(imageId_), tooltip(tooltip_) {}
};

struct ToolbarTemplate {
    int id;
    int buttonWidth, buttonHeight;
    std::span<const ToolbarButtonTemplate> buttons;
};

// A flat, movable toolbar that can dock on any side; its buttons deliver their
// ids to sink.
QToolBar* BuildToolBar(const ToolbarTemplate& tpl, QWidget* parent, const CommandSink& sink);
QAction* FindToolbarButton(const QToolBar* toolbar, UINT id);

// ---- Accelerators ------------------------------------------------------------------

// Classic virtual-key codes, so resource data needs no Qt headers.
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;
constexpr int VK_F2 = 0x71;
constexpr int VK_F5 = 0x74;
constexpr int VK_F6 = 0x75;
constexpr int VK_F7 = 0x76;
constexpr int VK_F12 = 0x7B;

// Qt key <-> virtual key; 0 when there is no counterpart.
int QtKeyToVirtualKey(int qtKey);
int VirtualKeyToQtKey(int vk);

namespace fv {
constexpr std::uint32_t Shift = 1u << 0;
constexpr std::uint32_t Control = 1u << 1;
constexpr std::uint32_t Alt = 1u << 2;
}  // namespace fv

struct AcceleratorTemplate {
    int vk;  // a virtual key; letters and digits are their upper-case character
    std::uint32_t modifiers;
    UINT id;
};

struct AcceleratorTable {
    int id;
    std::span<const AcceleratorTemplate> entries;
};

// Makes the keys work anywhere inside window; returns the number installed.
int InstallAccelerators(const AcceleratorTable& table, QWidget* window, const CommandSink& sink);

// ---- Strings and icons ---------------------------------------------------------------

struct StringTemplate {
    UINT id;
    const char* text;
};

// Adds strings to the process's string table (later entries replace earlier ones).
void RegisterStrings(std::span<const StringTemplate> strings);
// False, and an empty text, for an id the table lacks.
bool LoadString(UINT id, std::string& text);
std::string LoadString(UINT id);

// The process's icons by id; an id nobody registered gives a generic file icon.
void RegisterIcon(int id, const QIcon& icon);
QIcon LoadIcon(int id);

}  // namespace platform
