#include "app/shell/tavrixdoc.h"

#include <QFileInfo>

#include "platform/pcfs.h"

namespace {

// The user picks files in the PC form; a command-line argument comes as a host path.
std::string HostPath(const std::string& path) {
    if (auto host = platform::ToHostPath(path)) {
        return *host;
    }
    return path;
}

}  // namespace

bool CTavrixDoc::OnNewDocument() {
    m_pathName.clear();
    return true;
}

bool CTavrixDoc::OnOpenDocument(const std::string& path) {
    const QFileInfo info(QString::fromStdString(HostPath(path)));
    if (path.empty() || !info.isFile()) {
        return false;
    }
    m_pathName = path;
    return true;
}

bool CTavrixDoc::OnSaveDocument(const std::string& path) {
    // A host path (from the command line) is saved where it points.
    std::string pcPath = path;
    if (!platform::NormalizePcPath(path)) {
        const auto pc = platform::ToPcPath(path);
        if (!pc) {
            return false;
        }
        pcPath = *pc;
    }
    // The document holds nothing, so there is nothing to write into a file that
    // is already there: it may be a recording the user opened, and it stays as
    // it is. Only a new name gets its empty file, made without replacing one that
    // appeared meanwhile.
    platform::PcFile file;
    if (!file.Open(pcPath, platform::PcFile::Mode::CreateNew)) {
        const auto existing = platform::GetFileInfo(pcPath);
        if (!existing || existing->isFolder) {
            return false;
        }
    }
    m_pathName = path;
    return true;
}
