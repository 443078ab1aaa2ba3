#include "output/printjournal.h"
#include "platform/localeconventions.h"
#include "tests/support/messages.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempdir.h"
#include "ticket/ticketgrid.h"
#include "ticket/unprintedrows.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(21, 5, 9));

TicketGrid ticketOf(std::initializer_list<const char*> descriptions) {
    TicketGrid grid;
    for (const char* d : descriptions) {
        const int row = grid.addWeighing(
            QString::number(grid.lastRow()), QStringLiteral("08:00:00"), QStringLiteral("1 kg"),
            TicketGrid::TotalsWriter::Weighing, kNow, QStringLiteral("kg"));
        grid.setCell(TicketGrid::Description, row, QString::fromUtf8(d));
    }
    return grid;
}

// The same rows read back from the unprinted-rows file give the same value,
// a long description cut to what the file keeps included; any change of a
// body row gives another; the totals row counts for nothing.
TEST(TicketFingerprint, FollowsTheRowsAsTheFileKeepsThem) {
    setConventions(LocaleConventions::czech());
    ScratchExecutableDir dir;
    const QString path = dir.file(QStringLiteral("vaznilistek.tmp"));
    TicketGrid grid = ticketOf({"štěrk", "", "x"});
    grid.setCell(TicketGrid::Description, 3, QString(300, QLatin1Char('d')));
    saveUnprintedRows(grid, path);
    TicketGrid back;
    loadUnprintedRows(path, back);
    EXPECT_EQ(ticketFingerprint(back), ticketFingerprint(grid));

    TicketGrid totals = grid;
    totals.setCell(1, totals.lastRow(), QStringLiteral("23:59:59"));
    EXPECT_EQ(ticketFingerprint(totals), ticketFingerprint(grid));
    TicketGrid described = grid;
    described.setCell(TicketGrid::Description, 2, QStringLiteral("písek"));
    EXPECT_NE(ticketFingerprint(described), ticketFingerprint(grid));
    // Cells do not run into each other: "ab" + "" is not "a" + "b".
    EXPECT_NE(ticketFingerprint(ticketOf({"ab", ""})), ticketFingerprint(ticketOf({"a", "b"})));
}

PrintRecord sampleRecord(bool withAppend) {
    PrintRecord r;
    r.stage = PrintRecord::Stage::Sending;
    r.ticket = QByteArrayLiteral("0123abcd");
    // Inode numbers are unsigned 64-bit; overlayfs keeps its layer in the top bits.
    r.rowsFile = {true, 2049, 0x8000'0000'0012'D687, 456, 1'765'000'000'123'456'789};
    r.when = kNow;
    r.weighings = 12;
    r.archived = true;
    if (withAppend) {
        r.stage = PrintRecord::Stage::NotSent;
        r.archived = false;
        // Any bytes, line ends and the record's own blank line included.
        r.append = ArchiveAppend{AppendRecord{QStringLiteral("/var/váhy 1/data/2026/12/7.dat"), 300,
                                              QByteArray("\r\n\n\nCelkem 2\t\t\x9a\0end", 18)},
                                 AppendRecord{QStringLiteral("/var/váhy 1/data/2026/12/7.pec"), 90,
                                              QByteArray("\r\nVLPEC1;0;318;ab\r\n")}};
    }
    return r;
}

// With the seal line's append, and without it as a journal left by a version
// that did not seal.
TEST(PrintRecord, ReadsBackWhatItWrote) {
    PrintRecord unsealed = sampleRecord(true);
    unsealed.append->seal.reset();
    for (const PrintRecord& r : {sampleRecord(true), unsealed}) {
        const std::optional<PrintRecord> back = decodePrintRecord(encodePrintRecord(r));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(encodePrintRecord(*back), encodePrintRecord(r));
        EXPECT_EQ(back->rowsFile, r.rowsFile);
        EXPECT_EQ(back->append->day.file, r.append->day.file);
        EXPECT_EQ(back->append->day.bytes, r.append->day.bytes);
        EXPECT_EQ(back->append->seal.has_value(), r.append->seal.has_value());
        if (r.append->seal) {
            EXPECT_EQ(back->append->seal->bytes, r.append->seal->bytes);
        }
    }
}

// Anything but a whole record is refused rather than half believed.
TEST(PrintRecord, RefusesDamagedRecords) {
    const QByteArray good = encodePrintRecord(sampleRecord(true));
    const auto withoutLine = [&good](const char* key) {
        const qsizetype at = good.indexOf(key);
        return QByteArray(good).remove(at, good.indexOf('\n', at) - at + 1);
    };
    const QByteArray cases[] = {
        {},
        withoutLine("archiv "), // a seal line's append names no ticket's append
        withoutLine("cas "),
        good.left(good.size() - 1),      // the append's bytes cut short
        good + 'x',                      // more than it announced
        good.left(good.indexOf("\n\n")), // no end of the header
        QByteArray("VAZNILISTEK-TISK 2") + good.mid(good.indexOf('\n')),
        QByteArray(good).replace("stav neodeslano", "stav hotovo"),
        QByteArray(good).replace("vazeni ", "vazen "),
        encodePrintRecord(sampleRecord(false)) + "stray",
    };
    for (const QByteArray& bytes : cases)
        EXPECT_FALSE(decodePrintRecord(bytes).has_value()) << bytes.constData();
}

struct PlanCase {
    const char* name;
    PrintRecord::Stage stage;
    bool archived;
    bool append;
    bool holds;
    bool empty;
    StartPlan::Ticket ticket;
    bool undo;
    bool keepsArchived;
};

// The crash test reaches each stage with the ticket it names on disk; these
// are the other starts.
TEST(PlanStart, FollowsHowFarThePrintGot) {
    using S = PrintRecord::Stage;
    using T = StartPlan::Ticket;
    const PlanCase cases[] = {
        {"failed print, archived", S::NotSent, true, false, true, false, T::Restore, false, true},
        {"going out, not archived", S::Sending, false, false, true, false, T::Ask, false, false},
        {"another ticket on disk", S::Sent, true, false, false, false, T::Restore, false, false},
        {"another ticket, going out", S::Sending, true, false, false, false, T::Restore, false,
         false},
        {"another ticket, append to undo", S::NotSent, true, true, false, false, T::Restore, true,
         false},
        {"an empty ticket is not asked about", S::Sending, true, false, true, true, T::Restore,
         false, false},
    };
    for (const PlanCase& c : cases) {
        PrintRecord r;
        r.stage = c.stage;
        r.archived = c.archived;
        if (c.append)
            r.append = ArchiveAppend{AppendRecord{QStringLiteral("d.dat"), 0, "x"}, {}};
        const StartPlan plan = planStart(r, c.holds, c.empty);
        EXPECT_EQ(plan.ticket, c.ticket) << c.name;
        EXPECT_EQ(plan.undoAppend, c.undo) << c.name;
        EXPECT_EQ(plan.archived, c.keepsArchived) << c.name;
    }
}

// The operator answers from what the printer shows, so the question says
// which answer fits a ticket that came out, and its count reads as Czech for
// one weighing and for many.
TEST(RestoreQuestion, TellsWhichAnswerFitsATicketThatCameOut) {
    setConventions(LocaleConventions::czech());
    for (const bool archived : {true, false}) {
        for (const int weighings : {1, 3, 12}) {
            PrintRecord r = sampleRecord(false);
            r.archived = archived;
            r.weighings = weighings;
            const Question q = restoreQuestion(r);
            EXPECT_TRUE(q.text.contains(QStringLiteral("„%1“").arg(q.second)))
                << q.text.toStdString();
            EXPECT_TRUE(q.text.contains(QStringLiteral("má %1 vážení").arg(weighings)))
                << q.text.toStdString();
        }
    }
}
struct UndoCase {
    const char* name;
    QByteArray fileAfter; // the file's bytes after "before"
    AppendFound found;
    bool cut;
};

// Only the append's own bytes are ever cut, and only from the file's end.
TEST(UndoAppend, CutsOnlyWhatTheAppendWrote) {
    ScratchExecutableDir dir;
    const QString file = dir.file(QStringLiteral("7.dat"));
    const QByteArray before = "earlier ticket\r\n";
    const QByteArray ours = "\r\nPor.cislo\t\t1 kg\r\nCelkem 1\r\n";
    const UndoCase cases[] = {
        {"nothing written", {}, AppendFound::Nothing, false},
        {"torn", ours.left(9), AppendFound::Part, true},
        {"whole", ours, AppendFound::Whole, true},
        {"whole, then someone else's line", ours + "other\r\n", AppendFound::WholeAndMore, false},
        {"torn, then someone else's line", ours.left(9) + "other\r\n", AppendFound::PartAndMore,
         false},
        {"someone else's line only", "other\r\n", AppendFound::Nothing, false},
    };
    for (const UndoCase& c : cases) {
        writeFileBytes(file, before + c.fileAfter);
        const UndoResult undo = undoAppend({file, before.size(), ours});
        EXPECT_EQ(undo.found, c.found) << c.name;
        EXPECT_EQ(undo.cut, c.cut) << c.name;
        EXPECT_EQ(undo.failure, QString()) << c.name;
        EXPECT_EQ(readFileBytes(file), c.cut ? before : before + c.fileAfter) << c.name;
    }
    writeFileBytes(file, before.left(5)); // shorter than before: not ours to touch
    EXPECT_EQ(undoAppend({file, before.size(), ours}).found, AppendFound::Nothing);
    EXPECT_EQ(readFileBytes(file), before.left(5));
    QFile::remove(file);
    const UndoResult missing = undoAppend({file, before.size(), ours});
    EXPECT_FALSE(missing.cut);
    EXPECT_EQ(missing.failure, QString());
}

// A cut that fails at start is tried again before the next append.
TEST(PrintJournalRecovery, ACutThatFailedIsTriedAgainBeforeTheNextAppend) {
    ScratchExecutableDir dir;
    const QString day = dir.file(QStringLiteral("7.dat"));
    const QString journalPath = dir.file(QStringLiteral("vaznilistek.tisk"));
    const QByteArray ours = "1 kg\r\nCelkem 1\r\n";
    PrintRecord record;
    record.append = ArchiveAppend{AppendRecord{day, 5, ours}, {}};
    writeFileBytes(journalPath, encodePrintRecord(record));
    QDir().mkpath(day); // a folder where the day file was: it cannot be opened
    PrintJournal journal(journalPath, dir.file(QStringLiteral("vaznilistek.tmp")));
    RecordedMessages told;
    journal.recover(TicketGrid(), {}, false);
    ASSERT_EQ(told.texts.size(), 1);
    EXPECT_TRUE(told.texts[0].contains(QDir::toNativeSeparators(day)));
    EXPECT_TRUE(QFile::exists(journalPath));

    QDir().rmdir(day);
    writeFileBytes(day, "head\n" + ours.left(7));
    journal.begin("t", 0, kNow, false);
    EXPECT_EQ(readFileBytes(day), QByteArray("head\n"));
    EXPECT_EQ(told.texts.size(), 1);
}

} // namespace
