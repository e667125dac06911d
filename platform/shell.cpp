#include "platform/shell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QTextStream>
#include <QUrl>

#include <map>
#include <mutex>

#include "platform/pcfs.h"

namespace platform {
namespace {

struct DesktopEntry {
    std::string name;
    std::string exec;
    std::string icon;
};

std::optional<DesktopEntry> ReadDesktopEntry(const QString& desktopId) {
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    DesktopEntry entry;
    bool inMain = false;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMain = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMain) {
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            continue;
        }
        const QString key = line.left(eq).trimmed();
        const std::string value = line.mid(eq + 1).trimmed().toStdString();
        if (key == QLatin1String("Name")) {
            entry.name = value;
        } else if (key == QLatin1String("Exec")) {
            entry.exec = value;
        } else if (key == QLatin1String("Icon")) {
            entry.icon = value;
        }
    }
    return entry;
}

// The desktop's default application for a type. Asking costs a process start,
// so each type is asked once per run; a listing of many files of one type then
// costs one question, not one per file.
QString DefaultDesktopId(const QString& mimeType) {
    static std::mutex mutex;
    static std::map<QString, QString> cache;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = cache.find(mimeType);
        if (it != cache.end()) {
            return it->second;
        }
    }
    QString id;
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!tool.isEmpty()) {
        QProcess query;
        query.start(tool, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
        if (query.waitForFinished(3000) && query.exitStatus() == QProcess::NormalExit) {
            id = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
        } else {
            query.kill();
            query.waitForFinished(1000);
        }
    }
    std::lock_guard<std::mutex> lock(mutex);
    cache[mimeType] = id;
    return id;
}

QString HostProgram(const std::string& program) {
    if (program.size() >= 2 && program[1] == ':') {
        auto host = ToHostPath(program);
        return host ? QString::fromStdString(*host) : QString();
    }
    return QString::fromStdString(program);
}

}  // namespace

std::optional<AssociatedProgram> FindExecutable(const std::string& pcPath) {
    auto host = ToHostPath(pcPath);
    if (!host) {
        return std::nullopt;
    }
    const QFileInfo info(QString::fromStdString(*host));
    if (!info.exists() || info.isDir()) {
        return std::nullopt;
    }
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info);
    AssociatedProgram program;
    program.mimeType = mime.name().toStdString();
    program.iconName = mime.iconName().toStdString();
    const QString desktopId = DefaultDesktopId(mime.name());
    if (!desktopId.isEmpty()) {
        program.desktopId = desktopId.toStdString();
        if (auto entry = ReadDesktopEntry(desktopId)) {
            program.name = entry->name;
            program.exec = entry->exec;
            if (!entry->icon.empty()) {
                program.iconName = entry->icon;
            }
        }
        if (program.name.empty()) {
            program.name = program.desktopId;
        }
        return program;
    }
    // Without a program the type itself is what can be said; a type nobody knows
    // is no association at all.
    if (mime.isDefault()) {
        return std::nullopt;
    }
    program.name = mime.comment().toStdString();
    if (program.name.empty()) {
        program.name = program.mimeType;
    }
    return program;
}

QIcon ExtractIcon(const AssociatedProgram& program) {
    QIcon icon;
    if (!program.iconName.empty()) {
        const QString name = QString::fromStdString(program.iconName);
        icon = QDir::isAbsolutePath(name) ? QIcon(name) : QIcon::fromTheme(name);
    }
    if (icon.isNull() && !program.mimeType.empty()) {
        const QMimeType mime =
            QMimeDatabase().mimeTypeForName(QString::fromStdString(program.mimeType));
        if (mime.isValid()) {
            icon = QIcon::fromTheme(mime.iconName());
            if (icon.isNull()) {
                icon = QIcon::fromTheme(mime.genericIconName());
            }
        }
    }
    if (icon.isNull() && qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        icon = QFileIconProvider().icon(QFileIconProvider::File);
        if (icon.isNull()) {
            icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
        }
    }
    return icon;
}

bool ShellOpenFile(const std::string& pcPath) {
    auto host = ToHostPath(pcPath);
    if (!host) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(*host)));
}

std::vector<std::string> ExpandExecLine(const std::string& exec, const std::string& hostPath) {
    // Split on blanks outside double quotes; a backslash inside quotes escapes.
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size()) {
                word += exec[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    std::vector<std::string> args;
    bool placed = false;
    for (const std::string& w : words) {
        if (w == "%f" || w == "%F" || w == "%u" || w == "%U") {
            args.push_back(hostPath);
            placed = true;
            continue;
        }
        std::string out;
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (w[i] != '%' || i + 1 >= w.size()) {
                out += w[i];
                continue;
            }
            const char code = w[++i];
            if (code == '%') {
                out += '%';
            } else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
                out += hostPath;
                placed = true;
            }
            // Other field codes (%i, %c, %k, deprecated ones) expand to nothing.
        }
        if (!out.empty()) {
            args.push_back(out);
        }
    }
    if (!placed && !args.empty()) {
        args.push_back(hostPath);
    }
    return args;
}

bool OpenWithProgram(const AssociatedProgram& program, const std::string& pcPath,
                     const std::string& pcWorkDir) {
    auto host = ToHostPath(pcPath);
    if (!host) {
        return false;
    }
    const std::vector<std::string> args = ExpandExecLine(program.exec, *host);
    if (args.empty()) {
        return ShellOpenFile(pcPath);
    }
    QStringList rest;
    for (std::size_t i = 1; i < args.size(); ++i) {
        rest << QString::fromStdString(args[i]);
    }
    QString workDir;
    if (!pcWorkDir.empty()) {
        auto dir = ToHostPath(pcWorkDir);
        workDir = dir ? QString::fromStdString(*dir) : QString();
    }
    return QProcess::startDetached(QString::fromStdString(args[0]), rest, workDir);
}

bool StartProgram(const std::string& program, const std::vector<std::string>& args,
                  const std::string& pcWorkDir) {
    const QString exe = HostProgram(program);
    if (exe.isEmpty()) {
        return false;
    }
    QString workDir;
    if (!pcWorkDir.empty()) {
        auto dir = ToHostPath(pcWorkDir);
        if (!dir) {
            return false;
        }
        workDir = QString::fromStdString(*dir);
    }
    QStringList list;
    for (const std::string& a : args) {
        list << QString::fromStdString(a);
    }
    return QProcess::startDetached(exe, list, workDir);
}

}  // namespace platform
