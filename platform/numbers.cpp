#include "platform/numbers.h"

#include "platform/apperror.h"
#include "platform/localeconventions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {

bool isNumberCharacter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || u == ',' || u == '-' || u == '.';
}

// The unit name follows the number; when it holds characters a number is
// made of, it must not reach the cleaning. Print frames cut the weight one
// character into the unit, so a text that ends in the unit's beginning is
// cut there as well. Units of letters only are left in and cleaned away.
QString withoutUnit(const QString& text, const QString& unit) {
    if (std::none_of(unit.begin(), unit.end(), isNumberCharacter))
        return text;
    if (const qsizetype at = text.lastIndexOf(unit); at >= 0)
        return text.left(at);
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        --end;
    for (qsizetype length = unit.size() - 1; length > 0; --length)
        if (QStringView(text).left(end).endsWith(QStringView(unit).left(length)))
            return text.left(end - length);
    return text;
}

QString cleaned(const QString& text) {
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text)
        if (isNumberCharacter(c))
            kept.append(c);
    if (kept.isEmpty())
        kept = QStringLiteral("0");
    return kept;
}

// The runtime's text-to-number conversion: an optional sign, digits with at
// most one decimal mark, at least one digit. Grouping and exponents cannot
// survive the cleaning step, so they need no handling here. A system whose
// separator is a full stop also takes the comma the weight label shows.
struct Number {
    bool negative = false;
    std::string whole;    // digits before the decimal mark
    std::string fraction; // digits after it
    double value = 0;
};

QString notValid(const QString& text) {
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

// Correctly rounded, as the runtime's conversion is; false when out of range.
bool toDouble(const Number& n, double& value) {
    const std::string text =
        (n.negative ? "-" : "") + (n.whole.empty() ? "0" : n.whole) + "." + n.fraction + "0";
    const auto r =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return r.ec == std::errc();
}

Number parse(const QString& text, QChar separator) {
    Number n;
    qsizetype i = 0;
    if (i < text.size() && text[i] == QLatin1Char('-')) {
        n.negative = true;
        ++i;
    }
    bool point = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool mark =
            c == separator || (separator == QLatin1Char('.') && c == QLatin1Char(','));
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            (point ? n.fraction : n.whole).push_back(char(c.unicode()));
        else if (mark && !point)
            point = true;
        else
            throw ConversionError(notValid(text));
    }
    if ((n.whole.empty() && n.fraction.empty()) || !toDouble(n, n.value))
        throw ConversionError(notValid(text));
    return n;
}

std::string digitsOf(unsigned __int128 value) {
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(value % 10)));
        value /= 10;
    } while (value != 0);
    return digits;
}

constexpr int kWholeDigits = 27; // 10^36 billionths still fit in 127 bits

} // namespace

double weightTextToFloat(const QString& text, QChar decimalSeparator) {
    return parse(cleaned(text), decimalSeparator).value;
}

double weightTextToFloat(const QString& text) {
    return weightTextToFloat(text, conventions().decimalSeparator);
}

double weightTextToFloat(const QString& text, const QString& unit, QChar decimalSeparator) {
    return weightTextToFloat(withoutUnit(text, unit), decimalSeparator);
}

DecimalWeight weightTextToDecimal(const QString& text, const QString& unit,
                                  QChar decimalSeparator) {
    Number n = parse(cleaned(withoutUnit(text, unit)), decimalSeparator);
    DecimalWeight w;
    w.m_approx = n.value;
    n.whole.erase(0, n.whole.find_first_not_of('0'));
    n.fraction.erase(n.fraction.find_last_not_of('0') + 1);
    if (n.fraction.size() > size_t(DecimalWeight::kDecimals) || n.whole.size() > kWholeDigits) {
        w.m_exact = false;
        return w;
    }
    unsigned __int128 units = 0;
    const std::string digits =
        n.whole + n.fraction + std::string(DecimalWeight::kDecimals - n.fraction.size(), '0');
    for (char d : digits)
        units = units * 10 + unsigned(d - '0');
    w.m_billionths = n.negative ? -__int128(units) : __int128(units);
    return w;
}

DecimalWeight weightTextToDecimal(const QString& text, const QString& unit) {
    return weightTextToDecimal(text, unit, conventions().decimalSeparator);
}

DecimalWeight DecimalWeight::fromBillionths(long long billionths) {
    DecimalWeight w;
    w.m_billionths = billionths;
    w.m_approx = w.toDouble();
    return w;
}

DecimalWeight& DecimalWeight::operator+=(const DecimalWeight& other) {
    m_approx += other.m_approx;
    m_exact = m_exact && other.m_exact &&
              !__builtin_add_overflow(m_billionths, other.m_billionths, &m_billionths);
    return *this;
}

bool DecimalWeight::operator==(const DecimalWeight& other) const {
    if (m_exact && other.m_exact)
        return m_billionths == other.m_billionths;
    return m_exact == other.m_exact && m_approx == other.m_approx;
}

double DecimalWeight::toDouble() const {
    if (!m_exact)
        return m_approx;
    Number n;
    n.negative = m_billionths < 0;
    std::string digits = digitsOf(n.negative ? -(unsigned __int128)(m_billionths)
                                             : (unsigned __int128)(m_billionths));
    if (digits.size() <= size_t(kDecimals))
        digits.insert(0, size_t(kDecimals) + 1 - digits.size(), '0');
    n.whole = digits.substr(0, digits.size() - kDecimals);
    n.fraction = digits.substr(digits.size() - kDecimals);
    double value = 0;
    ::toDouble(n, value);
    return value;
}

QString DecimalWeight::toText(QChar decimalSeparator) const {
    if (!m_exact)
        return formatGeneral(m_approx, decimalSeparator);
    if (m_billionths == 0)
        return QStringLiteral("0");
    // Round the exact digits to fifteen significant ones (half away from
    // zero); a double holds fifteen digits faithfully, so the general
    // format's layout can then be reused without another rounding.
    const bool negative = m_billionths < 0;
    std::string digits =
        digitsOf(negative ? -(unsigned __int128)(m_billionths) : (unsigned __int128)(m_billionths));
    int exponent = -kDecimals;
    if (digits.size() > 15) {
        const bool up = digits[15] >= '5';
        exponent += int(digits.size()) - 15;
        digits.resize(15);
        for (int i = 14; up && i >= 0; --i) {
            if (digits[size_t(i)] != '9') {
                ++digits[size_t(i)];
                break;
            }
            digits[size_t(i)] = '0';
            if (i == 0)
                digits.insert(digits.begin(), '1');
        }
    }
    const std::string text = (negative ? "-" : "") + digits + "e" + std::to_string(exponent);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return formatGeneral(value, decimalSeparator);
}

QString DecimalWeight::toText() const {
    return toText(conventions().decimalSeparator);
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
