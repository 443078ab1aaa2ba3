#include "ticket/unprintedrows.h"

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/numbers.h"
#include "platform/wholefile.h"
#include "ticket/ticketgrid.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>

namespace {

constexpr unsigned char kTag8 = 0x02;
constexpr unsigned char kTag16 = 0x03;
constexpr unsigned char kTag32 = 0x04;
constexpr qsizetype kMaxShortString = 255;
// Rows named in the message about weights left out of the sum; the rest are
// only counted, so that a ticket full of them still gives a readable box.
constexpr int kNamedRows = 5;

// What a damaged file may make the grid hold. The program writes a row per
// weighing and clears them at every print, so even a station that weighs
// every few seconds around the clock for days without printing stays below
// the row bound; the size bound leaves room for long descriptions in tens of
// thousands of rows. Together they keep a load near 70 MB at most: about
// 14 MB for 100,002 rows of four strings, at most two bytes of text plus an
// allocation header for each stored byte and cell, and the file's own bytes
// while it is read.
constexpr qint64 kMaxRows = 100'002; // 100,000 weighings, column titles, totals
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

void appendLittleEndian(QByteArray& out, std::int32_t value, int bytes) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

} // namespace

QByteArray encodeTaggedInteger(qint32 value) {
    QByteArray out;
    if (value >= -128 && value <= 127) {
        out.append(static_cast<char>(kTag8));
        appendLittleEndian(out, value, 1);
    } else if (value >= -32768 && value <= 32767) {
        out.append(static_cast<char>(kTag16));
        appendLittleEndian(out, value, 2);
    } else {
        out.append(static_cast<char>(kTag32));
        appendLittleEndian(out, value, 4);
    }
    return out;
}

namespace {

void appendShortString(QByteArray& out, const QString& text) {
    QByteArray bytes = cp1250::encode(text);
    if (bytes.size() > kMaxShortString)
        bytes.truncate(kMaxShortString);
    out.append(static_cast<char>(bytes.size()));
    out.append(bytes);
}

[[noreturn]] void failReading(const QString& path, const QString& detail) {
    throw UnprintedRowsReadError(
        QStringLiteral("Chyba při čtení souboru nevytištěných řádků %1: %2").arg(path, detail));
}

class Reader {
public:
    Reader(const QByteArray& bytes, const QString& path) : m_bytes(bytes), m_path(path) {}

    qsizetype remaining() const { return m_bytes.size() - m_pos; }

    std::int32_t integer() {
        const qsizetype at = m_pos;
        const unsigned char tag = byte();
        int size = 0;
        switch (tag) {
        case kTag8:
            size = 1;
            break;
        case kTag16:
            size = 2;
            break;
        case kTag32:
            size = 4;
            break;
        default:
            fail(QStringLiteral("neplatná značka čísla 0x%1 na pozici %2")
                     .arg(tag, 2, 16, QLatin1Char('0'))
                     .arg(at));
        }
        std::uint32_t bits = 0;
        for (int i = 0; i < size; ++i)
            bits |= std::uint32_t(byte()) << (8 * i);
        // sign-extend from the stored width
        const int unused = 32 - 8 * size;
        return static_cast<std::int32_t>(bits << unused) >> unused;
    }

    QString shortString() {
        const qsizetype size = byte();
        if (remaining() < size)
            endedEarly();
        const QString text = cp1250::decode(m_bytes.constData() + m_pos, size);
        m_pos += size;
        return text;
    }

    [[noreturn]] void fail(const QString& detail) const { failReading(m_path, detail); }

private:
    unsigned char byte() {
        if (remaining() < 1)
            endedEarly();
        return static_cast<unsigned char>(m_bytes[m_pos++]);
    }

    [[noreturn]] void endedEarly() const {
        fail(QStringLiteral("soubor končí předčasně (po %1 bajtech)").arg(m_bytes.size()));
    }

    const QByteArray& m_bytes;
    const QString& m_path;
    qsizetype m_pos = 0;
};

} // namespace

QByteArray encodeUnprintedRows(const TicketGrid& grid) {
    QByteArray out;
    out += encodeTaggedInteger(grid.columnCount());
    out += encodeTaggedInteger(grid.rowCount());
    for (int c = 0; c < grid.columnCount(); ++c)
        for (int r = 0; r < grid.rowCount(); ++r)
            appendShortString(out, grid.cell(c, r));
    return out;
}

void saveUnprintedRows(const TicketGrid& grid, const QString& path) {
    QString reason;
    if (!wholefile::replace(path, encodeUnprintedRows(grid), reason))
        throw AppError(
            QStringLiteral("Nelze zapsat soubor nevytištěných řádků %1 (%2)").arg(path, reason));
}

namespace {

void readInto(const QString& path, TicketGrid& grid, const QString& unit) {
    // The size is checked before reading, so that no file makes the program
    // hold more than the bound either.
    if (QFileInfo(path).size() > kMaxFileSize)
        failReading(path, QStringLiteral("soubor je větší než %1 MB").arg(kMaxFileSize >> 20));
    QByteArray bytes;
    QString reason;
    if (!wholefile::read(path, bytes, reason))
        throw UnprintedRowsReadError(
            QStringLiteral("Nelze přečíst soubor nevytištěných řádků %1 (%2)").arg(path, reason));
    Reader in(bytes, path);

    const std::int32_t columns = in.integer();
    if (columns != TicketGrid::kColumns)
        in.fail(QStringLiteral("neplatný počet sloupců %1 (očekávány %2)")
                    .arg(columns)
                    .arg(TicketGrid::kColumns));
    const std::int32_t rows = in.integer();
    if (rows < 2 || rows > kMaxRows)
        in.fail(QStringLiteral("neplatný počet řádků %1").arg(rows));
    if (qint64(rows) * columns > in.remaining())
        in.fail(QStringLiteral("počet řádků %1 neodpovídá délce souboru").arg(rows));

    grid.setColumnCount(columns);
    grid.setRowCount(rows);
    grid.weighingCount = rows - 2;
    // Unread cells must not keep texts of the previous ticket, whose weights
    // the sum would not contain.
    for (int r = 0; r < rows; ++r)
        grid.clearRow(r);

    QStringList leftOut;
    int leftOutCount = 0;
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            const QString text = in.shortString();
            grid.setCell(c, r, text);
            if (c != TicketGrid::Weight || !grid.isBodyRow(r) || text.isEmpty())
                continue;
            try {
                grid.weightSum += weightTextToDecimal(text, unit);
            } catch (const ConversionError&) {
                if (++leftOutCount <= kNamedRows)
                    leftOut << QStringLiteral("%1 („%2“)").arg(r).arg(text);
            }
        }
    }
    if (leftOutCount > 0) {
        QString rowsText = leftOut.join(QStringLiteral(", "));
        if (leftOutCount > kNamedRows)
            rowsText += QStringLiteral(" a dalších %1").arg(leftOutCount - kNamedRows);
        throw UnprintedRowsWeightError(
            QStringLiteral("Soubor nevytištěných řádků %1 byl načten, ale hmotnost těchto řádků "
                           "není číslo a není započtena do součtu: %2")
                .arg(path, rowsText));
    }
}

} // namespace

QString damagedCopyPath(const QString& path, const QDateTime& when, int attempt) {
    QString name =
        path + QStringLiteral(".poskozeny-") + when.toString(QStringLiteral("yyyy-MM-dd-HHmm"));
    if (attempt > 1)
        name += QLatin1Char('-') + QString::number(attempt);
    return name;
}

bool keepDamagedUnprintedRows(const QString& path, QString& keptPath, QString& reason) {
    if (!QFileInfo(path).isFile()) {
        reason = QStringLiteral("není to soubor");
        return false;
    }
    const QByteArray from = QFile::encodeName(path);
    const QDateTime when = clock_::now();
    // A rename cannot run the disk full half-way, and NOREPLACE keeps an
    // earlier kept copy of the same minute.
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString candidate = damagedCopyPath(path, when, attempt);
        const QByteArray to = QFile::encodeName(candidate);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
            0) {
            keptPath = candidate;
            return true;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS) {
            reason = wholefile::systemReason(errno);
            return false;
        }
        // A file system without NOREPLACE: look first, then rename.
        if (QFileInfo::exists(candidate))
            continue;
        if (::rename(from.constData(), to.constData()) == 0) {
            keptPath = candidate;
            return true;
        }
        reason = wholefile::systemReason(errno);
        return false;
    }
    reason = wholefile::systemReason(EEXIST);
    return false;
}

void loadUnprintedRows(const QString& path, TicketGrid& grid, const QString& unit) {
    try {
        readInto(path, grid, unit);
    } catch (const UnprintedRowsWeightError&) {
        throw; // every cell was read: nothing is lost when the file is rewritten
    } catch (const UnprintedRowsReadError& e) {
        // The next close or print rewrites the file from the grid, which
        // holds at most what could be read; the damaged file is the only
        // copy of the rest.
        if (!QFileInfo(path).isFile())
            throw; // nothing there to keep, and nothing a save could overwrite
        QString kept;
        QString reason;
        if (keepDamagedUnprintedRows(path, kept, reason))
            throw UnprintedRowsReadError(
                e.message() + QStringLiteral("\nPoškozený soubor byl uschován jako %1.").arg(kept));
        throw UnprintedRowsReadError(
            e.message() +
            QStringLiteral("\nPoškozený soubor se nepodařilo uschovat (%1); příští uložení "
                           "řádků ho přepíše.")
                .arg(reason));
    }
}
