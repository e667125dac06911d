#include "app/controls/enhprogressctrl.h"

#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include "support/controlfixture.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kOrange(255, 127, 0);
const QColor kYellow(255, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);
const QColor kSilver(192, 192, 192);
const QColor kBlack(0, 0, 0);

// A 200 x 24 bar on a grey parent, range 0..100.
class Bar : public testing::Test {
protected:
    void SetUp() override {
        parent.resize(220, 40);
        ASSERT_TRUE(bar.CreateBar(QRect(10, 8, 200, 24), &parent));
        bar.SetRange32(0, 100);
    }

    QImage Grab() { return bar.grab().toImage(); }

    QWidget parent;
    CEnhProgressCtrl bar;
};

TEST_F(Bar, LevelModeBandsAndPixels) {
    bar.SetLevelMode(true);
    struct Case {
        int percent;
        QColor barColor;
        QColor textColor;
        const char* text;
    };
    const Case cases[] = {
        {29, kYellow, kWhite, "29%(A Little)"},      {30, kBlue, kWhite, "30%(Half or Less)"},
        {49, kBlue, kWhite, "49%(Half or Less)"},    {50, kYellow, kBlue, "50%(Half or Higher)"},
        {89, kYellow, kBlue, "89%(Half or Higher)"}, {90, kOrange, kWhite, "90%(Nearly Full)"},
        {100, kRed, kWhite, "100%(Full)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bar.SetPos(c.percent);
        const CEnhProgressCtrl::Look look = bar.CurrentLook();
        EXPECT_EQ(look.Text().toStdString(), c.text);
        EXPECT_EQ(ColorName(look.barColor), ColorName(c.barColor));
        EXPECT_EQ(ColorName(look.textColor), ColorName(c.textColor));

        const QImage image = Grab();
        const int barRight = c.percent * 200 / 100;
        EXPECT_EQ(look.barRight, barRight);
        EXPECT_EQ(ColorName(image.pixelColor(0, 0)), ColorName(c.barColor));
        EXPECT_EQ(ColorName(image.pixelColor(barRight - 1, 23)), ColorName(c.barColor));
        if (barRight + 1 < 200) {
            EXPECT_EQ(ColorName(image.pixelColor(barRight + 1, 0)), ColorName(kWhite));
            EXPECT_EQ(ColorName(image.pixelColor(199, 23)), ColorName(kWhite));
        }
    }
}

TEST_F(Bar, LevelModeTextIsReadableOnBothParts) {
    bar.SetLevelMode(true);
    const QRect middle(40, 0, 120, 24);
    // Over the bar the text has the band's colour.
    bar.SetPos(100);
    EXPECT_GE(CountNear(Grab(), middle, kWhite, 48), 5);
    bar.SetPos(60);
    EXPECT_GE(CountNear(Grab(), middle, kBlue, 48), 5);
    // Below half the centred text lies over the white part, where white text
    // would not show: it is drawn black there.
    bar.SetPos(10);
    const QImage image = Grab();
    EXPECT_GE(CountNear(image, middle, kBlack, 48), 5);
}

TEST_F(Bar, PlainModeSwitchesTextColourAtHalf) {
    struct Case {
        int percent;
        QColor textColor;
    };
    const Case cases[] = {{0, kBlack}, {49, kBlack}, {50, kSilver}, {100, kSilver}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        bar.SetPos(c.percent);
        const CEnhProgressCtrl::Look look = bar.CurrentLook();
        EXPECT_EQ(look.Text().toStdString(), std::to_string(c.percent) + "%");
        EXPECT_EQ(ColorName(look.barColor), ColorName(kBlue));
        EXPECT_EQ(ColorName(look.textColor), ColorName(c.textColor));
        EXPECT_GE(CountNear(Grab(), QRect(60, 0, 80, 24), c.textColor, 48), 5);
    }
}

TEST_F(Bar, EmptyBarIsWhiteFromItsSecondColumn) {
    bar.SetPos(0);
    const QImage image = Grab();
    EXPECT_EQ(bar.CurrentLook().Text().toStdString(), "0%");
    EXPECT_EQ(CountColor(image, QRect(0, 0, 200, 24), kBlue), 0);
    for (const int x : {1, 2, 100, 199}) {
        EXPECT_EQ(ColorName(image.pixelColor(x, 0)), ColorName(kWhite)) << x;
    }
}

TEST(EnhProgressCtrl, PercentDividesByTheUpperBoundAlone) {
    CEnhProgressCtrl bar;
    bar.resize(100, 20);
    bar.SetRange32(50, 200);
    bar.SetPos(100);
    EXPECT_EQ(bar.CurrentLook().percent, 50);
    EXPECT_EQ(bar.CurrentLook().barRight, 50);
    // Positions outside the range are moved into it.
    bar.SetPos(10);
    EXPECT_EQ(bar.GetPos(), 50);
    // Large disks: MiB x 100 does not fit 32 bits.
    bar.SetRange32(0, 2000000000);
    bar.SetPos(1500000000);
    EXPECT_EQ(bar.CurrentLook().percent, 75);
    // An empty range shows an empty bar.
    const CEnhProgressCtrl::Look none = CEnhProgressCtrl::Describe(0, 0, 100, true);
    EXPECT_EQ(none.percent, 0);
    EXPECT_EQ(none.barRight, 0);
}

TEST(EnhProgressCtrl, CreateBarHandsOutIdsInOrder) {
    QWidget parent;
    CEnhProgressCtrl first;
    CEnhProgressCtrl second;
    ASSERT_TRUE(first.CreateBar(QRect(0, 0, 50, 10), &parent));
    ASSERT_TRUE(second.CreateBar(QRect(0, 10, 50, 10), &parent));
    EXPECT_GE(first.GetDlgCtrlID(), 0);
    EXPECT_EQ(second.GetDlgCtrlID(), first.GetDlgCtrlID() + 1);
    EXPECT_TRUE(second.isVisibleTo(&parent));
    EXPECT_EQ(second.geometry(), QRect(0, 10, 50, 10));
    CEnhProgressCtrl orphan;
    EXPECT_FALSE(orphan.CreateBar(QRect(0, 0, 50, 10), nullptr));
}

}  // namespace
