#include "archive/archivesearch.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

using ByteMap = std::array<unsigned char, 256>;

ByteMap identityMap() {
    ByteMap map{};
    for (int b = 0; b < 256; ++b)
        map[size_t(b)] = static_cast<unsigned char>(b);
    return map;
}

// A byte maps to the byte of its upper-case letter when the language makes
// one Windows-1250 character of it; "ß" (whose upper case is "SS") and "µ"
// (Greek capital mu) stay as they are on both sides of the comparison.
ByteMap upperCaseMap(const QLocale& language) {
    ByteMap map = identityMap();
    for (int b = 0; b < 256; ++b) {
        const QString upper = language.toUpper(QString(QChar(cp1250::toUnicode(uchar(b)))));
        if (upper.size() != 1)
            continue;
        const QByteArray encoded = cp1250::encode(upper);
        if (cp1250::toUnicode(uchar(encoded[0])) == upper[0].unicode())
            map[size_t(b)] = uchar(encoded[0]);
    }
    return map;
}

// A search usually runs many times under one language, and the table takes
// 256 calls into the locale library to build. The caller gets its own copy,
// taken under the lock: a search under another language may rebuild the
// cache meanwhile.
ByteMap cachedUpperCaseMap(const QLocale& language) {
    static std::mutex mutex;
    static QString name;
    static ByteMap map;
    std::lock_guard lock(mutex);
    if (name.isEmpty() || name != language.name()) {
        map = upperCaseMap(language);
        name = language.name();
    }
    return map;
}

// Rows are gathered and searched in chunks of about this many bytes, so a
// match near the current row is found without preparing the rest.
constexpr size_t kChunkBytes = 256 * 1024;

class RowTextBuilder {
public:
    RowTextBuilder(const ArchiveTable& table, const ArchiveSearch& search, const ByteMap& map)
        : m_table(table), m_search(search), m_map(map) {}

    // Appends the row's text, mapped; reversed for an upward search, so that
    // the nearest row comes first and a forward search finds it.
    void append(int row, std::string& out) const {
        const size_t from = out.size();
        for (int c = 0; c < ArchiveTable::kColumns; ++c) {
            if (!m_search.columns[size_t(c)])
                continue;
            const QByteArrayView cell = m_table.cell(row, c);
            const size_t at = out.size();
            out.resize(at + size_t(cell.size()) + 1);
            std::transform(cell.begin(), cell.end(), out.begin() + qsizetype(at),
                           [this](char ch) { return char(m_map[uchar(ch)]); });
            out.back() = ';';
        }
        if (m_search.upward)
            std::reverse(out.begin() + qsizetype(from), out.end());
    }

private:
    const ArchiveTable& m_table;
    const ArchiveSearch& m_search;
    const ByteMap& m_map;
};

} // namespace

int findArchiveRow(const ArchiveTable& table, int currentRow, const ArchiveSearch& search,
                   const QLocale& language) {
    if (search.text.isEmpty())
        return -1;
    static const ByteMap identity = identityMap();
    const ByteMap map = search.matchCase ? identity : cachedUpperCaseMap(language);

    const QByteArray encoded = cp1250::encode(search.text);
    if (cp1250::decode(encoded) != search.text)
        return -1; // a character the archive cannot hold
    std::string needle;
    for (const char ch : encoded)
        needle += char(map[uchar(ch)]);
    if (search.upward)
        std::reverse(needle.begin(), needle.end());

    const RowTextBuilder builder(table, search, map);
    const int step = search.upward ? -1 : 1;
    const int last = table.lastRow();
    std::string text;
    std::vector<size_t> rowEnds;
    int row = currentRow + step;
    while (row >= 1 && row <= last) {
        const int first = row;
        text.clear();
        rowEnds.clear();
        while (row >= 1 && row <= last && text.size() < kChunkBytes) {
            builder.append(row, text);
            rowEnds.push_back(text.size());
            row += step;
        }
        size_t from = 0;
        while (from < text.size()) {
            const void* hit =
                memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
            if (!hit)
                break;
            const size_t at = size_t(static_cast<const char*>(hit) - text.data());
            const auto endOfRow = std::upper_bound(rowEnds.begin(), rowEnds.end(), at);
            if (at + needle.size() <= *endOfRow)
                return first + int(endOfRow - rowEnds.begin()) * step;
            // A later hit starting in the same row would cross its end too.
            from = *endOfRow;
        }
    }
    return -1;
}
