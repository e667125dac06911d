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
    platform::PcFile file;
    bool ok = false;
    if (platform::NormalizePcPath(path)) {
        ok = file.Open(path, platform::PcFile::Mode::Create);
    } else {
        // A host path (from the command line): write it there.
        const auto pc = platform::ToPcPath(path);
        ok = pc && file.Open(*pc, platform::PcFile::Mode::Create);
    }
    if (!ok) {
        return false;
    }
    m_pathName = path;
    return true;
}
