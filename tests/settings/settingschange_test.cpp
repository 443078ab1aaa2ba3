#include "settings/settingschange.h"
#include "settings/storedtext.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(DialogChange, ColumnsPreviewTimerAndLength) {
    struct {
        bool showTime, showDescription;
        int length, period;
        int timeWidth, descriptionWidth, previewWidth, timerInterval, storedLength;
    } const cases[] = {
        {true, true, 14, 5, 85, 130, 741, 5000, 14},
        {false, false, 14, 0, -1, -1, 325, 0, 14},
        {true, false, 40, 1, 85, -1, 494, 1000, 40},
        {false, true, 0, -3, -1, 130, 390, 0, 0},
        // a period no timer can count waits as long as it can
        {false, false, 14, 3000000, -1, -1, 325, INT_MAX, 14},
        // a length the unprinted-rows file cannot keep, and one below 1
        {false, true, 100000, 0, -1, 130, 13 * 285, 0, 255},
        {false, true, -7, 0, -1, 130, 390, 0, 0},
    };
    StationSettings stored;
    stored.device = QStringLiteral("/dev/ttyUSB0");
    for (const auto& c : cases) {
        SettingsDialogValues v{stored, {}, {}, {}};
        v.settings.showTime = c.showTime;
        v.settings.showDescription = c.showDescription;
        v.settings.descriptionLength = c.length;
        v.settings.period = c.period;
        const SettingsChange change = settingsChangeFrom(v, 85, 130);
        SCOPED_TRACE(testing::Message() << c.length << " " << c.period);
        EXPECT_EQ(change.timeColumnWidth, c.timeWidth);
        EXPECT_EQ(change.descriptionColumnWidth, c.descriptionWidth);
        EXPECT_EQ(change.previewWidth, c.previewWidth);
        EXPECT_EQ(change.timerInterval, c.timerInterval);
        EXPECT_EQ(change.settings.descriptionLength, c.storedLength);
        EXPECT_EQ(change.settings.device, stored.device); // not the dialog's to change
    }
}

TEST(DialogChange, HeaderFooterAndWindowWidth) {
    SettingsDialogValues v;
    v.settings.header = true;
    v.headerLines = {QStringLiteral("A"), QStringLiteral("B")};
    v.footerLines = {QStringLiteral(".Firma")};
    const SettingsChange change = settingsChangeFrom(v, 85, 130);
    EXPECT_EQ(change.settings.headerStored, QStringLiteral(".A\\nB\\n"));
    EXPECT_EQ(change.headerText, QStringLiteral("A\r\nB\r\n"));
    // switched off: stored anyway, printed not at all; printed, one dot goes
    EXPECT_EQ(change.settings.footerStored, QStringLiteral("..Firma\\n"));
    EXPECT_EQ(change.footerText, QString());
    EXPECT_EQ(printedTextFor(true, v.footerLines), QStringLiteral("Firma\r\n"));
    EXPECT_EQ(mainWindowWidthFor({169, -1, -1, 162}), 349);
    EXPECT_EQ(mainWindowWidthFor({INT_MAX, INT_MAX, 0, 0}), INT_MAX);
}

TEST(SpinField, WholeNumbersWithinRangeElseLeastValue) {
    struct {
        const char* text;
        int minimum, maximum, value;
    } const cases[] = {
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
    for (const auto& c : cases)
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
    // the dialog's default, and a value written by hand without the dot
    EXPECT_EQ(decodeStoredTextForDialog(QStringLiteral("Záhlaví")), QStringList{"Záhlaví"});
    EXPECT_EQ(decodeStoredTextForDialog(QStringLiteral("a\\nb")), (QStringList{"a", "b"}));
}

} // namespace
