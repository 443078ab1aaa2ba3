#pragma once

#include <QByteArray>
#include <stdexcept>

// What an editor does to a printed ticket without changing the day's length:
// the last digit of the first weight at or after byte `from` turned into
// another digit.
inline void changeWeightDigit(QByteArray& day, qsizetype from) {
    const qsizetype digit = day.indexOf(" kg\r\n", from) - 1;
    if (digit < 0)
        throw std::logic_error("no weight behind the given byte");
    day[digit] = day[digit] == '9' ? '8' : '9';
}
