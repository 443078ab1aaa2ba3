#include "platform/localeconventions.h"
#include "tests/support/qtprinters.h"

#include <clocale>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(CzechConventions, FormatDatesWithoutLeadingZerosAndTimesWithThem) {
    const LocaleConventions cz = LocaleConventions::czech();
    EXPECT_EQ(cz.formatDate(QDate(2026, 12, 7)), QStringLiteral("7.12.2026"));
    EXPECT_EQ(cz.formatDate(QDate(2024, 1, 5)), QStringLiteral("5.1.2024"));
    EXPECT_EQ(cz.formatDate(QDate(1999, 10, 31)), QStringLiteral("31.10.1999"));
    EXPECT_EQ(cz.formatTime(QTime(21, 5, 9)), QStringLiteral("21:05:09"));
    EXPECT_EQ(cz.formatTime(QTime(0, 0, 0)), QStringLiteral("00:00:00"));
    EXPECT_EQ(cz.formatTime(QTime(23, 59, 59, 999)), QStringLiteral("23:59:59"));
    EXPECT_EQ(cz.decimalSeparator, QLatin1Char(','));
}

TEST(CzechConventions, UpperCaseCzechLetters) {
    const LocaleConventions cz = LocaleConventions::czech();
    EXPECT_EQ(cz.toUpper(QString::fromUtf8("příliš žluťoučký kůň úpěl ďábelské ódy")),
              QString::fromUtf8("PŘÍLIŠ ŽLUŤOUČKÝ KŮŇ ÚPĚL ĎÁBELSKÉ ÓDY"));
}

TEST(CzechConventions, AreTheProgramsConventionsUntilChanged) {
    EXPECT_EQ(conventions().decimalSeparator, QLatin1Char(','));
    EXPECT_EQ(conventions().formatDate(QDate(2026, 12, 7)), QStringLiteral("7.12.2026"));
}

// Switches the C locale for one test and puts the previous one back.
class CLocale {
public:
    explicit CLocale(const char* name) : m_previous(std::setlocale(LC_ALL, nullptr)) {
        m_ok = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~CLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    bool ok() const { return m_ok; }

private:
    std::string m_previous;
    bool m_ok = false;
};

struct SystemCase {
    const char* locale;
    char separator;
    const char* date; // 7 December 2026
    const char* time; // 21:05:09
};

class SystemConventions : public testing::TestWithParam<SystemCase> {};

TEST_P(SystemConventions, ComeFromTheCLocale) {
    const SystemCase& c = GetParam();
    CLocale locale(c.locale);
    if (!locale.ok())
        GTEST_SKIP() << "locale " << c.locale << " is not installed (locale-gen)";
    const LocaleConventions system = LocaleConventions::fromSystem();
    EXPECT_EQ(system.decimalSeparator, QLatin1Char(c.separator));
    EXPECT_EQ(system.formatDate(QDate(2026, 12, 7)), QString::fromUtf8(c.date));
    EXPECT_EQ(system.formatTime(QTime(21, 5, 9)), QString::fromUtf8(c.time));
    EXPECT_EQ(system.toUpper(QString::fromUtf8("příliš žluťoučký")),
              QString::fromUtf8("PŘÍLIŠ ŽLUŤOUČKÝ"));
}

INSTANTIATE_TEST_SUITE_P(Table, SystemConventions,
                         testing::Values(SystemCase{"cs_CZ.UTF-8", ',', "7.12.2026", "21:05:09"},
                                         SystemCase{"C", '.', "12/07/26", "21:05:09"}));

} // namespace
