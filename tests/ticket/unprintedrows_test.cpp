#include "platform/apperror.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/localeconventions.h"
#include "platform/wholefile.h"
#include "tests/support/tempdir.h"
#include "ticket/ticketgrid.h"
#include "ticket/unprintedrows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 7, 9));
const QString kUnit = QStringLiteral("kg");

QByteArray bytesOf(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QByteArray shortString(const QString& text) {
    const QByteArray b = cp1250::encode(text);
    return char(b.size()) + b;
}

TicketGrid freshTicket() {
    TicketGrid grid;
    grid.writeCaptions();
    grid.writeTotals(TicketGrid::TotalsWriter::StartUp, kNow, kUnit);
    return grid;
}

// A ticket of the given row count; body row r weighs r kilograms.
TicketGrid ticketWithRows(int rows) {
    TicketGrid grid = freshTicket();
    while (grid.rowCount() < rows) {
        const QString row = QString::number(grid.lastRow()); // the new body row
        grid.addWeighing(row, QStringLiteral("10:00:00"), row + QStringLiteral(" kg"),
                         TicketGrid::TotalsWriter::Weighing, kNow, kUnit);
    }
    return grid;
}

// A grid as start-up leaves it before loading: captions, totals, count and
// sum 0.
TicketGrid startUpGrid() {
    TicketGrid grid = freshTicket();
    grid.weighingCount = 0;
    grid.weightSum = {};
    return grid;
}

class UnprintedRows : public ::testing::Test {
protected:
    void SetUp() override { setConventions(LocaleConventions::czech()); }
    ScratchExecutableDir dir;
    QString file = dir.file(QStringLiteral("vaznilistek.tmp"));
};

// ---------------------------------------------------------------- encoding

TEST_F(UnprintedRows, FreshTicketBytesAreCountsThenCellsColumnByColumn) {
    const TicketGrid grid = freshTicket();
    QByteArray expected = bytesOf({0x02, 0x04, 0x02, 0x02});
    expected += shortString(QStringLiteral("Poř.číslo")) + shortString(QStringLiteral("Celkem 0"));
    expected += shortString(QStringLiteral("Čas")) + shortString(QStringLiteral("14:07:09"));
    expected += shortString(QStringLiteral("Popis")) + shortString(QStringLiteral("dne: 5.3.2024"));
    expected += shortString(QStringLiteral("Hmotnost")) + shortString(QStringLiteral("0 kg"));
    EXPECT_EQ(encodeUnprintedRows(grid).toHex(' '), expected.toHex(' '));
    // "Poř.číslo" is stored in Windows-1250: ř = F8, č = E8, í = ED.
    EXPECT_TRUE(encodeUnprintedRows(grid).startsWith(
        bytesOf({0x02, 0x04, 0x02, 0x02, 9, 'P', 'o', 0xF8, '.', 0xE8, 0xED, 's', 'l', 'o'})));
}

struct RowCountCase {
    int rows;
    QByteArray encoded;
};

class RowCountEncoding : public UnprintedRows,
                         public ::testing::WithParamInterface<RowCountCase> {};

TEST_P(RowCountEncoding, UsesTheShortestTag) {
    TicketGrid grid;
    grid.setRowCount(GetParam().rows);
    const QByteArray bytes = encodeUnprintedRows(grid);
    EXPECT_EQ(bytes.mid(2, GetParam().encoded.size()).toHex(' '), GetParam().encoded.toHex(' '));
    EXPECT_EQ(bytes.size(), 2 + GetParam().encoded.size() + 4 * GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, RowCountEncoding,
    ::testing::Values(RowCountCase{2, bytesOf({0x02, 0x02})},
                      RowCountCase{4, bytesOf({0x02, 0x04})},
                      RowCountCase{127, bytesOf({0x02, 0x7F})},
                      RowCountCase{128, bytesOf({0x03, 0x80, 0x00})},
                      RowCountCase{200, bytesOf({0x03, 0xC8, 0x00})},
                      RowCountCase{32767, bytesOf({0x03, 0xFF, 0x7F})},
                      RowCountCase{32768, bytesOf({0x04, 0x00, 0x80, 0x00, 0x00})},
                      RowCountCase{40000, bytesOf({0x04, 0x40, 0x9C, 0x00, 0x00})}));

struct IntegerCase {
    qint32 value;
    QByteArray encoded;
};

class TaggedInteger : public UnprintedRows, public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(TaggedInteger, EncodesInTheShortestTwosComplementForm) {
    EXPECT_EQ(encodeTaggedInteger(GetParam().value).toHex(' '), GetParam().encoded.toHex(' '));
}

// Negative and huge counts never come from a grid but do come from damaged
// files; the column count position shows what the reader made of them.
TEST_P(TaggedInteger, ReadsBackAsTheSameValue) {
    writeFileBytes(file, GetParam().encoded + bytesOf({0x02, 0x02}) + QByteArray(64, '\0'));
    TicketGrid grid = startUpGrid();
    try {
        loadUnprintedRows(file, grid);
        FAIL() << "column count " << GetParam().value << " accepted";
    } catch (const UnprintedRowsReadError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("sloupců %1 ").arg(GetParam().value)))
            << e.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    SignedValues, TaggedInteger,
    ::testing::Values(IntegerCase{0, bytesOf({0x02, 0x00})},
                      IntegerCase{127, bytesOf({0x02, 0x7F})},
                      IntegerCase{-1, bytesOf({0x02, 0xFF})},
                      IntegerCase{-128, bytesOf({0x02, 0x80})},
                      IntegerCase{128, bytesOf({0x03, 0x80, 0x00})},
                      IntegerCase{-129, bytesOf({0x03, 0x7F, 0xFF})},
                      IntegerCase{-32768, bytesOf({0x03, 0x00, 0x80})},
                      IntegerCase{32768, bytesOf({0x04, 0x00, 0x80, 0x00, 0x00})},
                      IntegerCase{-32769, bytesOf({0x04, 0xFF, 0x7F, 0xFF, 0xFF})},
                      IntegerCase{-2000000000, bytesOf({0x04, 0x00, 0x6C, 0xCA, 0x88})},
                      IntegerCase{2000000000, bytesOf({0x04, 0x00, 0x94, 0x35, 0x77})},
                      IntegerCase{-2147483647 - 1, bytesOf({0x04, 0x00, 0x00, 0x00, 0x80})}));

TEST_F(UnprintedRows, LongCellIsStoredAsItsFirst255Bytes) {
    TicketGrid grid = freshTicket();
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QChar(i % 2 ? u'ž' : u'a');
    grid.setCell(TicketGrid::Sequence, 0, text);
    const QByteArray bytes = encodeUnprintedRows(grid);
    ASSERT_GE(bytes.size(), 4 + 1 + 255);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 255);
    EXPECT_EQ(bytes.mid(5, 255), cp1250::encode(text.left(255)));
    // the next cell starts right after the cut
    EXPECT_EQ(bytes.mid(5 + 255, 9), shortString(QStringLiteral("Celkem 0")));
}

TEST_F(UnprintedRows, CellOfExactly255BytesIsKeptWhole) {
    TicketGrid grid = freshTicket();
    const QString text(255, QLatin1Char('x'));
    grid.setCell(TicketGrid::Weight, 1, text);
    saveUnprintedRows(grid, file);
    TicketGrid loaded = startUpGrid();
    loadUnprintedRows(file, loaded);
    EXPECT_EQ(loaded.cell(TicketGrid::Weight, 1), text);
}

// ---------------------------------------------------------------- round trip

TEST_F(UnprintedRows, TwoHundredRowsRoundTrip) {
    TicketGrid grid = ticketWithRows(200);
    grid.setCell(TicketGrid::Description, 5, QStringLiteral("Štěrk žlutý"));
    grid.setCell(TicketGrid::Weight, 7, QString()); // an empty weight adds nothing
    saveUnprintedRows(grid, file);
    EXPECT_EQ(readFileBytes(file).mid(2, 3).toHex(' '), bytesOf({0x03, 0xC8, 0x00}).toHex(' '));

    TicketGrid loaded = startUpGrid();
    loadUnprintedRows(file, loaded);
    ASSERT_EQ(loaded.rowCount(), 200);
    ASSERT_EQ(loaded.columnCount(), 4);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 200; ++r)
            ASSERT_EQ(loaded.cell(c, r), grid.cell(c, r)) << "cell " << c << "," << r;
    EXPECT_EQ(loaded.weighingCount, 198);
    // body rows 1..198 weigh their row number, row 7 is empty
    EXPECT_DOUBLE_EQ(loaded.weightSum.toDouble(), 198.0 * 199.0 / 2.0 - 7.0);
}

TEST_F(UnprintedRows, TotalsRowTextIsNotAddedToTheSum) {
    TicketGrid grid = freshTicket();
    grid.setCell(TicketGrid::Weight, 1, QStringLiteral("999 kg"));
    grid.setCell(TicketGrid::Weight, 0, QStringLiteral("5"));
    saveUnprintedRows(grid, file);
    TicketGrid loaded = startUpGrid();
    loadUnprintedRows(file, loaded);
    EXPECT_EQ(loaded.weighingCount, 0);
    EXPECT_EQ(loaded.weightSum.toDouble(), 0.0);
}

TEST_F(UnprintedRows, LoadingFewerRowsShrinksTheGrid) {
    saveUnprintedRows(freshTicket(), file);
    TicketGrid loaded = ticketWithRows(10);
    loaded.weighingCount = 0;
    loaded.weightSum = {};
    loadUnprintedRows(file, loaded);
    EXPECT_EQ(loaded.rowCount(), 2);
    EXPECT_EQ(loaded.cell(TicketGrid::Sequence, 1), QStringLiteral("Celkem 0"));
}

TEST_F(UnprintedRows, TrailingBytesAfterTheCellsAreIgnored) {
    writeFileBytes(file, encodeUnprintedRows(ticketWithRows(3)) + "junk");
    TicketGrid loaded = startUpGrid();
    loadUnprintedRows(file, loaded);
    EXPECT_EQ(loaded.rowCount(), 3);
    EXPECT_EQ(loaded.weightSum.toDouble(), 1.0);
}

// ---------------------------------------------------------------- damaged files

// What any failed load must leave: a grid the main window can keep using.
void expectConsistent(const TicketGrid& grid) {
    EXPECT_EQ(grid.columnCount(), 4);
    EXPECT_GE(grid.rowCount(), 2);
    EXPECT_EQ(grid.weighingCount, grid.rowCount() - 2);
}

double sumOfBodyWeights(const TicketGrid& grid) {
    double sum = 0;
    for (int r = 1; r < grid.rowCount() - 1; ++r)
        if (!grid.cell(TicketGrid::Weight, r).isEmpty())
            sum += std::stod(
                grid.cell(TicketGrid::Weight, r).split(QLatin1Char(' '))[0].toStdString());
    return sum;
}

TEST_F(UnprintedRows, EveryPrefixOfAValidFileLoadsOrFailsCleanly) {
    const TicketGrid original = ticketWithRows(6);
    const QByteArray full = encodeUnprintedRows(original);
    for (qsizetype length = 0; length <= full.size(); ++length) {
        SCOPED_TRACE(length);
        writeFileBytes(file, full.left(length));
        TicketGrid grid = startUpGrid();
        bool loaded = false;
        try {
            loadUnprintedRows(file, grid);
            loaded = true;
        } catch (const UnprintedRowsReadError& e) {
            EXPECT_TRUE(e.message().contains(file)) << e.message().toStdString();
        }
        EXPECT_EQ(loaded, length == full.size());
        expectConsistent(grid);
        EXPECT_DOUBLE_EQ(grid.weightSum.toDouble(), sumOfBodyWeights(grid));
        // the cells read so far stay: the weight column is last, so a cut
        // inside it keeps the first three columns whole
        if (grid.rowCount() == 6 && length > full.size() - 6) {
            for (int c = 0; c < 3; ++c)
                for (int r = 0; r < 6; ++r)
                    EXPECT_EQ(grid.cell(c, r), original.cell(c, r));
        }
    }
}

TEST_F(UnprintedRows, CutInsideTheWeightColumnKeepsTheSumOfTheRowsRead) {
    const TicketGrid original = ticketWithRows(6); // weights 1..4 kg in rows 1..4
    const QByteArray full = encodeUnprintedRows(original);
    // drop the totals cell and the last body weight "4 kg" (1 + 4 bytes)
    const QByteArray cut = full.left(full.size() - shortString(original.cell(3, 5)).size() - 5);
    writeFileBytes(file, cut);
    TicketGrid grid = startUpGrid();
    EXPECT_THROW(loadUnprintedRows(file, grid), UnprintedRowsReadError);
    EXPECT_EQ(grid.rowCount(), 6);
    EXPECT_EQ(grid.cell(TicketGrid::Weight, 3), QStringLiteral("3 kg"));
    EXPECT_EQ(grid.cell(TicketGrid::Weight, 4), QString());
    EXPECT_EQ(grid.weightSum.toDouble(), 6.0);
}

struct DamagedCase {
    const char* name;
    QByteArray bytes;
};

class DamagedFile : public UnprintedRows, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedFile, ThrowsLeavesTheGridAsItWasAndKeepsTheFile) {
    clock_::setNow([] { return QDateTime(QDate(2026, 12, 8), QTime(3, 5, 59)); });
    writeFileBytes(file, GetParam().bytes);
    TicketGrid grid = startUpGrid();
    const QByteArray before = encodeUnprintedRows(grid);
    const QString kept = file + QStringLiteral(".poskozeny-2026-12-08-0305");
    try {
        loadUnprintedRows(file, grid);
        ADD_FAILURE() << "no error thrown";
    } catch (const UnprintedRowsReadError& e) {
        EXPECT_TRUE(e.message().contains(kept)) << e.message().toStdString();
    }
    clock_::setNow({});
    EXPECT_EQ(encodeUnprintedRows(grid).toHex(' '), before.toHex(' '));
    expectConsistent(grid);
    EXPECT_EQ(grid.weightSum.toDouble(), 0.0);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(readFileBytes(kept), GetParam().bytes);
}

const QByteArray kFourEmptyColumnsOfTwoRows(8, '\0');

INSTANTIATE_TEST_SUITE_P(
    Counts, DamagedFile,
    ::testing::Values(
        DamagedCase{"Empty", QByteArray()},
        DamagedCase{"ColumnTag01", bytesOf({0x01, 0x04, 0x02, 0x02}) + kFourEmptyColumnsOfTwoRows},
        DamagedCase{"ColumnTag05",
                    bytesOf({0x05, 0x04, 0, 0, 0, 0x02, 0x02}) + kFourEmptyColumnsOfTwoRows},
        DamagedCase{"ColumnTag00", bytesOf({0x00, 0x04, 0x02, 0x02}) + kFourEmptyColumnsOfTwoRows},
        DamagedCase{"RowTagFF", bytesOf({0x02, 0x04, 0xFF, 0x02}) + kFourEmptyColumnsOfTwoRows},
        DamagedCase{"RowTag06", bytesOf({0x02, 0x04, 0x06, 0x02}) + kFourEmptyColumnsOfTwoRows},
        DamagedCase{"FiveColumns", bytesOf({0x02, 0x05, 0x02, 0x02}) + QByteArray(10, '\0')},
        DamagedCase{"ZeroColumns", bytesOf({0x02, 0x00, 0x02, 0x02})},
        DamagedCase{"NegativeColumns", bytesOf({0x02, 0xFC, 0x02, 0x02})},
        DamagedCase{"OneRow", bytesOf({0x02, 0x04, 0x02, 0x01}) + QByteArray(4, '\0')},
        DamagedCase{"ZeroRows", bytesOf({0x02, 0x04, 0x02, 0x00})},
        DamagedCase{"NegativeRows", bytesOf({0x02, 0x04, 0x03, 0x00, 0x80})},
        DamagedCase{"TwoBillionRows",
                    bytesOf({0x02, 0x04, 0x04, 0x00, 0x94, 0x35, 0x77}) + QByteArray(64, '\0')},
        DamagedCase{"MinusTwoBillionRows",
                    bytesOf({0x02, 0x04, 0x04, 0x00, 0x6C, 0xCA, 0x88}) + QByteArray(64, '\0')},
        DamagedCase{"RowsOneMoreThanTheBytesHold",
                    bytesOf({0x02, 0x04, 0x02, 0x03}) + QByteArray(11, '\0')},
        DamagedCase{"CountTruncatedInsideItsBytes", bytesOf({0x02, 0x04, 0x04, 0x10, 0x00})},
        // more rows than any ticket has, though the bytes could hold them
        DamagedCase{"RowsAboveTheBound",
                    bytesOf({0x02, 0x04, 0x04, 0xA3, 0x86, 0x01, 0x00}) + QByteArray(400012, '\0')},
        DamagedCase{"FileAboveTheBound",
                    bytesOf({0x02, 0x04, 0x02, 0x02}) + QByteArray(16 * 1024 * 1024, '\0')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UnprintedRows, AbsurdRowCountDoesNotGrowTheGrid) {
    writeFileBytes(file, bytesOf({0x02, 0x04, 0x04, 0x00, 0x94, 0x35, 0x77}) + QByteArray(64, 0));
    TicketGrid grid = startUpGrid();
    EXPECT_THROW(loadUnprintedRows(file, grid), UnprintedRowsReadError);
    EXPECT_EQ(grid.rowCount(), 2);
}

TEST_F(UnprintedRows, RowCountThatTheFileCanHoldIsAccepted) {
    // 3 rows x 4 columns of empty texts: exactly 12 length bytes
    writeFileBytes(file, bytesOf({0x02, 0x04, 0x02, 0x03}) + QByteArray(12, '\0'));
    TicketGrid grid = startUpGrid();
    loadUnprintedRows(file, grid);
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.weighingCount, 1);
    // unread old texts do not survive: every cell came from the file
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 3; ++r)
            EXPECT_TRUE(grid.cell(c, r).isEmpty());
}

TEST_F(UnprintedRows, TheLargestTicketWithinTheBoundIsAccepted) {
    // 100,000 weighings: 0x0186A2 rows
    writeFileBytes(file, bytesOf({0x02, 0x04, 0x04, 0xA2, 0x86, 0x01, 0x00}) +
                             QByteArray(4 * 100002, '\0'));
    TicketGrid grid = startUpGrid();
    loadUnprintedRows(file, grid);
    EXPECT_EQ(grid.weighingCount, 100000);
}

TEST_F(UnprintedRows, ASecondDamagedFileOfTheSameMinuteKeepsTheFirstCopy) {
    clock_::setNow([] { return QDateTime(QDate(2026, 12, 8), QTime(3, 5)); });
    for (const char* bytes : {"first", "second"}) {
        writeFileBytes(file, bytes);
        TicketGrid grid = startUpGrid();
        EXPECT_THROW(loadUnprintedRows(file, grid), UnprintedRowsReadError);
    }
    clock_::setNow({});
    EXPECT_EQ(readFileBytes(file + QStringLiteral(".poskozeny-2026-12-08-0305")), "first");
    EXPECT_EQ(readFileBytes(file + QStringLiteral(".poskozeny-2026-12-08-0305-2")), "second");
}

TEST_F(UnprintedRows, CellsNotReadAfterACutAreEmptyNotLeftFromTheOldTicket) {
    // valid counts, then only the first cell, then a length that runs past
    // the end
    writeFileBytes(file, bytesOf({0x02, 0x04, 0x02, 0x03, 0x01, 'A', 0x40}) + QByteArray(10, 'x'));
    TicketGrid grid = startUpGrid(); // its totals row holds texts
    EXPECT_THROW(loadUnprintedRows(file, grid), UnprintedRowsReadError);
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.cell(0, 0), QStringLiteral("A"));
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 3; ++r)
            if (c != 0 || r != 0) {
                EXPECT_TRUE(grid.cell(c, r).isEmpty()) << c << "," << r;
            }
    expectConsistent(grid);
}

TEST_F(UnprintedRows, MissingFileThrowsAReadErrorNamingThePath) {
    TicketGrid grid = startUpGrid();
    try {
        loadUnprintedRows(dir.file(QStringLiteral("missing.tmp")), grid);
        FAIL();
    } catch (const UnprintedRowsReadError& e) {
        EXPECT_TRUE(e.message().contains(dir.file(QStringLiteral("missing.tmp"))));
    }
    EXPECT_EQ(grid.rowCount(), 2);
}

TEST_F(UnprintedRows, WeightThatIsNoNumberIsLeftOutAndNamedAfterTheWholeLoad) {
    TicketGrid grid = ticketWithRows(5);                           // rows 1..3 weigh 1..3 kg
    grid.setCell(TicketGrid::Weight, 2, QStringLiteral("2.5 kg")); // full stop under Czech
    grid.setCell(TicketGrid::Description, 3, QStringLiteral("poslední"));
    saveUnprintedRows(grid, file);
    TicketGrid loaded = startUpGrid();
    try {
        loadUnprintedRows(file, loaded);
        FAIL() << "no error for an unconvertible weight";
    } catch (const UnprintedRowsWeightError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("2.5 kg"))) << e.message().toStdString();
    }
    EXPECT_EQ(loaded.rowCount(), 5);
    EXPECT_EQ(loaded.weighingCount, 3);
    EXPECT_EQ(loaded.weightSum.toDouble(), 4.0);
    EXPECT_EQ(loaded.cell(TicketGrid::Weight, 2), QStringLiteral("2.5 kg"));
    EXPECT_EQ(loaded.cell(TicketGrid::Weight, 3), QStringLiteral("3 kg"));
}

// ---------------------------------------------------------------- atomic save

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

TEST_F(UnprintedRows, SaveReplacesAnOlderFileAndLeavesNoTemporary) {
    writeFileBytes(file, QByteArray(5000, 'o'));
    const TicketGrid grid = ticketWithRows(3);
    saveUnprintedRows(grid, file);
    EXPECT_EQ(readFileBytes(file), encodeUnprintedRows(grid));
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("vaznilistek.tmp")});
}

TEST_F(UnprintedRows, SaveOverwritesATemporaryOrphanedByAKill) {
    writeFileBytes(wholefile::temporaryPath(file), QByteArray(100, 'k'));
    const TicketGrid grid = ticketWithRows(3);
    saveUnprintedRows(grid, file);
    EXPECT_EQ(readFileBytes(file), encodeUnprintedRows(grid));
    EXPECT_FALSE(QFileInfo::exists(wholefile::temporaryPath(file)));
}

TEST_F(UnprintedRows, FailedWriteKeepsThePreviousTicket) {
    const QByteArray previous = encodeUnprintedRows(ticketWithRows(4));
    writeFileBytes(file, previous);
    // a folder where the temporary file must go makes the write fail for real
    ASSERT_TRUE(QDir().mkdir(wholefile::temporaryPath(file)));
    try {
        saveUnprintedRows(ticketWithRows(9), file);
        FAIL() << "save into a blocked temporary succeeded";
    } catch (const AppError& e) {
        EXPECT_TRUE(
            e.message().startsWith(QStringLiteral("Nelze zapsat soubor nevytištěných řádků")))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(file));
    }
    EXPECT_EQ(readFileBytes(file), previous);
    EXPECT_TRUE(QFileInfo(wholefile::temporaryPath(file)).isDir()); // not ours to delete
}

TEST_F(UnprintedRows, FailedRenameRemovesTheTemporary) {
    // a folder in the file's own place: the save fails, and nothing of the
    // attempt may stay behind
    ASSERT_TRUE(QDir().mkdir(file));
    EXPECT_THROW(saveUnprintedRows(ticketWithRows(3), file), AppError);
    EXPECT_TRUE(QFileInfo(file).isDir());
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("vaznilistek.tmp")});
}

TEST_F(UnprintedRows, SaveBelowARegularFileFails) {
    const QString plain = dir.file(QStringLiteral("plain"));
    writeFileBytes(plain, "x");
    EXPECT_THROW(saveUnprintedRows(freshTicket(), plain + QStringLiteral("/vaznilistek.tmp")),
                 AppError);
    EXPECT_EQ(readFileBytes(plain), QByteArray("x"));
}

} // namespace
