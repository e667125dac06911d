// Text from outside the program (a PVR's file and folder names, its product
// name) as the panes paint it: every control character, and every character
// that would break the line or turn the text's direction, shows as "?". The
// text itself, which addresses the file, is never changed; only its picture.
#pragma once

#include <QString>

QString VisibleText(const QString& text);
