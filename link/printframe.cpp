#include "link/printframe.h"

#include "platform/clock.h"

#include <iterator>
#include <vector>

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

namespace {

constexpr qsizetype kFrameLengths[] = {18, 20, 22, 24, 26, 71, 73, 75, 77, 79};

// Stands at the front of the buffer for the rest of a noise line whose end
// has not arrived yet, so that the line's remainder is dropped with it rather
// than read as the start of a frame. Decoded Windows-1250 text never holds it.
constexpr QChar kInsideNoise(0xFFFF);

bool endsLineAt(const QString& text, qsizetype end) {
    return end >= 2 && text[end - 2] == QLatin1Char('\r') && text[end - 1] == QLatin1Char('\n');
}

// Whether the text from `from` on is the beginning of some frame that has
// not ended yet: a frame length beyond it whose CR LF is still to come or
// is just being started.
bool canStillBecomeFrame(const QString& text, qsizetype from) {
    const qsizetype have = text.size() - from;
    for (qsizetype length : kFrameLengths) {
        if (length == have + 1 ? text.endsWith(QLatin1Char('\r')) : length > have + 1)
            return true;
    }
    return false;
}

// What to do with the text at one position of the buffer.
struct Step {
    enum class Action { End, Frame, Keep, Drop } action = Action::End;
    qsizetype length = 0; // of the frame or the dropped text
    // Cost of the best cut from this position on, compared in this order.
    qsizetype dropped = 0;
    qsizetype kept = 0;
    qsizetype frames = 0;

    bool cheaperThan(const Step& other) const {
        if (dropped != other.dropped)
            return dropped < other.dropped;
        if (kept != other.kept)
            return kept < other.kept;
        return frames < other.frames;
    }
};

// The best cut of every suffix of the buffer, computed from the back so that
// each position's choice depends only on the text from there on.
std::vector<Step> planCuts(const QString& buffer, bool lineQuiet) {
    const qsizetype n = buffer.size();
    std::vector<Step> plan(size_t(n) + 1);
    for (qsizetype p = n - 1; p >= 0; --p) {
        const bool insideNoise = buffer[p] == kInsideNoise;
        // Text that may still grow into a longer frame waits for the rest of
        // its burst, even where a shorter frame ends in it already.
        if (!insideNoise && !lineQuiet && canStillBecomeFrame(buffer, p)) {
            plan[size_t(p)] = {Step::Action::Keep, n - p, 0, n - p, 0};
            continue;
        }
        Step best;
        bool found = false;
        // Longer frames first, so equal costs keep a multi-line frame whole.
        for (auto it = std::rbegin(kFrameLengths); !insideNoise && it != std::rend(kFrameLengths);
             ++it) {
            const qsizetype length = *it;
            if (p + length > n || !endsLineAt(buffer, p + length))
                continue;
            const Step& rest = plan[size_t(p + length)];
            Step candidate{Step::Action::Frame, length, rest.dropped, rest.kept, rest.frames + 1};
            if (!found || candidate.cheaperThan(best)) {
                best = candidate;
                found = true;
            }
        }
        if (!found) {
            const qsizetype lineEnd = buffer.indexOf(QStringLiteral("\r\n"), p);
            const qsizetype next = lineEnd < 0 ? n : lineEnd + 2;
            const Step& rest = plan[size_t(next)];
            best = {Step::Action::Drop, next - p, rest.dropped + (next - p), rest.kept,
                    rest.frames};
        }
        plan[size_t(p)] = best;
    }
    return plan;
}

} // namespace

QList<PrintFrame> takePrintFrames(QString& buffer, const QString& unit, QChar decimalSeparator,
                                  bool lineQuiet) {
    QList<PrintFrame> frames;
    const std::vector<Step> plan = planCuts(buffer, lineQuiet);
    qsizetype p = 0;
    bool noiseRunsOn = false; // the last text dropped is a line not yet ended
    for (;;) {
        const Step& step = plan[size_t(p)];
        if (step.action == Step::Action::Frame)
            frames.append(decodePrintFrame(buffer.mid(p, step.length), unit, decimalSeparator));
        else if (step.action != Step::Action::Drop)
            break;
        p += step.length;
        noiseRunsOn = step.action == Step::Action::Drop && p == buffer.size() &&
                      !buffer.endsWith(QStringLiteral("\r\n"));
    }
    const bool endsInCr = buffer.endsWith(QLatin1Char('\r'));
    buffer.remove(0, p);
    // After a quiet line the next text starts a new burst, so a noise line
    // does not run on into it.
    if (noiseRunsOn && !lineQuiet) {
        buffer = kInsideNoise;
        if (endsInCr) // may be the first half of the line end
            buffer += QLatin1Char('\r');
    }
    return frames;
}

void PrintFrameReader::delivered() {
    m_lastDelivery = clock_::monotonic();
}

bool PrintFrameReader::lineQuiet() const {
    return !m_lastDelivery || clock_::monotonic() - *m_lastDelivery >= kPrintFrameHold;
}

std::chrono::milliseconds PrintFrameReader::untilRelease(const QString& buffer) const {
    if (buffer.isEmpty())
        return std::chrono::milliseconds(-1);
    if (lineQuiet())
        return std::chrono::milliseconds(0);
    return *m_lastDelivery + kPrintFrameHold - clock_::monotonic();
}
