// The one width rule of both file lists, checked on a shown list: the date and
// size columns hold their texts whole in the pane font, the name column takes
// what the viewport leaves, and there is no horizontal scroll bar while the
// columns fit.
#pragma once

#include <string>

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "app/controls/listctrlx.h"
#include "platform/syscolor.h"

inline void ExpectFileColumns(CListCtrlX& list, const std::string& date,
                              const std::string& size = "4,882,812") {
    // Scroll bars come and go, and the columns follow, in the next rounds of events.
    const auto columnsTotal = [&list] {
        return list.GetColumnWidth(0) + list.GetColumnWidth(1) + list.GetColumnWidth(2);
    };
    (void)QTest::qWaitFor([&] { return columnsTotal() == list.viewport()->width(); }, 300);
    const QFontMetrics pane(platform::PaneFont());
    const int margin = 2 * list.fontMetrics().horizontalAdvance(QLatin1Char(' '));
    const auto needed = [&](const std::string& text) {
        return pane.horizontalAdvance(QString::fromStdString(text)) + margin / 2 + margin;
    };
    ASSERT_EQ(list.GetColumnCount(), 3);
    EXPECT_GE(list.GetColumnWidth(2), needed(date)) << "the date is cut";
    EXPECT_GE(list.GetColumnWidth(1), needed(size)) << "the size is cut";
    const int total = columnsTotal();
    const int viewport = list.viewport()->width();
    if (list.GetColumnWidth(1) + list.GetColumnWidth(2) + list.header()->minimumSectionSize() <=
        viewport) {
        EXPECT_EQ(total, viewport) << "the name column takes the rest";
        EXPECT_EQ(list.horizontalScrollBar()->maximum(), 0) << "no horizontal scroll bar";
    } else {
        EXPECT_GT(list.horizontalScrollBar()->maximum(), 0) << "a list too narrow scrolls";
    }
}
