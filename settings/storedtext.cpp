#include "settings/storedtext.h"

#include "platform/lines.h"

QString decodeStoredTextForPrinting(const QString& stored) {
    QString text = stored;
    text.replace(QStringLiteral("\\n"), QStringLiteral("\r\n"));
    if (text.startsWith(QLatin1Char('.')))
        text.remove(0, 1);
    return text;
}

QString encodeTextForStorage(const QStringList& lines) {
    QString stored = QStringLiteral(".");
    for (const QString& line : lines)
        stored += line + QStringLiteral("\\n");
    return stored;
}

QStringList decodeStoredTextForDialog(const QString& stored) {
    QString text = stored;
    text.replace(QStringLiteral("\\n"), QStringLiteral("\r"));
    if (text.startsWith(QLatin1Char('.')))
        text.remove(0, 1);
    return memoLines(text);
}

QStringList memoLines(const QString& plainText) {
    QStringList result;
    for (const LineSpan& span : lineSpans(plainText))
        result.append(plainText.mid(span.start, span.length));
    return result;
}
