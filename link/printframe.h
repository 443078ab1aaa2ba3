#pragma once

#include <QString>

// The print-frame decoder's view of the receive buffer in print-frame mode:
// the indicator sends one item frame per weighing and one total frame at the
// end of a ticket, each of a fixed length ending in CR LF.
struct PrintFrame {
    enum class Kind { None, Item, Total };
    Kind kind = Kind::None;
    QString sequence; // item: text before the first comma
    QString weight;   // item: after the first blank through the unit, full stops
                      // replaced by the decimal separator; total: after the first
                      // comma through the unit, unchanged
};

// Takes the next complete frame off the front of `buffer` if there is one
// (removing what it consumed, including any noise it skips by the
// resynchronisation rule), else returns Kind::None and leaves a possible
// partial frame in place.
PrintFrame takePrintFrame(QString& buffer, const QString& unit, QChar decimalSeparator);
