#include "archive/archivetable.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cstring>
#include <iterator>

qsizetype ArchiveTable::cellStart(int row, int column) const {
    const qsizetype i = qsizetype(row) * kColumns + column;
    return i == 0 ? 0 : qsizetype(m_ends[size_t(i - 1)]) + 1;
}

QByteArrayView ArchiveTable::cell(int row, int column) const {
    if (row < 0 || row >= lastRow() || column < 0 || column >= kColumns)
        return {};
    const qsizetype start = cellStart(row, column);
    const qsizetype end = m_ends[size_t(row) * kColumns + size_t(column)];
    return QByteArrayView(m_text.data() + start, end - start);
}

QString ArchiveTable::cellText(int row, int column) const {
    const QByteArrayView bytes = cell(row, column);
    return cp1250::decode(bytes.data(), bytes.size());
}

bool ArchiveTable::appendLine(QByteArrayView line) {
    // Worst case: every cell a single space, plus the separators.
    if (qsizetype(m_text.size()) + line.size() + 2 * kColumns > kMaxTextBytes)
        return false;
    const char* p = line.data();
    const char* const end = p + line.size();
    int filled = 0;
    if (!line.isEmpty()) {
        while (filled < kColumns) {
            const char* cut = p;
            for (;;) {
                const void* tab = std::memchr(cut, '\t', size_t(end - cut));
                if (!tab) {
                    cut = end;
                    break;
                }
                cut = static_cast<const char*>(tab);
                if (cut + 1 < end && cut[1] == '\t')
                    break;
                ++cut;
            }
            if (cut == p)
                m_text += ' ';
            else
                m_text.append(p, size_t(cut - p));
            m_ends.push_back(quint32(m_text.size()));
            m_text += ';';
            ++filled;
            if (cut == end)
                break;
            p = cut + 2;
        }
    }
    for (; filled < kColumns; ++filled) {
        m_ends.push_back(quint32(m_text.size()));
        m_text += ';';
    }
    return true;
}

void ArchiveTable::reserveForFileBytes(qsizetype bytes) {
    // Each line gains up to four ";" and loses its break and separators;
    // reserved room that is never written costs no memory.
    const qsizetype text = std::min(kMaxTextBytes, bytes + bytes / 4 + 64);
    m_text.reserve(size_t(text));
    m_ends.reserve(size_t(bytes / 16 + 4) * kColumns);
}

void ArchiveTable::clear() {
    m_text.clear();
    m_text.shrink_to_fit();
    m_ends.clear();
    m_ends.shrink_to_fit();
    m_changed.clear();
}

void ArchiveTable::markChanged(int first, int end) {
    if (first < end)
        m_changed.emplace_back(first, end);
}

bool ArchiveTable::changed(int row) const {
    const auto after =
        std::upper_bound(m_changed.begin(), m_changed.end(), row,
                         [](int r, const std::pair<int, int>& span) { return r < span.first; });
    return after != m_changed.begin() && row < std::prev(after)->second;
}

bool appendArchiveFile(ArchiveTable& table, QByteArrayView bytes) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end) {
        const char* brk = p;
        while (brk < end && *brk != '\r' && *brk != '\n')
            ++brk;
        if (!table.appendLine(QByteArrayView(p, brk - p)))
            return false;
        if (brk < end && *brk == '\r' && brk + 1 < end && brk[1] == '\n')
            ++brk;
        p = brk + 1;
    }
    return true;
}

qsizetype archiveLineAt(QByteArrayView bytes, qsizetype offset) {
    qsizetype line = 0;
    const qsizetype end = std::min(offset, bytes.size());
    for (qsizetype i = 0; i < end; ++i) {
        const char c = bytes[i];
        // A CR LF pair ends one line, at its LF.
        if (c == '\n' || (c == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
            ++line;
    }
    return line;
}

ArchiveRowFill archiveRowFill(int row, QByteArrayView column0) {
    if (row <= 0)
        return ArchiveRowFill::Normal;
    if (column0.contains(QByteArrayView("Celkem")))
        return ArchiveRowFill::Yellow;
    if (column0.contains(QByteArrayView("Dne")))
        return ArchiveRowFill::Aqua;
    return ArchiveRowFill::Normal;
}
