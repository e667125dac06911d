#include "core/xstring.h"

const std::string& XString::operator=(const char* text) {
    m_text = text ? text : "";
    return m_text;
}

std::string XString::GetBaseName() const {
    const auto dot = m_text.rfind('.');
    return dot == std::string::npos ? m_text : m_text.substr(0, dot);
}

std::string XString::GetExtension() const {
    const auto dot = m_text.rfind('.');
    return dot == std::string::npos ? std::string() : m_text.substr(dot + 1);
}

std::string XString::GetFileName() const {
    const auto slash = m_text.rfind('\\');
    return slash == std::string::npos ? m_text : m_text.substr(slash + 1);
}

std::string WithThousandsCommas(std::int64_t value) {
    // The magnitude in unsigned arithmetic, which also holds the lowest value's.
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    XString text;
    text = std::to_string(magnitude).c_str();
    text.InsertThousandsCommas();
    return (value < 0 ? "-" : "") + text.Text();
}

void XString::InsertThousandsCommas() {
    // From the right end, so the positions still to come stay valid.
    for (auto n = static_cast<long>(m_text.size()) - 3; n > 0; n -= 3) {
        m_text.insert(static_cast<std::size_t>(n), 1, ',');
    }
}
