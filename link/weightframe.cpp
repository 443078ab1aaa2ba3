#include "link/weightframe.h"

namespace {

const QString kOverloaded = QStringLiteral("P\u0159et\u00ed\u017eeno");

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

void enterOverload(WeightDisplay& display) {
    display.state = ScaleState::Overloaded;
    display.label = kOverloaded;
    display.okEnabled = false;
}

// The indicator pads between the sign and the digits and may prefix status
// words; only a leading minus and what follows it matter to the scan.
QString normalise(QString text, const QString& unit) {
    qsizetype start = 0;
    while (start < text.size() && text[start] != QLatin1Char('-') && !isDigit(text[start]))
        ++start;
    text.remove(0, start);
    bool minus = false;
    if (text.startsWith(QLatin1Char('-'))) {
        minus = true;
        text.remove(0, 1);
    }
    qsizetype blanks = 0;
    while (blanks < text.size() && text[blanks] == QLatin1Char(' '))
        ++blanks;
    text.remove(0, blanks);
    if (minus)
        text.prepend(QLatin1Char('-'));
    // The label always shows a comma, whatever the system's separator; a full
    // stop that belongs to the unit name ("ks.") stays, or the unit would no
    // longer be found.
    for (qsizetype i = 0; i < text.size();) {
        if (!unit.isEmpty() && QStringView(text).mid(i).startsWith(unit)) {
            i += unit.size();
            continue;
        }
        if (text[i] == QLatin1Char('.'))
            text[i] = QLatin1Char(',');
        ++i;
    }
    return text;
}

// Collects the number in front of the unit name, walking backwards, so that
// status words and field separators before the reading never join it.
QString scanNumber(const QString& text, qsizetype unitPos) {
    QString number;
    qsizetype i = unitPos - 1;
    while (i >= 0 && !isDigit(text[i]) && text[i] != QLatin1Char(','))
        --i;
    bool stoppedOnSeparator = false;
    for (; i >= 0; --i) {
        const QChar c = text[i];
        if (c == QLatin1Char(' ') || c == QLatin1Char('-')) {
            stoppedOnSeparator = true;
            break;
        }
        if (isDigit(c) || c == QLatin1Char(','))
            number.prepend(c);
    }
    if (stoppedOnSeparator) {
        for (; i >= 0; --i) {
            const QChar c = text[i];
            if (c == QLatin1Char('-'))
                number.prepend(c);
            else if (c != QLatin1Char(' '))
                break;
        }
    }
    return number;
}

} // namespace

bool decodeWeightFrame(QString& buffer, const QString& unit, WeightDisplay& display) {
    QString work = buffer;
    const QString ol = QStringLiteral("OL");
    bool reading = work.contains(ol);

    if (work.contains(ol) && display.state != ScaleState::Overloaded) {
        enterOverload(display);
        work.clear();
    }

    if (!unit.isEmpty() && work.contains(unit)) {
        if (work.contains(QStringLiteral("ST")) && display.state != ScaleState::Stable) {
            display.okLook = OkLook::Stable;
            display.state = ScaleState::Stable;
            display.okEnabled = true;
        }
        if (work.contains(QStringLiteral("US")) && display.state != ScaleState::Unstable) {
            display.okLook = OkLook::Unstable;
            display.state = ScaleState::Unstable;
            display.okEnabled = true;
        }
        if (work.contains(ol) && display.state != ScaleState::Overloaded) {
            enterOverload(display);
        } else if (display.state != ScaleState::Overloaded) {
            display.okEnabled = true;
        }

        if (display.state != ScaleState::Overloaded) {
            const QString normal = normalise(work, unit);
            const qsizetype unitPos = normal.indexOf(unit);
            if (unitPos >= 0) {
                const QString number = scanNumber(normal, unitPos);
                if (!number.isEmpty()) {
                    display.label = number + QLatin1Char(' ') + unit;
                    buffer.clear();
                    reading = true;
                }
            }
        }
    }

    // Live readings repeat, so a buffer that cannot hold a reading any more is
    // dropped rather than left to grow.
    if (buffer.size() > 25)
        buffer.clear();
    return reading;
}
