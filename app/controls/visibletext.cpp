#include "app/controls/visibletext.h"

namespace {

bool NeedsReplacement(char16_t c) {
    return c < 0x20                       // C0: line feeds, tabs, escapes, bells
           || (c >= 0x7F && c <= 0x9F)    // DEL and C1, including NEL
           || c == 0x2028 || c == 0x2029  // line and paragraph separators
           || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);  // bidi overrides
}

}  // namespace

QString VisibleText(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (NeedsReplacement(c.unicode())) {
            c = QLatin1Char('?');
        }
    }
    return out;
}
