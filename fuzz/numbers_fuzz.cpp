#include "fuzz/fuzzinput.h"
#include "platform/apperror.h"
#include "platform/codepage.h"
#include "platform/numbers.h"

#include <optional>

namespace {

template <class F> std::optional<QString> errorOf(F convert) {
    try {
        convert();
    } catch (const ConversionError& e) {
        return e.message();
    }
    return std::nullopt;
}

} // namespace

// The exact decimal and the floating-point conversion agree on every text:
// the same refusals with the same message, the same value where the decimal
// is exact, and the decimal's text reads back as itself.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const QChar separator = in.byte() % 2 ? QLatin1Char('.') : QLatin1Char(',');
    const QString unit = cp1250::decode(in.take(in.byte() % 4));
    const QString text = cp1250::decode(in.rest());

    double value = 0;
    DecimalWeight exact;
    const auto floatError = errorOf([&] { value = weightTextToFloat(text, unit, separator); });
    const auto decimalError = errorOf([&] { exact = weightTextToDecimal(text, unit, separator); });
    FUZZ_CHECK(floatError == decimalError);
    if (floatError)
        return 0;
    FUZZ_CHECK(exact.toDouble() == value);
    if (!exact.isExact())
        return 0;
    const DecimalWeight nano = DecimalWeight::fromBillionths(1);
    const DecimalWeight there = exact + nano;
    FUZZ_CHECK(!there.isExact() || there + DecimalWeight::fromBillionths(-1) == exact);
    // The text shown is a fixed point: it reads back as a value shown alike.
    // (Not the scientific form of sums beyond 10^15 or below 0.0001: the
    // conversion drops the "E", as it always has.)
    const QString shown = exact.toText(separator);
    if (!shown.contains(QLatin1Char('E')))
        FUZZ_CHECK(weightTextToDecimal(shown, {}, separator).toText(separator) == shown);
    return 0;
}
