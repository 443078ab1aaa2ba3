#include "platform/numbers.h"

#include "platform/apperror.h"
#include "platform/localeconventions.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

// The runtime's text-to-number conversion: an optional sign, digits with at
// most one decimal separator, at least one digit. Grouping and exponents
// cannot survive the cleaning step, so they need no handling here.
bool convert(const QString& cleaned, QChar sep, double& out) {
    std::string ascii;
    ascii.reserve(size_t(cleaned.size()));
    qsizetype i = 0;
    if (i < cleaned.size() && cleaned[i] == QLatin1Char('-')) {
        ascii.push_back('-');
        ++i;
    }
    bool digit = false, point = false;
    for (; i < cleaned.size(); ++i) {
        const QChar c = cleaned[i];
        if (c.isDigit() && c.unicode() < 0x80) {
            ascii.push_back(char(c.unicode()));
            digit = true;
        } else if (c == sep && !point) {
            ascii.push_back('.');
            point = true;
        } else {
            return false;
        }
    }
    if (!digit)
        return false;
    const char* first = ascii.data();
    const char* last = ascii.data() + ascii.size();
    const auto r = std::from_chars(first, last, out, std::chars_format::fixed);
    return r.ec == std::errc() && r.ptr == last;
}

} // namespace

double weightTextToFloat(const QString& text, QChar decimalSeparator) {
    QString cleaned;
    cleaned.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= '0' && u <= '9') || u == ',' || u == '-' || u == '.')
            cleaned.append(c);
    }
    if (cleaned.isEmpty())
        cleaned = QStringLiteral("0");
    double value = 0;
    if (!convert(cleaned, decimalSeparator, value))
        throw ConversionError(
            QStringLiteral("'%1' is not a valid floating point value").arg(cleaned));
    return value;
}

double weightTextToFloat(const QString& text) {
    return weightTextToFloat(text, conventions().decimalSeparator);
}

QString formatGeneral(double value, QChar decimalSeparator) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        value = 0; // no "-0"
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    QString s = QString::fromLatin1(buf, r.ptr - buf);
    // The runtime's general format writes a bare exponent: "1E15" and "1E-5"
    // where to_chars gives "1e+15" and "1e-05".
    if (const qsizetype e = s.indexOf(QLatin1Char('e')); e >= 0) {
        QString exponent = s.mid(e + 1);
        const bool negative = exponent.startsWith(QLatin1Char('-'));
        if (negative || exponent.startsWith(QLatin1Char('+')))
            exponent.remove(0, 1);
        while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
            exponent.remove(0, 1);
        s = s.left(e) + QLatin1Char('E') + (negative ? QStringLiteral("-") : QString()) + exponent;
    }
    s.replace(QLatin1Char('.'), decimalSeparator);
    return s;
}

QString formatGeneral(double value) {
    return formatGeneral(value, conventions().decimalSeparator);
}
