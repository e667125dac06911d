#include "platform/templates.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QToolBar>

#include <gtest/gtest.h>

#include <vector>

#include "platform/user.h"

using namespace platform;

namespace {

// A small dialog with one control of each kind the program uses.
constexpr ControlTemplate kControls[] = {
    {ControlKind::GroupBox, -1, "Kind", 4, 4, 120, 50},
    {ControlKind::Static, -1, "Name -> here", 8, 14, 60, 8},
    {ControlKind::Edit, 1013, "old.AVR", 70, 12, 50, 12, cs::AutoHScroll},
    {ControlKind::RadioButton, 1053, "Firmware", 8, 28, 50, 10, cs::Group},
    {ControlKind::RadioButton, 1018, "Boot Loader", 8, 38, 50, 10},
    {ControlKind::RadioButton, 1055, "Database", 60, 28, 50, 10},
    {ControlKind::CheckBox, 1020, "Hidden files", 60, 38, 50, 10},
    {ControlKind::Static, 1010, "1,000", 130, 4, 40, 10, cs::Sunken | cs::Right},
    {ControlKind::Edit, 1040, "ro", 130, 16, 40, 12, cs::Disabled},
    {ControlKind::Static, 1017, "secret", 130, 30, 40, 10, cs::Hidden},
    {ControlKind::Progress, 1034, "", 4, 60, 166, 8},
    {ControlKind::DefPushButton, 1011, "&OK", 60, 74, 50, 14},
    {ControlKind::PushButton, 1012, "&Cancel", 120, 74, 50, 14},
};
constexpr DialogTemplate kDialog{142,
                                 "Rename",
                                 "Arial",
                                 10,
                                 180,
                                 92,
                                 ds::Popup | ds::Caption | ds::SysMenu | ds::ModalFrame,
                                 kControls};

// The same without a default button: Enter must then give IDOK.
constexpr ControlTemplate kPlainButtons[] = {
    {ControlKind::Static, 1017, "Static", 4, 4, 100, 10},
    {ControlKind::PushButton, 1014, "&Overwrite", 4, 20, 50, 14},
    {ControlKind::PushButton, 1012, "&Cancel", 60, 20, 50, 14},
};
constexpr DialogTemplate kNoDefault{
    145, "Dialog", "Arial", 10, 120, 40, ds::Popup | ds::Caption | ds::ModalFrame, kPlainButtons};

void PressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// A dialog whose cancel path ends with its own code, and which records that its
// initialisation ran.
class CancelsWith1012 : public CDialog {
public:
    using CDialog::CDialog;
    int initCount = 0;

protected:
    bool OnInitDialog() override {
        ++initCount;
        SetDlgItemText(this, 1017, "set at init");
        return true;
    }
    void OnCancel() override { EndDialog(1012); }
};

}  // namespace

TEST(DialogTemplate, BuildsControlsReachableById) {
    CDialog dlg(kDialog);
    EXPECT_EQ(GetDlgItem(&dlg, 1013), nullptr);  // no controls before the window exists
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(GetWindowText(&dlg), "Rename");

    struct Row {
        int id;
        ControlKind kind;
        const char* text;
        bool enabled;
        bool hidden;
    };
    const Row rows[] = {
        {1013, ControlKind::Edit, "old.AVR", true, false},
        {1053, ControlKind::RadioButton, "Firmware", true, false},
        {1020, ControlKind::CheckBox, "Hidden files", true, false},
        {1010, ControlKind::Static, "1,000", true, false},
        {1040, ControlKind::Edit, "ro", false, false},
        {1017, ControlKind::Static, "secret", true, true},
        {1011, ControlKind::DefPushButton, "&OK", true, false},
        {1012, ControlKind::PushButton, "&Cancel", true, false},
        {1034, ControlKind::Progress, "", true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        QWidget* w = GetDlgItem(&dlg, r.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(GetDlgCtrlID(w), r.id);
        EXPECT_EQ(GetControlKind(w), r.kind);
        EXPECT_EQ(GetDlgItemText(&dlg, r.id), r.text);
        EXPECT_EQ(w->isEnabled(), r.enabled);
        EXPECT_EQ(w->isHidden(), r.hidden);
    }
    EXPECT_NE(qobject_cast<QLineEdit*>(GetDlgItem(&dlg, 1013)), nullptr);
    EXPECT_NE(qobject_cast<QProgressBar*>(GetDlgItem(&dlg, 1034)), nullptr);
    auto* number = qobject_cast<QLabel*>(GetDlgItem(&dlg, 1010));
    ASSERT_NE(number, nullptr);
    EXPECT_TRUE(number->alignment() & Qt::AlignRight);
    EXPECT_EQ(number->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(GetDlgItem(&dlg, 9999), nullptr);
    EXPECT_EQ(GetDlgItemText(&dlg, 9999), "");
    EXPECT_FALSE(SetDlgItemText(&dlg, 9999, "x"));

    // Texts go in and come out word for word; arrows are not markup.
    const auto* groupBox = dlg.findChild<QGroupBox*>();
    ASSERT_NE(groupBox, nullptr);
    EXPECT_EQ(groupBox->title(), "Kind");
    for (int id : {1013, 1010, 1012}) {
        EXPECT_TRUE(SetDlgItemText(&dlg, id, "AVR --> AVI <b>"));
        EXPECT_EQ(GetDlgItemText(&dlg, id), "AVR --> AVI <b>");
    }
    EXPECT_TRUE(EnableDlgItem(&dlg, 1040, true));
    EXPECT_TRUE(GetDlgItem(&dlg, 1040)->isEnabled());
}

TEST(DialogTemplate, SizesFollowDialogUnitsOfTheDialogFont) {
    CDialog dlg(kDialog);
    ASSERT_TRUE(dlg.Create());
    const QFont font = DialogFont("Arial", 10);
    EXPECT_EQ(font.pixelSize(), 13);
    EXPECT_EQ(DialogFont("Arial", 11).pixelSize(), 15);

    const QRect unit = DialogUnitsToPixels(font, QRect(0, 0, 4, 8));
    // One dialog unit square is a quarter of an average character wide and an
    // eighth of its height: an Arial 10 character is several pixels each way.
    EXPECT_GE(unit.width(), 5);
    EXPECT_LE(unit.width(), 8);
    EXPECT_EQ(unit.height(), QFontMetrics(font).height());
    EXPECT_EQ(dlg.size(), DialogUnitsToPixels(font, QRect(0, 0, 180, 92)).size());
    EXPECT_EQ(GetDlgItem(&dlg, 1012)->geometry(),
              DialogUnitsToPixels(font, QRect(120, 74, 50, 14)));
    // Twice the units, (about) twice the pixels: the rounding never drifts by more than one.
    const QRect wide = DialogUnitsToPixels(font, QRect(0, 0, 400, 400));
    const QRect narrow = DialogUnitsToPixels(font, QRect(0, 0, 200, 200));
    EXPECT_LE(std::abs(wide.width() - 2 * narrow.width()), 1);
    EXPECT_LE(std::abs(wide.height() - 2 * narrow.height()), 1);
}

TEST(DialogTemplate, EveryWayOutArrivesAsACommand) {
    struct Row {
        const char* name;
        const DialogTemplate* tpl;
        std::function<void(CDialog&)> act;
        int result;
    };
    const Row rows[] = {
        {"button ends with its id", &kDialog,
         [](CDialog& d) { qobject_cast<QPushButton*>(GetDlgItem(&d, 1012))->click(); }, 1012},
        {"Enter presses the default button", &kDialog,
         [](CDialog& d) { PressKey(&d, Qt::Key_Return); }, 1011},
        {"Enter without a default button is OK", &kNoDefault,
         [](CDialog& d) { PressKey(&d, Qt::Key_Enter); }, IDOK},
        {"Escape cancels", &kDialog, [](CDialog& d) { PressKey(&d, Qt::Key_Escape); }, IDCANCEL},
        {"the close box cancels", &kNoDefault, [](CDialog& d) { d.close(); }, IDCANCEL},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        CDialog dlg(*r.tpl);
        ASSERT_TRUE(dlg.Create());
        dlg.show();
        std::vector<int> seen;
        dlg.SetCommandHook([&seen](int id) {
            seen.push_back(id);
            return false;
        });
        r.act(dlg);
        EXPECT_EQ(seen, std::vector<int>{r.result});
        EXPECT_EQ(dlg.result(), r.result);
        EXPECT_FALSE(dlg.isVisible());
    }
}

TEST(DialogTemplate, HooksAndOverridesReplaceTheDefaults) {
    CancelsWith1012 dlg(kNoDefault);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.initCount, 1);
    EXPECT_TRUE(dlg.Create());  // a second Create does not initialise again
    EXPECT_EQ(dlg.initCount, 1);
    EXPECT_EQ(GetDlgItemText(&dlg, 1017), "set at init");

    // A hooked button does not end the dialog.
    dlg.show();
    dlg.SetCommandHook([](int id) { return id == 1014; });
    qobject_cast<QPushButton*>(GetDlgItem(&dlg, 1014))->click();
    EXPECT_TRUE(dlg.isVisible());
    // Escape and the close box take the dialog's own cancel path.
    PressKey(&dlg, Qt::Key_Escape);
    EXPECT_EQ(dlg.result(), 1012);
    dlg.show();
    dlg.close();
    EXPECT_EQ(dlg.result(), 1012);

    // A destroyed window gets fresh controls and a fresh initialisation.
    dlg.DestroyWindow();
    EXPECT_EQ(GetDlgItem(&dlg, 1017), nullptr);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.initCount, 2);
    EXPECT_NE(GetDlgItem(&dlg, 1017), nullptr);
}

TEST(DialogTemplate, DoModalInitialisesThenAsksTheUser) {
    ScriptedUser user;
    SetUser(&user);
    CancelsWith1012 dlg(kNoDefault);
    std::string textSeen;
    user.QueueDialog([&textSeen](QDialog* d) {
        textSeen = GetDlgItemText(d, 1017);
        qobject_cast<QPushButton*>(GetDlgItem(d, 1014))->click();
        return d->result();
    });
    EXPECT_EQ(dlg.DoModal(), 1014);
    EXPECT_EQ(textSeen, "set at init");
    SetUser(nullptr);
}

TEST(DialogTemplate, RadioGroupsFollowTheTemplate) {
    CDialog dlg(kDialog);
    ASSERT_TRUE(dlg.Create());
    EXPECT_TRUE(CheckRadioButton(&dlg, 1053, 1055, 1053));
    EXPECT_TRUE(IsDlgButtonChecked(&dlg, 1053));

    // A click checks the button and clears its group mates, and is reported.
    std::vector<int> seen;
    dlg.SetCommandHook([&seen](int id) {
        seen.push_back(id);
        return false;
    });
    auto* boot = qobject_cast<QRadioButton*>(GetDlgItem(&dlg, 1018));
    boot->click();
    EXPECT_EQ(seen, std::vector<int>{1018});
    EXPECT_EQ(dlg.result(), 0);  // radio clicks never end the dialog
    EXPECT_TRUE(IsDlgButtonChecked(&dlg, 1018));
    EXPECT_FALSE(IsDlgButtonChecked(&dlg, 1053));
    boot->click();  // clicking the checked one keeps it checked
    EXPECT_TRUE(IsDlgButtonChecked(&dlg, 1018));

    // Code may clear a check mark and leave the group with none.
    EXPECT_TRUE(CheckDlgButton(&dlg, 1018, false));
    for (int id : {1053, 1018, 1055}) {
        EXPECT_FALSE(IsDlgButtonChecked(&dlg, id));
    }
    // The check box is independent of the radio group.
    EXPECT_TRUE(CheckDlgButton(&dlg, 1020, true));
    qobject_cast<QRadioButton*>(GetDlgItem(&dlg, 1055))->click();
    EXPECT_TRUE(IsDlgButtonChecked(&dlg, 1020));
    EXPECT_FALSE(CheckDlgButton(&dlg, 1013, true));  // an edit has no check mark
}

namespace {

constexpr MenuItemTemplate kFileItems[] = {
    {"&New Folder", 32797},
    {"&Rename", 32799},
    {"", 0, mf::Separator},
    {"E&xit\tAlt+F4", 57665},
};
constexpr MenuItemTemplate kViewItems[] = {
    {"Show hidden files", 32816},
};
constexpr MenuItemTemplate kHelpItems[] = {
    {"&About", 57664},
    {"&Online Update", 32790, mf::Grayed},
};
constexpr MenuItemTemplate kBar[] = {
    {"&File", kFileItems},
    {"&View", kViewItems},
    {"&Help", kHelpItems},
};
constexpr MenuTemplate kMenu{129, kBar};

}  // namespace

TEST(MenuTemplate, ItemsHaveTheirIdsAndPositions) {
    QMenuBar bar;
    std::vector<UINT> commands;
    BuildMenuBar(&bar, kMenu, [&commands](UINT id) { commands.push_back(id); });

    ASSERT_EQ(GetMenuItemCount(&bar), 3);
    EXPECT_EQ(GetMenuItemID(&bar, 0), static_cast<UINT>(-1));  // a popup
    QMenu* file = GetMenuItemByPosition(&bar, 0)->menu();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GetMenuItemByPosition(&bar, 0)->text(), "&File");
    const UINT fileIds[] = {32797, 32799, 0, 57665};
    ASSERT_EQ(GetMenuItemCount(file), 4);
    for (int pos = 0; pos < 4; ++pos) {
        EXPECT_EQ(GetMenuItemID(file, pos), fileIds[pos]) << "position " << pos;
    }
    EXPECT_EQ(GetMenuItemID(file, 4), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuItemByPosition(file, 3)->text(), "E&xit\tAlt+F4");

    // Found by id anywhere below the bar; greyed as the template says.
    QAction* update = FindMenuItem(&bar, 32790);
    ASSERT_NE(update, nullptr);
    EXPECT_FALSE(update->isEnabled());
    EXPECT_TRUE(FindMenuItem(&bar, 57664)->isEnabled());
    EXPECT_EQ(FindMenuItem(&bar, 12345), nullptr);

    // Greying a top-level item by position greys the popup.
    EXPECT_TRUE(EnableMenuItemByPosition(&bar, 1, false));
    EXPECT_FALSE(GetMenuItemByPosition(&bar, 1)->isEnabled());
    EXPECT_TRUE(EnableMenuItemByPosition(&bar, 1, true));
    EXPECT_FALSE(EnableMenuItemByPosition(&bar, 7, true));

    // Choosing an item delivers its id; the check mark only changes when code says so.
    QAction* hidden = FindMenuItem(&bar, 32816);
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(IsMenuItemChecked(&bar, 32816));
    hidden->trigger();
    EXPECT_EQ(commands, std::vector<UINT>{32816});
    EXPECT_FALSE(IsMenuItemChecked(&bar, 32816));
    EXPECT_FALSE(hidden->isChecked());
    EXPECT_TRUE(CheckMenuItem(&bar, 32816, true));
    hidden->trigger();
    EXPECT_TRUE(hidden->isChecked());
    EXPECT_TRUE(IsMenuItemChecked(&bar, 32816));
    FindMenuItem(&bar, 32797)->trigger();
    EXPECT_EQ(commands, (std::vector<UINT>{32816, 32816, 32797}));
}

TEST(ToolbarTemplate, ButtonsCarryIdsAndSeparators) {
    static constexpr ToolbarButtonTemplate kButtons[] = {
        {32807, 1}, {32811, 2}, {32806, 3}, {0, 0}, {32809, 4}, {32775, 5, "Upload"},
    };
    static constexpr ToolbarTemplate kToolbar{135, 32, 32, kButtons};
    QMainWindow window;
    std::vector<UINT> commands;
    QToolBar* toolbar = BuildToolBar(kToolbar, &window, [&](UINT id) { commands.push_back(id); });
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(toolbar->iconSize(), QSize(32, 32));
    EXPECT_TRUE(toolbar->isMovable());
    EXPECT_EQ(toolbar->allowedAreas(), Qt::AllToolBarAreas);
    const QList<QAction*> actions = toolbar->actions();
    ASSERT_EQ(actions.size(), 6);
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_EQ(actions[0]->toolTip(), "");
    EXPECT_EQ(actions[5]->toolTip(), "Upload");
    FindToolbarButton(toolbar, 32809)->trigger();
    actions[0]->trigger();
    EXPECT_EQ(commands, (std::vector<UINT>{32809, 32807}));
    EXPECT_EQ(FindToolbarButton(toolbar, 0), nullptr);
}

TEST(Accelerators, KeysAndModifiersBecomeShortcuts) {
    static constexpr AcceleratorTemplate kKeys[] = {
        {'N', fv::Control, 0xE100},
        {VK_BACK, fv::Alt, 0xE12B},
        {VK_DELETE, fv::Shift, 0xE123},
        {VK_INSERT, fv::Control, 0xE122},
        {VK_F6, 0, 0xE150},
        {VK_F6, fv::Shift, 0xE151},
    };
    static constexpr AcceleratorTable kTable{129, kKeys};
    QWidget window;
    EXPECT_EQ(InstallAccelerators(kTable, &window, [](UINT) {}), 6);
    std::vector<QString> sequences;
    for (const QShortcut* s : window.findChildren<QShortcut*>()) {
        sequences.push_back(s->key().toString(QKeySequence::PortableText));
    }
    EXPECT_EQ(sequences, (std::vector<QString>{"Ctrl+N", "Alt+Backspace", "Shift+Del", "Ctrl+Ins",
                                               "F6", "Shift+F6"}));

    // Virtual keys and Qt keys translate both ways.
    const std::pair<int, int> pairs[] = {{'A', Qt::Key_A},
                                         {'7', Qt::Key_7},
                                         {VK_F5, Qt::Key_F5},
                                         {VK_RETURN, Qt::Key_Return},
                                         {VK_ESCAPE, Qt::Key_Escape},
                                         {VK_DELETE, Qt::Key_Delete}};
    for (const auto& [vk, qt] : pairs) {
        EXPECT_EQ(VirtualKeyToQtKey(vk), qt);
        EXPECT_EQ(QtKeyToVirtualKey(qt), vk);
    }
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Enter), VK_RETURN);
    EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Launch0), 0);
}

TEST(StringTable, LoadsRegisteredStringsById) {
    static constexpr StringTemplate kStrings[] = {{61205, "Title"}, {101, " "}};
    RegisterStrings(kStrings);
    std::string text;
    EXPECT_TRUE(LoadString(61205, text));
    EXPECT_EQ(text, "Title");
    EXPECT_EQ(LoadString(101), " ");
    EXPECT_FALSE(LoadString(4242, text));
    EXPECT_EQ(text, "");

    // Icons: registered ones come back, unknown ids still give a usable icon.
    QPixmap red(16, 16);
    red.fill(Qt::red);
    RegisterIcon(142, QIcon(red));
    EXPECT_EQ(LoadIcon(142).pixmap(16, 16).toImage().pixelColor(3, 3), QColor(Qt::red));
    EXPECT_FALSE(LoadIcon(999).isNull());
}
