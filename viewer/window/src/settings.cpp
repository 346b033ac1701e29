#include "tw/window/settings.hpp"

#include "tw/common/files.hpp"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tw::window::settings {

namespace {

struct Store {
    std::unique_ptr<QSettings> settings;
    bool damaged = false;
    QString problem;  // what was wrong with the file, for the status bar
    bool unusable = false;  // a bad file that could not be set aside: nothing is written
};

Store& TheStore() {
    static Store store;
    return store;
}

// Where the settings file is, without opening it (QSettings reads its file as it is made).
QString ExpectedPath() {
#ifndef _WIN32
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tracewell/tracewell32.ini");
#else
    return {};  // the settings object is asked instead (no pipes or devices there)
#endif
}

// A settings file that is not a regular file (a named pipe would hold the program up at its
// first read; a link to a device would be replaced by a file at the first write) is renamed
// aside, the link itself and not what it points to, and a new file started. When even that
// fails, nothing is written to it.
void CheckFile(Store& s, const QString& path) {
    if (path.isEmpty()) return;
    const QString bad = NotARegularFile(path);
    if (bad.isEmpty()) return;
    const QString aside = path + QStringLiteral(".set-aside");
    QFile::remove(aside);
    if (QFile::rename(path, aside)) {
        s.problem = QStringLiteral("Settings not read: %1; it was renamed %2.")
                        .arg(bad, QDir::toNativeSeparators(aside));
    } else {
        s.unusable = true;
        s.problem = QStringLiteral("Settings not read or written: %1.").arg(bad);
    }
}

QSettings* Open() {
    Store& s = TheStore();
    if (s.settings) return s.settings.get();
    CheckFile(s, ExpectedPath());
    auto make = [] {
        return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tracewell"),
                                           QStringLiteral("tracewell32"));
    };
    s.settings = make();
    s.damaged = s.settings->status() == QSettings::FormatError;
    if (s.damaged) {
        // Put the unreadable file aside (for whoever wants to look at it) and start afresh.
        const QString path = s.settings->fileName();
        s.settings.reset();
        QFile::remove(path + QStringLiteral(".damaged"));
        if (!QFile::rename(path, path + QStringLiteral(".damaged"))) QFile::remove(path);
        s.settings = make();
    }
    return s.settings.get();
}

// Writes what changed. The file is looked at again first (it may have been replaced since
// it was read), and a new one may be read and written by its owner only: it lists the files
// the user opened.
void Sync(QSettings& settings) {
    Store& s = TheStore();
    const QString path = settings.fileName();
    if (!s.unusable) CheckFile(s, path);
    if (s.unusable) return;
#ifndef _WIN32
    const mode_t before = ::umask(077);
    settings.sync();
    ::umask(before);
    if (NotARegularFile(path).isEmpty() && QFile::exists(path))
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#else
    settings.sync();
#endif
}

QVariant Value(const QString& key) {
    QSettings* s = Open();
    return s->status() == QSettings::FormatError ? QVariant() : s->value(key);
}

}  // namespace

bool Bool(const QString& key, bool fallback) {
    const QVariant v = Value(key);
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    if (v.typeId() != QMetaType::QString) return fallback;
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return fallback;
}

int Int(const QString& key, int fallback, int min, int max) {
    const QVariant v = Value(key);
    if (!v.isValid() || (v.typeId() != QMetaType::QString && v.typeId() != QMetaType::Int &&
                         v.typeId() != QMetaType::LongLong))
        return fallback;
    bool ok = false;
    const qlonglong n = v.typeId() == QMetaType::QString ? v.toString().trimmed().toLongLong(&ok) : v.toLongLong(&ok);
    return ok && n >= min && n <= max ? int(n) : fallback;
}

QString String(const QString& key, const QString& fallback) {
    const QVariant v = Value(key);
    return v.typeId() == QMetaType::QString ? v.toString() : fallback;
}

QStringList StringList(const QString& key) {
    const QVariant v = Value(key);
    if (v.typeId() == QMetaType::QStringList) return v.toStringList();
    if (v.typeId() == QMetaType::QString) return v.toString().isEmpty() ? QStringList() : QStringList{v.toString()};
    return {};
}

QByteArray Bytes(const QString& key) {
    const QVariant v = Value(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

void Set(const QString& key, const QVariant& value) {
    QSettings* s = Open();
    s->setValue(key, value);
    Sync(*s);
}

void Remove(const QString& key) {
    QSettings* s = Open();
    s->remove(key);
    Sync(*s);
}

QString FilePath() { return Open()->fileName(); }

void Reload() {
    TheStore().settings.reset();
    TheStore().damaged = false;
    TheStore().problem.clear();
    TheStore().unusable = false;
}

QString Problem() {
    Open();
    return TheStore().problem;
}

bool WasDamaged() {
    Open();
    return TheStore().damaged;
}

}  // namespace tw::window::settings
