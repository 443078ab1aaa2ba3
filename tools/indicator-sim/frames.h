#pragma once

// Text a weighing indicator sends: live readings repeated several times a
// second, and in print mode one item frame per weighing and a total frame.

#include <QByteArray>
#include <QString>

namespace indicator {

enum class ScaleState { Stable, Unstable, Overload };

struct Reading {
    double weight = 0.0;
    ScaleState state = ScaleState::Stable;
    QString unit = QStringLiteral("kg");
};

// Live-reading layouts met on real indicators:
//   0 "ST,GS,+  12.500kg\r\n"  sign, three decimals, unit glued on
//   1 "US,NT,-   0.35 kg\r\n"  net, two decimals, blank before the unit
//   2 "ST,GS  12,50 kg\r\n"    no sign field, decimal comma
//   3 "ST,GS,+0012.50kg\r\n"   zero-padded
// Overload reads "OL,GS,+ ------kg\r\n" in every layout.
constexpr int kLiveFormats = 4;
QByteArray liveFrame(const Reading& reading, int format);

// Frames whose whole length the print-frame decoder accepts.
constexpr int kItemLengths[] = {18, 20, 22, 24, 26};
constexpr int kTotalLengths[] = {71, 73, 75, 77, 79};

// "1, 12.50 kg" padded with blanks to the shortest item length, CR LF last.
// The sequence number starts the frame so that the first blank follows the
// comma and the weight field holds the weight alone. Empty when it would not
// fit the longest item length.
QByteArray itemFrame(int sequence, double weight, const QString& unit);
// A total printed over three lines, as indicators print it: a rule of
// dashes, "TOTAL N=3,    37.50 kg" and a rule filling the shortest total
// length. The first two lines have an item's length (18-26 with CR LF), so
// that a delivery ending behind one of them tries the decoder as a USB
// adapter's does. Empty when it would not fit the longest total length.
QByteArray totalFrame(int count, double sum, const QString& unit);

} // namespace indicator
