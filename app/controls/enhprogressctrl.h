// A progress bar that paints itself: a coloured bar from the left, white beyond
// it, and the percentage centred on top.
//
// Plain mode (the progress dialogs) has a blue bar and the percentage alone;
// level mode (how full the PVR's disk is) colours the bar by fullness and adds
// a word for it, "(A Little)" up to "(Full)".
#pragma once

#include <QColor>
#include <QProgressBar>
#include <QString>

class CEnhProgressCtrl : public QProgressBar {
public:
    // What the bar shows for a range and position.
    struct Look {
        int percent = 0;
        int barRight = 0;  // width of the coloured part, in pixels
        QColor barColor;
        QColor textColor;
        QString label;  // "" in plain mode
        QString Text() const { return QString::number(percent) + QLatin1Char('%') + label; }
    };
    static Look Describe(int upper, int pos, int clientWidth, bool levelMode);

    explicit CEnhProgressCtrl(QWidget* parent = nullptr);
    ~CEnhProgressCtrl() override;
    CEnhProgressCtrl(const CEnhProgressCtrl&) = delete;
    CEnhProgressCtrl& operator=(const CEnhProgressCtrl&) = delete;

    // Makes the bar a visible child of parent at rect (parent's client
    // coordinates). Every bar of the run gets the next control id: 0, 1, 2, ...
    bool CreateBar(const QRect& rect, QWidget* parent);
    int GetDlgCtrlID() const { return m_ctrlId; }

    void SetLevelMode(bool on);
    bool GetLevelMode() const { return m_levelMode != 0; }

    // Range and position; a position outside the range is moved into it.
    void SetRange32(int lower, int upper);
    void GetRange(int& lower, int& upper) const;
    int SetPos(int pos);  // returns the previous position
    int GetPos() const;

    // What the bar shows now.
    Look CurrentLook() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_levelMode = 0;
    int m_ctrlId = -1;
};
