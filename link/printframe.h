#pragma once

#include <QChar>
#include <QList>
#include <QString>

// Print-frame mode: the indicator sends one item frame per weighing and one
// total frame at the end of a ticket, each of a fixed length (item 18-26,
// total 71-79, odd lengths excluded) ending in CR LF. A total is often
// printed over several lines, so CR LF pairs may also stand inside a frame.
//
// How the buffer is cut into frames, in order of precedence:
//  1. A buffer that is exactly one frame is that frame, whatever it holds.
//  2. A buffer that is a sequence of whole frames gives those frames in
//     order; where it can be cut in more than one way, the cut into fewer
//     (longer) frames wins, so a multi-line total stays whole.
//  3. Text that can still become the start of a frame is kept for the next
//     delivery; a frame taken off the front that leaves such a rest is
//     released at once. No frame is longer than kLongestPrintFrame, so no
//     more than that is ever kept.
//  4. Text that can no longer become a frame (no frame ends in it and it is
//     already longer than a frame) is noise: it is dropped through the end of
//     its line, even when that end comes with a later delivery, and decoding
//     starts again at the next line (until then the buffer holds a marker
//     character, U+FFFF, that no decoded text holds). Frames only ever end at a CR LF the line
//     carried, so noise without a line end never makes a frame, and behind
//     noise the decoder is back in step within one frame length.
// Among the ways of cutting a buffer the one that drops least, then keeps
// least, then makes fewest frames is taken; it depends only on the text from
// each position on, so taking frames one at a time or all at once agrees.
//
// The ambiguity no rule removes: text that reads as frames in two ways. A
// delivery that ends where the beginning of a multi-line frame is itself a
// frame - its first line happens to be 18-26 characters long, or it joins the
// frame before it into a frame's length - is taken as that frame, because
// nothing tells the two apart; the rest of the split frame is then noise.
// Likewise noise, or lines read from the middle of a multi-line frame after
// noise, that with the whole lines behind them reach a frame's length are
// taken as a frame.
struct PrintFrame {
    enum class Kind { None, Item, Total };
    Kind kind = Kind::None;
    QString sequence; // item: text before the first comma
    QString weight;   // item: after the first blank through the unit, full stops
                      // replaced by the decimal separator; total: after the first
                      // comma through the unit, unchanged
};

inline constexpr qsizetype kLongestPrintFrame = 79;

// Takes every frame the buffer holds now, in order, leaving in it only text
// that may still become a frame. One delivery never needs another to release
// a frame that is already complete.
QList<PrintFrame> takePrintFrames(QString& buffer, const QString& unit, QChar decimalSeparator);

// Whether a text is one whole frame, and which kind.
PrintFrame::Kind printFrameKind(const QString& text);
// Decodes one accepted frame (the text includes its CR LF).
PrintFrame decodePrintFrame(const QString& frame, const QString& unit, QChar decimalSeparator);
