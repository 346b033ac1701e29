#include "tw/window/settings.hpp"

#include <QFile>
#include <QSettings>

#include <memory>

namespace tw::window::settings {

namespace {

struct Store {
    std::unique_ptr<QSettings> settings;
    bool damaged = false;
};

Store& TheStore() {
    static Store store;
    return store;
}

QSettings* Open() {
    Store& s = TheStore();
    if (s.settings) return s.settings.get();
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
    s->sync();
}

void Remove(const QString& key) {
    QSettings* s = Open();
    s->remove(key);
    s->sync();
}

QString FilePath() { return Open()->fileName(); }

void Reload() {
    TheStore().settings.reset();
    TheStore().damaged = false;
}

bool WasDamaged() {
    Open();
    return TheStore().damaged;
}

}  // namespace tw::window::settings
