#include "output/archivewriter.h"

#include "archive/archiveseal.h"
#include "platform/codepage.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/uniquefd.h"
#include "platform/version.h"
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

// The steps of writing one of the two files, as the fault seam names them.
struct Steps {
    ArchiveStep write;
    ArchiveStep sync;
    ArchiveStep close;
};
constexpr Steps kDaySteps{ArchiveStep::Write, ArchiveStep::Sync, ArchiveStep::Close};
constexpr Steps kSealSteps{ArchiveStep::SealWrite, ArchiveStep::SealSync, ArchiveStep::SealClose};

// Read access too: the file's last byte says whether it ends a line.
int openForAppend(const QString& path, ArchiveStep step, int flags = 0) {
    if (const int fault = injectedFault(step)) {
        errno = fault;
        return -1;
    }
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do
        fd = ::open(native.constData(), O_RDWR | O_APPEND | O_CLOEXEC | flags, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

void writeAll(int fd, const QByteArray& bytes, const QString& path, ArchiveStep step) {
    if (const int fault = injectedFault(step))
        failWrite(path, fault);
    QString reason;
    if (!wholefile::writeAll(fd, bytes, reason))
        throw ArchiveWriteError(QStringLiteral("Chyba zápisu do souboru %1: %2")
                                    .arg(QDir::toNativeSeparators(path), reason));
}

void writeAndClose(UniqueFd& fd, const QByteArray& bytes, const QString& path, const Steps& steps) {
    writeAll(fd.get(), bytes, path, steps.write);

    // A ticket that is printed but lost from the archive by a crash or power
    // cut is worse than a slow print, so the bytes go to disk before success.
    if (const int fault = injectedFault(steps.sync))
        failWrite(path, fault);
    // Special files (a terminal, /dev/full) cannot sync; only a failure of a
    // real sync is a lost ticket.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
        failWrite(path, errno);

    const int raw = fd.release();
    if (const int fault = injectedFault(steps.close)) {
        ::close(raw);
        failWrite(path, fault);
    }
    if (::close(raw) != 0 && errno != EINTR)
        failWrite(path, errno);
}

// What an append must write first so that its first line starts a line of
// its own: the file may end without a line end, or with the CR of one.
QByteArray lineEndAfter(char last) {
    if (last == '\n')
        return {};
    return last == '\r' ? QByteArray("\n") : QByteArray("\r\n");
}

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
    return lineEndAfter(last);
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

// Feeds the day's bytes from `from` up to `to` to the hasher, a piece at a
// time: a day can hold megabytes.
bool hashRange(int fd, qint64 from, qint64 to, SealHasher& hasher) {
    constexpr qint64 kPiece = 256 * 1024;
    QByteArray piece;
    for (qint64 at = from; at < to; at += piece.size()) {
        piece.resize(qsizetype(std::min(kPiece, to - at)));
        if (!readAt(fd, at, piece))
            return false;
        hasher.add(piece);
    }
    return true;
}

// The seal line for the day's append, with the seal file open for it; the
// reason instead when it cannot be made.
struct PreparedSeal {
    UniqueFd fd;
    std::optional<AppendRecord> record;
    QString failure;
};

PreparedSeal prepareSeal(int dayFd, const AppendRecord& day, const QDateTime& printed) {
    PreparedSeal seal;
    const QString path = paths::archiveSealFile(printed.date());
    seal.fd = UniqueFd(openForAppend(path, ArchiveStep::SealOpen, O_CREAT));
    struct stat st {};
    if (!seal.fd.valid() || ::fstat(seal.fd.get(), &st) != 0) {
        seal.failure = wholefile::systemReason(errno);
        return seal;
    }
    if (!S_ISREG(st.st_mode)) {
        seal.failure = wholefile::systemReason(EINVAL);
        return seal;
    }
    QByteArray existing(qsizetype(st.st_size), Qt::Uninitialized);
    if (!readAt(seal.fd.get(), 0, existing)) {
        seal.failure = wholefile::systemReason(errno);
        return seal;
    }
    SealLine line;
    line.start = day.lengthBefore;
    line.end = day.lengthAfter();
    try {
        SealHasher hasher;
        // A run goes on only over bytes that still match its last line, so
        // that a change made since is never sealed over; the check relies
        // on it.
        const SealFile seals = readSealFile(existing);
        if (const SealLine* last = runToContinue(seals, day.lengthBefore)) {
            if (!hashRange(dayFd, last->start, day.lengthBefore, hasher)) {
                seal.failure = wholefile::systemReason(errno);
                return seal;
            }
            if (hasher.digest() == last->digest)
                line.start = last->start;
            else
                hasher.restart();
        }
        hasher.add(day.bytes);
        line.digest = hasher.digest();
    } catch (const AppError& e) {
        seal.failure = e.message();
        return seal;
    }
    line.printedDate = printed.date();
    line.printedTime = printed.time();
    line.version = programVersion();
    const QByteArray before = existing.isEmpty() ? QByteArray() : lineEndAfter(existing.back());
    seal.record = AppendRecord{path, existing.size(), before + encodeSealLine(line)};
    return seal;
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

bool isGone(const UndoResult& undo) {
    return undo.cut || undo.found == AppendFound::Nothing;
}

} // namespace

ArchiveFaultHook setArchiveFaultHook(ArchiveFaultHook hook) {
    return std::exchange(faultHook(), std::move(hook));
}

bool appendToArchive(const QStringList& lines, const QDateTime& printed,
                     const AppendJournal& journal) {
    // The root keeps its trailing separator in the message, as the operator
    // has always seen it.
    const QString root = paths::archiveRoot();
    const QString file = paths::archiveFile(printed.date());
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

    UniqueFd fd(openForAppend(file, ArchiveStep::Open));
    if (fd.get() < 0) {
        showError(QStringLiteral("Nelze otevřít soubor: ") + QDir::toNativeSeparators(file));
        return false;
    }

    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        failWrite(file, errno);
    const bool regular = S_ISREG(st.st_mode);
    ArchiveAppend append{AppendRecord{file, qint64(st.st_size), {}}, std::nullopt};
    AppendRecord& record = append.day;
    if (regular)
        record.bytes = lineEndBefore(fd.get(), st.st_size, file);
    const qsizetype first = record.lengthBefore >= kFirstLineSkipSize ? 1 : 0;
    for (qsizetype i = first; i < lines.size(); ++i) {
        record.bytes += cp1250::encode(lines.at(i));
        record.bytes += "\r\n";
    }
    UniqueFd sealFd;
    if (regular) {
        PreparedSeal seal = prepareSeal(fd.get(), record, printed);
        if (seal.record) {
            append.seal = std::move(seal.record);
            sealFd = std::move(seal.fd);
        } else {
            // The ticket matters more than its seal; the check shows it as
            // not sealed.
            showError(QStringLiteral("Pečeť lístku nelze zapsat do souboru %1: %2\nLístek se "
                                     "uloží do archivu bez pečeti.")
                          .arg(QDir::toNativeSeparators(paths::archiveSealFile(printed.date())),
                               seal.failure));
        }
    }
    if (journal && regular)
        journal(append);
    try {
        writeAndClose(fd, record.bytes, file, kDaySteps);
        if (append.seal)
            writeAndClose(sealFd, append.seal->bytes, append.seal->file, kSealSteps);
    } catch (const ArchiveWriteError& e) {
        if (!regular)
            throw; // a device has no length to go back to
        // Half a ticket would stay cut mid-line, a ticket without its seal
        // would show as not sealed, and the retry after the error box would
        // book its rows twice.
        const ArchiveUndo undone = undoArchiveAppend(append);
        if (undone.gone())
            throw;
        QString text = e.message();
        auto left = [&text](const AppendRecord& part, const UndoResult& result) {
            if (!isGone(result))
                text += QStringLiteral("\nSoubor %1 se nepodařilo vrátit na délku před zápisem "
                                       "(%2 B): %3")
                            .arg(QDir::toNativeSeparators(part.file))
                            .arg(part.lengthBefore)
                            .arg(undoFailureText(result));
        };
        left(append.day, undone.day);
        if (append.seal)
            left(*append.seal, undone.seal);
        throw ArchiveWriteError(text);
    }
    return true;
}

namespace {

UndoResult undo(const AppendRecord& record, bool cutWhole) {
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
    if (result.found != AppendFound::Part && (result.found != AppendFound::Whole || !cutWhole))
        return result;
    if (::ftruncate(fd.get(), off_t(record.lengthBefore)) != 0 ||
        (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)) {
        result.failure = wholefile::systemReason(errno);
        return result;
    }
    result.cut = true;
    return result;
}

} // namespace

UndoResult undoAppend(const AppendRecord& record) {
    return undo(record, true);
}

bool ArchiveUndo::gone() const {
    return isGone(day) && isGone(seal);
}

ArchiveUndo undoArchiveAppend(const ArchiveAppend& append) {
    ArchiveUndo result;
    result.day = undo(append.day, true);
    if (!append.seal || !result.day.failure.isEmpty())
        return result;
    const bool ticketStays = result.day.found == AppendFound::WholeAndMore;
    result.seal = undo(*append.seal, !ticketStays);
    return result;
}
