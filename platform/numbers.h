#pragma once

#include <QChar>
#include <QString>

// A weight text (a grid cell or the weight label) as a number: only digits,
// commas, minus signs and full stops are kept ("0" when none is left), and
// the rest must be a plain number under the system's decimal separator.
// Throws ConversionError "'%s' is not a valid floating point value".
double weightTextToFloat(const QString& text);
double weightTextToFloat(const QString& text, QChar decimalSeparator);

// The general number format of weight sums: at most 15 significant digits,
// no trailing zeros, no grouping, the system's decimal separator.
// 0.1 + 0.2 gives "0,3" under Czech conventions. Numbers of more than fifteen
// integer digits or below 0.0001 come out scientific, as "1E15" or "1,5E-7".
QString formatGeneral(double value);
QString formatGeneral(double value, QChar decimalSeparator);
