#include "fuzz/fuzzinput.h"
#include "platform/codepage.h"
#include "settings/inifile.h"

namespace {

// Names and values as the program writes them: one line, no blanks at the
// ends, a key without "=", a value not wrapped in quotes.
QString oneLine(const QByteArray& bytes) {
    QString s = cp1250::decode(bytes);
    for (QChar& c : s)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            c = QLatin1Char('_');
    return s.trimmed();
}

QString keyName(const QByteArray& bytes) {
    QString s = oneLine(bytes).replace(QLatin1Char('='), QLatin1Char('_'));
    if (s.startsWith(QLatin1Char('[')) || s.startsWith(QLatin1Char(';')) || s.isEmpty())
        s.prepend(QLatin1Char('k'));
    return s;
}

} // namespace

// Any file, then one write: reading the key gives back what was written, from
// the same object and from the file read afresh, and another key reads as it
// did before.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const QString section = oneLine(in.piece());
    const QString key = keyName(in.piece());
    QString value = oneLine(in.piece());
    if (value.size() >= 2 &&
        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')))
        value.prepend(QLatin1Char('v'));
    const QString otherSection = oneLine(in.piece());
    const QString otherKey = keyName(in.piece());
    const QString path = fuzzFile("settings.ini");
    writeFile(path, in.rest());

    IniFile ini(path);
    const QString otherBefore = ini.readString(otherSection, otherKey, QStringLiteral("-"));
    ini.writeString(section, key, value);
    FUZZ_CHECK(ini.readString(section, key, QStringLiteral("-")) == value);
    const IniFile fresh(path);
    FUZZ_CHECK(fresh.readString(section, key, QStringLiteral("-")) == value);
    const bool same = section.compare(otherSection, Qt::CaseInsensitive) == 0 &&
                      key.compare(otherKey, Qt::CaseInsensitive) == 0;
    if (!same)
        FUZZ_CHECK(fresh.readString(otherSection, otherKey, QStringLiteral("-")) == otherBefore);
    return 0;
}
