#pragma once

#include <QChar>
#include <QString>

// A weight text (a grid cell or the weight label) as a number: only digits,
// commas, minus signs and full stops are kept ("0" when none is left), and
// the rest must be a plain number under the system's decimal separator.
// Where that separator is a full stop, a comma is taken as the decimal mark
// too: the weight label always shows a comma. Throws ConversionError
// "'%s' is not a valid floating point value".
double weightTextToFloat(const QString& text);
double weightTextToFloat(const QString& text, QChar decimalSeparator);
// The same, but the unit name after the number is not part of it, so that
// the "3" of "m3" or the full stop of "ks." does not join the digits.
double weightTextToFloat(const QString& text, const QString& unit, QChar decimalSeparator);

// A weight or a sum of weights held exactly as a decimal number, so that
// 0,1 + 0,2 - 0,3 is 0 and a long ticket does not drift. Values are whole
// billionths; a text with finer decimals or beyond about 10^27, which no
// indicator sends, makes the value (and every sum it joins) fall back to
// floating point, which is what the sum always used to be.
class DecimalWeight {
public:
    static constexpr int kDecimals = 9;

    DecimalWeight() = default;
    // `billionths` of the unit; for tests and sums of known values.
    static DecimalWeight fromBillionths(long long billionths);

    DecimalWeight& operator+=(const DecimalWeight& other);
    friend DecimalWeight operator+(DecimalWeight a, const DecimalWeight& b) { return a += b; }
    bool operator==(const DecimalWeight& other) const;

    bool isExact() const { return m_exact; }
    double toDouble() const;

    // The general number format of weight sums: at most 15 significant
    // digits, no trailing zeros, no grouping, the given decimal separator;
    // scientific beyond fifteen integer digits or below 0.0001, as
    // formatGeneral writes it.
    QString toText(QChar decimalSeparator) const;
    QString toText() const;

private:
    friend DecimalWeight weightTextToDecimal(const QString&, const QString&, QChar);
    __int128 m_billionths = 0;
    double m_approx = 0;
    bool m_exact = true;
};

// The exact counterparts of weightTextToFloat: the same cleaning, the same
// refusals and messages.
DecimalWeight weightTextToDecimal(const QString& text, const QString& unit, QChar decimalSeparator);
DecimalWeight weightTextToDecimal(const QString& text, const QString& unit);

// The general number format of weight sums: at most 15 significant digits,
// no trailing zeros, no grouping, the system's decimal separator.
// 0.1 + 0.2 gives "0,3" under Czech conventions. Numbers of more than fifteen
// integer digits or below 0.0001 come out scientific, as "1E15" or "1,5E-7".
QString formatGeneral(double value);
QString formatGeneral(double value, QChar decimalSeparator);
