#include "ticket/descriptiontext.h"

#include "platform/codepage.h"

#include <algorithm>

namespace {

bool storable(const QString& text) {
    const QByteArray bytes = cp1250::encode(text);
    for (qsizetype i = 0; i < text.size(); ++i)
        if (bytes.at(i) == '?' && text.at(i) != QLatin1Char('?'))
            return false;
    return bytes.size() == text.size();
}

} // namespace

DescriptionEdit vetDescriptionEdit(const QString& before, const QString& after, int cursor,
                                   int limit) {
    QString text = cleanDescription(after);
    if (!storable(text))
        return {before, int(std::min<qsizetype>(cursor, before.size()))};
    cursor = int(std::clamp<qsizetype>(cursor, 0, text.size()));
    const qsizetype allowed = limit > 0 ? std::max<qsizetype>(limit, before.size()) : text.size();
    const qsizetype excess = text.size() - allowed;
    if (excess > 0) {
        // The inserted text ends at the cursor; drop its tail.
        const qsizetype from = std::max<qsizetype>(0, cursor - excess);
        const qsizetype count = cursor - from;
        text.remove(from, count);
        cursor = int(from);
        if (text.size() > allowed)
            text.truncate(allowed);
    }
    return {text, int(std::min<qsizetype>(cursor, text.size()))};
}

QString cleanDescription(QString text) {
    for (QChar& ch : text)
        if (ch == QLatin1Char('\t') || ch == QLatin1Char('\r') || ch == QLatin1Char('\n'))
            ch = QLatin1Char(' ');
    return text;
}

bool isTypedCharacter(const QString& keyText) {
    if (keyText.size() != 1)
        return !keyText.isEmpty();
    const QChar ch = keyText.at(0);
    return ch == QLatin1Char('\b') || (ch >= QLatin1Char(' ') && ch != QChar(0x7F));
}
