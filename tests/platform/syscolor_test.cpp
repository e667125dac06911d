#include "platform/syscolor.h"

#include <QFontDatabase>
#include <QFontInfo>

#include <gtest/gtest.h>

TEST(SysColors, ClassicTable) {
    struct Row {
        int index;
        QColor color;
    };
    const Row rows[] = {
        {COLOR_WINDOW, QColor(255, 255, 255)},
        {COLOR_WINDOWTEXT, QColor(0, 0, 0)},
        {COLOR_HIGHLIGHT, QColor(10, 36, 106)},
        {COLOR_HIGHLIGHTTEXT, QColor(255, 255, 255)},
        {COLOR_BTNFACE, QColor(212, 208, 200)},
        {COLOR_GRAYTEXT, QColor(128, 128, 128)},
        {COLOR_INACTIVEBORDER, QColor(212, 208, 200)},
        {COLOR_SCROLLBAR, QColor(212, 208, 200)},
        {COLOR_3DSHADOW, QColor(128, 128, 128)},
        {COLOR_3DDKSHADOW, QColor(64, 64, 64)},
        {COLOR_INFOBK, QColor(255, 255, 225)},
        {-1, QColor(0, 0, 0)},
        {31, QColor(0, 0, 0)},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(GetSysColor(r.index), r.color) << "index " << r.index;
    }
    EXPECT_EQ(GetSysColorRef(COLOR_HIGHLIGHT), RGB(10, 36, 106));
    EXPECT_EQ(RGB(10, 36, 106), 0x6A240Au);  // red in the low byte
}

TEST(PaneFont, ArialOrItsMetricTwinAt16Pixels) {
    platform::DeletePaneFont();
    EXPECT_FALSE(platform::PaneFontExists());
    platform::CreatePaneFont();
    ASSERT_TRUE(platform::PaneFontExists());
    const QFont& font = platform::PaneFont();
    EXPECT_EQ(&font, &platform::PaneFont());  // one font for all panes
    EXPECT_EQ(font.pixelSize(), 16);
    EXPECT_FALSE(font.bold());
    EXPECT_FALSE(font.italic());
    const QStringList families = QFontDatabase::families();
    if (families.contains("Arial")) {
        EXPECT_EQ(QFontInfo(font).family(), "Arial");
    } else if (families.contains("Liberation Sans")) {
        EXPECT_EQ(font.family(), "Liberation Sans");
        EXPECT_EQ(QFontInfo(font).family(), "Liberation Sans");
    } else {
        GTEST_SKIP() << "neither Arial nor Liberation Sans is installed";
    }
    EXPECT_EQ(platform::ResolveFontFamily("No Such Face"), "No Such Face");
    platform::DeletePaneFont();
    EXPECT_FALSE(platform::PaneFontExists());
}
