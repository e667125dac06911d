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

void XString::InsertThousandsCommas() {
    // From the right end, so the positions still to come stay valid.
    for (auto n = static_cast<long>(m_text.size()) - 3; n > 0; n -= 3) {
        m_text.insert(static_cast<std::size_t>(n), 1, ',');
    }
}
