#include "tw/common/files.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tw {
namespace {

QString Shown(const QString& fileName) { return QDir::toNativeSeparators(fileName); }

#ifndef _WIN32
QString KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("a folder");
    if (S_ISFIFO(mode)) return QStringLiteral("a named pipe (FIFO)");
    if (S_ISCHR(mode)) return QStringLiteral("a character device");
    if (S_ISBLK(mode)) return QStringLiteral("a block device");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}
#endif

QString NotAFileText(const QString& fileName, const QString& kind) {
    return QStringLiteral("%1 is %2, not a file").arg(Shown(fileName), kind);
}

}  // namespace

OpenOutcome OpenRegularFileForReading(QFile& file, QString* why) {
    const QString fileName = file.fileName();
    auto fail = [&](OpenOutcome outcome, const QString& text) {
        if (why) *why = text;
        return outcome;
    };
#ifndef _WIN32
    const QByteArray path = QFile::encodeName(fileName);
    // O_NONBLOCK: opening a pipe without a writer returns at once instead of waiting for one.
    const int fd = path.isEmpty() ? -1 : ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int err = path.isEmpty() ? ENOENT : errno;
        if (err == ENOENT || err == ENOTDIR) return fail(OpenOutcome::Missing, QStringLiteral("File not found: %1").arg(Shown(fileName)));
        struct stat st {};
        if (::stat(path.constData(), &st) == 0 && !S_ISREG(st.st_mode))
            return fail(OpenOutcome::NotAFile, NotAFileText(fileName, KindOf(st.st_mode)));
        return fail(OpenOutcome::Failed, QString::fromLocal8Bit(std::strerror(err)));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(OpenOutcome::NotAFile, NotAFileText(fileName, KindOf(st.st_mode)));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(OpenOutcome::Failed, file.errorString());
    }
    return OpenOutcome::Opened;
#else
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.exists()) return fail(OpenOutcome::Missing, QStringLiteral("File not found: %1").arg(Shown(fileName)));
    if (info.isDir()) return fail(OpenOutcome::NotAFile, NotAFileText(fileName, QStringLiteral("a folder")));
    if (!info.isFile()) return fail(OpenOutcome::NotAFile, NotAFileText(fileName, QStringLiteral("not a regular file")));
    if (!file.open(QIODevice::ReadOnly))
        return fail(OpenOutcome::Failed, file.errorString());
    return OpenOutcome::Opened;
#endif
}

QString NotARegularFile(const QString& fileName) {
#ifndef _WIN32
    const QByteArray path = QFile::encodeName(fileName);
    struct stat st {};
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0 || S_ISREG(st.st_mode)) return QString();
    return NotAFileText(fileName, KindOf(st.st_mode));
#else
    const QFileInfo info(fileName);
    if (!info.exists() || info.isFile()) return QString();
    return NotAFileText(fileName, info.isDir() ? QStringLiteral("a folder") : QStringLiteral("not a regular file"));
#endif
}

ReplaceOutcome OpenForReplacing(QSaveFile& file, QString* why) {
    const QString fileName = file.fileName();
    auto fail = [&](ReplaceOutcome outcome, const QString& text) {
        if (why) *why = text;
        return outcome;
    };
    const QString notAFile = NotARegularFile(fileName);
    if (!notAFile.isEmpty()) return fail(ReplaceOutcome::NotAFile, notAFile);
    // The save file checks this itself for a user who may not write the file, but not for
    // one who may write anything, so the mode is looked at.
    const QFileInfo existing(fileName);
    const bool replacing = existing.isFile();
    if (replacing && !(existing.permissions() & QFileDevice::WriteOwner))
        return fail(ReplaceOutcome::ReadOnly, QStringLiteral("%1 is read-only").arg(Shown(fileName)));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(ReplaceOutcome::Failed, file.errorString());
    if (!replacing) file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return ReplaceOutcome::Opened;
}

bool WriteAll(QSaveFile& file, const char* data, qint64 size) {
    // A short write is tried again for the rest: the call that writes nothing is the one that
    // reports why.
    for (qint64 done = 0; done < size;) {
        const qint64 n = file.write(data + done, size - done);
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

}  // namespace tw
