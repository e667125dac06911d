#include "core/names.h"

#include <algorithm>
#include <cstring>

namespace {

// The lower-case partner of a character in the folded ranges, else the
// character itself. Every partner lies below U+0800, as every character folded
// does: both take two bytes in UTF-8.
char32_t FoldCharacter(char32_t c) {
    const auto evenPair = [c] { return (c % 2 == 0) ? c + 1 : c; };
    const auto oddPair = [c] { return (c % 2 == 1) ? c + 1 : c; };
    if (c >= 0xC0 && c <= 0xDE) {
        return c == 0xD7 ? c : c + 0x20;  // U+00D7 is the multiplication sign
    }
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) {
            return c;  // dotted/dotless i, kra, n preceded by apostrophe, long s: no pairs
        }
        if (c == 0x178) {
            return 0xFF;  // Y with diaeresis pairs with a Latin-1 letter
        }
        return (c < 0x139 || (c >= 0x14A && c < 0x178)) ? evenPair() : oddPair();
    }
    if (c >= 0x386 && c <= 0x3C2) {
        if (c == 0x386) {
            return 0x3AC;
        }
        if (c >= 0x388 && c <= 0x38A) {
            return c + 0x25;
        }
        if (c == 0x38C) {
            return 0x3CC;
        }
        if (c == 0x38E || c == 0x38F) {
            return c + 0x3F;
        }
        if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) {
            return c + 0x20;
        }
        if (c == 0x3C2) {
            return 0x3C3;  // final sigma
        }
        return c;
    }
    if (c >= 0x400 && c <= 0x52F) {
        if (c <= 0x40F) {
            return c + 0x50;
        }
        if (c <= 0x42F) {
            return c + 0x20;
        }
        if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || c >= 0x4D0) {
            return evenPair();
        }
        if (c == 0x4C0) {
            return 0x4CF;
        }
        if (c >= 0x4C1 && c <= 0x4CE) {
            return oddPair();
        }
    }
    return c;
}

// Folds the character at text[pos] into out (one or two bytes, as many as it
// takes in text) and returns that count. Only ASCII letters and two-byte
// sequences can change; any other byte is copied as it is.
std::size_t FoldAt(std::string_view text, std::size_t pos, unsigned char out[2]) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        out[0] = (lead >= 'A' && lead <= 'Z') ? static_cast<unsigned char>(lead + 0x20) : lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF && pos + 1 < text.size()) {
        const auto trail = static_cast<unsigned char>(text[pos + 1]);
        if ((trail & 0xC0) == 0x80) {
            const char32_t folded = FoldCharacter((char32_t{lead} & 0x1F) << 6 | (trail & 0x3F));
            out[0] = static_cast<unsigned char>(0xC0 | (folded >> 6));
            out[1] = static_cast<unsigned char>(0x80 | (folded & 0x3F));
            return 2;
        }
    }
    out[0] = lead;
    return 1;
}

// Compares the folded bytes of a and b up to the end of the shorter one.
int CompareFolded(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    unsigned char fa[2];
    unsigned char fb[2];
    std::size_t na = 0;
    std::size_t nb = 0;
    std::size_t ka = 0;
    std::size_t kb = 0;
    while (true) {
        if (ka == na) {
            if (i == a.size()) {
                return 0;
            }
            na = FoldAt(a, i, fa);
            i += na;
            ka = 0;
        }
        if (kb == nb) {
            if (j == b.size()) {
                return 0;
            }
            nb = FoldAt(b, j, fb);
            j += nb;
            kb = 0;
        }
        if (fa[ka] != fb[kb]) {
            return fa[ka] < fb[kb] ? -1 : 1;
        }
        ++ka;
        ++kb;
    }
}

// The position after the character that starts at pos: a lead byte with the
// continuation bytes that follow it (at most three), or a lone byte.
std::size_t NextCharacter(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t trail = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    std::size_t end = pos + 1;
    while (end < text.size() && end <= pos + trail &&
           (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        ++end;
    }
    return end;
}

}  // namespace

std::string FoldCase(std::string_view text) {
    std::string out(text.size(), '\0');
    unsigned char folded[2];
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t n = FoldAt(text, pos, folded);
        std::memcpy(out.data() + pos, folded, n);
        pos += n;
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareFolded(a, b) == 0;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    if (const int order = CompareFolded(a, b); order != 0) {
        return order;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view FieldText(const char* field, std::size_t size) {
    return {field, ::strnlen(field, size)};
}

bool CopyPath(char* field, std::size_t size, std::string_view path) {
    if (path.size() >= size || path.find('\0') != std::string_view::npos) {
        return false;
    }
    // std::copy, not memcpy: an empty view may have no data pointer at all.
    std::copy(path.begin(), path.end(), field);
    std::fill(field + path.size(), field + size, '\0');
    return true;
}

std::string LastComponent(std::string_view path) {
    if (!path.empty() && path.back() == '\\') {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string WithTrailingBackslash(std::string path) {
    if (!path.ends_with('\\')) {
        path += '\\';
    }
    return path;
}

std::string WithoutTrailingBackslash(std::string path) {
    if (path.ends_with('\\')) {
        path.pop_back();
    }
    return path;
}

bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/") == std::string_view::npos;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    const std::string p = FoldCase(pattern);
    const std::string n = FoldCase(name);
    std::size_t at = 0;
    std::size_t in = 0;
    // The last "*" seen and where in the name its run ends for now; a later
    // mismatch lets that run take one more character and tries again.
    std::size_t star = std::string::npos;
    std::size_t starEnd = 0;
    while (in < n.size()) {
        if (at < p.size() && p[at] == '*') {
            star = at++;
            starEnd = in;
        } else if (at < p.size() && p[at] == '?') {
            ++at;
            in = NextCharacter(n, in);
        } else if (at < p.size() && p[at] == n[in]) {
            ++at;
            ++in;
        } else if (star != std::string::npos) {
            at = star + 1;
            starEnd = NextCharacter(n, starEnd);
            in = starEnd;
        } else {
            return false;
        }
    }
    while (at < p.size() && p[at] == '*') {
        ++at;
    }
    return at == p.size();
}
