// A window that records what reaches it, for message and timer tests.
#pragma once

#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/message.h"

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::thread::id thread;
    std::uint64_t time;
};

class CRecorder : public CMessageTarget {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        {
            std::lock_guard lock(m_mutex);
            m_received.push_back(
                {message, wParam, lParam, std::this_thread::get_id(), platform::TheClock().Now()});
        }
        if (m_onMessage) {
            return m_onMessage(message, wParam, lParam);
        }
        return static_cast<LRESULT>(wParam) * 2;
    }

    std::vector<Received> Take() {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    std::size_t Count() {
        std::lock_guard lock(m_mutex);
        return m_received.size();
    }

    std::function<LRESULT(UINT, WPARAM, LPARAM)> m_onMessage;

private:
    std::mutex m_mutex;
    std::vector<Received> m_received;
};
