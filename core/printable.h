// Text from outside the program (a device's names, a file's name) on its way to
// a screen: control characters, line breaks and direction overrides in it could
// rewrite a terminal or split a row, so they never reach one as they are.
#pragma once

#include <string>
#include <string_view>

// C0 and C1 controls, DEL, the line and paragraph separators and the
// bidirectional overrides and isolates.
bool IsUnprintable(char32_t c);

// The UTF-8 text with every unprintable character, and every byte that is not
// part of valid UTF-8, written as an escape ("\n", "\t", "\x1b", "\u2028");
// everything else as it was.
std::string EscapeUnprintable(std::string_view text);
