#include "ticket/unprintedrows.h"

#include "platform/codepage.h"
#include "platform/numbers.h"
#include "platform/wholefile.h"
#include "ticket/ticketgrid.h"

#include <QStringList>

#include <cstdint>

namespace {

constexpr unsigned char kTag8 = 0x02;
constexpr unsigned char kTag16 = 0x03;
constexpr unsigned char kTag32 = 0x04;
constexpr qsizetype kMaxShortString = 255;
// Rows named in the message about weights left out of the sum; the rest are
// only counted, so that a ticket full of them still gives a readable box.
constexpr int kNamedRows = 5;

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

    [[noreturn]] void fail(const QString& detail) const {
        throw UnprintedRowsReadError(
            QStringLiteral("Chyba při čtení souboru nevytištěných řádků %1: %2")
                .arg(m_path, detail));
    }

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

void loadUnprintedRows(const QString& path, TicketGrid& grid) {
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
    if (rows < 2)
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
                grid.weightSum += weightTextToFloat(text);
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
