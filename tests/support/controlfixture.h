// Shared pieces of the pane-control tests: a private drive table with every
// drive kind, focus handling offscreen, and pixel probes.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

#include "platform/pcfs.h"

// C: fixed, D: removable, E: a CD drive without a disc (its folder does not
// exist), F: network, each in a fresh temp folder.
class ControlDrives {
public:
    ControlDrives() {
        char tmpl[] = "/tmp/tavrix-controls-XXXXXX";
        const char* made = mkdtemp(tmpl);
        m_base = made != nullptr ? made : "";
        std::filesystem::create_directories(m_base + "/c");
        std::filesystem::create_directories(m_base + "/d");
        std::filesystem::create_directories(m_base + "/f");
        const std::string driveText = "C=" + m_base + "/c,D:removable=" + m_base +
                                      "/d,E:cdrom=" + m_base + "/nodisc,F:remote=" + m_base + "/f";
        setenv("TAVRIX_DRIVES", driveText.c_str(), 1);
        platform::ReloadDriveTable();
    }
    ~ControlDrives() {
        unsetenv("TAVRIX_DRIVES");
        platform::ReloadDriveTable();
        std::error_code ec;
        std::filesystem::remove_all(m_base, ec);
    }
    ControlDrives(const ControlDrives&) = delete;
    ControlDrives& operator=(const ControlDrives&) = delete;

    // A host folder under a drive letter's folder ("c", "Movies/Clips").
    void MakeFolder(const std::string& drive, const std::string& relative) const {
        std::filesystem::create_directories(m_base + "/" + drive + "/" + relative);
    }
    void MakeFile(const std::string& drive, const std::string& relative) const {
        std::ofstream(m_base + "/" + drive + "/" + relative) << "x";
    }
    void Remove(const std::string& drive, const std::string& relative) const {
        std::filesystem::remove_all(m_base + "/" + drive + "/" + relative);
    }

private:
    std::string m_base;
};

// Shows a top-level window and waits until it is the active one, so focus
// changes inside it are real.
inline bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

inline void GiveFocus(QWidget& widget) {
    widget.setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
}

// Pixels of exactly the colour inside r.
inline int CountColor(const QImage& image, const QRect& r, const QColor& color) {
    int n = 0;
    const QRect area = r.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y).rgb() == color.rgb()) {
                ++n;
            }
        }
    }
    return n;
}

inline QString ColorName(const QColor& c) {
    return QString("(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// Pixels within tolerance of the colour in every channel inside r: small text
// is anti-aliased and may have no pixel of exactly its colour.
inline int CountNear(const QImage& image, const QRect& r, const QColor& color, int tolerance) {
    int n = 0;
    const QRect area = r.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (std::abs(p.red() - color.red()) <= tolerance &&
                std::abs(p.green() - color.green()) <= tolerance &&
                std::abs(p.blue() - color.blue()) <= tolerance) {
                ++n;
            }
        }
    }
    return n;
}
