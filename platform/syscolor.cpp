#include "platform/syscolor.h"

#include <QFontDatabase>

#include <array>
#include <memory>
#include <mutex>

namespace {

// The classic scheme's defaults, index by index.
constexpr std::array<COLORREF, 31> kSysColors{
    RGB(212, 208, 200),  // COLOR_SCROLLBAR
    RGB(58, 110, 165),   // COLOR_BACKGROUND
    RGB(10, 36, 106),    // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(212, 208, 200),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(212, 208, 200),  // COLOR_ACTIVEBORDER
    RGB(212, 208, 200),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(10, 36, 106),    // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(212, 208, 200),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(212, 208, 200),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(64, 64, 64),     // COLOR_3DDKSHADOW
    RGB(212, 208, 200),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(181, 181, 181),  // 25: no named colour
    RGB(0, 0, 128),      // COLOR_HOTLIGHT
    RGB(166, 202, 240),  // COLOR_GRADIENTACTIVECAPTION
    RGB(192, 192, 192),  // COLOR_GRADIENTINACTIVECAPTION
    RGB(49, 106, 197),   // COLOR_MENUHILIGHT
    RGB(236, 233, 216),  // COLOR_MENUBAR
};

std::mutex g_fontMutex;
std::unique_ptr<QFont> g_paneFont;

}  // namespace

COLORREF GetSysColorRef(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= kSysColors.size()) {
        return RGB(0, 0, 0);
    }
    return kSysColors[static_cast<std::size_t>(index)];
}

namespace platform {

QString ResolveFontFamily(const QString& family) {
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(family, Qt::CaseInsensitive)) {
        return family;
    }
    static const std::array<std::pair<const char*, const char*>, 3> kTwins{{
        {"Arial", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
    }};
    for (const auto& [face, twin] : kTwins) {
        if (family.compare(QLatin1String(face), Qt::CaseInsensitive) == 0 &&
            installed.contains(QLatin1String(twin), Qt::CaseInsensitive)) {
            return QString::fromLatin1(twin);
        }
    }
    return family;
}

void CreatePaneFont() {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    if (g_paneFont) {
        return;
    }
    g_paneFont = std::make_unique<QFont>(ResolveFontFamily(QStringLiteral("Arial")));
    g_paneFont->setStyleHint(QFont::SansSerif);
    // A negative height names the character height, which is Qt's pixel size.
    g_paneFont->setPixelSize(16);
    g_paneFont->setWeight(QFont::Normal);
    g_paneFont->setItalic(false);
    g_paneFont->setUnderline(false);
}

const QFont& PaneFont() {
    CreatePaneFont();
    std::lock_guard<std::mutex> lock(g_fontMutex);
    return *g_paneFont;
}

void DeletePaneFont() {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    g_paneFont.reset();
}

bool PaneFontExists() {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    return g_paneFont != nullptr;
}

}  // namespace platform
