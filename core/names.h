// Names and paths as the whole program handles them, on the PC and on the PVR.
//
// Names are UTF-8. Case is ignored by one rule everywhere: each character is
// folded to lower case where it belongs to a simple one-to-one case pair of
// ASCII, Latin-1, Latin Extended-A, Greek or Cyrillic (Greek final sigma
// folds to sigma as well); every other character, and every byte that is not
// part of valid UTF-8, stays as it is. Both members of each pair take the same
// number of bytes, so folding never changes a text's length in bytes: a prefix
// that matches covers exactly prefix.size() bytes of the text. Two names are
// then equal, or ordered, by the bytes of their folded texts, which for valid
// UTF-8 is the order of the folded characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The text with the rule's folding applied; the same length as `text`. Serves
// as a key for sorting and grouping names without regard to case.
std::string FoldCase(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
// < 0, 0 or > 0 as a comes before, with or after b.
int CompareNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// A name against a wildcard pattern, without regard to case: "*" stands for
// any run of characters, "?" for exactly one character (one UTF-8 sequence).
// No other character is special; "." is an ordinary character.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// The text of a fixed-size character field: up to its first zero, or the whole
// field when the writer (the device, say) left it unterminated.
std::string_view FieldText(const char* field, std::size_t size);
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return FieldText(field, N);
}

// Copies the path into a fixed-size field with its terminating zero and zeroes
// the rest of the field. A path that would not fit, or that holds a zero of
// its own, is refused (false, the field left as it was): a path is never cut.
bool CopyPath(char* field, std::size_t size, std::string_view path);
template <std::size_t N>
bool CopyPath(char (&field)[N], std::string_view path) {
    return CopyPath(field, N, path);
}

// The name after the last "\" of a path, the whole path when it has no "\".
// One trailing "\" is no name of its own and is passed over, so a folder path
// gives its folder's name either way: "C:\PVR\AV\" and "C:\PVR\AV" both "AV".
std::string LastComponent(std::string_view path);
// The path with one trailing "\" added, unless it has one already.
std::string WithTrailingBackslash(std::string path);
// The path without its one trailing "\", if it has one.
std::string WithoutTrailingBackslash(std::string path);

// A name that, appended to a folder's path, names an entry of that folder: not
// empty, not "." or "..", and without a "\" or "/" (a separator on the PC).
bool IsPlainName(std::string_view name);
