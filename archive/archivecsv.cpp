#include "archive/archivecsv.h"

#include "platform/codepage.h"
#include "platform/wholefile.h"

#include <QDir>

#include <array>
#include <cstring>
#include <new>

namespace {

// The UTF-8 bytes of every Windows-1250 byte: a year of rows is converted
// byte by byte without a QString per cell.
struct Utf8Of {
    std::array<std::array<char, 3>, 256> bytes{};
    std::array<quint8, 256> size{};
};

const Utf8Of& utf8Of() {
    static const Utf8Of table = [] {
        Utf8Of t;
        for (int b = 0; b < 256; ++b) {
            const QByteArray utf8 = QString(QChar(cp1250::toUnicode(uchar(b)))).toUtf8();
            t.size[size_t(b)] = quint8(utf8.size());
            std::memcpy(t.bytes[size_t(b)].data(), utf8.constData(), size_t(utf8.size()));
        }
        return t;
    }();
    return table;
}

bool isPadding(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView cell) {
    qsizetype begin = 0;
    qsizetype end = cell.size();
    while (begin < end && isPadding(cell[begin]))
        ++begin;
    while (end > begin && isPadding(cell[end - 1]))
        --end;
    return cell.sliced(begin, end - begin);
}

bool needsQuotes(QByteArrayView cell) {
    for (char c : cell)
        if (c == ';' || c == '"' || c == '\r' || c == '\n')
            return true;
    return false;
}

void appendField(QByteArray& out, QByteArrayView cell, const Utf8Of& utf8) {
    const bool quoted = needsQuotes(cell);
    if (quoted)
        out += '"';
    for (char c : cell) {
        const uchar b = uchar(c);
        if (b < 0x80) {
            if (c == '"')
                out += '"';
            out += c;
        } else {
            out.append(utf8.bytes[b].data(), utf8.size[b]);
        }
    }
    if (quoted)
        out += '"';
}

} // namespace

QByteArray archiveCsv(const ArchiveTable& table) {
    const Utf8Of& utf8 = utf8Of();
    QByteArray out;
    // Padding dropped outweighs accented letters grown to two bytes.
    out.reserve(table.textBytes() + table.textBytes() / 8 + 16);
    out.append("\xEF\xBB\xBF");
    for (int row = 0; row < table.lastRow(); ++row) {
        for (int column = 0; column < ArchiveTable::kColumns; ++column) {
            if (column > 0)
                out += ';';
            appendField(out, trimmed(table.cell(row, column)), utf8);
        }
        out.append("\r\n");
    }
    return out;
}

bool writeArchiveCsv(const ArchiveTable& table, const QString& path, QString& message) {
    QString reason;
    try {
        if (wholefile::replace(path, archiveCsv(table), reason))
            return true;
    } catch (const std::bad_alloc&) {
        reason = QStringLiteral("není dost paměti");
    }
    message = QStringLiteral("Export do CSV se nezdařil: soubor %1 nelze zapsat (%2).")
                  .arg(QDir::toNativeSeparators(path), reason);
    return false;
}

QString archiveCsvFileName(const QDate& first, const QDate& last) {
    const QString format = QStringLiteral("yyyy-MM-dd");
    if (first == last)
        return QStringLiteral("archiv_%1.csv").arg(first.toString(format));
    return QStringLiteral("archiv_%1_%2.csv").arg(first.toString(format), last.toString(format));
}
