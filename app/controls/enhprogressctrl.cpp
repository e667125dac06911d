#include "app/controls/enhprogressctrl.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include <QPaintEvent>
#include <QPainter>

namespace {

// Ids of bars made during the run, in creation order.
std::atomic<int> g_nextBarId{0};

const QColor kRed(255, 0, 0);
const QColor kOrange(255, 127, 0);
const QColor kYellow(255, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);
const QColor kSilver(192, 192, 192);
const QColor kBlack(0, 0, 0);

}  // namespace

CEnhProgressCtrl::Look CEnhProgressCtrl::Describe(int upper, int pos, int clientWidth,
                                                  bool levelMode) {
    Look look;
    // An empty range shows an empty bar at 0% rather than dividing by zero.
    if (upper != 0) {
        // 64 bits: the disk bar counts MiB, and MiB x 100 overflows 32 bits on
        // large disks.
        look.percent = static_cast<int>(static_cast<std::int64_t>(pos) * 100 / upper);
        look.barRight = static_cast<int>(static_cast<std::int64_t>(pos) * clientWidth / upper);
    }
    if (!levelMode) {
        look.barColor = kBlue;
        // From 50% on the bar is under the centred text.
        look.textColor = look.percent >= 50 ? kSilver : kBlack;
        return look;
    }
    if (look.percent >= 100) {
        look.barColor = kRed;
        look.textColor = kWhite;
        look.label = QStringLiteral("(Full)");
    } else if (look.percent >= 90) {
        look.barColor = kOrange;
        look.textColor = kWhite;
        look.label = QStringLiteral("(Nearly Full)");
    } else if (look.percent >= 50) {
        look.barColor = kYellow;
        look.textColor = kBlue;
        look.label = QStringLiteral("(Half or Higher)");
    } else if (look.percent >= 30) {
        look.barColor = kBlue;
        look.textColor = kWhite;
        look.label = QStringLiteral("(Half or Less)");
    } else {
        look.barColor = kYellow;
        look.textColor = kWhite;
        look.label = QStringLiteral("(A Little)");
    }
    return look;
}

CEnhProgressCtrl::CEnhProgressCtrl(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

CEnhProgressCtrl::~CEnhProgressCtrl() = default;

bool CEnhProgressCtrl::CreateBar(const QRect& rect, QWidget* parent) {
    if (parent == nullptr) {
        return false;
    }
    setParent(parent);
    setGeometry(rect);
    m_ctrlId = g_nextBarId.fetch_add(1);
    show();
    return true;
}

void CEnhProgressCtrl::SetLevelMode(bool on) {
    m_levelMode = on ? 1 : 0;
    update();
}

void CEnhProgressCtrl::SetRange32(int lower, int upper) {
    setRange(lower, std::max(lower, upper));
    update();
}

void CEnhProgressCtrl::GetRange(int& lower, int& upper) const {
    lower = minimum();
    upper = maximum();
}

int CEnhProgressCtrl::SetPos(int pos) {
    const int previous = GetPos();
    setValue(std::clamp(pos, minimum(), maximum()));
    update();
    return previous;
}

int CEnhProgressCtrl::GetPos() const {
    // A fresh or reset bar reports one below its range; it shows the lower bound.
    return std::clamp(value(), minimum(), maximum());
}

CEnhProgressCtrl::Look CEnhProgressCtrl::CurrentLook() const {
    return Describe(maximum(), GetPos(), rect().width(), m_levelMode != 0);
}

void CEnhProgressCtrl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect client = rect();
    const Look look = CurrentLook();
    const int barRight = std::clamp(look.barRight, 0, client.width());

    const QRect bar(0, 0, barRight, client.height());
    painter.fillRect(bar, look.barColor);
    // The column at the bar's edge belongs to neither part.
    if (barRight < client.width()) {
        painter.fillRect(QRect(barRight + 1, 0, client.width() - barRight - 1, client.height()),
                         kWhite);
    }

    const QString text = look.Text();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    if (m_levelMode == 0 || look.textColor != kWhite) {
        painter.setPen(look.textColor);
        painter.drawText(client, flags, text);
        return;
    }
    // Level mode's white text would vanish where it lies over the white part
    // (below 50% that is most of it), so there it is drawn black.
    painter.save();
    painter.setClipRect(bar);
    painter.setPen(look.textColor);
    painter.drawText(client, flags, text);
    painter.restore();
    painter.setClipRect(QRect(barRight, 0, client.width() - barRight, client.height()));
    painter.setPen(kBlack);
    painter.drawText(client, flags, text);
}
