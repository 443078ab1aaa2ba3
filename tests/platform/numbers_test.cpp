#include "platform/apperror.h"
#include "platform/localeconventions.h"
#include "platform/numbers.h"
#include "tests/support/qtprinters.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

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
        EXPECT_EQ(weightTextToDecimal(text, {}, separator).toDouble(), c.value);
        return;
    }
    const QString message =
        QStringLiteral("'%1' is not a valid floating point value").arg(QString::fromUtf8(c.error));
    for (auto convert : {+[](const QString&t, QChar s) { weightTextToFloat(t, s); },
                         +[](const QString&t, QChar s) { weightTextToDecimal(t, {}, s); }}) {
        try {
            convert(text, separator);
            ADD_FAILURE() << "no conversion error";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.message(), message);
        }
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
        // the label's comma under a full-stop system
        WeightCase{"1,5 kg", '.', 1.5, nullptr},
        // failures name the cleaned text
        WeightCase{"1.5", ',', 0, "1.5"}, WeightCase{"1,5.3", '.', 0, "1,5.3"},
        WeightCase{"1,2,3", ',', 0, "1,2,3"}, WeightCase{"1.234,5", ',', 0, "1.234,5"},
        WeightCase{"-", ',', 0, "-"}, WeightCase{"- kg", ',', 0, "-"}, WeightCase{",", ',', 0, ","},
        WeightCase{"-,", ',', 0, "-,"}, WeightCase{"--1", ',', 0, "--1"},
        WeightCase{"12-3", ',', 0, "12-3"}, WeightCase{"5-", ',', 0, "5-"},
        WeightCase{"ST,+  12,50kg", ',', 0, ",12,50"}));

TEST(WeightTextToFloatRange, BeyondDoubleIsRefusedAsBefore) {
    const QString huge = QLatin1Char('1') + QString(400, QLatin1Char('0'));
    EXPECT_THROW(weightTextToFloat(huge, QLatin1Char(',')), ConversionError);
    EXPECT_THROW(weightTextToDecimal(huge, {}, QLatin1Char(',')), ConversionError);
}

struct UnitCase {
    const char* text;
    const char* unit;
    double value;
};

// The unit name is not part of the number, whatever characters it holds;
// print frames cut it one character in ("40 PC" for "PCS").
TEST(WeightTextWithUnit, UnitNameStaysOutOfTheNumber) {
    for (const UnitCase& c : {UnitCase{"1,000 m3", "m3", 1}, UnitCase{"-2,5 m3", "m3", -2.5},
                              UnitCase{"1,000 ks.", "ks.", 1}, UnitCase{"  1,000 ks", "ks.", 1},
                              UnitCase{"12,5 kg", "kg", 12.5}, UnitCase{"40 PC", "PCS", 40},
                              UnitCase{"2,5 t ", "t", 2.5}, UnitCase{"7 3", "3", 7}}) {
        const QString text = QString::fromUtf8(c.text), unit = QString::fromUtf8(c.unit);
        EXPECT_EQ(weightTextToFloat(text, unit, QLatin1Char(',')), c.value) << c.text;
        EXPECT_EQ(weightTextToDecimal(text, unit, QLatin1Char(',')).toDouble(), c.value) << c.text;
    }
}

DecimalWeight sumOf(std::initializer_list<const char*> texts) {
    DecimalWeight sum;
    for (const char* t : texts)
        sum += weightTextToDecimal(QString::fromUtf8(t), QStringLiteral("kg"), QLatin1Char(','));
    return sum;
}

TEST(DecimalWeightSum, IsExactAndWrittenInTheGeneralFormat) {
    const QChar comma = QLatin1Char(',');
    EXPECT_EQ(sumOf({"0,1 kg", "0,2 kg"}).toText(comma), QStringLiteral("0,3"));
    EXPECT_EQ(sumOf({"0,100 kg", "0,200 kg", "-0,300 kg"}).toText(comma), QStringLiteral("0"));
    EXPECT_EQ(sumOf({"0,7", "0,1", "-0,8"}).toText(comma), QStringLiteral("0"));
    EXPECT_EQ(sumOf({"12,5"}).toText(QLatin1Char('.')), QStringLiteral("12.5"));
    EXPECT_EQ(sumOf({"999999999999999", "1"}).toText(comma), QStringLiteral("1E15"));
    EXPECT_EQ(sumOf({"0,00001"}).toText(comma), QStringLiteral("1E-5"));
    EXPECT_EQ(sumOf({"-0,000123"}).toText(comma), QStringLiteral("-0,000123"));
    // Fifteen significant digits, rounded half away from zero.
    EXPECT_EQ(sumOf({"123456789,123456789"}).toText(comma), QStringLiteral("123456789,123457"));
    EXPECT_EQ(sumOf({"-99999999,999999999"}).toText(comma), QStringLiteral("-100000000"));
    // Finer than the exact value holds: floating point, as the sum used to be.
    EXPECT_FALSE(sumOf({"0,0000000001"}).isExact());
    EXPECT_EQ(sumOf({"0,0000000001", "1"}).toText(comma), QStringLiteral("1,0000000001"));
}

TEST(DecimalWeightSum, RandomListsSumLikeTheirScaledIntegers) {
    std::mt19937 rng(14);
    auto upTo = [&](int n) { return std::uniform_int_distribution<int>(0, n)(rng); };
    for (int round = 0; round < 500; ++round) {
        DecimalWeight sum;
        long long expected = 0; // in thousandths
        for (int n = upTo(60); n > 0; --n) {
            const int decimals = upTo(3);
            const long long whole = upTo(upTo(1) ? 99 : 999999);
            const int fraction = upTo(int(std::pow(10, decimals)) - 1);
            const bool negative = upTo(3) == 0;
            QString text = (negative ? QStringLiteral("-") : QString()) + QString::number(whole);
            if (decimals > 0)
                text += QLatin1Char(',') +
                        QStringLiteral("%1").arg(fraction, decimals, 10, QLatin1Char('0'));
            const long long scaled =
                (whole * 1000 + fraction * (decimals ? 1000 / int(std::pow(10, decimals)) : 0));
            expected += negative ? -scaled : scaled;
            sum += weightTextToDecimal(text + QStringLiteral(" kg"), QStringLiteral("kg"),
                                       QLatin1Char(','));
        }
        ASSERT_EQ(sum, DecimalWeight::fromBillionths(expected * 1000000)) << "round " << round;
        // The text reads back as the same value.
        const QString text = sum.toText(QLatin1Char(','));
        ASSERT_EQ(weightTextToDecimal(text, {}, QLatin1Char(',')), sum) << text.toStdString();
    }
}

TEST(WeightTextToFloatConventions, FollowsTheProgramsDecimalSeparator) {
    const LocaleConventions saved = conventions();
    LocaleConventions english = LocaleConventions::czech();
    english.decimalSeparator = QLatin1Char('.');
    setConventions(english);
    EXPECT_DOUBLE_EQ(weightTextToFloat(QStringLiteral("1.5")), 1.5);
    EXPECT_DOUBLE_EQ(weightTextToFloat(QStringLiteral("1,5")), 1.5);
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
