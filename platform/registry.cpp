#include "platform/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <cstdlib>
#include <memory>

namespace platform {

namespace {

// A key with no values must still exist, as on Windows; its (empty) default
// value marks it.
constexpr const char* kKeyMarker = "@";

QString SettingsKey(const std::string& key) {
    QString k = QString::fromStdString(key);
    k.replace('\\', '/');
    while (k.endsWith('/')) {
        k.chop(1);
    }
    return k;
}

QString ValueKey(const std::string& key, const std::string& name) {
    return SettingsKey(key) + '/' + QString::fromStdString(name);
}

}  // namespace

std::string RegistryFilePath() {
    QString dir;
    if (const char* env = std::getenv("TAVRIX_CONFIG_DIR"); env && *env) {
        dir = QString::fromLocal8Bit(env);
    } else {
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/tavrix";
    }
    return (dir + "/registry.ini").toStdString();
}

namespace {

// A fresh object per call: another instance (or process) sees each write at once.
std::unique_ptr<QSettings> Open() {
    const QString path = QString::fromStdString(RegistryFilePath());
    QDir().mkpath(QFileInfo(path).absolutePath());
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

}  // namespace

bool RegKeyExists(const std::string& key) {
    auto s = Open();
    s->beginGroup(SettingsKey(key));
    const bool exists = !s->childKeys().isEmpty() || !s->childGroups().isEmpty();
    s->endGroup();
    return exists;
}

bool RegCreateKey(const std::string& key) {
    if (RegKeyExists(key)) {
        return true;
    }
    auto s = Open();
    s->setValue(SettingsKey(key) + '/' + kKeyMarker, QString());
    s->sync();
    return s->status() == QSettings::NoError;
}

std::optional<std::string> RegReadString(const std::string& key, const std::string& name) {
    auto s = Open();
    const QString k = ValueKey(key, name);
    if (!s->contains(k)) {
        return std::nullopt;
    }
    return s->value(k).toString().toStdString();
}

bool RegWriteString(const std::string& key, const std::string& name, const std::string& value) {
    auto s = Open();
    s->setValue(ValueKey(key, name), QString::fromStdString(value));
    s->sync();
    return s->status() == QSettings::NoError;
}

}  // namespace platform
