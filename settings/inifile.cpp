#include "settings/inifile.h"

#include "platform/codepage.h"
#include "platform/lines.h"
#include "platform/wholefile.h"

#include <QFileInfo>
#include <limits>
#include <optional>
#include <vector>

namespace {

// Windows hands values over in a buffer of 2048 bytes, one of them the
// terminating zero.
constexpr qsizetype kMaxValueLength = 2047;

const QByteArray kCrLf = QByteArrayLiteral("\r\n");
// Editors that save "UTF-8 with BOM" put these bytes before the first
// section header, which would then not be recognised.
const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

bool isBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\v' || u == '\f';
}

QString trimmedLeft(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.mid(i);
}

QString trimmedRight(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && isBlank(s[n - 1]))
        --n;
    return s.left(n);
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

enum class Kind { Other, Section, Key };

struct Line {
    QByteArray text; // as in the file, without its line break
    QByteArray eol;  // CR LF, LF or CR; empty for a last line without one
    Kind kind = Kind::Other;
    QString name;  // section or key name
    QString value; // key value without surrounding blanks
};

void parse(Line& line) {
    const QString s = trimmedLeft(trimmedRight(cp1250::decode(line.text)));
    line.kind = Kind::Other;
    line.name.clear();
    line.value.clear();
    if (s.isEmpty() || s.front() == QLatin1Char(';'))
        return;
    if (s.front() == QLatin1Char('[')) {
        // Without a closing bracket the line is no section header but an
        // ordinary line of the section above it, as the private-profile
        // parser treats it (Wine's copy of it warns and reads on).
        const qsizetype close = s.lastIndexOf(QLatin1Char(']'));
        if (close > 0) {
            line.kind = Kind::Section;
            line.name = s.mid(1, close - 1);
            return;
        }
    }
    const qsizetype eq = s.indexOf(QLatin1Char('='));
    if (eq < 0)
        return;
    line.kind = Kind::Key;
    line.name = trimmedRight(s.left(eq));
    line.value = trimmedLeft(s.mid(eq + 1));
}

Line makeLine(const QByteArray& text, const QByteArray& eol) {
    Line line;
    line.text = text;
    line.eol = eol;
    parse(line);
    return line;
}

std::vector<Line> splitLines(const QByteArray& bytes) {
    std::vector<Line> lines;
    for (const LineSpan& span : lineSpans(bytes))
        lines.push_back(makeLine(bytes.mid(span.start, span.length),
                                 bytes.mid(span.start + span.length, span.breakLength)));
    return lines;
}

QByteArray joinLines(const std::vector<Line>& lines) {
    QByteArray out;
    for (const Line& line : lines)
        out += line.text + line.eol;
    return out;
}

struct SectionRange {
    size_t header;
    size_t end; // one past the section's last line
};

// Only the first of several sections with the same name counts, as in Windows.
std::optional<SectionRange> findSection(const std::vector<Line>& lines, const QString& section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Kind::Section || !sameName(lines[i].name, section))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != Kind::Section)
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> findKey(const std::vector<Line>& lines, const SectionRange& range,
                              const QString& key) {
    for (size_t i = range.header + 1; i < range.end; ++i)
        if (lines[i].kind == Kind::Key && sameName(lines[i].name, key))
            return i;
    return std::nullopt;
}

QString unquoted(const QString& value) {
    if (value.size() >= 2 &&
        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The whole value must be the number, as the runtime's StrToIntDef wants it;
// "12abc" is no number at all.
std::optional<int> parseInteger(const QString& s) {
    auto digitValue = [](QChar c, int base) -> int {
        const char16_t u = c.unicode();
        int d = -1;
        if (u >= '0' && u <= '9')
            d = u - '0';
        else if (u >= 'a' && u <= 'f')
            d = u - 'a' + 10;
        else if (u >= 'A' && u <= 'F')
            d = u - 'A' + 10;
        return d < base ? d : -1;
    };
    if (s.size() > 2 && s[0] == QLatin1Char('0') &&
        (s[1] == QLatin1Char('x') || s[1] == QLatin1Char('X'))) {
        // Hexadecimal fills all 32 bits: 0xFFFFFFFF is -1.
        quint64 v = 0;
        for (qsizetype i = 2; i < s.size(); ++i) {
            const int d = digitValue(s[i], 16);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + quint64(d);
            if (v > 0xFFFFFFFFu)
                return std::nullopt;
        }
        return int(qint32(quint32(v)));
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    if (i == s.size())
        return std::nullopt;
    qint64 v = 0;
    for (; i < s.size(); ++i) {
        const int d = digitValue(s[i], 10);
        if (d < 0)
            return std::nullopt;
        v = v * 10 + d;
        if (v > qint64(1) << 31)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return int(v);
}

} // namespace

struct IniFile::Data {
    std::vector<Line> lines;
    // The file exists but could not be read: writing would replace it with
    // just the written key, so writes are refused instead.
    bool unreadable = false;
    // Written back as found, for the tool that put it there.
    bool byteOrderMark = false;
};

IniFile::IniFile(QString path) : m_path(std::move(path)), m_data(std::make_unique<Data>()) {
    const QFileInfo info(m_path);
    if (!info.exists())
        return;
    QByteArray bytes;
    QString reason;
    if (!wholefile::read(m_path, bytes, reason)) {
        m_data->unreadable = true;
        return;
    }
    if (bytes.startsWith(kUtf8Bom)) {
        m_data->byteOrderMark = true;
        bytes.remove(0, kUtf8Bom.size());
    }
    m_data->lines = splitLines(bytes);
}

IniFile::~IniFile() = default;

bool IniFile::hasKey(const QString& section, const QString& key) const {
    const auto range = findSection(m_data->lines, section);
    return range && findKey(m_data->lines, *range, key);
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    QString value;
    const auto range = findSection(m_data->lines, section);
    const auto line = range ? findKey(m_data->lines, *range, key) : std::nullopt;
    if (line) {
        value = unquoted(m_data->lines[*line].value);
    } else {
        // Windows drops trailing spaces of the default before copying it.
        qsizetype n = def.size();
        while (n > 0 && def[n - 1] == QLatin1Char(' '))
            --n;
        value = def.left(n);
    }
    value.truncate(kMaxValueLength);
    return value;
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
    return parseInteger(readString(section, key, QString())).value_or(def);
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    std::vector<Line> lines = m_data->lines;
    const QByteArray encodedValue = cp1250::encode(value);

    if (const auto range = findSection(lines, section)) {
        if (const auto existing = findKey(lines, *range, key)) {
            // The key keeps the spelling it has in the file.
            Line& line = lines[*existing];
            line = makeLine(cp1250::encode(line.name) + '=' + encodedValue, line.eol);
        } else {
            size_t at = range->end;
            while (at > range->header + 1 && lines[at - 1].kind == Kind::Other &&
                   trimmedLeft(cp1250::decode(lines[at - 1].text)).isEmpty())
                --at;
            if (lines[at - 1].eol.isEmpty())
                lines[at - 1].eol = kCrLf;
            lines.insert(lines.begin() + qsizetype(at),
                         makeLine(cp1250::encode(key) + '=' + encodedValue, kCrLf));
        }
    } else {
        if (!lines.empty() && lines.back().eol.isEmpty())
            lines.back().eol = kCrLf;
        lines.push_back(makeLine('[' + cp1250::encode(section) + ']', kCrLf));
        lines.push_back(makeLine(cp1250::encode(key) + '=' + encodedValue, kCrLf));
    }

    QString reason;
    const QByteArray bytes = (m_data->byteOrderMark ? kUtf8Bom : QByteArray()) + joinLines(lines);
    if (m_data->unreadable || !wholefile::replace(m_path, bytes, reason))
        throw SettingsWriteError(QStringLiteral("Unable to write to %1").arg(m_path));
    m_data->lines = std::move(lines);
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
