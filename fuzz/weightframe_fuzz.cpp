#include "fuzz/fuzzinput.h"
#include "link/weightframe.h"
#include "platform/codepage.h"

// Whatever arrives, the live decoder keeps the buffer within its bound, only
// empties it or leaves it, and shows either the overload text or a number
// made of digits, commas and minus signs followed by the unit.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const QString unit = cp1250::decode(in.take(in.byte() % 5));
    WeightDisplay display;
    display.label = QStringLiteral("start");
    QString buffer;
    while (!in.empty()) {
        buffer += cp1250::decode(in.piece());
        const QString before = buffer;
        const QString labelBefore = display.label;
        decodeWeightFrame(buffer, unit, display);
        FUZZ_CHECK(buffer.isEmpty() || buffer == before);
        FUZZ_CHECK(buffer.size() <= 25);
        FUZZ_CHECK(int(display.state) >= 0 && int(display.state) <= 2);
        FUZZ_CHECK(display.okEnabled == (display.state != ScaleState::Overloaded));
        if (display.label == labelBefore || display.state == ScaleState::Overloaded)
            continue;
        FUZZ_CHECK(display.label.endsWith(QLatin1Char(' ') + unit));
        const QString number = display.label.chopped(unit.size() + 1);
        FUZZ_CHECK(!number.isEmpty());
        for (QChar c : number)
            FUZZ_CHECK(c.isDigit() || c == QLatin1Char(',') || c == QLatin1Char('-'));
    }
    return 0;
}
