#include "transfer/batchbuilder.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/names.h"
#include "core/recordingname.h"
#include "device/imagerecord.h"
#include "platform/pcfs.h"
#include "platform/trace.h"

namespace {

enum class Side { Upload, Download };

bool FitsPvrPath(const std::string& path) {
    TransferItem probe{};
    return CopyPath(probe.pvrPath, path);
}

bool FitsPcPath(const std::string& path) {
    return path.size() < kTransferPcPathSize;
}

class CBuilder {
public:
    CBuilder(const BatchSource& source, TransferBatch& batch, Side side)
        : m_source(source), m_batch(batch), m_side(side) {}

    BuildOutcome Run() {
        m_batch.Reset();
        TransferSelection selected;
        while (m_batch.itemCount < kMaxTransferItems && m_source.nextSelected &&
               m_source.nextSelected(selected)) {
            switch (Add(selected)) {
                case Step::Next:
                    continue;
                case Step::Full:
                    break;
                case Step::Abandon:
                    m_batch.Reset();
                    return BuildOutcome::Abandoned;
            }
            break;
        }
        return m_batch.Empty() ? BuildOutcome::Empty : BuildOutcome::Ready;
    }

private:
    enum class Step { Next, Full, Abandon };

    std::uint8_t Direction() const {
        return m_side == Side::Upload ? TRANSFER_UPLOAD : TRANSFER_DOWNLOAD;
    }

    Step Add(const TransferSelection& selected) {
        const std::string targetName =
            selected.targetName.empty() ? selected.name : selected.targetName;
        const std::string& pcName = m_side == Side::Upload ? selected.name : targetName;
        const std::string& pvrName = m_side == Side::Upload ? targetName : selected.name;
        std::string pcPath;
        std::string pvrPath;
        // Each side's path is made and traced in the order the command has always
        // written them; a side without a current folder ends the whole command.
        if (m_side == Side::Upload) {
            if (!m_source.pcFolder) {
                return Step::Abandon;
            }
            pcPath = *m_source.pcFolder + pcName;
            TRACE("PC ; %s ===>", pcPath.c_str());
            if (!m_source.pvrFolder) {
                return Step::Abandon;
            }
            pvrPath = *m_source.pvrFolder + pvrName;
            TRACE("STB : %s\n", pvrPath.c_str());
        } else {
            if (!m_source.pvrFolder) {
                return Step::Abandon;
            }
            pvrPath = *m_source.pvrFolder + pvrName;
            TRACE("STB:%s===>", pvrPath.c_str());
            if (!m_source.pcFolder) {
                return Step::Abandon;
            }
            pcPath = *m_source.pcFolder + pcName;
            TRACE("PC ; %s\n", pcPath.c_str());
        }
        if (!IsPlainName(targetName)) {
            Refuse(selected.name, TransferSkip::UnsafeName,
                   "\"" + selected.name +
                       "\" was not transferred: its name cannot be used for a file in the "
                       "destination folder.");
            return Step::Next;
        }
        if (!FitsPvrPath(pvrPath) || !FitsPcPath(pcPath)) {
            Refuse(selected.name, TransferSkip::PathTooLong,
                   "\"" + selected.name + "\" was not transferred: its path is too long.");
            return Step::Next;
        }

        // The size at the destination, if the file is there already.
        std::int64_t existing = 0;
        bool exists = false;
        std::int64_t sourceSize = selected.size;
        if (m_side == Side::Upload) {
            const auto info = platform::GetFileInfo(pcPath);
            sourceSize = info && !info->isFolder ? static_cast<std::int64_t>(info->size) : 0;
            exists = m_source.findOnPvr && m_source.findOnPvr(pvrName, &existing);
        } else if (const auto info = platform::GetFileInfo(pcPath); info && !info->isFolder) {
            exists = true;
            existing = static_cast<std::int64_t>(info->size);
        }

        bool resume = false;
        if (exists) {
            if (m_remembered == XFER_OVERWRITE_ALL) {
                resume = false;
            } else if (m_remembered == XFER_RESUME_ALL) {
                resume = true;
            } else {
                const std::string text = m_side == Side::Upload ? UploadExistsText(targetName)
                                                                : DownloadExistsText(targetName);
                m_remembered = m_source.ask ? m_source.ask(text) : XFER_CANCEL;
                if (m_remembered == XFER_CANCEL) {
                    return Step::Abandon;
                }
                resume = m_remembered == XFER_RESUME || m_remembered == XFER_RESUME_ALL;
            }
        }

        if (HasExtension(m_side == Side::Upload ? pcPath : pvrPath, "AVR")) {
            std::string pcTitle;
            std::string pcStamp;
            std::string pvrTitle;
            std::string pvrStamp;
            // A name that fits neither recording form has no companion to bring.
            if (SplitRecordingName(pcPath, &pcTitle, nullptr, &pcStamp) &&
                SplitRecordingName(pvrPath, &pvrTitle, nullptr, &pvrStamp)) {
                if (m_batch.itemCount + 2 > kMaxTransferItems) {
                    return Step::Full;
                }
                const std::string avfPvr =
                    MakePartName(pvrTitle, kFirstRecordingPart, pvrStamp, "AVF");
                const std::string avfPc = pcTitle + "_" + pcStamp + ".AVF";
                if (!FitsPvrPath(avfPvr) || !FitsPcPath(avfPc)) {
                    Refuse(selected.name, TransferSkip::PathTooLong,
                           "\"" + selected.name + "\" was not transferred: its path is too long.");
                    return Step::Next;
                }
                TransferItem& avf = NewItem(avfPc, avfPvr);
                if (!TAVRIX_RequestAVFSize(&avf.byteCount, &avf)) {
                    if (m_side == Side::Download) {
                        TRACE_AT("failed getting AVF file..");
                    }
                    if (m_source.skipped) {
                        m_source.skipped(selected.name, TransferSkip::NoCompanion);
                    }
                    return Step::Next;
                }
                ++m_batch.itemCount;
            }
        }

        if (exists && (m_side == Side::Download || resume) && existing >= sourceSize) {
            if (m_source.skipped) {
                m_source.skipped(selected.name, existing > sourceSize
                                                    ? TransferSkip::DestinationLarger
                                                    : TransferSkip::AlreadyComplete);
            }
            return Step::Next;
        }
        TransferItem& item = NewItem(pcPath, pvrPath);
        if (resume) {
            item.offset = existing;
            item.byteCount = sourceSize - existing;
        } else {
            item.offset = 0;
            item.byteCount = sourceSize;
        }
        ++m_batch.itemCount;
        return Step::Next;
    }

    // The next free slot, filled but not yet counted.
    TransferItem& NewItem(const std::string& pcPath, const std::string& pvrPath) {
        const auto i = static_cast<std::size_t>(m_batch.itemCount);
        TransferItem& item = m_batch.items[i];
        item = TransferItem{};
        item.kind = TRANSFER_KIND_FILE;
        item.direction = Direction();
        CopyPath(item.pvrPath, pvrPath);  // fits: checked before
        item.chunkSize = ChunkSizeForSpeed(m_source.speed);
        m_batch.pcPaths[i] = pcPath;
        return item;
    }

    void Refuse(const std::string& name, TransferSkip why, const std::string& text) {
        if (m_source.tell) {
            m_source.tell(text);
        }
        if (m_source.skipped) {
            m_source.skipped(name, why);
        }
    }

    const BatchSource& m_source;
    TransferBatch& m_batch;
    Side m_side;
    int m_remembered = XFER_CANCEL;  // no "all" answer yet
};

}  // namespace

BuildOutcome BuildUploadBatch(const BatchSource& source, TransferBatch& batch) {
    return CBuilder(source, batch, Side::Upload).Run();
}

BuildOutcome BuildDownloadBatch(const BatchSource& source, TransferBatch& batch) {
    return CBuilder(source, batch, Side::Download).Run();
}

std::string UploadExistsText(const std::string& name) {
    return name + " is already exist in PVR.\nDo you want to overwrite or resume the file?";
}

std::string DownloadExistsText(const std::string& name) {
    return name + " is already exist.\nSelect button to overwrite existing file or resume.";
}

UpgradeImage CheckUpgradeImage(const std::string& imagePath, std::int64_t* size) {
    *size = 0;
    if (imagePath.empty()) {
        return UpgradeImage::NoPath;
    }
    const std::size_t cut = imagePath.rfind('\\');
    std::vector<platform::FindEntry> entries;
    if (cut == std::string::npos || !platform::FindFiles(imagePath, entries) || entries.empty()) {
        return UpgradeImage::Missing;
    }
    // A pattern finds files under other names; only the file the path itself
    // names is the image the user chose.
    const std::string folder = imagePath.substr(0, cut + 1);
    const auto named = std::find_if(entries.begin(), entries.end(), [&](const auto& entry) {
        return EqualsNoCase(folder + entry.name, imagePath);
    });
    if (named == entries.end() || named->isFolder) {
        return UpgradeImage::NotOneFile;
    }
    if (named->size == 0) {
        return UpgradeImage::Empty;
    }
    if (named->size > static_cast<std::uint64_t>(INT64_MAX)) {
        return UpgradeImage::Unreadable;
    }
    platform::PcFile file;
    if (!file.Open(imagePath, platform::PcFile::Mode::Read)) {
        return UpgradeImage::Unreadable;
    }
    *size = static_cast<std::int64_t>(named->size);
    return UpgradeImage::Ready;
}

UpgradeImage BuildUpgradeBatch(const std::string& imagePath, int kind, TransferBatch& batch) {
    batch.Reset();
    if (!IsImageKind(kind)) {
        return UpgradeImage::NoKind;
    }
    std::int64_t size = 0;
    const UpgradeImage check = CheckUpgradeImage(imagePath, &size);
    if (check != UpgradeImage::Ready) {
        return check;
    }
    const std::string pvrPath = kFirmwareFolder + imagePath.substr(imagePath.rfind('\\') + 1);
    TransferItem item{};
    if (!CopyPath(item.pvrPath, pvrPath) || !FitsPcPath(imagePath)) {
        return UpgradeImage::TooLong;
    }
    item.kind = static_cast<std::uint8_t>(kind);
    item.direction = TRANSFER_UPLOAD;
    item.chunkSize = kFullSpeedChunk;
    item.offset = 0;
    item.byteCount = size;
    batch.items[0] = item;
    batch.pcPaths[0] = imagePath;
    batch.itemCount = 1;
    return UpgradeImage::Ready;
}

std::string UpgradeImageText(UpgradeImage why, const std::string& imagePath) {
    switch (why) {
        case UpgradeImage::Ready:
            break;
        case UpgradeImage::NoKind:
            return "Please select the kind of the software file: Firmware, Boot Loader or "
                   "Database.";
        case UpgradeImage::NoPath:
            return "Please choose the software file to upgrade.";
        case UpgradeImage::Missing:
            return "The software file cannot be found:\n" + imagePath;
        case UpgradeImage::NotOneFile:
            return "The path does not name one software file:\n" + imagePath;
        case UpgradeImage::Empty:
            return "The software file is empty:\n" + imagePath;
        case UpgradeImage::Unreadable:
            return "The software file cannot be read:\n" + imagePath;
        case UpgradeImage::TooLong:
            return "The software file's name or path is too long:\n" + imagePath;
    }
    return {};
}
