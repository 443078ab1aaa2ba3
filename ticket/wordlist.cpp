#include "ticket/wordlist.h"

#include "platform/apperror.h"
#include "platform/codepage.h"
#include "platform/lines.h"
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
    // A zero byte ends the list, as it ends a C string.
    QStringList words;
    for (const LineSpan& span : lineSpans(bytes, bytes.indexOf('\0')))
        words << cp1250::decode(bytes.constData() + span.start, span.length);
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
