// Seals as the archive writer writes them, checked from the day's bytes.
#include "archive/archiveloader.h"
#include "archive/archiveseal.h"
#include "output/archivewriter.h"
#include "platform/localeconventions.h"
#include "platform/paths.h"
#include "tests/support/archiveedit.h"
#include "tests/support/messages.h"
#include "tests/support/tempdir.h"
#include "tools/archive-gen/archivegen.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <utility>

namespace {

const QDate kDay(2026, 12, 7);

class Seals : public ::testing::Test {
protected:
    void SetUp() override { setConventions(LocaleConventions::czech()); }

    // Prints the tickets through the archive writer, ticket i at its time.
    void print(const std::vector<QStringList>& tickets, int first = 0) {
        for (size_t i = 0; i < tickets.size(); ++i)
            ASSERT_TRUE(appendToArchive(tickets[i], generatedPrintTime(kDay, first + int(i))));
    }
    QByteArray day() const { return readFileBytes(paths::archiveFile(kDay)); }
    void setDay(const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(paths::archiveFile(kDay)).path());
        writeFileBytes(paths::archiveFile(kDay), bytes);
    }
    SealFile seals() const { return readSealFile(readFileBytes(paths::archiveSealFile(kDay))); }
    // Changes a weight of the day's second ticket in place; returns the day's
    // bytes and where that ticket begins.
    std::pair<QByteArray, qint64> changeSecondTicket() const {
        QByteArray bytes = day();
        const qint64 second = seals().lines[0].end;
        changeWeightDigit(bytes, second);
        setDay(bytes);
        return {bytes, second};
    }

    ScratchExecutableDir dir;
    RecordedMessages told;
};

// The first seal line a changed day must name, told by comparing the bytes
// each line covers rather than by hashing them.
std::optional<size_t> firstChangedLine(const QByteArray& original, const QByteArray& changed,
                                       const SealFile& seals) {
    for (size_t k = 0; k < seals.lines.size(); ++k) {
        const SealLine& line = seals.lines[k];
        if (changed.size() < line.end || changed.mid(line.start, line.end - line.start) !=
                                             original.mid(line.start, line.end - line.start))
            return k;
    }
    return std::nullopt;
}

// Random tickets through the real writer, after bytes from before sealing
// began; then one byte changed, cut or inserted anywhere. The check finds
// every change to sealed bytes and names the first ticket whose bytes are no
// longer as printed; a change before sealing began is not its business, and
// a day never changed always holds.
TEST_F(Seals, EverySingleByteChangeNamesTheFirstChangedTicket) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 4; ++round) {
        QFile::remove(paths::archiveSealFile(kDay));
        const QByteArray unsealed =
            round % 2 ? QByteArray("Po\xF8.\t\tHmotnost\r\n1\t\t12 kg") : QByteArray();
        setDay(unsealed);
        const std::vector<QStringList> tickets =
            generatedTickets(kDay, 1 + int(rng() % 12), unsigned(round));
        print(tickets);
        const QByteArray original = day();
        const SealFile file = seals();
        ASSERT_EQ(file.lines.size(), tickets.size());
        ASSERT_TRUE(file.damaged.empty());
        // The writer's own line end after the torn line is its first byte.
        EXPECT_EQ(file.lines.front().start, unsealed.size());
        EXPECT_EQ(file.lines.back().end, original.size());
        ASSERT_TRUE(checkSeals(original, file).clean());

        for (int trial = 0; trial < 300; ++trial) {
            QByteArray changed = original;
            const qsizetype at = qsizetype(rng() % quint32(original.size()));
            switch (trial % 3) {
            case 0:
                changed[at] = char(changed[at] ^ char(1 + rng() % 255));
                break;
            case 1:
                changed.remove(at, 1);
                break;
            default:
                changed.insert(at, char(rng()));
                break;
            }
            const std::optional<size_t> expected = firstChangedLine(original, changed, file);
            const SealCheck check = checkSeals(changed, file);
            SCOPED_TRACE(testing::Message()
                         << "round " << round << ", trial " << trial << ", byte " << at);
            ASSERT_EQ(check.changed.has_value(), expected.has_value());
            if (!expected) {
                EXPECT_EQ(check.unsealedBytes,
                          std::max<qsizetype>(0, changed.size() - original.size()));
                continue;
            }
            const SealLine& line = file.lines[*expected];
            EXPECT_EQ(check.changed->end, line.end);
            EXPECT_EQ(check.changed->printedTime, generatedPrintTime(kDay, int(*expected)).time());
            EXPECT_EQ(check.changedFrom, *expected ? file.lines[*expected - 1].end : line.start);
        }
    }
}

// What an editor or another program appends after the last seal is not
// sealed, and not changed; the next print does not seal it either.
TEST_F(Seals, BytesBehindTheLastSealAreNotSealedNorChanged) {
    const std::vector<QStringList> tickets = generatedTickets(kDay, 3, 1);
    print({tickets[0], tickets[1]});
    const qint64 sealedEnd = day().size();
    const QByteArray added = "rucne pripsana radka\r\n";
    setDay(day() + added);
    for (int printed = 2; printed <= 3; ++printed) {
        const SealCheck check = checkSeals(day(), seals());
        EXPECT_FALSE(check.changed);
        EXPECT_EQ(check.unsealedFrom, sealedEnd);
        EXPECT_EQ(check.unsealedBytes, added.size());
        ASSERT_TRUE(check.unsealedAfter);
        EXPECT_EQ(check.unsealedAfter->printedTime, generatedPrintTime(kDay, 1).time());
        if (printed == 2)
            print({tickets[2]}, 2);
    }
    EXPECT_EQ(seals().lines.back().start, sealedEnd + added.size());
}

// A digit changed in place keeps the day's length, so the next print finds
// the file as long as its last seal said; it must not seal the change over.
TEST_F(Seals, ANewTicketNeverSealsOverAChange) {
    const std::vector<QStringList> tickets = generatedTickets(kDay, 4, 2);
    print({tickets[0], tickets[1], tickets[2]});
    const auto [bytes, second] = changeSecondTicket();
    print({tickets[3]}, 3);
    const SealCheck check = checkSeals(day(), seals());
    ASSERT_TRUE(check.changed);
    EXPECT_EQ(check.changed->printedTime, generatedPrintTime(kDay, 1).time());
    EXPECT_EQ(check.changedFrom, second);
    EXPECT_EQ(seals().lines.back().start, bytes.size());
}

// A ticket, then its seal line: a failure of either leaves both files as
// they were, and the retry seals the ticket.
TEST_F(Seals, AFailedSealLineTakesItsTicketBackWithIt) {
    const std::vector<QStringList> tickets = generatedTickets(kDay, 2, 3);
    print({tickets[0]});
    const QByteArray dayBefore = day();
    const QByteArray sealsBefore = readFileBytes(paths::archiveSealFile(kDay));
    for (const ArchiveStep failing : {ArchiveStep::Write, ArchiveStep::SealWrite,
                                      ArchiveStep::SealSync, ArchiveStep::SealClose}) {
        setArchiveFaultHook([failing](ArchiveStep step) { return step == failing ? EIO : 0; });
        EXPECT_THROW(appendToArchive(tickets[1], generatedPrintTime(kDay, 1)), ArchiveWriteError);
        EXPECT_EQ(day(), dayBefore);
        EXPECT_EQ(readFileBytes(paths::archiveSealFile(kDay)), sealsBefore);
    }
    setArchiveFaultHook({});
    print({tickets[1]}, 1);
    EXPECT_TRUE(checkSeals(day(), seals()).clean());
    EXPECT_EQ(seals().lines.size(), 2u);
    EXPECT_TRUE(told.texts.isEmpty());
}

// The ticket matters more than its seal.
TEST_F(Seals, ASealFileThatCannotBeOpenedLeavesTheTicketArchivedWithoutOne) {
    setArchiveFaultHook(
        [](ArchiveStep step) { return step == ArchiveStep::SealOpen ? EACCES : 0; });
    print(generatedTickets(kDay, 1, 4));
    setArchiveFaultHook({});
    ASSERT_EQ(told.texts.size(), 1);
    EXPECT_TRUE(told.texts[0].startsWith(QStringLiteral("Pečeť lístku nelze zapsat do souboru ")));
    EXPECT_FALSE(day().isEmpty());
    EXPECT_TRUE(seals().lines.empty());
}

TEST(SealLine, ReadsBackWhatItWroteAndRefusesAnythingElse) {
    const SealLine line{120, 4711, {0x01, 0xab, 0xff}, QDate(2026, 12, 7), QTime(21, 5, 9), "1.0"};
    const QByteArray text = encodeSealLine(line);
    EXPECT_TRUE(text.startsWith("VLPEC1;120;4711;01abff00"));
    EXPECT_TRUE(text.endsWith(";2026-12-07T21:05:09;1.0\r\n"));
    const std::optional<SealLine> back = decodeSealLine(text.chopped(2));
    ASSERT_TRUE(back);
    EXPECT_EQ(encodeSealLine(*back), text);

    const QByteArray good = text.chopped(2);
    const auto with = [&good](const char* from, const char* to) {
        return QByteArray(good).replace(from, to);
    };
    const QByteArray refused[] = {
        {},
        with("VLPEC1", "VLPEC2"),
        with(";1.0", ""),                 // a field short
        with(";1.0", ";1.0;x"),           // a field more
        with(";120;", ";4712;"),          // starts after it ends
        with(";120;", ";-1;"),            //
        with(";120;", "; 120;"),          //
        with("01abff", "01abfg"),         // not hex
        with("01abff", "01abf"),          // a digit short
        with("2026-12-07", "2026-13-07"), // no such month
        with("T21:05:09", "T21:05"),      //
        with(";1.0", ";"),                // no version
        with(";1.0", ";1 0"),             //
    };
    for (const QByteArray& bad : refused)
        EXPECT_FALSE(decodeSealLine(bad)) << bad.constData();

    // Lines end at LF with or without CR; a damaged one is counted, the rest read.
    const SealFile file = readSealFile(good + "\n" + "garbage\r\n" + good);
    EXPECT_EQ(file.lines.size(), 2u);
    EXPECT_EQ(file.damaged, std::vector<int>{2});
}

// A load names each day that needs a look once and marks the rows of a
// changed day from its first changed ticket to the day's end, and no others.
TEST_F(Seals, ALoadReportsEachDayAndMarksTheChangedRowsOnly) {
    const std::vector<QStringList> tickets = generatedTickets(kDay, 3, 5);
    for (size_t i = 0; i < tickets.size(); ++i)
        for (const int offset : {-1, 0, 1})
            ASSERT_TRUE(
                appendToArchive(tickets[i], generatedPrintTime(kDay.addDays(offset), int(i))));
    // Day -1 loses its file; in day 0 a weight of the second ticket changes.
    QFile::remove(paths::archiveFile(kDay.addDays(-1)));
    const auto [bytes, second] = changeSecondTicket();

    const ArchiveLoad load = loadArchiveRange(kDay.addDays(-1), kDay.addDays(1));
    ASSERT_EQ(load.seals.size(), 2u);
    EXPECT_TRUE(load.seals[0].dayMissing);
    EXPECT_EQ(load.seals[1].day, kDay);
    const int firstChanged = int(std::count(bytes.begin(), bytes.begin() + second, '\n'));
    const int dayEnd = int(bytes.count('\n'));
    for (int row = 0; row < load.table.rowCount(); ++row)
        EXPECT_EQ(load.table.changed(row), row >= firstChanged && row < dayEnd) << row;

    const QString message = sealReportMessage(load.seals);
    EXPECT_TRUE(message.contains(QStringLiteral("6.12.2026: soubor dne")));
    EXPECT_TRUE(message.contains(QStringLiteral("7.12.2026: lístek vytištěný v 06:15:07 neodpovídá "
                                                "pečeti")))
        << message.toStdString();
    EXPECT_EQ(message.count(QLatin1Char('\n')), 2);
}

} // namespace
