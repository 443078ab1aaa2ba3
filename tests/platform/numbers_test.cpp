#include "platform/apperror.h"
#include "platform/localeconventions.h"
#include "platform/numbers.h"
#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

namespace {

struct WeightCase {
    const char* text;
    char separator;
    double value;
    const char* error; // the cleaned text the error names; nullptr: no error
};

void PrintTo(const WeightCase& c, std::ostream* os) {
    *os << '"' << c.text << "\" with '" << c.separator << '\'';
}

class WeightTextToFloat : public testing::TestWithParam<WeightCase> {};

TEST_P(WeightTextToFloat, KeepsNumberCharactersAndConvertsThem) {
    const WeightCase& c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    const QChar separator = QLatin1Char(c.separator);
    if (!c.error) {
        EXPECT_DOUBLE_EQ(weightTextToFloat(text, separator), c.value);
        return;
    }
    try {
        weightTextToFloat(text, separator);
        ADD_FAILURE() << "no conversion error";
    } catch (const ConversionError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'%1' is not a valid floating point value")
                                   .arg(QString::fromUtf8(c.error)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WeightTextToFloat,
    testing::Values(
        WeightCase{"12,500 kg", ',', 12.5, nullptr}, WeightCase{"12,5", ',', 12.5, nullptr},
        WeightCase{"-0,5", ',', -0.5, nullptr}, WeightCase{"ST  -12,5 kg", ',', -12.5, nullptr},
        WeightCase{"  0012,000 ", ',', 12, nullptr}, WeightCase{"1250", ',', 1250, nullptr},
        // blanks and plus signs are dropped with everything else
        WeightCase{"1 234,5", ',', 1234.5, nullptr}, WeightCase{"+5", ',', 5, nullptr},
        WeightCase{",5", ',', 0.5, nullptr}, WeightCase{"5,", ',', 5, nullptr},
        WeightCase{"123456789012345", ',', 123456789012345.0, nullptr},
        // nothing left is zero
        WeightCase{"Přetíženo", ',', 0, nullptr}, WeightCase{"", ',', 0, nullptr},
        WeightCase{"kg", ',', 0, nullptr},
        // the other separator
        WeightCase{"1.5", '.', 1.5, nullptr}, WeightCase{"12.500 kg", '.', 12.5, nullptr},
        // failures name the cleaned text
        WeightCase{"1.5", ',', 0, "1.5"}, WeightCase{"1,5", '.', 0, "1,5"},
        WeightCase{"1,2,3", ',', 0, "1,2,3"}, WeightCase{"1.234,5", ',', 0, "1.234,5"},
        WeightCase{"-", ',', 0, "-"}, WeightCase{"- kg", ',', 0, "-"}, WeightCase{",", ',', 0, ","},
        WeightCase{"-,", ',', 0, "-,"}, WeightCase{"--1", ',', 0, "--1"},
        WeightCase{"12-3", ',', 0, "12-3"}, WeightCase{"5-", ',', 0, "5-"},
        WeightCase{"ST,+  12,50kg", ',', 0, ",12,50"}));

TEST(WeightTextToFloatConventions, FollowsTheProgramsDecimalSeparator) {
    const LocaleConventions saved = conventions();
    LocaleConventions english = LocaleConventions::czech();
    english.decimalSeparator = QLatin1Char('.');
    setConventions(english);
    EXPECT_DOUBLE_EQ(weightTextToFloat(QStringLiteral("1.5")), 1.5);
    EXPECT_THROW(weightTextToFloat(QStringLiteral("1,5")), ConversionError);
    setConventions(LocaleConventions::czech());
    EXPECT_DOUBLE_EQ(weightTextToFloat(QStringLiteral("1,5")), 1.5);
    EXPECT_EQ(formatGeneral(1.5), QStringLiteral("1,5"));
    setConventions(saved);
}

struct FormatCase {
    double value;
    char separator;
    const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.value << " with '" << c.separator << '\'';
}

class FormatGeneral : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatGeneral, ShowsAtMostFifteenSignificantDigits) {
    EXPECT_EQ(formatGeneral(GetParam().value, QLatin1Char(GetParam().separator)),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatGeneral,
    testing::Values(
        FormatCase{0, ',', "0"}, FormatCase{-0.0, ',', "0"}, FormatCase{12.5, ',', "12,5"},
        FormatCase{12.5, '.', "12.5"}, FormatCase{-12.5, ',', "-12,5"}, FormatCase{100, ',', "100"},
        FormatCase{0.1 + 0.2, ',', "0,3"}, FormatCase{1.0 / 3, ',', "0,333333333333333"},
        FormatCase{2.0 / 3, ',', "0,666666666666667"}, FormatCase{1234567.125, ',', "1234567,125"},
        FormatCase{99999999999999.0, ',', "99999999999999"},
        FormatCase{999999999999999.0, ',', "999999999999999"},
        // beyond fifteen digits before the point the runtime's general
        // format turns scientific, with a bare exponent: 1E15, 1E-5
        FormatCase{1e15, ',', "1E15"}, FormatCase{999999999999999.9, ',', "1E15"},
        FormatCase{-1e15, ',', "-1E15"}, FormatCase{1.5e20, ',', "1,5E20"},
        FormatCase{123456789012345678.0, ',', "1,23456789012346E17"},
        FormatCase{1e100, ',', "1E100"}, FormatCase{0.0001, ',', "0,0001"},
        FormatCase{0.00012, ',', "0,00012"}, FormatCase{0.00001, ',', "1E-5"},
        FormatCase{-1.25e-7, ',', "-1,25E-7"}, FormatCase{1e-100, ',', "1E-100"}));

TEST(FormatGeneralSums, RoundingNoiseOfLongSumsIsHidden) {
    double sum = 0;
    for (int i = 0; i < 10; ++i)
        sum += 0.1;
    EXPECT_NE(sum, 1.0);
    EXPECT_EQ(formatGeneral(sum, QLatin1Char(',')), QStringLiteral("1"));
}

} // namespace
