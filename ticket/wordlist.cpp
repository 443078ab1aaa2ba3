#include "ticket/wordlist.h"

#include "platform/apperror.h"
#include "platform/codepage.h"
#include "platform/localeconventions.h"
#include "platform/wholefile.h"

#include <QCollator>

#include <algorithm>

QStringList readWordListFile(const QString& path) {
    QByteArray bytes;
    QString reason;
    if (!wholefile::read(path, bytes, reason))
        throw AppError(
            QStringLiteral("Nelze přečíst soubor se seznamem slov %1 (%2)").arg(path, reason));
    const qsizetype zero = bytes.indexOf('\0');
    const qsizetype end = zero < 0 ? bytes.size() : zero;
    QStringList words;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < end) {
        const char ch = bytes[i];
        if (ch != '\r' && ch != '\n') {
            ++i;
            continue;
        }
        words << cp1250::decode(bytes.constData() + start, i - start);
        ++i;
        if (ch == '\r' && i < end && bytes[i] == '\n')
            ++i;
        start = i;
    }
    if (start < end)
        words << cp1250::decode(bytes.constData() + start, end - start);
    return words;
}

void writeWordListFile(const QString& path, const QStringList& words) {
    QByteArray bytes;
    for (const QString& word : words) {
        bytes += cp1250::encode(word);
        bytes += "\r\n";
    }
    QString reason;
    if (!wholefile::replace(path, bytes, reason))
        throw AppError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
}

int findWord(const QStringList& list, const QString& text) {
    const LocaleConventions& lc = conventions();
    const QString wanted = lc.toUpper(text);
    for (qsizetype i = 0; i < list.size(); ++i)
        if (lc.toUpper(list[i]) == wanted)
            return int(i);
    return -1;
}

int sortedInsertPosition(const QStringList& list, const QString& text) {
    QCollator collator(conventions().language);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto at =
        std::upper_bound(list.begin(), list.end(), text, [&](const QString& a, const QString& b) {
            return collator.compare(a, b) < 0;
        });
    return int(at - list.begin());
}

bool learnWord(QStringList& list, const QString& text) {
    if (text.isEmpty() || findWord(list, text) >= 0)
        return false;
    list.insert(sortedInsertPosition(list, text), text);
    return true;
}
