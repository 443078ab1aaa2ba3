#include "output/archivewriter.h"
#include "output/tickettext.h"
#include "tests/support/messages.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QDate kDay(2026, 12, 7);
const QDateTime kPrinted(kDay, QTime(21, 5, 9));

// "Poř.číslo" and friends as Windows-1250 bytes, spelled out so that the test
// does not lean on the converter it exercises.
const QStringList kTicket{
    QStringLiteral("Poř.číslo  \t\t   Hmotnost"),
    QStringLiteral("1          \t\t  12,500 kg"),
    QStringLiteral("Celkem 1   \t\t   12,5 kg"),
    QStringLiteral("Dne: 7.12.2026  21:05:09"),
};
const QByteArray kTicketBytes = QByteArray("Po\xF8.\xE8\xEDslo  \t\t   Hmotnost\r\n"
                                           "1          \t\t  12,500 kg\r\n"
                                           "Celkem 1   \t\t   12,5 kg\r\n"
                                           "Dne: 7.12.2026  21:05:09\r\n");
const QByteArray kTicketBytesWithoutFirst = kTicketBytes.mid(kTicketBytes.indexOf('\n') + 1);

class ArchiveTest : public ::testing::Test {
protected:
    void TearDown() override {
        setArchiveFaultHook({});
        EXPECT_EQ(told.kinds.count(MessageKind::Error), told.kinds.size()) << "not an error";
    }

    QString data(const QString& relative = {}) const {
        return dir.path() + QStringLiteral("/data/") + relative;
    }
    // The day's file for kPrinted, made to hold `earlier`.
    QString dayFile(const QByteArray& earlier) const {
        QDir().mkpath(data(QStringLiteral("2026/12")));
        const QString file = data(QStringLiteral("2026/12/7.dat"));
        writeFileBytes(file, earlier);
        return file;
    }

    ScratchExecutableDir dir;
    RecordedMessages told;
};

TEST_F(ArchiveTest, FirstTicketOfADayCreatesTheFoldersAndIsWrittenWhole) {
    ASSERT_GT(kTicketBytes.size(), 0);
    EXPECT_TRUE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(told.texts, QStringList());
    EXPECT_TRUE(QFileInfo(data(QStringLiteral("2026/12"))).isDir());
    EXPECT_EQ(readFileBytes(data(QStringLiteral("2026/12/7.dat"))), kTicketBytes);
}

// What comes before the ticket follows the day's file: a line end when the
// file ends part-way through a line, so that no two tickets are glued into
// one line; the column titles unless the file holds 128 bytes already.
TEST_F(ArchiveTest, WhatIsAppendedFollowsTheFileBefore) {
    const struct {
        QByteArray earlier;
        QByteArray appended;
    } cases[] = {
        {"", kTicketBytes},
        {"whole line\r\n", kTicketBytes},
        {"another program's line\n", kTicketBytes},
        {"torn line", "\r\n" + kTicketBytes},
        {"torn line\r", "\n" + kTicketBytes},
        {QByteArray(125, 'x') + "\r\n", kTicketBytes},
        {QByteArray(126, 'x') + "\r\n", kTicketBytesWithoutFirst},
    };
    const QString file = dayFile({});
    for (const auto& c : cases) {
        writeFileBytes(file, c.earlier);
        ASSERT_TRUE(appendToArchive(kTicket, kPrinted));
        EXPECT_EQ(readFileBytes(file), c.earlier + c.appended);
    }
}

TEST_F(ArchiveTest, TwoTicketsInARowShowTheColumnTitlesOnce) {
    // The first ticket alone is 98 bytes: the second still gets its titles,
    // the third (file now over 128 bytes) does not.
    ASSERT_LT(kTicketBytes.size(), 128);
    ASSERT_TRUE(appendToArchive(kTicket, kPrinted));
    ASSERT_TRUE(appendToArchive(kTicket, kPrinted));
    ASSERT_TRUE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(readFileBytes(data(QStringLiteral("2026/12/7.dat"))),
              kTicketBytes + kTicketBytes + kTicketBytesWithoutFirst);
}

TEST_F(ArchiveTest, WithAHeaderTheHeadersFirstLineIsTheOneLeftOut) {
    TicketGrid grid;
    grid.setColumnWidth(TicketGrid::Time, TicketGrid::kHidden);
    grid.setColumnWidth(TicketGrid::Description, TicketGrid::kHidden);
    grid.writeCaptions();
    const QDateTime now(kDay, QTime(8, 0, 0));
    grid.reset(TicketGrid::TotalsWriter::ResetAfterPrint, now, QStringLiteral("kg"));
    TicketLayoutOptions options;
    options.header = QStringLiteral("Štěrkovna Úvaly\r\nTel. 123\r\n");
    const QStringList lines = buildTicketText(grid, options, now);

    const QString file = dayFile(QByteArray(198, 'x') + "\r\n");
    ASSERT_TRUE(appendToArchive(lines, now));
    const QByteArray added = readFileBytes(file).mid(200);
    EXPECT_EQ(added, QByteArray("Tel. 123\r\n"
                                "\r\n"
                                "Po\xF8.\xE8\xEDslo  \t\t   Hmotnost\r\n"
                                "Celkem 0   \t\t       0 kg\r\n"
                                "Dne: 7.12.2026  08:00:00\r\n"));
}

TEST_F(ArchiveTest, TicketPrintedAfterMidnightGoesToTheNewDaysFile) {
    // Weighed on 7 December, printed on the 8th: the print date decides.
    ASSERT_TRUE(appendToArchive(kTicket, kPrinted.addDays(1)));
    EXPECT_EQ(readFileBytes(data(QStringLiteral("2026/12/8.dat"))), kTicketBytes);
    EXPECT_FALSE(QFileInfo::exists(data(QStringLiteral("2026/12/7.dat"))));
}

struct NameCase {
    QDate date;
    const char* relative;
};

class ArchiveNames : public ArchiveTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(ArchiveNames, UseNumbersWithoutLeadingZeros) {
    ASSERT_TRUE(appendToArchive(kTicket, QDateTime(GetParam().date, QTime(8, 0))));
    EXPECT_EQ(readFileBytes(data(QString::fromUtf8(GetParam().relative))), kTicketBytes);
}

INSTANTIATE_TEST_SUITE_P(Dates, ArchiveNames,
                         ::testing::Values(NameCase{QDate(2024, 10, 10), "2024/10/10.dat"},
                                           NameCase{QDate(2025, 1, 1), "2025/1/1.dat"},
                                           NameCase{QDate(2024, 3, 7), "2024/3/7.dat"}));

class ArchiveLevels : public ArchiveTest, public ::testing::WithParamInterface<int> {};

// A file in the place of a folder of the archive, or a folder in the place of
// the day's file: each level that cannot be created is told with its path and
// the writer goes on to the next; a day's file that cannot be created stops
// it. What stood in the way stays as it was.
TEST_P(ArchiveLevels, EachLevelThatCannotBeCreatedIsTold) {
    const QStringList levels{data(), data(QStringLiteral("2026")), data(QStringLiteral("2026/12")),
                             data(QStringLiteral("2026/12/7.dat"))};
    const int blocked = GetParam();
    const QString inTheWay = QDir::cleanPath(levels[blocked]);
    QDir().mkpath(QFileInfo(inTheWay).path());
    if (blocked < 3)
        writeFileBytes(inTheWay, "in the way");
    else
        QDir().mkpath(inTheWay);
    EXPECT_FALSE(appendToArchive(kTicket, kPrinted));
    const QStringList all{
        QStringLiteral("Nelze vytvořit adresář: ") + levels[0],
        QStringLiteral("Nelze vytvořit adresář: ") + levels[1],
        QStringLiteral("Nelze vytvořit adresář: ") + levels[2],
        QStringLiteral("Nelze vytvořit soubor: ") + levels[3],
    };
    EXPECT_EQ(told.texts, all.mid(blocked));
    if (blocked < 3) {
        EXPECT_EQ(readFileBytes(inTheWay), QByteArray("in the way"));
    }
}

const char* const kLevelNames[] = {"Root", "Year", "Month", "DaysFile"};
INSTANTIATE_TEST_SUITE_P(Blocked, ArchiveLevels, ::testing::Range(0, 4),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(kLevelNames[info.param]);
                         });

TEST_F(ArchiveTest, FileThatCannotBeOpenedIsReportedAndLeftAlone) {
    const QString file = dayFile("earlier");
    setArchiveFaultHook([](ArchiveStep step) { return step == ArchiveStep::Open ? EACCES : 0; });
    EXPECT_FALSE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(told.texts, QStringList{QStringLiteral("Nelze otevřít soubor: ") + file});
    EXPECT_EQ(readFileBytes(file), QByteArray("earlier"));
}

// A failure once the file is open is thrown with the system's own text, so
// that the print action stops instead of printing a ticket the archive lost.
TEST_F(ArchiveTest, WriteToAFullDeviceThrowsTheSystemsError) {
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    QDir().mkpath(data(QStringLiteral("2026/12")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), data(QStringLiteral("2026/12/7.dat"))));
    try {
        appendToArchive(kTicket, kPrinted);
        FAIL() << "no error thrown";
    } catch (const ArchiveWriteError& e) {
        EXPECT_TRUE(e.message().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(data(QStringLiteral("2026/12/7.dat"))));
    }
    EXPECT_TRUE(told.texts.isEmpty());
}

class ArchiveFaults : public ArchiveTest, public ::testing::WithParamInterface<ArchiveStep> {};

TEST_P(ArchiveFaults, FailureAfterOpeningLeavesTheFileAsItWasForAWholeRetry) {
    const QByteArray earlier = QByteArray(198, 'x') + "\r\n";
    const QString file = dayFile(earlier);
    const ArchiveStep failing = GetParam();
    setArchiveFaultHook([failing](ArchiveStep step) { return step == failing ? EIO : 0; });
    try {
        appendToArchive(kTicket, kPrinted);
        FAIL() << "no error thrown";
    } catch (const ArchiveWriteError& e) {
        EXPECT_TRUE(e.message().contains(QString::fromLocal8Bit(std::strerror(EIO))))
            << e.message().toStdString();
    }
    EXPECT_TRUE(told.texts.isEmpty());
    EXPECT_EQ(readFileBytes(file), earlier);
    setArchiveFaultHook({});
    ASSERT_TRUE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(readFileBytes(file), earlier + kTicketBytesWithoutFirst);
}

// A disk that fills half-way through the ticket, made by a file-size limit
// in a child so that the limit ends with it.
TEST_F(ArchiveTest, DiskFullHalfWayLeavesTheDaysFileByteForByte) {
    const QByteArray earlier = QByteArray(150, 'x') + "\r\n";
    const QString file = dayFile(earlier);
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = rlim_t(earlier.size() + kTicketBytesWithoutFirst.size() / 2);
        const rlimit fsize{limit, limit};
        try {
            if (::setrlimit(RLIMIT_FSIZE, &fsize) == 0)
                appendToArchive(kTicket, kPrinted);
        } catch (const ArchiveWriteError&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFileBytes(file), earlier);
    ASSERT_TRUE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(readFileBytes(file), earlier + kTicketBytesWithoutFirst);
}

INSTANTIATE_TEST_SUITE_P(Steps, ArchiveFaults,
                         ::testing::Values(ArchiveStep::Write, ArchiveStep::Sync,
                                           ArchiveStep::Close));

TEST_F(ArchiveTest, FaultHookSeesEveryStepOfASuccessfulAppend) {
    std::vector<ArchiveStep> seen;
    setArchiveFaultHook([&seen](ArchiveStep step) {
        seen.push_back(step);
        return 0;
    });
    ASSERT_TRUE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(seen, (std::vector<ArchiveStep>{ArchiveStep::Open, ArchiveStep::SealOpen,
                                              ArchiveStep::Write, ArchiveStep::Sync,
                                              ArchiveStep::Close, ArchiveStep::SealWrite,
                                              ArchiveStep::SealSync, ArchiveStep::SealClose}));
}

} // namespace
