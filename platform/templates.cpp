#include "platform/templates.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QStyle>
#include <QToolBar>

#include <array>
#include <map>
#include <mutex>

#include "platform/syscolor.h"
#include "platform/user.h"

namespace platform {
namespace {

constexpr const char* kIdProperty = "tavrixCtlId";
constexpr const char* kKindProperty = "tavrixCtlKind";
constexpr const char* kGroupProperty = "tavrixRadioGroup";
constexpr const char* kBuiltProperty = "tavrixBuilt";
// What a menu item's check mark should be: a click must not flip it by itself.
constexpr const char* kCheckedProperty = "tavrixChecked";

// a * b / c, rounded half away from zero, as dialog-unit conversion rounds.
int MulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

QString Utf8(const char* text) {
    return QString::fromUtf8(text != nullptr ? text : "");
}

std::string ToUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

Qt::Alignment TextAlignment(std::uint32_t style) {
    if ((style & cs::Center) != 0) {
        return Qt::AlignHCenter;
    }
    if ((style & cs::Right) != 0) {
        return Qt::AlignRight;
    }
    return Qt::AlignLeft;
}

bool IsPushButtonKind(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::DefPushButton;
}

QWidget* MakeControl(const ControlTemplate& c, QWidget* parent) {
    const QString text = Utf8(c.text);
    switch (c.kind) {
        case ControlKind::Static: {
            auto* label = new QLabel(parent);
            // Resource texts are plain: "AVR --> AVI" must never be taken for markup.
            label->setTextFormat(Qt::PlainText);
            label->setText(text);
            label->setWordWrap(true);
            label->setAlignment(TextAlignment(c.style) | Qt::AlignTop);
            if ((c.style & cs::Sunken) != 0) {
                label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            } else if ((c.style & cs::Border) != 0) {
                label->setFrameStyle(QFrame::Box | QFrame::Plain);
            }
            return label;
        }
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(text, parent);
            // Enter is routed by the dialog itself, never by whichever button has focus.
            button->setAutoDefault(false);
            button->setDefault(c.kind == ControlKind::DefPushButton);
            return button;
        }
        case ControlKind::Edit: {
            if ((c.style & cs::Multiline) != 0) {
                auto* edit = new QPlainTextEdit(text, parent);
                edit->setReadOnly((c.style & cs::ReadOnly) != 0);
                return edit;
            }
            auto* edit = new QLineEdit(text, parent);
            edit->setAlignment(TextAlignment(c.style) | Qt::AlignVCenter);
            edit->setReadOnly((c.style & cs::ReadOnly) != 0);
            if ((c.style & cs::Number) != 0) {
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), edit));
            }
            if ((c.style & cs::Password) != 0) {
                edit->setEchoMode(QLineEdit::Password);
            }
            return edit;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text, parent);
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(text, parent);
            // Groups follow the template, not the parent widget: the dialog
            // manages them so a check mark can also be cleared from code.
            radio->setAutoExclusive(false);
            return radio;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(text, parent);
        case ControlKind::Progress: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::ListBox:
            return new QListWidget(parent);
        case ControlKind::ComboBox:
            return new QComboBox(parent);
        case ControlKind::Icon: {
            auto* label = new QLabel(parent);
            const QRect area = DialogUnitsToPixels(parent->font(), QRect(0, 0, c.cx, c.cy));
            const int side = std::max({32, area.width(), area.height()});
            label->setPixmap(LoadIcon(c.imageId).pixmap(side, side));
            return label;
        }
    }
    return new QLabel(parent);
}

void AddMenuItems(QMenu* menu, std::span<const MenuItemTemplate> items, const CommandSink& sink);

QAction* MakeCommandAction(QWidget* owner, const MenuItemTemplate& item, const CommandSink& sink) {
    auto* action = new QAction(Utf8(item.caption), owner);
    action->setData(QVariant::fromValue<uint>(item.id));
    const bool checked = (item.flags & mf::Checked) != 0;
    action->setProperty(kCheckedProperty, checked);
    action->setCheckable(checked);
    action->setChecked(checked);
    action->setEnabled((item.flags & mf::Grayed) == 0);
    const UINT id = item.id;
    QObject::connect(action, &QAction::triggered, action, [action, id, sink]() {
        action->setChecked(action->property(kCheckedProperty).toBool());
        if (sink) {
            sink(id);
        }
    });
    return action;
}

void AddMenuItems(QMenu* menu, std::span<const MenuItemTemplate> items, const CommandSink& sink) {
    for (const MenuItemTemplate& item : items) {
        if ((item.flags & mf::Separator) != 0) {
            menu->addSeparator();
        } else if (!item.submenu.empty()) {
            QMenu* sub = menu->addMenu(Utf8(item.caption));
            sub->menuAction()->setEnabled((item.flags & mf::Grayed) == 0);
            AddMenuItems(sub, item.submenu, sink);
        } else {
            menu->addAction(MakeCommandAction(menu, item, sink));
        }
    }
}

QList<QAction*> ActionsOf(const QWidget* menu) {
    return menu != nullptr ? menu->actions() : QList<QAction*>{};
}

bool IsCommandAction(const QAction* action, UINT id) {
    return action->menu() == nullptr && !action->isSeparator() && action->data().isValid() &&
           action->data().toUInt() == id;
}

QAction* FindInActions(const QList<QAction*>& actions, UINT id) {
    for (QAction* a : actions) {
        if (IsCommandAction(a, id)) {
            return a;
        }
        if (a->menu() != nullptr) {
            if (QAction* found = FindInActions(a->menu()->actions(), id)) {
                return found;
            }
        }
    }
    return nullptr;
}

std::mutex g_resourceMutex;
std::map<UINT, std::string>& Strings() {
    static std::map<UINT, std::string> strings;
    return strings;
}
std::map<int, QIcon>& Icons() {
    static std::map<int, QIcon> icons;
    return icons;
}

struct KeyPair {
    int vk;
    int qt;
};
constexpr std::array<KeyPair, 19> kKeys{{
    {VK_BACK, Qt::Key_Backspace}, {VK_TAB, Qt::Key_Tab},       {VK_RETURN, Qt::Key_Return},
    {VK_ESCAPE, Qt::Key_Escape},  {VK_SPACE, Qt::Key_Space},   {VK_PRIOR, Qt::Key_PageUp},
    {VK_NEXT, Qt::Key_PageDown},  {VK_END, Qt::Key_End},       {VK_HOME, Qt::Key_Home},
    {VK_LEFT, Qt::Key_Left},      {VK_UP, Qt::Key_Up},         {VK_RIGHT, Qt::Key_Right},
    {VK_DOWN, Qt::Key_Down},      {VK_INSERT, Qt::Key_Insert}, {VK_DELETE, Qt::Key_Delete},
    {0x10, Qt::Key_Shift},        {0x11, Qt::Key_Control},     {0x12, Qt::Key_Alt},
    {0x13, Qt::Key_Pause},
}};

}  // namespace

// ---- Dialogs ----------------------------------------------------------------------

QFont DialogFont(const char* name, int pointSize) {
    QFont font(ResolveFontFamily(Utf8(name)));
    font.setStyleHint(QFont::SansSerif);
    // Point sizes as a 96-dpi screen turns them into pixels, whatever Qt thinks the
    // screen's resolution is, so layouts do not depend on the display.
    font.setPixelSize(std::max(1, MulDiv(pointSize, 96, 72)));
    return font;
}

QRect DialogUnitsToPixels(const QFont& font, const QRect& dlu) {
    const QFontMetrics fm(font);
    const int avgWidth = (fm.horizontalAdvance(QStringLiteral(
                              "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                              26 +
                          1) /
                         2;
    const int height = fm.height();
    return QRect(MulDiv(dlu.x(), avgWidth, 4), MulDiv(dlu.y(), height, 8),
                 MulDiv(dlu.width(), avgWidth, 4), MulDiv(dlu.height(), height, 8));
}

void BuildDialogControls(QWidget* dialog, const DialogTemplate& tpl,
                         const std::function<void(int id)>& onCommand) {
    const QFont font = DialogFont(tpl.fontName, tpl.fontPointSize);
    dialog->setFont(font);
    int group = 0;
    bool previousWasRadio = false;
    for (const ControlTemplate& c : tpl.controls) {
        QWidget* w = MakeControl(c, dialog);
        w->setFont(font);
        w->setProperty(kIdProperty, c.id);
        w->setProperty(kKindProperty, static_cast<int>(c.kind));
        w->setProperty(kBuiltProperty, true);
        w->setGeometry(DialogUnitsToPixels(font, QRect(c.x, c.y, c.cx, c.cy)));
        w->setEnabled((c.style & cs::Disabled) == 0);
        if ((c.style & cs::Hidden) != 0) {
            w->hide();
        }
        const int id = c.id;
        if (c.kind == ControlKind::RadioButton) {
            if (!previousWasRadio || (c.style & cs::Group) != 0) {
                ++group;
            }
            w->setProperty(kGroupProperty, group);
            auto* radio = static_cast<QRadioButton*>(w);
            QObject::connect(
                radio, &QAbstractButton::clicked, radio, [radio, dialog, id, onCommand]() {
                    // A click always leaves this button checked and its group mates clear.
                    radio->setChecked(true);
                    const QVariant myGroup = radio->property(kGroupProperty);
                    for (QRadioButton* other :
                         dialog->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
                        if (other != radio && other->property(kGroupProperty) == myGroup) {
                            other->setChecked(false);
                        }
                    }
                    if (onCommand) {
                        onCommand(id);
                    }
                });
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            QObject::connect(button, &QAbstractButton::clicked, button, [id, onCommand]() {
                if (onCommand) {
                    onCommand(id);
                }
            });
        }
        previousWasRadio = c.kind == ControlKind::RadioButton;
    }
}

CDialog::CDialog(const DialogTemplate& tpl, QWidget* parent) : QDialog(parent), m_template(tpl) {
    Qt::WindowFlags flags = Qt::Dialog;
    if ((tpl.style & ds::Child) != 0) {
        flags = Qt::Widget;
    } else if ((tpl.style & ds::Caption) == 0) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if ((tpl.style & ds::SysMenu) != 0) {
            flags |= Qt::WindowCloseButtonHint;
        }
    }
    setWindowFlags(flags);
    setWindowTitle(Utf8(tpl.caption));
    const QFont font = DialogFont(tpl.fontName, tpl.fontPointSize);
    setFont(font);
    const QSize size = DialogUnitsToPixels(font, QRect(0, 0, tpl.cx, tpl.cy)).size();
    if ((tpl.style & ds::ModalFrame) != 0) {
        setFixedSize(size);
    } else {
        resize(size);
    }
}

CDialog::~CDialog() = default;

bool CDialog::Create(QWidget* parent) {
    if (parent != nullptr && parent != parentWidget()) {
        setParent(parent, windowFlags());
    }
    if (!m_built) {
        BuildDialogControls(this, m_template, [this](int id) { SendCommand(id); });
        m_built = true;
    }
    if (m_created) {
        return true;
    }
    m_created = true;
    const bool ok = OnInitDialog();
    if ((m_template.style & ds::Visible) != 0) {
        show();
    }
    return ok;
}

int CDialog::DoModal() {
    if (!m_built) {
        BuildDialogControls(this, m_template, [this](int id) { SendCommand(id); });
        m_built = true;
    }
    if (!m_created) {
        m_created = true;
        OnInitDialog();
    }
    return TheUser().RunModal(this);
}

void CDialog::DestroyWindow() {
    hide();
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->property(kBuiltProperty).toBool()) {
            delete w;
        }
    }
    m_built = false;
    m_created = false;
}

void CDialog::EndDialog(int result) {
    QDialog::done(result);
}

void CDialog::SendCommand(int id) {
    if (m_hook && m_hook(id)) {
        return;
    }
    OnCommand(id);
}

void CDialog::OnCommand(int id) {
    if (id == IDOK) {
        OnOK();
        return;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return;
    }
    const QWidget* control = GetDlgItem(this, id);
    if (control != nullptr && IsPushButtonKind(GetControlKind(control))) {
        EndDialog(id);
    }
}

void CDialog::reject() {
    SendCommand(IDCANCEL);
}

void CDialog::accept() {
    SendCommand(IDOK);
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        int id = IDOK;
        for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w->property(kKindProperty).isValid() &&
                GetControlKind(w) == ControlKind::DefPushButton && w->isEnabled()) {
                id = GetDlgCtrlID(w);
                break;
            }
        }
        event->accept();
        SendCommand(id);
        return;
    }
    if (key == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        SendCommand(IDCANCEL);
        return;
    }
    QDialog::keyPressEvent(event);
}

QWidget* GetDlgItem(const QWidget* dialog, int id) {
    if (dialog == nullptr) {
        return nullptr;
    }
    for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QVariant v = w->property(kIdProperty);
        if (v.isValid() && v.toInt() == id) {
            return w;
        }
    }
    return nullptr;
}

int GetDlgCtrlID(const QWidget* control) {
    if (control == nullptr) {
        return -1;
    }
    const QVariant v = control->property(kIdProperty);
    return v.isValid() ? v.toInt() : -1;
}

ControlKind GetControlKind(const QWidget* control) {
    if (control == nullptr) {
        return ControlKind::Static;
    }
    return static_cast<ControlKind>(control->property(kKindProperty).toInt());
}

bool SetWindowText(QWidget* widget, const std::string& text) {
    if (widget == nullptr) {
        return false;
    }
    const QString t = QString::fromStdString(text);
    if (widget->isWindow()) {
        widget->setWindowTitle(t);
        return true;
    }
    if (widget->property(kKindProperty).isValid() && GetControlKind(widget) == ControlKind::Icon) {
        return false;
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(t);
        // A static repaints at once, as a status line updated in a busy loop must.
        label->repaint();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(t);
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setText(t);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        plain->setPlainText(t);
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(t);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->isEditable()) {
            combo->setEditText(t);
        } else {
            const int index = combo->findText(t);
            if (index < 0) {
                return false;
            }
            combo->setCurrentIndex(index);
        }
    } else {
        return false;
    }
    return true;
}

std::string GetWindowText(const QWidget* widget) {
    if (widget == nullptr) {
        return {};
    }
    if (widget->isWindow()) {
        return ToUtf8(widget->windowTitle());
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return ToUtf8(label->text());
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return ToUtf8(button->text());
    }
    if (const auto* line = qobject_cast<const QLineEdit*>(widget)) {
        return ToUtf8(line->text());
    }
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) {
        return ToUtf8(plain->toPlainText());
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        return ToUtf8(box->title());
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return ToUtf8(combo->currentText());
    }
    return {};
}

bool SetDlgItemText(const QWidget* dialog, int id, const std::string& text) {
    return SetWindowText(GetDlgItem(dialog, id), text);
}

std::string GetDlgItemText(const QWidget* dialog, int id) {
    return GetWindowText(GetDlgItem(dialog, id));
}

bool EnableDlgItem(const QWidget* dialog, int id, bool enable) {
    QWidget* w = GetDlgItem(dialog, id);
    if (w == nullptr) {
        return false;
    }
    w->setEnabled(enable);
    return true;
}

bool CheckDlgButton(const QWidget* dialog, int id, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(dialog, id));
    if (button == nullptr || !button->isCheckable()) {
        return false;
    }
    button->setChecked(checked);
    return true;
}

bool IsDlgButtonChecked(const QWidget* dialog, int id) {
    const auto* button = qobject_cast<const QAbstractButton*>(GetDlgItem(dialog, id));
    return button != nullptr && button->isChecked();
}

bool CheckRadioButton(const QWidget* dialog, int firstId, int lastId, int checkId) {
    if (dialog == nullptr) {
        return false;
    }
    bool found = false;
    for (QRadioButton* radio : dialog->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
        const int id = GetDlgCtrlID(radio);
        if (id >= firstId && id <= lastId) {
            radio->setChecked(id == checkId);
            found = found || id == checkId;
        }
    }
    return found;
}

// ---- Menus ---------------------------------------------------------------------------

void BuildMenuBar(QMenuBar* bar, const MenuTemplate& tpl, const CommandSink& sink) {
    for (const MenuItemTemplate& item : tpl.items) {
        if ((item.flags & mf::Separator) != 0) {
            bar->addSeparator();
        } else if (!item.submenu.empty()) {
            QMenu* menu = bar->addMenu(Utf8(item.caption));
            menu->menuAction()->setEnabled((item.flags & mf::Grayed) == 0);
            AddMenuItems(menu, item.submenu, sink);
        } else {
            bar->addAction(MakeCommandAction(bar, item, sink));
        }
    }
}

void BuildPopupMenu(QMenu* menu, std::span<const MenuItemTemplate> items, const CommandSink& sink) {
    AddMenuItems(menu, items, sink);
}

namespace {

PopupMenuChooser& Chooser() {
    static PopupMenuChooser chooser;
    return chooser;
}

}  // namespace

void SetPopupMenuChooser(PopupMenuChooser chooser) {
    Chooser() = std::move(chooser);
}

UINT TrackPopupMenu(QMenu* menu, const QPoint& globalPos) {
    if (menu == nullptr) {
        return 0;
    }
    if (const PopupMenuChooser chooser = Chooser()) {
        const UINT id = chooser(menu);
        const QAction* item = id != 0 ? FindMenuItem(menu, id) : nullptr;
        return item != nullptr && item->isEnabled() ? id : 0;
    }
    const QAction* chosen = menu->exec(globalPos);
    if (chosen == nullptr || chosen->menu() != nullptr || !chosen->data().isValid()) {
        return 0;
    }
    return chosen->data().toUInt();
}

QAction* FindMenuItem(const QWidget* menu, UINT id) {
    return FindInActions(ActionsOf(menu), id);
}

QAction* GetMenuItemByPosition(const QWidget* menu, int position) {
    const QList<QAction*> actions = ActionsOf(menu);
    if (position < 0 || position >= actions.size()) {
        return nullptr;
    }
    return actions[position];
}

UINT GetMenuItemID(const QWidget* menu, int position) {
    const QAction* a = GetMenuItemByPosition(menu, position);
    if (a == nullptr || a->menu() != nullptr) {
        return static_cast<UINT>(-1);
    }
    if (a->isSeparator()) {
        return 0;
    }
    return a->data().toUInt();
}

int GetMenuItemCount(const QWidget* menu) {
    return static_cast<int>(ActionsOf(menu).size());
}

bool EnableMenuItem(const QWidget* menu, UINT id, bool enable) {
    QAction* a = FindMenuItem(menu, id);
    if (a == nullptr) {
        return false;
    }
    a->setEnabled(enable);
    return true;
}

bool EnableMenuItemByPosition(const QWidget* menu, int position, bool enable) {
    QAction* a = GetMenuItemByPosition(menu, position);
    if (a == nullptr) {
        return false;
    }
    a->setEnabled(enable);
    return true;
}

bool CheckMenuItem(const QWidget* menu, UINT id, bool checked) {
    QAction* a = FindMenuItem(menu, id);
    if (a == nullptr) {
        return false;
    }
    a->setProperty(kCheckedProperty, checked);
    a->setCheckable(true);
    a->setChecked(checked);
    return true;
}

bool IsMenuItemChecked(const QWidget* menu, UINT id) {
    const QAction* a = FindMenuItem(menu, id);
    return a != nullptr && a->property(kCheckedProperty).toBool();
}

// ---- Toolbar ---------------------------------------------------------------------------

QToolBar* BuildToolBar(const ToolbarTemplate& tpl, QWidget* parent, const CommandSink& sink) {
    auto* toolbar = new QToolBar(parent);
    toolbar->setObjectName(QStringLiteral("toolbar%1").arg(tpl.id));
    toolbar->setIconSize(QSize(tpl.buttonWidth, tpl.buttonHeight));
    toolbar->setMovable(true);
    toolbar->setFloatable(true);
    toolbar->setAllowedAreas(Qt::AllToolBarAreas);
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const ToolbarButtonTemplate& b : tpl.buttons) {
        if (b.id == 0) {
            toolbar->addSeparator();
            continue;
        }
        auto* action = new QAction(LoadIcon(b.imageId), QString(), toolbar);
        action->setData(QVariant::fromValue<uint>(b.id));
        action->setToolTip(Utf8(b.tooltip));
        action->setStatusTip(Utf8(b.tooltip));
        const UINT id = b.id;
        QObject::connect(action, &QAction::triggered, toolbar, [id, sink]() {
            if (sink) {
                sink(id);
            }
        });
        toolbar->addAction(action);
    }
    return toolbar;
}

QAction* FindToolbarButton(const QToolBar* toolbar, UINT id) {
    if (toolbar == nullptr) {
        return nullptr;
    }
    for (QAction* a : toolbar->actions()) {
        if (IsCommandAction(a, id)) {
            return a;
        }
    }
    return nullptr;
}

// ---- Accelerators ----------------------------------------------------------------------------

int QtKeyToVirtualKey(int qtKey) {
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
        return qtKey;  // the same codes in both
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return VK_F1 + (qtKey - Qt::Key_F1);
    }
    if (qtKey == Qt::Key_Enter) {
        return VK_RETURN;
    }
    for (const KeyPair& k : kKeys) {
        if (k.qt == qtKey) {
            return k.vk;
        }
    }
    return 0;
}

int VirtualKeyToQtKey(int vk) {
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
        return vk;
    }
    if (vk >= VK_F1 && vk < VK_F1 + 24) {
        return Qt::Key_F1 + (vk - VK_F1);
    }
    for (const KeyPair& k : kKeys) {
        if (k.vk == vk) {
            return k.qt;
        }
    }
    return 0;
}

int InstallAccelerators(const AcceleratorTable& table, QWidget* window, const CommandSink& sink) {
    int installed = 0;
    for (const AcceleratorTemplate& e : table.entries) {
        const int key = VirtualKeyToQtKey(e.vk);
        if (key == 0) {
            continue;
        }
        int combined = key;
        if ((e.modifiers & fv::Shift) != 0) {
            combined |= Qt::SHIFT;
        }
        if ((e.modifiers & fv::Control) != 0) {
            combined |= Qt::CTRL;
        }
        if ((e.modifiers & fv::Alt) != 0) {
            combined |= Qt::ALT;
        }
        auto* shortcut = new QShortcut(QKeySequence(combined), window);
        shortcut->setContext(Qt::WindowShortcut);
        const UINT id = e.id;
        QObject::connect(shortcut, &QShortcut::activated, window, [id, sink]() {
            if (sink) {
                sink(id);
            }
        });
        ++installed;
    }
    return installed;
}

// ---- Strings and icons --------------------------------------------------------------------------

void RegisterStrings(std::span<const StringTemplate> strings) {
    std::lock_guard<std::mutex> lock(g_resourceMutex);
    for (const StringTemplate& s : strings) {
        Strings()[s.id] = s.text != nullptr ? s.text : "";
    }
}

bool LoadString(UINT id, std::string& text) {
    std::lock_guard<std::mutex> lock(g_resourceMutex);
    const auto it = Strings().find(id);
    if (it == Strings().end()) {
        text.clear();
        return false;
    }
    text = it->second;
    return true;
}

std::string LoadString(UINT id) {
    std::string text;
    LoadString(id, text);
    return text;
}

void RegisterIcon(int id, const QIcon& icon) {
    std::lock_guard<std::mutex> lock(g_resourceMutex);
    Icons()[id] = icon;
}

QIcon LoadIcon(int id) {
    {
        std::lock_guard<std::mutex> lock(g_resourceMutex);
        const auto it = Icons().find(id);
        if (it != Icons().end()) {
            return it->second;
        }
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    }
    return {};
}

}  // namespace platform
