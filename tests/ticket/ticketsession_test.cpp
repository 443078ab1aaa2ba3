#include "output/archivewriter.h"
#include "output/printjournal.h"
#include "platform/apperror.h"
#include "platform/localeconventions.h"
#include "platform/paths.h"
#include "tests/support/tempdir.h"
#include "ticket/descriptiontext.h"
#include "ticket/ticketkeeper.h"
#include "ticket/ticketsession.h"
#include "ticket/unprintedrows.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(21, 5, 9));

class Session : public ::testing::Test {
protected:
    void SetUp() override { setConventions(LocaleConventions::czech()); }

    // Books weighings of the given label texts.
    void book(std::initializer_list<const char*> labels) {
        for (const char* label : labels) {
            session.setWeightLabel(QString::fromUtf8(label));
            session.capture(kNow);
        }
    }

    ScratchExecutableDir dir;
    TicketSession session;
};

TEST_F(Session, RefusedWeighingChangesNothing) {
    book({"1,5 kg"});
    const quint64 revision = session.revision();
    session.setWeightLabel(QStringLiteral("1,2,3 kg"));
    EXPECT_THROW(session.capture(kNow), ConversionError);
    EXPECT_EQ(session.grid().rowCount(), 3);
    EXPECT_EQ(session.grid().weighingCount, 1);
    EXPECT_EQ(session.revision(), revision);
}

// The totals row is what the weighings add up to, exactly, whatever the
// unit's name holds.
TEST_F(Session, TotalsAreExact) {
    struct Case {
        const char* unit;
        std::vector<const char*> labels;
        const char* total;
    };
    const Case cases[] = {
        {"kg", {"0,100 kg", "0,200 kg", "-0,300 kg"}, "0 kg"},
        {"kg", {"0,7 kg", "0,1 kg", "-0,8 kg"}, "0 kg"},
        {"kg", {"0,1 kg", "0,2 kg"}, "0,3 kg"},
        {"m3", {"1,000 m3", "2,000 m3"}, "3 m3"},
        {"ks.", {"1 ks.", "2 ks."}, "3 ks."},
    };
    for (const Case& c : cases) {
        TicketSession s;
        s.setUnit(QString::fromUtf8(c.unit));
        for (const char* label : c.labels) {
            s.setWeightLabel(QString::fromUtf8(label));
            s.capture(kNow);
        }
        EXPECT_EQ(s.grid().cell(3, s.grid().lastRow()), QString::fromUtf8(c.total)) << c.total;
    }
}

// The ticket that is printed is the one the operator asked to print; what is
// booked while the print runs goes on the next ticket, or stays on this one
// when the print fails, and is never erased.
TEST_F(Session, WeighingsDuringAPrintAreHeldNotErased) {
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails);
        TicketSession s;
        s.setWeightLabel(QStringLiteral("1 kg"));
        s.capture(kNow);
        QStringList printed;
        auto print = [&](const QStringList& lines) {
            printed = lines;
            s.setWeightLabel(QStringLiteral("2 kg"));
            EXPECT_EQ(s.capture(kNow), -1); // the timer ticks under the preview
            if (fails)
                throw AppError(QStringLiteral("Tisk se nezdařil."));
        };
        if (fails)
            EXPECT_THROW(s.print(kNow, print), AppError);
        else
            s.print(kNow, print);
        EXPECT_TRUE(printed.join('\n').contains(QStringLiteral("1 kg")));
        EXPECT_FALSE(printed.join('\n').contains(QStringLiteral("2 kg")));
        const TicketGrid& g = s.grid();
        EXPECT_EQ(g.weighingCount, fails ? 2 : 1);
        EXPECT_EQ(g.rowCount(), g.weighingCount + 2);
        EXPECT_EQ(g.cell(TicketGrid::Weight, g.lastRow() - 1), QStringLiteral("2 kg"));
        EXPECT_EQ(g.cell(TicketGrid::Sequence, g.lastRow() - 1), QString::number(g.lastRow() - 1));
        EXPECT_FALSE(s.printing());
    }
}

// No print starts inside another, whether a second click or a total frame:
// the frame waits in the buffer.
TEST_F(Session, NoPrintStartsWhileOneRuns) {
    book({"1 kg"});
    const QString total = QStringLiteral("CELKEM, 1 kg").leftJustified(69) + QStringLiteral("\r\n");
    const auto never = [](const QStringList&) { ADD_FAILURE(); };
    EXPECT_TRUE(session.print(kNow, [&](const QStringList&) {
        EXPECT_FALSE(session.print(kNow, never));
        EXPECT_FALSE(session.printTotalFrame(decodePrintFrame(total, "kg", ','), kNow, never));
        QString buffer = total;
        EXPECT_TRUE(session.takeFrames(buffer).isEmpty());
        EXPECT_EQ(buffer, total);
    }));
    EXPECT_EQ(session.grid().rowCount(), 2);
}

TEST_F(Session, PrintArchivesBeforeItPrintsAndAFailedArchiveKeepsTheTicket) {
    session.setSaveOnPrint(true);
    book({"1 kg"});
    QStringList order;
    session.print(kNow, [&](const QStringList&) {
        order << (QFile::exists(paths::archiveFile(kNow.date())) ? "archived" : "not archived");
    });
    EXPECT_EQ(order, QStringList{"archived"});
    book({"2 kg"});
    setArchiveFaultHook([](ArchiveStep step) { return step == ArchiveStep::Write ? 28 : 0; });
    bool printed = false;
    EXPECT_THROW(session.print(kNow, [&](const QStringList&) { printed = true; }), AppError);
    setArchiveFaultHook({});
    EXPECT_FALSE(printed);
    EXPECT_EQ(session.grid().weighingCount, 1);
}

// A print whose job fails leaves the ticket archived: printing the same
// rows again prints them without appending them a second time; rows changed
// since make a new ticket, archived as it is printed. (A restart that keeps
// the rows is the crash test's.)
TEST_F(Session, ATicketIsArchivedOnce) {
    auto archived = [](const char* totals) {
        return readFileBytes(paths::archiveFile(kNow.date())).count(totals);
    };
    int jobs = 0;
    auto failing = [&](const QStringList&) {
        ++jobs;
        throw AppError(QStringLiteral("Tisk se nezdařil."));
    };
    session.setSaveOnPrint(true);
    book({"1 kg", "2 kg"});
    EXPECT_THROW(session.print(kNow, failing), AppError);
    EXPECT_THROW(session.print(kNow, failing), AppError);
    EXPECT_EQ(jobs, 2);
    EXPECT_EQ(archived("Celkem 2 "), 1);
    EXPECT_EQ(session.archivedTicket(), ticketFingerprint(session.grid()));
    book({"3 kg"});
    session.print(kNow, [&](const QStringList&) { ++jobs; });
    EXPECT_EQ(jobs, 3);
    EXPECT_EQ(archived("Celkem 2 "), 1);
    EXPECT_EQ(archived("Celkem 3 "), 1);
    EXPECT_TRUE(session.archivedTicket().isEmpty());
}

TEST_F(Session, DescriptionsLearnOnceAndNeverHoldTabsOrLineBreaks) {
    book({"1 kg", "2 kg"});
    session.setWords({QStringLiteral("štěrk"), QStringLiteral("Písek"), QStringLiteral("cement")});
    EXPECT_EQ(session.words(), (QStringList{QStringLiteral("cement"), QStringLiteral("Písek"),
                                            QStringLiteral("štěrk")}));
    EXPECT_TRUE(session.finishDescription(1, QStringLiteral("beton\tB20\r\nšedý")));
    EXPECT_EQ(session.grid().cell(2, 1), QStringLiteral("beton B20  šedý"));
    EXPECT_FALSE(session.finishDescription(2, QStringLiteral("PÍSEK")));
    EXPECT_FALSE(session.finishDescription(2, QString()));
    EXPECT_EQ(session.words().size(), 4);
    session.setDescription(0, QStringLiteral("x")); // the title row is no description
    EXPECT_EQ(session.grid().cell(2, 0), QString());
}

TEST(DescriptionEdit, VettedEdits) {
    struct Case {
        const char* name;
        QString before, after;
        int cursor, limit;
        QString text;
        int wantCursor;
    };
    const QString fourteen = QStringLiteral("abcdefghijklmn");
    const QString twenty = QStringLiteral("abcdefghijklmnopqrst");
    const Case cases[] = {
        {"typing within the limit", "ab", "abc", 3, 14, "abc", 3},
        {"typing at the limit is refused", fourteen, fourteen + "x", 15, 14, fourteen, 14},
        {"a paste keeps what fits", "ab", "ab" + twenty, 22, 14, "ab" + twenty.left(12), 14},
        {"a paste in the middle", "ab", "a" + twenty + "b", 21, 5, "aabcb", 4},
        {"longer text is not cut", twenty, twenty.left(19), 19, 14, twenty.left(19), 19},
        {"longer text cannot grow", twenty, twenty + "x", 21, 14, twenty, 20},
        {"no limit", "", twenty, 20, 0, twenty, 20},
        {"tabs and breaks become blanks", "", "a\tb\r\nc", 6, 14, "a b  c", 6},
        {"unstorable characters refuse the edit", "ab", QStringLiteral("abÑ"), 3, 14, "ab", 2},
        {"an emoji refuses the edit", "ab", QStringLiteral("ab😀"), 4, 14, "ab", 2},
        {"Czech letters are stored", "", QStringLiteral("žluťoučký"), 9, 14,
         QStringLiteral("žluťoučký"), 9},
    };
    for (const Case& c : cases) {
        const DescriptionEdit got = vetDescriptionEdit(c.before, c.after, c.cursor, c.limit);
        EXPECT_EQ(got.text, c.text) << c.name;
        EXPECT_EQ(got.cursor, c.wantCursor) << c.name;
    }
    EXPECT_TRUE(isTypedCharacter(QStringLiteral("a")));
    EXPECT_TRUE(isTypedCharacter(QStringLiteral("\b")));
    EXPECT_FALSE(isTypedCharacter(QString(QChar(0x7F))));
    EXPECT_FALSE(isTypedCharacter(QString()));
}

// The file follows the ticket. A failure is told as soon as the write fails,
// without waiting for a further change, and once for a run of failures; the
// next change tries again, and the ticket in memory is untouched.
TEST_F(Session, KeeperWritesEachChangeAndTellsAFailureOnceAtOnce) {
    const QString path = dir.file(QStringLiteral("vaznilistek.tmp"));
    QStringList told; // the report is made before the write counts as done
    TicketKeeper keeper(path, [&told](const QString& message) { told << message; });
    book({"1 kg"});
    EXPECT_TRUE(keeper.keepNow(session.grid(), session.revision()));
    TicketGrid back;
    loadUnprintedRows(path, back);
    EXPECT_EQ(back.cell(3, 1), QStringLiteral("1 kg"));

    QFile::remove(path);
    ASSERT_TRUE(QDir().mkdir(path)); // a folder in the file's place: the disk refuses
    book({"2 kg"});
    keeper.keep(session.grid(), session.revision());
    keeper.flush();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(path)) << told[0].toStdString();
    book({"3 kg"});
    EXPECT_FALSE(keeper.keepNow(session.grid(), session.revision()));
    EXPECT_EQ(told.size(), 1); // told already
    ASSERT_TRUE(QDir().rmdir(path));
    book({"4 kg"}); // retried at the next change
    EXPECT_TRUE(keeper.keepNow(session.grid(), session.revision()));
    TicketGrid again;
    loadUnprintedRows(path, again);
    EXPECT_EQ(again.weighingCount, 4);
    QFile::remove(path);
    ASSERT_TRUE(QDir().mkdir(path));
    book({"5 kg"});
    EXPECT_FALSE(keeper.keepNow(session.grid(), session.revision()));
    EXPECT_EQ(told.size(), 2); // a new failure after a success
}

} // namespace
