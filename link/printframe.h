#pragma once

#include <QChar>
#include <QString>

// Print-frame mode: the indicator sends one item frame per weighing and one
// total frame at the end of a ticket, each of a fixed length (item 18-26,
// total 71-79, odd lengths excluded) ending in CR LF.
//
// Resynchronisation. Every CR LF ends a piece of the buffer, oldest first: a
// piece of a frame's length is a frame, any other piece is noise and is
// dropped through its CR LF. So a lost or extra character costs only the
// damaged frame (and the frame glued to it when the damage hit its CR LF), a
// garbage line costs nothing, two frames taken in one delivery come out one
// after the other, and frames delivered whole or split over several
// deliveries decode as they always have. Text without a CR LF waits for the
// rest of its frame, but no more than kMaxPendingPrintText characters of it:
// beyond a frame's length it cannot become one and is dropped, except for a
// final CR that may start the next CR LF. The one thing given up against
// taking only a whole buffer is a frame with a CR LF inside it, which the
// inner pair now ends early; indicators end frames, not fields, with CR LF.
struct PrintFrame {
    enum class Kind { None, Item, Total };
    Kind kind = Kind::None;
    QString sequence; // item: text before the first comma
    QString weight;   // item: after the first blank through the unit, full stops
                      // replaced by the decimal separator; total: after the first
                      // comma through the unit, unchanged
};

inline constexpr qsizetype kMaxPendingPrintText = 1024;

// Takes the next frame off the front of `buffer`, removing it and any noise
// skipped on the way. Returns Kind::None when no complete frame is left;
// call again after a frame, as one delivery may hold more than one.
PrintFrame takePrintFrame(QString& buffer, const QString& unit, QChar decimalSeparator);

// Whether a text is one whole frame, and which kind.
PrintFrame::Kind printFrameKind(const QString& text);
// Decodes one accepted frame (the text includes its CR LF).
PrintFrame decodePrintFrame(const QString& frame, const QString& unit, QChar decimalSeparator);
