#include "tools/indicator-sim/frames.h"

#include <cmath>
#include <cstdio>

namespace indicator {

namespace {

QByteArray printf8(const char* format, auto... args) {
    char text[128];
    const int n = std::snprintf(text, sizeof text, format, args...);
    return QByteArray(text, n < 0 ? 0 : std::min<int>(n, int(sizeof text) - 1));
}

const char* statusWord(ScaleState state) {
    switch (state) {
    case ScaleState::Stable:
        return "ST";
    case ScaleState::Unstable:
        return "US";
    case ScaleState::Overload:
        return "OL";
    }
    return "ST";
}

QByteArray padTo(QByteArray body, const int* lengths, int count) {
    for (int i = 0; i < count; ++i) {
        if (body.size() + 2 <= lengths[i]) {
            body.append(QByteArray(lengths[i] - 2 - body.size(), ' '));
            return body + "\r\n";
        }
    }
    return {};
}

} // namespace

QByteArray liveFrame(const Reading& reading, int format) {
    const QByteArray unit = reading.unit.toLatin1();
    if (reading.state == ScaleState::Overload)
        return "OL,GS,+ ------" + unit + "\r\n";
    const char* st = statusWord(reading.state);
    const char sign = reading.weight < 0 ? '-' : '+';
    const double magnitude = std::fabs(reading.weight);
    switch (format) {
    default:
    case 0:
        return printf8("%s,GS,%c%8.3f", st, sign, magnitude) + unit + "\r\n";
    case 1:
        return printf8("%s,NT,%c%7.2f ", st, sign, magnitude) + unit + "\r\n";
    case 2: {
        QByteArray text = printf8("%s,GS%7.2f ", st, reading.weight);
        text.replace('.', ',');
        return text + unit + "\r\n";
    }
    case 3:
        return printf8("%s,GS,%c%07.2f", st, sign, magnitude) + unit + "\r\n";
    }
}

QByteArray itemFrame(int sequence, double weight, const QString& unit) {
    // The blank after the comma must come first: the weight field starts
    // after the first blank, whatever the width of the number.
    const QByteArray body = printf8("%d, %.2f ", sequence, weight) + unit.toLatin1();
    return padTo(body, kItemLengths, int(std::size(kItemLengths)));
}

QByteArray totalFrame(int count, double sum, const QString& unit) {
    const QByteArray body = printf8("TOTAL N=%d,%9.2f ", count, sum) + unit.toLatin1();
    QByteArray line = padTo(body, kItemLengths, int(std::size(kItemLengths)));
    if (line.isEmpty())
        line = body + "\r\n";
    const QByteArray head = QByteArray(kItemLengths[1] - 2, '-') + "\r\n" + line;
    for (int length : kTotalLengths) {
        if (head.size() + 3 <= length)
            return head + QByteArray(length - head.size() - 2, '-') + "\r\n";
    }
    return {};
}

} // namespace indicator
