#include "output/archivewriter.h"

#include "platform/codepage.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/uniquefd.h"
#include "platform/wholefile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

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
    // Read access too: the file's last byte says whether it ends a line.
    do
        fd = ::open(native.constData(), O_RDWR | O_APPEND | O_CLOEXEC);
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

// What the append must write first so that its first line starts a line of
// its own: the file may end without a line end, or with the CR of one.
QByteArray lineEndBefore(int fd, off_t length, const QString& path) {
    if (length <= 0)
        return {};
    char last = 0;
    ssize_t n;
    do
        n = ::pread(fd, &last, 1, length - 1);
    while (n < 0 && errno == EINTR);
    if (n != 1)
        failWrite(path, n < 0 ? errno : EIO);
    if (last == '\n')
        return {};
    return last == '\r' ? QByteArray("\n") : QByteArray("\r\n");
}

bool readAt(int fd, qint64 offset, QByteArray& into) {
    qsizetype done = 0;
    while (done < into.size()) {
        const ssize_t n =
            ::pread(fd, into.data() + done, size_t(into.size() - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO; // shorter than it was a moment ago
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QString undoFailureText(const UndoResult& undo) {
    switch (undo.found) {
    case AppendFound::PartAndMore:
    case AppendFound::WholeAndMore:
        return QStringLiteral("za zapsanou částí jsou data jiného programu");
    default:
        return undo.failure;
    }
}

} // namespace

ArchiveFaultHook setArchiveFaultHook(ArchiveFaultHook hook) {
    return std::exchange(faultHook(), std::move(hook));
}

bool appendToArchive(const QStringList& lines, const QDate& date, const AppendJournal& journal) {
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
    const bool regular = S_ISREG(st.st_mode);
    AppendRecord record{file, qint64(st.st_size), {}};
    if (regular)
        record.bytes = lineEndBefore(fd.get(), st.st_size, file);
    const qsizetype first = record.lengthBefore >= kFirstLineSkipSize ? 1 : 0;
    for (qsizetype i = first; i < lines.size(); ++i) {
        record.bytes += cp1250::encode(lines.at(i));
        record.bytes += "\r\n";
    }
    if (journal && regular)
        journal(record);
    try {
        writeAndClose(fd, record.bytes, file);
    } catch (const ArchiveWriteError& e) {
        if (!regular)
            throw; // a device has no length to go back to
        // Half a ticket would stay cut mid-line, and the retry after the
        // error box would book its rows twice.
        const UndoResult undo = undoAppend(record);
        if (undo.cut || undo.found == AppendFound::Nothing)
            throw;
        throw ArchiveWriteError(
            e.message() +
            QStringLiteral("\nSoubor se nepodařilo vrátit na délku před zápisem (%1 B): %2")
                .arg(record.lengthBefore)
                .arg(undoFailureText(undo)));
    }
    return true;
}

UndoResult undoAppend(const AppendRecord& record) {
    UndoResult result;
    const UniqueFd fd(::open(QFile::encodeName(record.file).constData(), O_RDWR | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno != ENOENT)
            result.failure = wholefile::systemReason(errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        result.failure = wholefile::systemReason(errno);
        return result;
    }
    const qint64 length = st.st_size;
    if (!S_ISREG(st.st_mode) || length <= record.lengthBefore)
        return result;
    // One byte past the append is enough to see whether anything follows it.
    QByteArray found(qsizetype(std::min(length, record.lengthAfter() + 1) - record.lengthBefore),
                     Qt::Uninitialized);
    if (!readAt(fd.get(), record.lengthBefore, found)) {
        result.failure = wholefile::systemReason(errno);
        return result;
    }
    qsizetype same = 0;
    const qsizetype limit = std::min(found.size(), record.bytes.size());
    while (same < limit && found.at(same) == record.bytes.at(same))
        ++same;
    if (same == 0)
        return result; // the first byte after the old end is not ours
    if (same == record.bytes.size())
        result.found =
            length == record.lengthAfter() ? AppendFound::Whole : AppendFound::WholeAndMore;
    else
        result.found =
            record.lengthBefore + same == length ? AppendFound::Part : AppendFound::PartAndMore;
    if (result.found != AppendFound::Whole && result.found != AppendFound::Part)
        return result;
    if (::ftruncate(fd.get(), off_t(record.lengthBefore)) != 0 ||
        (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)) {
        result.failure = wholefile::systemReason(errno);
        return result;
    }
    result.cut = true;
    return result;
}
