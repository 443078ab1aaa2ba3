#include "settings/settingschange.h"
#include "settings/storedtext.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct ChangeCase {
    const char* name;
    bool showTime, showDescription;
    int length, period;
    int timeWidth, descriptionWidth, previewWidth, timerInterval, storedLength;
};

class DialogChange : public testing::TestWithParam<ChangeCase> {};

TEST_P(DialogChange, ColumnsPreviewAndTimer) {
    const ChangeCase& c = GetParam();
    SettingsDialogValues v;
    v.showTime = c.showTime;
    v.showDescription = c.showDescription;
    v.descriptionLength = c.length;
    v.period = c.period;
    StationSettings stored;
    stored.device = QStringLiteral("/dev/ttyUSB0");
    const SettingsChange change = settingsChangeFrom(v, stored, 85, 130);
    EXPECT_EQ(change.timeColumnWidth, c.timeWidth);
    EXPECT_EQ(change.descriptionColumnWidth, c.descriptionWidth);
    EXPECT_EQ(change.previewWidth, c.previewWidth);
    EXPECT_EQ(change.timerInterval, c.timerInterval);
    EXPECT_EQ(change.settings.descriptionLength, c.storedLength);
    EXPECT_EQ(change.settings.period, c.period);
    // keys the dialog does not offer keep their values
    EXPECT_EQ(change.settings.device, stored.device);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DialogChange,
    testing::Values(ChangeCase{"all_shown", true, true, 14, 5, 85, 130, 741, 5000, 14},
                    ChangeCase{"both_hidden", false, false, 14, 0, -1, -1, 325, 0, 14},
                    ChangeCase{"time_only", true, false, 40, 1, 85, -1, 494, 1000, 40},
                    ChangeCase{"no_limit", false, true, 0, -3, -1, 130, 390, 0, 0},
                    // a period no timer can count waits as long as it can
                    ChangeCase{"huge_period", false, false, 14, 3000000, -1, -1, 325, INT_MAX, 14},
                    // a length the unprinted-rows file cannot keep, and one below 1
                    ChangeCase{"absurd_length", false, true, 100000, 0, -1, 130, 13 * 285, 0, 255},
                    ChangeCase{"negative_length", false, true, -7, 0, -1, 130, 390, 0, 0}),
    [](const testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

TEST(DialogChange, HeaderAndFooterForStoringAndPrinting) {
    SettingsDialogValues v;
    v.header = true;
    v.headerLines = {QStringLiteral("A"), QStringLiteral("B")};
    v.footerLines = {QStringLiteral(".Firma")};
    const SettingsChange change = settingsChangeFrom(v, {}, 85, 130);
    EXPECT_EQ(change.settings.headerStored, QStringLiteral(".A\\nB\\n"));
    EXPECT_EQ(change.headerText, QStringLiteral("A\r\nB\r\n"));
    // switched off: stored anyway, printed not at all; printed, one dot goes
    EXPECT_EQ(change.settings.footerStored, QStringLiteral("..Firma\\n"));
    EXPECT_EQ(change.footerText, QString());
    EXPECT_EQ(printedTextFor(true, v.footerLines), QStringLiteral("Firma\r\n"));
    EXPECT_EQ(mainWindowWidthFor({169, -1, -1, 162}), 349);
    EXPECT_EQ(mainWindowWidthFor({INT_MAX, INT_MAX, 0, 0}), INT_MAX);
}

struct SpinCase {
    const char* text;
    int minimum, maximum, value;
};

TEST(SpinField, WholeNumbersWithinRangeElseMinimum) {
    const SpinCase cases[] = {
        {"7", 1, 10, 7},
        {" 3 ", 1, 10, 3},
        {"11", 1, 10, 10},
        {"0", 1, 10, 1},
        {"abc", 1, 10, 1},
        {"", 1, 10, 1},
        {"2.6", 1, 10, 1},
        {"-5", INT_MIN, INT_MAX, -5},
        {"x", INT_MIN, INT_MAX, 0},
        {"99999999999", INT_MIN, INT_MAX, INT_MAX},
    };
    for (const SpinCase& c : cases)
        EXPECT_EQ(spinFieldValue(QString::fromUtf8(c.text), c.minimum, c.maximum), c.value)
            << c.text;
}

TEST(StoredTextForDialog, RoundTripsMemoLines) {
    const QStringList samples[] = {{},
                                   {QString()},
                                   {QStringLiteral("A"), QStringLiteral("B")},
                                   {QStringLiteral("  Váha č. 1"), QString(), QStringLiteral("x")},
                                   {QStringLiteral(".dot")}};
    for (const QStringList& lines : samples)
        EXPECT_EQ(decodeStoredTextForDialog(encodeTextForStorage(lines)), lines)
            << lines.join(u'|').toStdString();
    // the dialog's default and a value written by hand without the dot
    EXPECT_EQ(decodeStoredTextForDialog(QStringLiteral("Záhlaví")), QStringList{"Záhlaví"});
    EXPECT_EQ(decodeStoredTextForDialog(QStringLiteral("a\\nb")), (QStringList{"a", "b"}));
    EXPECT_EQ(memoLines(QStringLiteral("A\nB\n")), (QStringList{"A", "B"}));
}

} // namespace
