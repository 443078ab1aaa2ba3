#include "link/printframe.h"

namespace {

const QString& crLf() {
    static const QString s = QStringLiteral("\r\n");
    return s;
}

// The end of a weight text: the character after the unit's first character,
// as a 1-based position. A unit that does not occur counts as position 0, so
// the end is the frame's first character.
qsizetype unitEnd(const QString& frame, const QString& unit) {
    const qsizetype found = unit.isEmpty() ? -1 : frame.indexOf(unit);
    const qsizetype position = found + 1; // 1-based, 0 when absent
    return position + 1;
}

// 1-based inclusive range, empty when the end lies before the start.
QString copyRange(const QString& frame, qsizetype start, qsizetype end) {
    if (end < start)
        return {};
    return frame.mid(start - 1, end - start + 1);
}

} // namespace

PrintFrame::Kind printFrameKind(const QString& text) {
    if (!text.endsWith(crLf()))
        return PrintFrame::Kind::None;
    switch (text.size()) {
    case 18:
    case 20:
    case 22:
    case 24:
    case 26:
        return PrintFrame::Kind::Item;
    case 71:
    case 73:
    case 75:
    case 77:
    case 79:
        return PrintFrame::Kind::Total;
    default:
        return PrintFrame::Kind::None;
    }
}

PrintFrame decodePrintFrame(const QString& frame, const QString& unit, QChar decimalSeparator) {
    PrintFrame result;
    result.kind = printFrameKind(frame);
    const qsizetype comma = frame.indexOf(QLatin1Char(',')) + 1; // 1-based, 0 when absent
    const qsizetype end = unitEnd(frame, unit);
    if (result.kind == PrintFrame::Kind::Item) {
        result.sequence = comma > 0 ? frame.left(comma - 1) : QString();
        const qsizetype blank = frame.indexOf(QLatin1Char(' ')) + 1;
        result.weight = copyRange(frame, blank + 1, end);
        result.weight.replace(QLatin1Char('.'), decimalSeparator);
    } else if (result.kind == PrintFrame::Kind::Total) {
        result.weight = copyRange(frame, comma + 1, end);
    }
    return result;
}

PrintFrame takePrintFrame(QString& buffer, const QString& unit, QChar decimalSeparator) {
    for (qsizetype pair = buffer.indexOf(crLf()); pair >= 0; pair = buffer.indexOf(crLf())) {
        const QString piece = buffer.left(pair + 2);
        buffer.remove(0, piece.size());
        if (printFrameKind(piece) != PrintFrame::Kind::None)
            return decodePrintFrame(piece, unit, decimalSeparator);
    }
    if (buffer.size() > kMaxPendingPrintText)
        buffer = buffer.endsWith(QLatin1Char('\r')) ? QStringLiteral("\r") : QString();
    return {};
}
