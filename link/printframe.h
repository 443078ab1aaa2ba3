#pragma once

#include <QChar>
#include <QList>
#include <QString>

#include <chrono>
#include <optional>

// Print-frame mode: the indicator sends one item frame per weighing and one
// total frame at the end of a ticket, each of a fixed length (item 18-26,
// total 71-79, odd lengths excluded) ending in CR LF. A total is often
// printed over several lines, so CR LF pairs may also stand inside a frame.
// The indicator sends each frame in one burst and the frames of different
// weighings seconds apart; a USB serial adapter passes a burst on in pieces
// of about 15 characters, cut anywhere, often right behind an inner line.
//
// How the buffer is cut into frames, in order of precedence:
//  1. Text from a frame's start is not released as a frame while it can
//     still grow into a longer frame: a total whose inner line happens to be
//     18-26 characters long is not taken for an item when a delivery ends
//     behind that line. The text stops growing once kLongestPrintFrame
//     characters have arrived from that start, so that no longer frame can
//     end in it any more, or once the line has been quiet for
//     kPrintFrameHold.
//  2. A buffer that is exactly one frame is that frame, whatever it holds.
//  3. A buffer that is a sequence of whole frames gives those frames in
//     order; where it can be cut in more than one way, the cut into fewer
//     (longer) frames wins, so a multi-line total stays whole.
//  4. Text that can still become the start of a frame is kept for the next
//     delivery of the same burst, never more than kLongestPrintFrame. When
//     the line has gone quiet, what is not a frame by then never becomes one
//     (a burst is whole): it is dropped and the buffer is left empty.
//  5. Text that can no longer become a frame (no frame ends in it and it is
//     already longer than a frame) is noise: it is dropped through the end of
//     its line, even when that end comes with a later delivery, and decoding
//     starts again at the next line (until then the buffer holds a marker
//     character, U+FFFF, that no decoded text holds). Frames only ever end
//     at a CR LF the line carried, so noise without a line end never makes a
//     frame, and behind noise the decoder is back in step within one frame
//     length, or at once after a quiet line.
// Among the ways of cutting a buffer the one that drops least, then keeps
// least, then makes fewest frames is taken; it depends only on the text from
// each position on, so taking frames one at a time or all at once agrees.
//
// The ambiguity left: text that reads as frames in two ways and arrives
// inside one burst. An item and a total sent in one burst, the total's last
// line an item's length, also read as a longer total and an item; the longer
// frame first wins, which may not be how they were sent. Noise glued to a
// frame inside its burst may likewise make a frame of another length.
// Frames with a quiet line between them, and noise with a quiet line on both
// sides, are never read together.
struct PrintFrame {
    enum class Kind { None, Item, Total };
    Kind kind = Kind::None;
    QString sequence; // item: text before the first comma
    QString weight;   // item: after the first blank through the unit, full stops
                      // replaced by the decimal separator; total: after the first
                      // comma through the unit, unchanged
};

inline constexpr qsizetype kLongestPrintFrame = 79;

// How long the line must be quiet before text that could still grow into a
// longer frame is released as the frame it is. Inside a burst a USB adapter's
// pieces come 16 ms apart (its default latency timer) and the GUI thread may
// take some tens of milliseconds more to hand one over on a busy station;
// 120 ms is several such gaps, yet a row still shows within a fifth of a
// second of its frame's last character, long before the next weighing's
// frame, which comes seconds later.
inline constexpr std::chrono::milliseconds kPrintFrameHold{120};

// Takes every frame off the buffer that can no longer grow, in order, and
// leaves in it only text that may still become a frame. `lineQuiet`: nothing
// has arrived for kPrintFrameHold, so nothing more belongs to this burst;
// the buffer is then left empty.
QList<PrintFrame> takePrintFrames(QString& buffer, const QString& unit, QChar decimalSeparator,
                                  bool lineQuiet);

// The receive side of print-frame mode: when the last delivery came, from
// clock_::monotonic() (tests pin it), and so whether the line is quiet.
class PrintFrameReader {
public:
    // Text has just been appended to the buffer.
    void delivered();
    bool lineQuiet() const;
    QList<PrintFrame> take(QString& buffer, const QString& unit, QChar decimalSeparator) const {
        return takePrintFrames(buffer, unit, decimalSeparator, lineQuiet());
    }
    // When take() must run again, with no delivery in between, so that what
    // the buffer holds is released once the line is quiet: the time left
    // (0 when it is due now), or negative when the buffer is empty.
    std::chrono::milliseconds untilRelease(const QString& buffer) const;

private:
    std::optional<std::chrono::milliseconds> m_lastDelivery;
};

// Whether a text is one whole frame, and which kind.
PrintFrame::Kind printFrameKind(const QString& text);
// Decodes one accepted frame (the text includes its CR LF).
PrintFrame decodePrintFrame(const QString& frame, const QString& unit, QChar decimalSeparator);
