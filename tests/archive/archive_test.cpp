#include "archive/archiveloader.h"
#include "archive/archivesearch.h"
#include "archive/archivetable.h"
#include "output/archivewriter.h"
#include "platform/codepage.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "tests/support/tempdir.h"
#include "tools/archive-gen/archivegen.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Rows as "cell|cell|cell|cell" in UTF-8, the trailing empty row left out
// after checking that it is there and empty.
std::vector<std::string> rowsOf(const ArchiveTable& table) {
    std::vector<std::string> rows;
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < ArchiveTable::kColumns; ++c)
            cells.append(table.cellText(r, c));
        rows.push_back(cells.join(QLatin1Char('|')).toStdString());
    }
    EXPECT_EQ(rows.back(), "|||");
    rows.pop_back();
    return rows;
}

ArchiveTable tableOf(const QString& text) {
    ArchiveTable table;
    EXPECT_TRUE(appendArchiveFile(table, cp1250::encode(text)));
    return table;
}

struct ParseCase {
    const char* name;
    QString bytes;
    std::vector<std::string> rows;
};

TEST(ArchiveTable, LinesBecomeRowsOfFourCells) {
    const ParseCase cases[] = {
        {"four fields", u"1 \t\t08:00 \t\tštěrk \t\t 100 kg"_qs, {"1 |08:00 |štěrk | 100 kg"}},
        {"empty field keeps later columns", u"a\t\t\t\tc"_qs, {"a| |c|"}},
        {"fields after the fourth dropped", u"a\t\tb\t\tc\t\td\t\te"_qs, {"a|b|c|d"}},
        {"trailing separator", u"a\t\t"_qs, {"a| ||"}},
        {"odd tab stays in the text", u"\t\t\tb"_qs, {" |\tb||"}},
        {"header line whole in column 0", u"Firma Dnešice s.r.o."_qs, {"Firma Dnešice s.r.o.|||"}},
        {"empty line fills no cell", u"x\r\n\r\ny"_qs, {"x|||", "|||", "y|||"}},
        {"CR, LF and CR LF all end lines", u"a\rb\nc\r\nd"_qs, {"a|||", "b|||", "c|||", "d|||"}},
        {"final break adds no line", u"a\r\n"_qs, {"a|||"}},
        {"nothing", QString(), {}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ArchiveTable table = tableOf(c.bytes);
        EXPECT_EQ(rowsOf(table), c.rows);
        EXPECT_EQ(table.rowCount(), int(c.rows.size()) + 1);
    }
}

TEST(ArchiveTable, TotalsYellowDateLinesAquaTitleRowPlain) {
    const struct {
        int row;
        const char* column0;
        ArchiveRowFill fill;
    } cases[] = {
        {1, "Celkem 3   ", ArchiveRowFill::Yellow},
        {1, "Dne: 7.12.2026  21:05:09", ArchiveRowFill::Aqua},
        {5, "Kamenolom Dnešice", ArchiveRowFill::Aqua},
        {1, "Celkem Dne", ArchiveRowFill::Yellow},
        {1, "celkem 3 dne", ArchiveRowFill::Normal},
        {1, "08:00:00 ", ArchiveRowFill::Normal},
        {0, "Celkem", ArchiveRowFill::Normal},
    };
    for (const auto& c : cases)
        EXPECT_EQ(archiveRowFill(c.row, c.column0), c.fill) << c.column0;
}

class ArchiveLoading : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous = setMessageSink([](MessageKind, const QString&) {});
    }
    void TearDown() override { setMessageSink(m_previous); }
    void writeDay(const QDate& day, const QString& text) {
        const QString path = paths::archiveFile(day);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        writeFileBytes(path, cp1250::encode(text));
    }
    ScratchExecutableDir dir;
    const QDate day1{2026, 2, 27};
    MessageSink m_previous;
};

TEST_F(ArchiveLoading, DaysInOrderMissingDaySkippedReversedRangeEmpty) {
    writeDay(day1, u"Poř.\t\tHm.\r\n1\t\t5 kg\r\n"_qs);
    writeDay(day1.addDays(2), u"Poř.\t\tHm.\r\nCelkem 1\t\t7 kg\r\n"_qs);
    const ArchiveLoad load = loadArchiveRange(day1, day1.addDays(2));
    EXPECT_TRUE(load.failures.isEmpty());
    EXPECT_EQ(rowsOf(load.table), (std::vector<std::string>{"Poř.|Hm.||", "1|5 kg||", "Poř.|Hm.||",
                                                            "Celkem 1|7 kg||"}));
    EXPECT_TRUE(loadArchiveRange(day1.addDays(2), day1).table.isEmpty());
    EXPECT_EQ(loadArchiveRange(day1.addDays(1), day1.addDays(1)).table.rowCount(), 1);
}

TEST_F(ArchiveLoading, UnreadableFilesReportedAndTheRestLoads) {
    writeDay(day1, u"a\r\n"_qs);
    ASSERT_TRUE(QDir().mkpath(paths::archiveFile(day1.addDays(1)))); // a folder in its place
    // Reading this from its start fails with an I/O error, also for root.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(paths::archiveFile(day1.addDays(2))).path()));
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), paths::archiveFile(day1.addDays(2))));
    writeDay(day1.addDays(3), u"d\r\n"_qs);
    const QByteArray before = readFileBytes(paths::archiveFile(day1));

    const ArchiveLoad load = loadArchiveRange(day1, day1.addDays(3));
    EXPECT_EQ(rowsOf(load.table), (std::vector<std::string>{"a|||", "d|||"}));
    ASSERT_EQ(load.failures.size(), 2);
    EXPECT_TRUE(load.failures[0].contains(QStringLiteral("/2026/2/28.dat")));
    EXPECT_TRUE(load.failures[1].contains(QStringLiteral("/2026/3/1.dat")));
    EXPECT_EQ(readFileBytes(paths::archiveFile(day1)), before);

    const QString message = archiveFailureMessage(QStringList(12, QStringLiteral("f")));
    EXPECT_EQ(message.count(QLatin1Char('\n')), 11);
    EXPECT_TRUE(message.endsWith(QStringLiteral("… a další (2)")));
}

TEST_F(ArchiveLoading, GeneratedDayIsWhatTheWriterWrites) {
    const std::vector<QStringList> tickets = generatedTickets(day1, 12, 7);
    for (size_t i = 0; i < tickets.size(); ++i)
        ASSERT_TRUE(appendToArchive(tickets[i], generatedPrintTime(day1, int(i))));
    EXPECT_EQ(readFileBytes(paths::archiveFile(day1)), archiveDayBytes(tickets));
    EXPECT_EQ(readFileBytes(paths::archiveSealFile(day1)), archiveDaySeals(tickets, day1));
}

// ---- search -----------------------------------------------------------

const QString kRows = u"Poř.\t\tČas\t\tPopis\t\tHmotnost\r\n"
                      "1 \t\t08:00\t\tštěrk\t\t100 kg\r\n"
                      "2 \t\t08:05\t\tŠTĚRK\t\t200 kg\r\n"
                      "Celkem 2\t\t\t\tdne\t\t300 kg\r\n"
                      "3 \t\t09:00\t\tpísek; popis\t\t50 kg\r\n"_qs;

TEST(ArchiveSearch, DirectionCaseColumnsAndCellEnds) {
    const ArchiveTable table = tableOf(kRows);
    const QLocale czech(QLocale::Czech, QLocale::Czechia);
    const std::array<bool, 4> all{true, true, true, true};
    const struct {
        const char* text;
        int current;
        bool up;
        bool matchCase;
        std::array<bool, 4> columns;
        int found;
    } cases[] = {
        {"štěrk", 1, false, false, all, 2},             // the current row is never examined
        {"štěrk", 3, true, false, all, 2},              // upward, the nearest first
        {"ŠTĚRK", 2, true, false, all, 1},              // accented letters by language rules
        {"štěrk", 1, false, true, all, -1},             // "Rozliš a-A": case matters
        {"ŠTĚRK", 0, false, true, all, 2},              //
        {"popis", 1, true, false, all, -1},             // the title row is never searched
        {"popis", 1, false, false, all, 4},             // ";" in a cell is just text
        {"písek", 4, false, false, all, -1},            // no wrap-around
        {"08:05;Š", 1, false, false, all, 2},           // across the end of a cell
        {"08:05;Š", 1, false, false, {1, 0, 1, 1}, -1}, // ... of chosen columns only
        {"2 ;š", 1, false, false, {1, 0, 1, 1}, 2},     // the unchosen column left out
        {"štěrk", 0, false, false, {0, 0, 0, 1}, -1},   // only the weight column
        {" ;dne;", 1, false, false, all, 3},            // empty field is a space
        {";;;;", 1, false, false, all, 5},              // the trailing empty row counts
        {"", 0, false, false, all, -1},                 //
        {"→", 0, false, false, all, -1},                // no Windows-1250 character
    };
    for (const auto& c : cases) {
        ArchiveSearch search;
        search.text = QString::fromUtf8(c.text);
        search.upward = c.up;
        search.matchCase = c.matchCase;
        search.columns = c.columns;
        EXPECT_EQ(findArchiveRow(table, c.current, search, czech), c.found)
            << c.text << " from " << c.current;
    }
}

// Against a plain reading of the rules on many random rows, enough for the
// search to work through several chunks.
TEST(ArchiveSearch, AgreesWithRowTextsBuiltOneByOne) {
    const QLocale czech(QLocale::Czech, QLocale::Czechia);
    const QString alphabet = u"aáčdďeéěnňrřsštťuůzžAÁČĎÉĚŇŘŠŤŮŽ ;\t"_qs;
    std::mt19937 rng(42);
    auto word = [&](int length) {
        QString w;
        for (int i = 0; i < length; ++i)
            w += alphabet[qsizetype(rng() % alphabet.size())];
        return w;
    };
    QString text;
    for (int r = 0; r < 6000; ++r)
        text += word(int(rng() % 30)) + u"\t\t"_qs + word(int(rng() % 60)) + u"\t\t\t\t"_qs +
                word(int(rng() % 40)) + u"\r\n"_qs;
    const ArchiveTable table = tableOf(text);
    for (int trial = 0; trial < 60; ++trial) {
        ArchiveSearch search;
        search.text = word(2 + int(rng() % 3));
        search.upward = rng() % 2;
        search.matchCase = rng() % 2;
        for (bool& chosen : search.columns)
            chosen = rng() % 4 != 0;
        const int current = int(rng() % unsigned(table.rowCount()));
        auto fold = [&](const QString& s) { return search.matchCase ? s : czech.toUpper(s); };
        int expected = -1;
        for (int r = current + (search.upward ? -1 : 1); r >= 1 && r < table.rowCount();
             r += search.upward ? -1 : 1) {
            QString rowText;
            for (int c = 0; c < 4; ++c)
                if (search.columns[size_t(c)])
                    rowText += table.cellText(r, c) + u';';
            if (fold(rowText).contains(fold(search.text))) {
                expected = r;
                break;
            }
        }
        EXPECT_EQ(findArchiveRow(table, current, search, czech), expected) << trial;
    }
}

} // namespace
