#include "settings/inifile.h"
#include "settings/stationsettings.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

namespace {

// A file written by the dialog and the closing steps reads back as the same
// value, and the keys land in the order those handlers have always used.
TEST(StationSettings, DialogAndClosingWritesReadBackInTheirOrder) {
    ScratchExecutableDir dir;
    const QString path = dir.file(QStringLiteral("vaznilistek.ini"));
    StationSettings s;
    s.port = 7;
    s.descriptionLength = 20;
    s.showTime = s.showDescription = s.learnWords = s.liveWeight = true;
    s.unit = QStringLiteral("t");
    s.period = 5;
    s.saveOnPrint = s.keepUnprinted = s.header = s.footer = true;
    s.sequenceNumbers = false;
    s.headerStored = QStringLiteral(".Firma\\nBrno\\n");
    s.footerStored = QStringLiteral(".Děkujeme\\n");
    s.headerStoredPresent = s.footerStoredPresent = true;
    s.columnWidths = {100, 85, 130, 90};
    s.windowSize = QSize(500, 400);
    {
        IniFile ini(path);
        writeDialogSettingsFirst(ini, s);
        writeDialogSettingsSecond(ini, s);
        writeClosingSettings(ini, s.columnWidths, s.windowSize);
    }
    EXPECT_EQ(readStationSettings(IniFile(path)), s);
    EXPECT_EQ(readFileBytes(path),
              "[COM]\r\nport=7\r\n"
              "[zobrazeni]\r\ndatum=1\r\npopis=1\r\nplovouciHelp=1\r\njednotky=t\r\n"
              "stalyPrijem=1\r\nperioda=5\r\nporadCislo=0\r\nZahlavi=1\r\nsave=1\r\n"
              "PrintSave=1\r\nZahlaviText=.Firma\\nBrno\\n\r\nZapati=1\r\n"
              "ZapatiText=.D\xec\x6bujeme\\n\r\n"
              "[popis]\r\ndelka=20\r\n"
              "[tabulka]\r\nsirka0=100\r\nsirka1=85\r\nsirka2=130\r\nsirka3=90\r\n"
              "celkem=500\r\ncelkemVyska=400\r\n");
}

// Values that lock the operator out or exhaust memory are brought within
// sense; the defaults and sizes a person could drag stay as they are.
TEST(StationSettings, AbsurdSizesAndLengthsAreClamped) {
    struct Case {
        int length, width, height, previewWidth, previewHeight;
        int wantLength, wantWidth, wantHeight, wantPreviewWidth, wantPreviewHeight;
    };
    const Case cases[] = {
        {14, 370, 600, 320, 490, 14, 370, 600, 320, 490},
        {255, 200, 150, 200, 150, 255, 200, 150, 200, 150},
        {2147483647, 1, 1, 0, -5, 255, 120, 100, 120, 100},
        {0, 370, 600, 320, 490, 0, 370, 600, 320, 490},
        {-3, 370, 600, 320, 490, 0, 370, 600, 320, 490},
    };
    for (const Case& c : cases) {
        StationSettings s;
        s.descriptionLength = c.length;
        s.windowSize = QSize(c.width, c.height);
        s.previewSize = QSize(c.previewWidth, c.previewHeight);
        const StationSettings got = clampSettings(s);
        EXPECT_EQ(got.descriptionLength, c.wantLength) << c.length;
        EXPECT_EQ(got.windowSize, QSize(c.wantWidth, c.wantHeight)) << c.width;
        EXPECT_EQ(got.previewSize, QSize(c.wantPreviewWidth, c.wantPreviewHeight)) << c.width;
    }
    EXPECT_EQ(clampToScreen(QSize(32767, 600), kMinimumWindow, QSize(1280, 1000)),
              QSize(1280, 600));
    EXPECT_EQ(clampToScreen(QSize(370, 600), kMinimumWindow, QSize()), QSize(370, 600));
}

TEST(StationSettings, DialogDefaultsForMissingHeaderAndFooter) {
    ScratchExecutableDir dir;
    const QString path = dir.file(QStringLiteral("vaznilistek.ini"));
    writeFileBytes(path, "[zobrazeni]\r\nZapatiText=\r\n");
    const StationSettings s = readStationSettings(IniFile(path));
    EXPECT_EQ(dialogHeaderStored(s), QStringLiteral("Záhlaví"));
    EXPECT_EQ(dialogFooterStored(s), QString());
    EXPECT_TRUE(s.headerStored.isEmpty());
}

} // namespace
