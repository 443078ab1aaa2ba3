#include "output/tickettext.h"
#include "platform/localeconventions.h"

#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(21, 5, 9));
const QString kDateLine = QStringLiteral("Dne: 7.12.2026  21:05:09");

QString spaces(int n) {
    return QString(n, QLatin1Char(' '));
}

const QString tt = QStringLiteral("\t\t");

struct Row {
    QString sequence, time, description, weight;
};

// A grid with the column titles, the given body rows and a totals row.
TicketGrid makeGrid(int timeWidth, int descriptionWidth, const std::vector<Row>& body,
                    const Row& totals) {
    TicketGrid grid;
    grid.setColumnWidth(TicketGrid::Time, timeWidth);
    grid.setColumnWidth(TicketGrid::Description, descriptionWidth);
    grid.writeCaptions();
    grid.setRowCount(int(body.size()) + 2);
    auto put = [&grid](int r, const Row& row) {
        grid.setCell(0, r, row.sequence);
        grid.setCell(1, r, row.time);
        grid.setCell(2, r, row.description);
        grid.setCell(3, r, row.weight);
    };
    for (size_t i = 0; i < body.size(); ++i)
        put(int(i) + 1, body[i]);
    put(grid.lastRow(), totals);
    return grid;
}

const Row kTotals{QStringLiteral("Celkem 1"), QStringLiteral("21:05:09"),
                  QStringLiteral("dne 7.12.2026"), QStringLiteral("12,5 kg")};
const Row kBody{QStringLiteral("1"), QStringLiteral("12:34:56"), QStringLiteral("písek"),
                QStringLiteral("12,500 kg")};

class TicketTextTest : public ::testing::Test {
protected:
    void SetUp() override { setConventions(LocaleConventions::czech()); }
};

TEST_F(TicketTextTest, AllColumnsWithSequenceNumbersGiveTheFixedWidthLayout) {
    const TicketGrid grid = makeGrid(85, 130, {kBody}, kTotals);
    const QStringList expected{
        QStringLiteral("Poř.číslo") + spaces(2) + tt + QStringLiteral("Čas") + spaces(6) + tt +
            QStringLiteral("Popis") + spaces(10) + tt + spaces(3) + QStringLiteral("Hmotnost"),
        QStringLiteral("1") + spaces(10) + tt + QStringLiteral("12:34:56 ") + tt +
            QStringLiteral("písek") + spaces(10) + tt + spaces(2) + QStringLiteral("12,500 kg"),
        QStringLiteral("Celkem 1") + spaces(3) + tt + spaces(9) + tt + spaces(15) + tt + spaces(4) +
            QStringLiteral("12,5 kg"),
        kDateLine,
    };
    EXPECT_EQ(buildTicketText(grid, TicketLayoutOptions{}, kNow), expected);
}

TEST_F(TicketTextTest, SequenceOffWithTimeAndDescriptionGivesTheTotalsLineOneFieldMore) {
    const TicketGrid grid = makeGrid(85, 130, {kBody}, kTotals);
    TicketLayoutOptions options;
    options.sequenceNumbers = false;
    const QStringList expected{
        QStringLiteral("Čas") + spaces(6) + tt + QStringLiteral("Popis") + spaces(10) + tt +
            spaces(3) + QStringLiteral("Hmotnost"),
        QStringLiteral("12:34:56 ") + tt + QStringLiteral("písek") + spaces(10) + tt + spaces(2) +
            QStringLiteral("12,500 kg"),
        QStringLiteral("Celkem 1") + spaces(3) + tt + spaces(9) + tt + spaces(15) + tt + spaces(4) +
            QStringLiteral("12,5 kg"),
        kDateLine,
    };
    EXPECT_EQ(buildTicketText(grid, options, kNow), expected);
}

TEST_F(TicketTextTest, SequenceOffAndOnlyTheWeightColumnGiveBareWeightsAndNoDateLine) {
    const TicketGrid grid = makeGrid(TicketGrid::kHidden, TicketGrid::kHidden, {kBody}, kTotals);
    TicketLayoutOptions options;
    options.sequenceNumbers = false;
    const QStringList expected{
        spaces(3) + QStringLiteral("Hmotnost"),
        spaces(2) + QStringLiteral("12,500 kg"),
        spaces(4) + QStringLiteral("12,5 kg"),
    };
    EXPECT_EQ(buildTicketText(grid, options, kNow), expected);
}

// Whether the totals label and the date line appear with sequence numbers off
// depends on the raw widths of the time and description columns, a hidden
// column counting -1, while a field itself appears only for a width above 0.
struct WidthCase {
    const char* name;
    int timeWidth;
    int descriptionWidth;
    bool totalsLabel;
    bool timeField;
    bool descriptionField;
};

class SequenceOffWidths : public TicketTextTest, public ::testing::WithParamInterface<WidthCase> {};

TEST_P(SequenceOffWidths, DecideTotalsLabelDateLineAndFields) {
    const WidthCase& c = GetParam();
    const TicketGrid grid = makeGrid(c.timeWidth, c.descriptionWidth, {}, kTotals);
    TicketLayoutOptions options;
    options.sequenceNumbers = false;
    const QStringList lines = buildTicketText(grid, options, kNow);

    QString totals;
    if (c.totalsLabel)
        totals += QStringLiteral("Celkem 1") + spaces(3) + tt;
    if (c.timeField)
        totals += spaces(9) + tt;
    if (c.descriptionField)
        totals += spaces(15) + tt;
    totals += spaces(4) + QStringLiteral("12,5 kg");

    QString titles;
    if (c.timeField)
        titles += QStringLiteral("Čas") + spaces(6) + tt;
    if (c.descriptionField)
        titles += QStringLiteral("Popis") + spaces(10) + tt;
    titles += spaces(3) + QStringLiteral("Hmotnost");

    QStringList expected{titles, totals};
    if (c.totalsLabel)
        expected.append(kDateLine);
    EXPECT_EQ(lines, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, SequenceOffWidths,
    ::testing::Values(WidthCase{"BothHidden", -1, -1, false, false, false},
                      WidthCase{"BothZero", 0, 0, false, false, false},
                      WidthCase{"TimeTwoDescriptionHidden", 2, -1, true, true, false},
                      WidthCase{"TimeHiddenDescriptionTwo", -1, 2, true, false, true},
                      WidthCase{"TimeOneDescriptionHidden", 1, -1, false, true, false},
                      WidthCase{"TimeZeroDescriptionOne", 0, 1, true, false, true}),
    [](const ::testing::TestParamInfo<WidthCase>& info) { return std::string(info.param.name); });

struct PadCase {
    const char* name;
    const char* text;
    int width;
    const char* right; // padRight result
    const char* left;  // padLeft result
};

class Padding : public ::testing::TestWithParam<PadCase> {};

TEST_P(Padding, AddsWidthMinusLengthPlusOneSpacesOrKeepsLongerTextWhole) {
    const PadCase& c = GetParam();
    EXPECT_EQ(padRight(QString::fromUtf8(c.text), c.width), QString::fromUtf8(c.right));
    EXPECT_EQ(padLeft(QString::fromUtf8(c.text), c.width), QString::fromUtf8(c.left));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Padding,
    ::testing::Values(PadCase{"TenCharsInTen", "1234,50 kg", 10, "1234,50 kg ", " 1234,50 kg"},
                      PadCase{"ElevenCharsInTen", "12345,50 kg", 10, "12345,50 kg", "12345,50 kg"},
                      PadCase{"EmptyInTen", "", 10, "           ", "           "},
                      PadCase{"EmptyInZero", "", 0, " ", " "},
                      PadCase{"TextInZero", "písek", 0, "písek", "písek"},
                      PadCase{"CzechLettersCountAsOne", "čížek", 6, "čížek  ", "  čížek"}),
    [](const ::testing::TestParamInfo<PadCase>& info) { return std::string(info.param.name); });

TEST_F(TicketTextTest, WeightOfTenCharactersGetsOneSpaceAndOfElevenNone) {
    const TicketGrid grid = makeGrid(TicketGrid::kHidden, TicketGrid::kHidden,
                                     {{QStringLiteral("1"), {}, {}, QStringLiteral("1234,50 kg")},
                                      {QStringLiteral("2"), {}, {}, QStringLiteral("12345,50 kg")}},
                                     kTotals);
    const QStringList lines = buildTicketText(grid, TicketLayoutOptions{}, kNow);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[1], QStringLiteral("1") + spaces(10) + tt + QStringLiteral(" 1234,50 kg"));
    EXPECT_EQ(lines[2], QStringLiteral("2") + spaces(10) + tt + QStringLiteral("12345,50 kg"));
}

TEST_F(TicketTextTest, LongDescriptionIsPrintedWholeAndPushesTheWeightRight) {
    const QString longText = QStringLiteral("štěrk frakce 16/32 mm");
    const TicketGrid grid =
        makeGrid(TicketGrid::kHidden, 130,
                 {{QStringLiteral("1"), {}, longText, QStringLiteral("5 kg")}}, kTotals);
    const QStringList lines = buildTicketText(grid, TicketLayoutOptions{}, kNow);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[1], QStringLiteral("1") + spaces(10) + tt + longText + tt + spaces(7) +
                            QStringLiteral("5 kg"));
}

TEST_F(TicketTextTest, DescriptionWidthZeroLeavesTextsUnpaddedAndEmptyFieldsOneSpace) {
    const TicketGrid grid =
        makeGrid(TicketGrid::kHidden, 130,
                 {{QStringLiteral("1"), {}, QStringLiteral("písek"), QStringLiteral("5 kg")},
                  {QStringLiteral("2"), {}, {}, QStringLiteral("6 kg")}},
                 kTotals);
    TicketLayoutOptions options;
    options.descriptionWidth = 0;
    const QStringList lines = buildTicketText(grid, options, kNow);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("Poř.číslo") + spaces(2) + tt + QStringLiteral("Popis") +
                            tt + spaces(3) + QStringLiteral("Hmotnost"));
    EXPECT_EQ(lines[1], QStringLiteral("1") + spaces(10) + tt + QStringLiteral("písek") + tt +
                            spaces(7) + QStringLiteral("5 kg"));
    EXPECT_EQ(lines[2], QStringLiteral("2") + spaces(10) + tt + QStringLiteral(" ") + tt +
                            spaces(7) + QStringLiteral("6 kg"));
    EXPECT_EQ(lines[3], QStringLiteral("Celkem 1") + spaces(3) + tt + QStringLiteral(" ") + tt +
                            spaces(4) + QStringLiteral("12,5 kg"));
}

TEST_F(TicketTextTest, HeaderAndFooterAreAddedAsWholePiecesAroundTheGridLines) {
    const TicketGrid grid = makeGrid(TicketGrid::kHidden, TicketGrid::kHidden, {}, kTotals);
    TicketLayoutOptions options;
    options.header = QStringLiteral("Pískovna\r\nJihlava\r\n");
    options.footer = QStringLiteral("Děkujeme");
    const QStringList expected{
        QStringLiteral("Pískovna"),
        QStringLiteral("Jihlava"),
        QString(),
        QStringLiteral("Poř.číslo") + spaces(2) + tt + spaces(3) + QStringLiteral("Hmotnost"),
        QStringLiteral("Celkem 1") + spaces(3) + tt + spaces(4) + QStringLiteral("12,5 kg"),
        kDateLine,
        QStringLiteral("Děkujeme"),
    };
    EXPECT_EQ(buildTicketText(grid, options, kNow), expected);
}

struct SplitCase {
    const char* name;
    const char* text;
    std::vector<const char*> lines;
};

class TextBlocks : public ::testing::TestWithParam<SplitCase> {};

TEST_P(TextBlocks, SplitAtEveryKindOfLineBreak) {
    const SplitCase& c = GetParam();
    QStringList expected;
    for (const char* line : c.lines)
        expected.append(QString::fromUtf8(line));
    EXPECT_EQ(splitTextBlock(QString::fromUtf8(c.text)), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, TextBlocks,
    ::testing::Values(SplitCase{"OneLine", "Záhlaví", {"Záhlaví"}},
                      SplitCase{"TwoWords", "A\r\nB", {"A", "B"}},
                      SplitCase{"TrailingBreak", "A\r\nB\r\n", {"A", "B", ""}},
                      SplitCase{"LoneLf", "A\nB\n", {"A", "B", ""}},
                      SplitCase{"LoneCr", "A\rB", {"A", "B"}},
                      SplitCase{"LfCrIsTwoBreaks", "A\n\rB", {"A", "", "B"}},
                      SplitCase{"EmptyLineInside", "A\r\n\r\nB", {"A", "", "B"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST_F(TicketTextTest, EmptyTicketHoldsTitlesTotalsAndDateLine) {
    TicketGrid grid;
    grid.setColumnWidth(TicketGrid::Time, TicketGrid::kHidden);
    grid.setColumnWidth(TicketGrid::Description, TicketGrid::kHidden);
    grid.writeCaptions();
    grid.reset(TicketGrid::TotalsWriter::ResetAfterPrint, kNow, QStringLiteral("kg"));
    const QStringList expected{
        QStringLiteral("Poř.číslo") + spaces(2) + tt + spaces(3) + QStringLiteral("Hmotnost"),
        QStringLiteral("Celkem 0") + spaces(3) + tt + spaces(7) + QStringLiteral("0 kg"),
        kDateLine,
    };
    EXPECT_EQ(buildTicketText(grid, TicketLayoutOptions{}, kNow), expected);
}

TEST_F(TicketTextTest, DateLineFollowsTheSystemConventions) {
    LocaleConventions iso = LocaleConventions::czech();
    iso.dateFormat = "%Y-%m-%d";
    iso.timeFormat = "%I:%M:%S %p";
    setConventions(iso);
    const TicketGrid grid = makeGrid(TicketGrid::kHidden, TicketGrid::kHidden, {}, kTotals);
    const QStringList lines = buildTicketText(grid, TicketLayoutOptions{}, kNow);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), QStringLiteral("Dne: 2026-12-07  09:05:09 PM"));
}

} // namespace
