// A text value with the file-name operations the program needs.
#pragma once

#include <cstdint>
#include <string>

class XString {
public:
    XString() = default;
    virtual ~XString() = default;
    XString(const XString&) = default;
    XString& operator=(const XString&) = default;

    // A null pointer counts as empty. The held text is the result, so an
    // assignment can stand where a text is expected.
    const std::string& operator=(const char* text);

    const std::string& Text() const { return m_text; }
    operator const std::string&() const { return m_text; }

    // The text before the last "."; the whole text when there is none.
    std::string GetBaseName() const;
    // The text after the last "."; empty when there is none.
    std::string GetExtension() const;
    // The text after the last "\"; the whole text when there is none.
    std::string GetFileName() const;
    // "1234567" becomes "1,234,567". Meant for unsigned decimal digits.
    void InsertThousandsCommas();

private:
    std::string m_text;
};

// A count in decimal with a comma between each group of three digits, and its
// sign in front: -1234567 gives "-1,234,567".
std::string WithThousandsCommas(std::int64_t value);
