#include "output/archivewriter.h"

#include "platform/codepage.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/uniquefd.h"
#include "platform/wholefile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr qint64 kFirstLineSkipSize = 128;

ArchiveFaultHook& faultHook() {
    static ArchiveFaultHook hook;
    return hook;
}

int injectedFault(ArchiveStep step) {
    return faultHook() ? faultHook()(step) : 0;
}

[[noreturn]] void failWrite(const QString& path, int error) {
    throw ArchiveWriteError(
        QStringLiteral("Chyba zápisu do souboru %1: %2")
            .arg(QDir::toNativeSeparators(path), wholefile::systemReason(error)));
}

// One level only: a missing parent is reported at its own level already, and
// creating it here would hide that.
void ensureFolder(const QString& path) {
    if (QFileInfo(path).isDir())
        return;
    if (!QDir().mkdir(path))
        showError(QStringLiteral("Nelze vytvořit adresář: ") + QDir::toNativeSeparators(path));
}

// A folder of the day's name is not the day's file.
bool fileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

// The umask decides who else may append: at a station the operators share
// one archive (their umask leaves the group its write right).
void createEmpty(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0)
        ::close(fd);
}

int openForAppend(const QString& path) {
    if (const int fault = injectedFault(ArchiveStep::Open)) {
        errno = fault;
        return -1;
    }
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do
        fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

void writeAll(int fd, const QByteArray& bytes, const QString& path) {
    if (const int fault = injectedFault(ArchiveStep::Write))
        failWrite(path, fault);
    QString reason;
    if (!wholefile::writeAll(fd, bytes, reason))
        throw ArchiveWriteError(QStringLiteral("Chyba zápisu do souboru %1: %2")
                                    .arg(QDir::toNativeSeparators(path), reason));
}

void writeAndClose(UniqueFd& fd, const QByteArray& bytes, const QString& path) {
    writeAll(fd.get(), bytes, path);

    // A ticket that is printed but lost from the archive by a crash or power
    // cut is worse than a slow print, so the bytes go to disk before success.
    if (const int fault = injectedFault(ArchiveStep::Sync))
        failWrite(path, fault);
    // Special files (a terminal, /dev/full) cannot sync; only a failure of a
    // real sync is a lost ticket.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
        failWrite(path, errno);

    const int raw = fd.release();
    if (const int fault = injectedFault(ArchiveStep::Close)) {
        ::close(raw);
        failWrite(path, fault);
    }
    if (::close(raw) != 0 && errno != EINTR)
        failWrite(path, errno);
}

// Back to the length before the append, on disk. Returns the system's reason
// when that fails, or an empty text.
QString cutBack(const UniqueFd& fd, const QString& path, off_t length) {
    // After a failed close the descriptor is gone and the file is opened anew.
    const UniqueFd reopened(
        fd.valid() ? -1 : ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC));
    const int target = fd.valid() ? fd.get() : reopened.get();
    int result = target >= 0 ? ::ftruncate(target, length) : -1;
    if (result == 0 && ::fsync(target) != 0 && errno != EINVAL && errno != EROFS)
        result = -1;
    return result == 0 ? QString() : wholefile::systemReason(errno);
}

} // namespace

ArchiveFaultHook setArchiveFaultHook(ArchiveFaultHook hook) {
    return std::exchange(faultHook(), std::move(hook));
}

bool appendToArchive(const QStringList& lines, const QDate& date) {
    // The root keeps its trailing separator in the message, as the operator
    // has always seen it.
    const QString root = paths::archiveRoot();
    const QString file = paths::archiveFile(date);
    const QString month = QFileInfo(file).path();
    const QString year = QFileInfo(month).path();

    ensureFolder(root);
    ensureFolder(year);
    ensureFolder(month);

    if (!fileExists(file)) {
        createEmpty(file);
        if (!fileExists(file)) {
            showError(QStringLiteral("Nelze vytvořit soubor: ") + QDir::toNativeSeparators(file));
            return false;
        }
    }

    UniqueFd fd(openForAppend(file));
    if (fd.get() < 0) {
        showError(QStringLiteral("Nelze otevřít soubor: ") + QDir::toNativeSeparators(file));
        return false;
    }

    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        failWrite(file, errno);
    const off_t lengthBefore = st.st_size;
    const qsizetype first = lengthBefore >= kFirstLineSkipSize ? 1 : 0;

    QByteArray bytes;
    for (qsizetype i = first; i < lines.size(); ++i) {
        bytes += cp1250::encode(lines.at(i));
        bytes += "\r\n";
    }
    try {
        writeAndClose(fd, bytes, file);
    } catch (const ArchiveWriteError& e) {
        if (!S_ISREG(st.st_mode))
            throw; // a device has no length to go back to
        // Half a ticket would stay cut mid-line, and the retry after the
        // error box would glue its first line to it and book rows twice.
        const QString failure = cutBack(fd, file, lengthBefore);
        if (failure.isEmpty())
            throw;
        throw ArchiveWriteError(
            e.message() +
            QStringLiteral("\nSoubor se nepodařilo vrátit na délku před zápisem (%1 B): %2")
                .arg(qint64(lengthBefore))
                .arg(failure));
    }
    return true;
}
