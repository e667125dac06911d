#include <gtest/gtest.h>

#include <QChar>
#include <QString>

#include <string>

#include "core/names.h"

namespace {

int Sign(int value) {
    return (value > 0) - (value < 0);
}

std::string Utf8(char32_t c) {
    return QString(QChar(static_cast<char16_t>(c))).toStdString();
}

}  // namespace

TEST(NamesNoCase, Table) {
    struct Row {
        const char* a;
        const char* b;
        int order;  // of a against b
    };
    const Row rows[] = {
        {"", "", 0},
        {"Movie.AVR", "movie.avr", 0},
        {"C:\\PVR\\AV", "c:\\pvr\\av", 0},
        {"Movie", "Movies", -1},
        {"b", "A", 1},
        // Letters fold to lower case, so "_" (between the two cases in ASCII)
        // comes before every letter.
        {"A_b", "Ab", -1},
        {"Z", "_", 1},
        {"Ärger.mp3", "ärger.MP3", 0},
        {"Ÿ", "ÿ", 0},
        {"Łódź", "łÓDŹ", 0},
        {"ΦΙΛΟΣ", "φιλος", 0},
        {"Ταινίες", "ΤΑΙΝΊΕΣ", 0},
        {"Фильмы", "фИЛЬМЫ", 0},
        {"Ёлка", "ёлка", 0},
        // Not case pairs: each character stays itself.
        {"×", "÷", -1},
        {"ß", "ss", 1},
        {"ı", "i", 1},
        {"\xE2\x82\xAC", "\xE2\x82\xAC", 0},  // three-byte characters compare as they are
        // Bytes that are not UTF-8 stand for themselves: unequal names stay unequal.
        {"\xFF", "\xFE", 1},
        {"\xC3", "\xC3\x89", -1},
        {"\xC3\x41", "\xC3\x61", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.a) + " / " + r.b);
        EXPECT_EQ(Sign(CompareNoCase(r.a, r.b)), r.order);
        EXPECT_EQ(Sign(CompareNoCase(r.b, r.a)), -r.order);
        EXPECT_EQ(EqualsNoCase(r.a, r.b), r.order == 0);
        EXPECT_EQ(FoldCase(r.a) == FoldCase(r.b), r.order == 0);
        EXPECT_EQ(FoldCase(r.a).size(), std::string(r.a).size());
    }
}

TEST(NamesNoCase, StartsWith) {
    struct Row {
        const char* text;
        const char* prefix;
        bool starts;
    };
    const Row rows[] = {
        {"C:\\PVR\\AV\\Movie.AVR", "c:\\pvr\\av\\", true},
        {"C:\\PVR\\ÄV\\x", "C:\\PVR\\äv\\", true},
        {"C:\\PVR", "C:\\PVR\\", false},
        {"anything", "", true},
        {"", "x", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.text) + " / " + r.prefix);
        EXPECT_EQ(StartsWithNoCase(r.text, r.prefix), r.starts);
    }
}

// The application's panes compared their Qt texts without regard to case; the
// rule gives the same answers for every character of the ranges it folds.
TEST(NamesNoCase, AgreesWithQtInTheFoldedRanges) {
    const std::pair<char32_t, char32_t> ranges[] = {
        {0x20, 0x7E}, {0xC0, 0x17E}, {0x386, 0x3CE}, {0x400, 0x52F}};
    for (const auto& [first, last] : ranges) {
        for (char32_t c = first; c <= last; ++c) {
            const QChar qc(static_cast<char16_t>(c));
            if (qc.category() == QChar::Other_NotAssigned) {
                continue;
            }
            SCOPED_TRACE(static_cast<unsigned>(c));
            const std::string folded = FoldCase(Utf8(c));
            EXPECT_EQ(folded, Utf8(qc.toCaseFolded().unicode()));
            EXPECT_EQ(EqualsNoCase(Utf8(c), Utf8(qc.toUpper().unicode())),
                      QString(qc).compare(QString(qc.toUpper()), Qt::CaseInsensitive) == 0);
        }
    }
}

TEST(NamesFields, FieldTextAndCopyPath) {
    const char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(FieldText(full), "abcd");
    const char shorter[6] = "ab\0cd";
    EXPECT_EQ(FieldText(shorter), "ab");
    EXPECT_EQ(FieldText(full, 2), "ab");

    struct Row {
        std::string path;
        bool fits;
    };
    const Row rows[] = {
        {"", true},
        {"C:\\PVR", true},
        {"1234567", true},                   // seven characters and the zero
        {"12345678", false},                 // no room for the zero
        {std::string("C:\\\0x", 5), false},  // would reach the device cut short
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        char field[8];
        std::fill(std::begin(field), std::end(field), '#');
        EXPECT_EQ(CopyPath(field, r.path), r.fits);
        if (r.fits) {
            EXPECT_EQ(FieldText(field), r.path);
            EXPECT_EQ(std::string(field, sizeof field),
                      r.path + std::string(sizeof field - r.path.size(), '\0'));
        } else {
            EXPECT_EQ(std::string(field, sizeof field), std::string(8, '#'));
        }
    }
    // A view without any data is an empty path too (the sanitizer build checks
    // that nothing is copied from its null pointer).
    char field[4] = {'#', '#', '#', '#'};
    EXPECT_TRUE(CopyPath(field, std::string_view()));
    EXPECT_EQ(std::string(field, sizeof field), std::string(4, '\0'));
}

TEST(NamesPaths, LastComponent) {
    struct Row {
        const char* path;
        const char* last;
    };
    const Row rows[] = {
        {"C:\\PVR\\AV\\Movie.AVR", "Movie.AVR"},
        {"C:\\PVR\\AV\\", "AV"},
        {"C:\\PVR\\AV", "AV"},
        {"Movie.AVR", "Movie.AVR"},
        {"C:\\", "C:"},
        {"\\", ""},
        {"", ""},
        {"C:\\PVR\\\\", ""},  // only one trailing "\" is passed over
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(LastComponent(r.path), r.last);
    }
}

TEST(NamesPaths, TrailingBackslashAndPlainNames) {
    EXPECT_EQ(WithTrailingBackslash("C:\\PVR"), "C:\\PVR\\");
    EXPECT_EQ(WithTrailingBackslash("C:\\PVR\\"), "C:\\PVR\\");
    EXPECT_EQ(WithoutTrailingBackslash("C:\\PVR\\"), "C:\\PVR");
    EXPECT_EQ(WithoutTrailingBackslash("C:\\PVR"), "C:\\PVR");
    EXPECT_EQ(WithoutTrailingBackslash(""), "");
    for (const char* name : {"Movie.AVR", "...", ".hidden", "a b"}) {
        EXPECT_TRUE(IsPlainName(name)) << name;
    }
    for (const char* name : {"", ".", "..", "a\\b", "a/b", "\\", "/"}) {
        EXPECT_FALSE(IsPlainName(name)) << name;
    }
}

TEST(NamesPaths, WildcardMatch) {
    struct Row {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Row rows[] = {
        {"*.*", "Movie.AVR", true},
        {"*.*", "noext", false},
        {"*", "noext", true},
        {"*", "", true},
        {"*.mp3", "song.MP3", true},
        {"*.mp3", "song.mp3.txt", false},
        {"?ong.*", "Song.mp3", true},
        {"?ong.*", "ong.mp3", false},
        {"a*b*c", "aXXbYYbc", true},
        {"a*b*c", "aXXbYYbd", false},
        {"MOVIE.AVR", "movie.avr", true},
        {"ÄRGER.*", "ärger.mp3", true},
        {"?rger.mp3", "ärger.mp3", true},  // "?" is one character, not one byte
        {"??rger.mp3", "ärger.mp3", false},
        {"*?", "é", true},
        {"", "", true},
        {"", "x", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.pattern) + " / " + r.name);
        EXPECT_EQ(WildcardMatch(r.pattern, r.name), r.matches);
    }
}
