#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QTime>

#include <array>
#include <memory>
#include <optional>
#include <vector>

// The seal file of an archive day, data/<year>/<month>/<day>.pec beside the
// day's file: one line for every ticket the program appended to the day, so
// that a change made to a printed ticket afterwards (a damaged disk, an edit
// with a text editor) shows. The day's file itself stays exactly as it was.
//
// Each line is ASCII and ends with CR LF:
//
//   VLPEC1;<start>;<end>;<sha256>;<printed>;<version>
//
// - "VLPEC1": the format and its version;
// - <start>, <end>: byte offsets in the day's file, in decimal; the line
//   vouches for the bytes from <start> up to <end>, and <end> is the file's
//   length right after the append;
// - <sha256>: the SHA-256 of those bytes, 64 lower-case hex digits;
// - <printed>: the print's local date and time, yyyy-MM-ddTHH:mm:ss;
// - <version>: the version of the program that wrote the line.
//
// Where a line starts. Lines with the same start form a run, and each line of
// a run covers all that the run covered before. An append continues the run
// of the file's last seal line when the day's file is exactly as long as that
// line's end and its bytes still match that line; otherwise it starts a new
// run at the file's length before the append: the first ticket of a day, a
// day's file that existed before sealing began, bytes another program
// appended or changed since the last seal, a file cut shorter. So a seal
// never vouches for bytes the program did not write: bytes from before
// sealing began are not checked at all, bytes another program appended show
// as not sealed, and a change is never sealed over.
//
// Checking. Since a run only ever grows over bytes that match its last line,
// a run whose last line holds holds in every line, and one pass of the hash
// over the run checks it. Only a run whose last line fails is followed line
// by line, to the first ticket that no longer matches.
//
// There is no secret key. A seal shows accidental damage and edits made with
// an ordinary editor; whoever can write the folder and knows this format can
// write seals as well.

using SealDigest = std::array<unsigned char, 32>;

// SHA-256 over bytes given in order, with the digest of everything so far
// available at any point, so that one pass gives the digest at every sealed
// length. Throws AppError when the system's hashing is not available.
class SealHasher {
public:
    SealHasher();
    ~SealHasher();
    SealHasher(const SealHasher&) = delete;
    SealHasher& operator=(const SealHasher&) = delete;

    void add(QByteArrayView bytes);
    SealDigest digest() const; // adding may go on afterwards
    void restart();            // as if nothing had been added

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

struct SealLine {
    qint64 start = 0;
    qint64 end = 0;
    SealDigest digest{};
    QDate printedDate;
    QTime printedTime;
    QByteArray version;
};

// The line with its CR LF.
QByteArray encodeSealLine(const SealLine& line);
// One line without its line end; empty when it is no seal line of this format.
std::optional<SealLine> decodeSealLine(QByteArrayView text);

struct SealFile {
    std::vector<SealLine> lines; // in file order
    std::vector<int> damaged;    // numbers (from 1) of lines that are no seal line
};
// Lines end at LF, with or without a CR before it; a last line without an end
// counts. An empty line in the middle is a damaged one.
SealFile readSealFile(QByteArrayView bytes);

// The seal line whose run an append may continue that finds the day's file
// `lengthBefore` bytes long: the file's last one, if it ends there. The
// append continues it only if the bytes still match it.
const SealLine* runToContinue(const SealFile& seals, qint64 lengthBefore);

// A day's file checked against its seals.
struct SealCheck {
    // The first ticket whose bytes are no longer as sealed, by its seal line,
    // and where its bytes begin: everything before is as sealed. A byte
    // changed, cut or inserted anywhere in a sealed range changes the ticket
    // that holds it; a file now shorter than a seal changes the ticket whose
    // end is gone.
    std::optional<SealLine> changed;
    qint64 changedFrom = -1;
    // Bytes after sealing began that no seal vouches for, before the changed
    // ticket if there is one: where they begin, how many, and the seal line
    // that ends right before them.
    qint64 unsealedFrom = -1;
    qint64 unsealedBytes = 0;
    std::optional<SealLine> unsealedAfter;
    std::vector<int> damaged; // seal file lines that could not be read

    bool clean() const { return !changed && unsealedBytes == 0 && damaged.empty(); }
};
SealCheck checkSeals(QByteArrayView day, const SealFile& seals);

// What checking one day of the archive found.
struct DaySealReport {
    QDate day;
    QString dayFile;
    QString sealFile;
    bool dayMissing = false; // the seal file is there, the day's file is not
    QString unreadable;      // the system's reason when the seal file cannot be read
    SealCheck check;
    bool clean() const { return unreadable.isEmpty() && check.clean(); }
};
// Checks a day of the archive beside the executable, from the day's bytes,
// against its seal file: the check, or the reason why the seal file cannot
// be read. Empty when the day has no seal file: such a day is not sealed and
// is not checked.
std::optional<DaySealReport> checkArchiveDay(const QDate& day, QByteArrayView bytes,
                                             bool dayExists);
