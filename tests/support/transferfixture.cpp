#include "support/transferfixture.h"

#include <fstream>
#include <iterator>

#include "platform/message.h"

void CReportLog::Add(Event event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
}

void CReportLog::ItemStarted(int index, int count) {
    Add({"start", index, count, m_engine.Progress(), {}, false});
}

void CReportLog::Progressed() {
    Event event{"progress", 0, 0, m_engine.Progress(), {}, false};
    Add(event);
    if (onProgress) {
        onProgress(event);
    }
}

void CReportLog::ItemEnded(int index, const std::string& reason) {
    Add({"item", index, 0, {}, reason, !reason.empty()});
}

void CReportLog::Ended(bool failed) {
    Add({"end", 0, 0, {}, {}, failed});
}

void CReportLog::Tell(const std::string& text) {
    Add({"tell", 0, 0, {}, text, false});
}

std::vector<CReportLog::Event> CReportLog::Events() {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<CReportLog::Event> CReportLog::Events(const std::string& kind) {
    std::vector<Event> out;
    for (const Event& e : Events()) {
        if (e.kind == kind) {
            out.push_back(e);
        }
    }
    return out;
}

bool CReportLog::HasEnded() {
    return !Events("end").empty();
}

bool CReportLog::Failed() {
    const auto ends = Events("end");
    return !ends.empty() && ends.back().failed;
}

void TransferTest::SetUp() {
    PvrTest::SetUp();
    m_drives.MakeFolder("pc");
    platform::SetClock(&m_clock);
}

void TransferTest::TearDown() {
    platform::SetClock(nullptr);
    PvrTest::TearDown();
}

BatchSource TransferTest::Source(std::vector<TransferSelection> selection,
                                 std::optional<std::string> pcFolder,
                                 std::optional<std::string> pvrFolder) {
    BatchSource source;
    auto walk = std::make_shared<std::vector<TransferSelection>>(std::move(selection));
    auto next = std::make_shared<std::size_t>(0);
    source.nextSelected = [walk, next](TransferSelection& out) {
        if (*next >= walk->size()) {
            return false;
        }
        out = (*walk)[(*next)++];
        return true;
    };
    source.pcFolder = std::move(pcFolder);
    source.pvrFolder = std::move(pvrFolder);
    source.findOnPvr = [this, folder = source.pvrFolder](const std::string& name,
                                                         std::int64_t* size) {
        if (!folder) {
            return false;
        }
        for (const StbFindData& e : List(*folder)) {
            if (e.kind == STB_ENTRY_FILE && name == e.name) {
                *size = e.size;
                return true;
            }
        }
        return false;
    };
    source.ask = [this](const std::string& text) {
        m_asked.push_back(text);
        if (m_answers.empty()) {
            return static_cast<int>(XFER_CANCEL);
        }
        const int answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return answer;
    };
    source.tell = [this](const std::string& text) { m_told.push_back(text); };
    source.skipped = [this](const std::string& name, TransferSkip why) {
        m_skipped.emplace_back(name, why);
    };
    source.speed = 1;
    return source;
}

bool TransferTest::RunUpload(CReportLog& log) {
    if (!m_engine.StartUpload(1, &log)) {
        return false;
    }
    return DriveClock(m_clock, [&] { return log.HasEnded() && !m_engine.WorkerRegistered(); });
}

bool TransferTest::RunDownload(CReportLog& log) {
    if (!m_engine.StartDownload(&log)) {
        return false;
    }
    return DriveClock(m_clock, [&] { return log.HasEnded() && !m_engine.WorkerRegistered(); });
}

std::string TransferTest::ReadPc(const std::string& relative) {
    std::ifstream in(m_drives.C() + "/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
