// Collects every trace line written while it lives, so tests can assert the
// exact texts.
#pragma once

#include <string>
#include <string_view>

#include "platform/trace.h"

class TraceCapture {
public:
    TraceCapture() {
        platform::SetTraceSink([this](std::string_view line) { m_text += line; });
    }
    ~TraceCapture() { platform::SetTraceSink(nullptr); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};
