// Transfers against a PVR served from a thread of the test, on a private C:
// and on manual time: the worker's pauses are recorded and stepped through at
// once, so a whole batch runs in no wall time with its pauses asserted exactly.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/pauseclock.h"
#include "support/privatedrive.h"
#include "support/pvrfixture.h"
#include "transfer/batchbuilder.h"
#include "transfer/transferengine.h"

// Everything a worker reported, in order.
class CReportLog : public ITransferReport {
public:
    struct Event {
        std::string kind;  // "start", "progress", "item", "end", "tell"
        int index = 0;
        int count = 0;
        TransferProgress progress{};
        std::string text;  // an item's failure, a told text
        bool failed = false;
    };

    explicit CReportLog(const CTransferEngine& engine) : m_engine(engine) {}

    void ItemStarted(int index, int count) override;
    void Progressed() override;
    void ItemEnded(int index, const std::string& reason) override;
    void Ended(bool failed) override;
    void Tell(const std::string& text) override;

    std::vector<Event> Events();
    std::vector<Event> Events(const std::string& kind);
    bool HasEnded();
    bool Failed();
    // Called on the worker's thread after each progress event.
    std::function<void(const Event&)> onProgress;

private:
    void Add(Event event);
    const CTransferEngine& m_engine;
    std::mutex m_mutex;
    std::vector<Event> m_events;
};

class TransferTest : public PvrTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A batch source over names in a PC folder and a PVR folder.
    BatchSource Source(std::vector<TransferSelection> selection,
                       std::optional<std::string> pcFolder, std::optional<std::string> pvrFolder);
    // Runs the batch already built on a worker thread, stepping the clock.
    bool RunUpload(CReportLog& log);
    bool RunDownload(CReportLog& log);
    std::string ReadPc(const std::string& relative);

    PrivateDrives m_drives;
    CPauseClock m_clock;
    CTransferEngine m_engine;
    std::vector<std::string> m_asked;
    std::vector<int> m_answers;  // taken in order; XFER_CANCEL when none is left
    std::vector<std::string> m_told;
    std::vector<std::pair<std::string, TransferSkip>> m_skipped;
};
