#include "app/controls/listctrlx.h"

#include <string>
#include <utility>
#include <vector>

#include <QFontMetrics>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "platform/message.h"
#include "platform/syscolor.h"
#include "platform/templates.h"
#include "support/controlfixture.h"
#include "support/filecolumns.h"

namespace {

// Stands in for a file-list view: a widget with a handle that records what
// it is sent.
class RecordingView : public QWidget, public CMessageTarget {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        received.emplace_back(message, wParam);
        EXPECT_EQ(lParam, 0);
        return 0;
    }
    std::vector<std::pair<UINT, WPARAM>> received;
};

QIcon SolidIcon(const QColor& color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

const QColor kIconRed(250, 10, 20);

// A window with an edit box (to take the focus away) and a list in the usual
// three columns plus a fourth, with rows 0..4.
class ListWindow : public testing::Test {
protected:
    void SetUp() override {
        platform::RegisterIcon(162, SolidIcon(kIconRed));
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        edit = new QLineEdit;
        view = new RecordingView;
        layout->addWidget(edit);
        layout->addWidget(view);
        window.resize(700, 300);
        list = new CListCtrlX;
        list->Create(view, QRect(0, 0, 690, 250), 106);
        list->InsertColumn(0, "File Name", CListCtrlX::kFormatCenter, 200);
        list->InsertColumn(1, "Size(KB)", CListCtrlX::kFormatCenter, 120);
        list->InsertColumn(2, "Date", CListCtrlX::kFormatCenter, 150);
        list->InsertColumn(3, "Extra", CListCtrlX::kFormatCenter, 100);
        list->Init(1);
        for (int row = 0; row < 5; ++row) {
            const std::string n = std::to_string(row);
            list->InsertItem(row, "file" + n + ".avr");
            list->SetItemText(row, 1, "1,23" + n);
            list->SetItemText(row, 2, "2024-01-0" + n);
            list->SetItemText(row, 3, "XXXXXXXX");
        }
        ASSERT_TRUE(ShowActive(window));
    }

    QImage Grab() const { return list->viewport()->grab().toImage(); }

    // Columns that hold pixels darker than the fill, within r.
    static std::pair<int, int> InkSpan(const QImage& image, const QRect& r, const QColor& fill) {
        int first = -1;
        int last = -1;
        const QRect area = r.intersected(image.rect());
        for (int x = area.left(); x <= area.right(); ++x) {
            for (int y = area.top(); y <= area.bottom(); ++y) {
                if (image.pixelColor(x, y).rgb() != fill.rgb()) {
                    if (first < 0) {
                        first = x;
                    }
                    last = x;
                    break;
                }
            }
        }
        return {first, last};
    }

    int Margin() const { return 2 * list->fontMetrics().horizontalAdvance(QLatin1Char(' ')); }

    QWidget window;
    QLineEdit* edit = nullptr;
    RecordingView* view = nullptr;
    CListCtrlX* list = nullptr;
};

TEST_F(ListWindow, SelectedRowColoursFollowFocusAndShowSelectionAlways) {
    list->SetItemState(1, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
    struct Case {
        const char* name;
        int row;
        bool focused;
        bool showAlways;
        int fill;
        int text;
    };
    const Case cases[] = {
        {"selected, unfocused", 1, false, false, COLOR_INACTIVEBORDER, COLOR_GRAYTEXT},
        {"selected, focused", 1, true, false, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT},
        {"selected, unfocused, show always", 1, false, true, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT},
        {"not selected", 2, true, false, COLOR_WINDOW, COLOR_WINDOWTEXT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        list->SetShowSelectionAlways(c.showAlways);
        GiveFocus(c.focused ? static_cast<QWidget&>(*list) : static_cast<QWidget&>(*edit));
        ASSERT_EQ(list->hasFocus(), c.focused);
        const QImage image = Grab();
        const QRect bounds = list->GetItemRect(c.row, CListCtrlX::kRectBounds);
        const QRect label = list->GetItemRect(c.row, CListCtrlX::kRectLabel);
        const int y = label.top() + 1;
        const QString fill = ColorName(GetSysColor(c.fill));
        // From the label's left edge to the end of the last column...
        EXPECT_EQ(ColorName(image.pixelColor(label.left() + 1, y)), fill);
        EXPECT_EQ(ColorName(image.pixelColor(bounds.left() + 570 - 2, y)), fill);
        // ...and not beyond it, nor into the image area left of the label.
        EXPECT_EQ(ColorName(image.pixelColor(bounds.left() + 570 + 3, y)),
                  ColorName(GetSysColor(COLOR_WINDOW)));
        EXPECT_EQ(ColorName(image.pixelColor(bounds.left(), y)),
                  ColorName(GetSysColor(COLOR_WINDOW)));
        EXPECT_GE(CountColor(image, label, GetSysColor(c.text)), 3);
    }
}

TEST_F(ListWindow, ColumnsAreAlignedAndInsetByTheMargin) {
    GiveFocus(*edit);
    const QImage image = Grab();
    const QColor white = GetSysColor(COLOR_WINDOW);
    const QRect label = list->GetItemRect(0, CListCtrlX::kRectLabel);
    const int margin = Margin();
    const int size0 = label.left() + label.width();  // the size cell starts here
    const int date0 = size0 + 120;
    const int extra0 = date0 + 150;
    const auto cell = [&](int left, int width) {
        return QRect(left, label.top(), width, label.height());
    };

    const auto name = InkSpan(image, cell(label.left(), label.width()), white);
    EXPECT_GE(name.first, label.left() + margin / 2);
    EXPECT_LE(name.first, label.left() + margin / 2 + 3);

    const auto size = InkSpan(image, cell(size0, 120), white);
    EXPECT_LE(size.second, size0 + 120 - margin - 1);
    EXPECT_GE(size.second, size0 + 120 - margin - 4);
    EXPECT_GT(size.first, size0 + 60);  // right-aligned, so well away from the left

    const auto date = InkSpan(image, cell(date0, 150), white);
    EXPECT_GE(date.first, date0 + margin / 2);
    EXPECT_LE(date.first, date0 + margin / 2 + 3);

    const auto extra = InkSpan(image, cell(extra0, 100), white);
    EXPECT_EQ(extra.first, -1) << "a fourth column shows no text";
}

TEST_F(ListWindow, ImagesComeFromTheImageListUntilItIsCleared) {
    const QRect icon = list->GetItemRect(0, CListCtrlX::kRectIcon);
    EXPECT_GE(CountColor(Grab(), icon, kIconRed), 200);

    const int blue = list->AddImage(SolidIcon(QColor(0, 0, 250)));
    EXPECT_EQ(blue, 1);
    EXPECT_EQ(list->AddImage(QIcon()), -1);
    list->SetItemImage(0, blue);
    EXPECT_GE(CountColor(Grab(), icon, QColor(0, 0, 250)), 200);

    list->ClearImages();
    const QImage image = Grab();
    EXPECT_EQ(CountColor(image, icon, QColor(0, 0, 250)), 0);
    EXPECT_EQ(CountColor(image, list->GetItemRect(1, CListCtrlX::kRectIcon), kIconRed), 0);
}

TEST_F(ListWindow, DeviceNameWithControlCharactersPaintsOnOneRow) {
    GiveFocus(*edit);
    list->SetItemText(0, 0, "News\nat\x1b[2J\a9.AVR");
    list->SetItemText(1, 0, "News?at?[2J?9.AVR");
    list->SetItemText(1, 1, list->GetItemText(0, 1));
    list->SetItemText(1, 2, list->GetItemText(0, 2));
    const QImage image = Grab();
    const QRect row0 = list->GetItemRect(0, CListCtrlX::kRectBounds);
    const QRect row1 = list->GetItemRect(1, CListCtrlX::kRectBounds);
    EXPECT_TRUE(image.copy(row0) == image.copy(row1)) << "painted as the row with \"?\" is";
    // The row keeps the name that addresses the file.
    EXPECT_EQ(list->GetItemText(0, 0), "News\nat\x1b[2J\a9.AVR");
}

TEST(FileColumns, WholeDatesAndTheNameTakesTheRest) {
    const std::string date = "2024-12-31 PM 12:59:59";
    const QString longName = QString(60, QLatin1Char('N')) + ".AVR";
    for (const int width : {900, 520, 150}) {
        SCOPED_TRACE(width);
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* list = new CListCtrlX;
        layout->addWidget(list);
        list->InsertColumn(0, "File Name", CListCtrlX::kFormatCenter, 0);
        list->InsertColumn(1, "Size(KB)", CListCtrlX::kFormatCenter, 0);
        list->InsertColumn(2, "Date", CListCtrlX::kFormatCenter, 0);
        list->UseFileColumns();
        list->Init(0);
        window.resize(width, 200);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ExpectFileColumns(*list, date);

        // Enough rows for a vertical scroll bar, which narrows the viewport.
        const int before = list->viewport()->width();
        for (int row = 0; row < 40; ++row) {
            list->InsertItem(row, row == 0 ? longName.toStdString() : "a.AVR");
            list->SetItemText(row, 1, "4,882,812");
            list->SetItemText(row, 2, date);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->viewport()->width() < before; }));
        ExpectFileColumns(*list, date);

        // The long name is cut, with its whole text as the tool tip; a short one is
        // not, unless the pane is too narrow for any.
        const QPoint first = list->GetItemRect(0, CListCtrlX::kRectLabel).center();
        const QPoint second = list->GetItemRect(1, CListCtrlX::kRectLabel).center();
        EXPECT_TRUE(list->IsNameCut(0));
        EXPECT_EQ(list->ToolTipAt(first), longName);
        if (width > 150) {
            EXPECT_FALSE(list->IsNameCut(1));
            EXPECT_EQ(list->ToolTipAt(second), QString());
        }
    }
}

// The second half of a double-click without its first click, as when the
// first click landed before the selection was made.
void SecondClick(QWidget* target, const QPoint& at) {
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, target->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dbl);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

TEST_F(ListWindow, DoubleClickSendsTheFirstSelectedRow) {
    EXPECT_EQ(list->GetItemName(3), "file3.avr");
    list->SetItemState(4, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);
    list->SetItemState(2, CListCtrlX::kStateSelected, CListCtrlX::kStateSelected);

    // Below the rows: the pointer's row does not matter.
    const QPoint empty(50, list->viewport()->height() - 5);
    SecondClick(list->viewport(), empty);
    ASSERT_EQ(view->received.size(), 1u);
    EXPECT_EQ(view->received[0].first, 0x4BCu);
    EXPECT_EQ(view->received[0].second, 2u);

    // A whole double-click on a row: its first click selects the row.
    view->received.clear();
    const QPoint row3 = list->GetItemRect(3, CListCtrlX::kRectLabel).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row3);
    SecondClick(list->viewport(), row3);
    ASSERT_EQ(view->received.size(), 1u);
    EXPECT_EQ(view->received[0].second, 3u);

    // Nothing selected: nothing sent.
    view->received.clear();
    list->clearSelection();
    SecondClick(list->viewport(), empty);
    EXPECT_TRUE(view->received.empty());
}

}  // namespace
