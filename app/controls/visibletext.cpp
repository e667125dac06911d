#include "app/controls/visibletext.h"

#include "core/printable.h"

QString VisibleText(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (IsUnprintable(c.unicode())) {
            c = QLatin1Char('?');
        }
    }
    return out;
}
