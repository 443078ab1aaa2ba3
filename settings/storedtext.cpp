#include "settings/storedtext.h"

QString decodeStoredTextForPrinting(const QString& stored) {
    QString text = stored;
    text.replace(QStringLiteral("\\n"), QStringLiteral("\r\n"));
    if (text.startsWith(QLatin1Char('.')))
        text.remove(0, 1);
    return text;
}
