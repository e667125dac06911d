#include "core/printable.h"

#include <cstdio>

namespace {

// The character at text[pos] and its length in bytes; a byte that does not
// start valid UTF-8 gives length 0.
char32_t DecodeAt(std::string_view text, std::size_t pos, std::size_t* length) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    *length = 0;
    if (lead < 0x80) {
        *length = 1;
        return lead;
    }
    std::size_t trail = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
        c = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        c = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        c = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (pos + trail >= text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i <= trail; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    *length = trail + 1;
    return c;
}

}  // namespace

bool IsUnprintable(char32_t c) {
    return c < 0x20                                                          // C0
           || (c >= 0x7F && c <= 0x9F)                                       // DEL and C1
           || c == 0x2028 || c == 0x2029                                     // line breaks
           || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);  // direction
}

std::string EscapeUnprintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t length = 0;
        const char32_t c = DecodeAt(text, pos, &length);
        char escape[16];
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[pos]));
            out += escape;
            ++pos;
            continue;
        }
        if (!IsUnprintable(c)) {
            out.append(text, pos, length);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x80) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
            out += escape;
        } else {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        }
        pos += length;
    }
    return out;
}
