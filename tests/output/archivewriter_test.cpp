#include "output/archivewriter.h"
#include "output/tickettext.h"
#include "platform/messages.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ostream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

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
    void SetUp() override {
        m_previousSink = setMessageSink([this](MessageKind kind, const QString& text) {
            EXPECT_EQ(kind, MessageKind::Error);
            messages.append(text);
        });
    }
    void TearDown() override {
        setMessageSink(m_previousSink);
        setArchiveFaultHook({});
    }

    QString data(const QString& relative = {}) const {
        return dir.path() + QStringLiteral("/data/") + relative;
    }

    ScratchExecutableDir dir;
    QStringList messages;

private:
    MessageSink m_previousSink;
};

TEST_F(ArchiveTest, FirstTicketOfADayCreatesTheFoldersAndIsWrittenWhole) {
    ASSERT_GT(kTicketBytes.size(), 0);
    EXPECT_TRUE(appendToArchive(kTicket, kPrinted));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(QFileInfo(data(QStringLiteral("2026/12"))).isDir());
    EXPECT_EQ(readFileBytes(data(QStringLiteral("2026/12/7.dat"))), kTicketBytes);
}

TEST_F(ArchiveTest, LaterTicketOfTheDaySkipsItsFirstLineOnceTheFileHolds128Bytes) {
    const QString file = data(QStringLiteral("2026/12/7.dat"));
    QDir().mkpath(data(QStringLiteral("2026/12")));
    const QByteArray earlier = QByteArray(126, 'x') + "\r\n";
    writeFileBytes(file, earlier);
    EXPECT_TRUE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(readFileBytes(file), earlier + kTicketBytesWithoutFirst);
}

TEST_F(ArchiveTest, FileShorterThan128BytesReceivesTheFirstLineAgain) {
    const QString file = data(QStringLiteral("2026/12/7.dat"));
    QDir().mkpath(data(QStringLiteral("2026/12")));
    const QByteArray earlier = QByteArray(125, 'x') + "\r\n";
    writeFileBytes(file, earlier);
    EXPECT_TRUE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(readFileBytes(file), earlier + kTicketBytes);
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

    const QString file = data(QStringLiteral("2026/12/7.dat"));
    QDir().mkpath(data(QStringLiteral("2026/12")));
    writeFileBytes(file, QByteArray(198, 'x') + "\r\n");
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

// Each failure to create a level is reported with that level's path and the
// writer goes on; a file that cannot be created stops it.
TEST_F(ArchiveTest, ArchiveRootNotCreatableGivesFourMessages) {
    writeFileBytes(dir.file(QStringLiteral("data")), "not a folder");
    EXPECT_FALSE(appendToArchive(kTicket, kPrinted));
    const QStringList expected{
        QStringLiteral("Nelze vytvořit adresář: ") + data(),
        QStringLiteral("Nelze vytvořit adresář: ") + data(QStringLiteral("2026")),
        QStringLiteral("Nelze vytvořit adresář: ") + data(QStringLiteral("2026/12")),
        QStringLiteral("Nelze vytvořit soubor: ") + data(QStringLiteral("2026/12/7.dat")),
    };
    EXPECT_EQ(messages, expected);
    EXPECT_EQ(readFileBytes(dir.file(QStringLiteral("data"))), QByteArray("not a folder"));
}

TEST_F(ArchiveTest, YearFolderNotCreatableGivesThreeMessages) {
    QDir().mkpath(data());
    writeFileBytes(data(QStringLiteral("2026")), "x");
    EXPECT_FALSE(appendToArchive(kTicket, kPrinted));
    const QStringList expected{
        QStringLiteral("Nelze vytvořit adresář: ") + data(QStringLiteral("2026")),
        QStringLiteral("Nelze vytvořit adresář: ") + data(QStringLiteral("2026/12")),
        QStringLiteral("Nelze vytvořit soubor: ") + data(QStringLiteral("2026/12/7.dat")),
    };
    EXPECT_EQ(messages, expected);
}

TEST_F(ArchiveTest, MonthFolderNotCreatableGivesTwoMessages) {
    QDir().mkpath(data(QStringLiteral("2026")));
    writeFileBytes(data(QStringLiteral("2026/12")), "x");
    EXPECT_FALSE(appendToArchive(kTicket, kPrinted));
    const QStringList expected{
        QStringLiteral("Nelze vytvořit adresář: ") + data(QStringLiteral("2026/12")),
        QStringLiteral("Nelze vytvořit soubor: ") + data(QStringLiteral("2026/12/7.dat")),
    };
    EXPECT_EQ(messages, expected);
}

TEST_F(ArchiveTest, FolderInPlaceOfTheDaysFileIsAFileThatCannotBeCreated) {
    QDir().mkpath(data(QStringLiteral("2026/12/7.dat")));
    EXPECT_FALSE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(messages, QStringList{QStringLiteral("Nelze vytvořit soubor: ") +
                                    data(QStringLiteral("2026/12/7.dat"))});
}

TEST_F(ArchiveTest, FileThatCannotBeOpenedIsReportedAndLeftAlone) {
    QDir().mkpath(data(QStringLiteral("2026/12")));
    writeFileBytes(data(QStringLiteral("2026/12/7.dat")), "earlier");
    setArchiveFaultHook([](ArchiveStep step) { return step == ArchiveStep::Open ? EACCES : 0; });
    EXPECT_FALSE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(messages, QStringList{QStringLiteral("Nelze otevřít soubor: ") +
                                    data(QStringLiteral("2026/12/7.dat"))});
    EXPECT_EQ(readFileBytes(data(QStringLiteral("2026/12/7.dat"))), QByteArray("earlier"));
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
    EXPECT_TRUE(messages.isEmpty());
}

class ArchiveFaults : public ArchiveTest, public ::testing::WithParamInterface<ArchiveStep> {};

TEST_P(ArchiveFaults, FailureAfterOpeningLeavesTheFileAsItWasForAWholeRetry) {
    const QString file = data(QStringLiteral("2026/12/7.dat"));
    QDir().mkpath(data(QStringLiteral("2026/12")));
    const QByteArray earlier = QByteArray(198, 'x') + "\r\n";
    writeFileBytes(file, earlier);
    const ArchiveStep failing = GetParam();
    setArchiveFaultHook([failing](ArchiveStep step) { return step == failing ? EIO : 0; });
    try {
        appendToArchive(kTicket, kPrinted);
        FAIL() << "no error thrown";
    } catch (const ArchiveWriteError& e) {
        EXPECT_TRUE(e.message().contains(QString::fromLocal8Bit(std::strerror(EIO))))
            << e.message().toStdString();
    }
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(readFileBytes(file), earlier);
    setArchiveFaultHook({});
    ASSERT_TRUE(appendToArchive(kTicket, kPrinted));
    EXPECT_EQ(readFileBytes(file), earlier + kTicketBytesWithoutFirst);
}

// A disk that fills half-way through the ticket, made by a file-size limit
// in a child so that the limit ends with it.
TEST_F(ArchiveTest, DiskFullHalfWayLeavesTheDaysFileByteForByte) {
    const QString file = data(QStringLiteral("2026/12/7.dat"));
    QDir().mkpath(data(QStringLiteral("2026/12")));
    const QByteArray earlier = QByteArray(150, 'x') + "\r\n";
    writeFileBytes(file, earlier);
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

// A day file that ends part-way through a line gets a line end before the
// ticket, so that no two tickets are glued into one line.
TEST_F(ArchiveTest, AFileEndingWithoutALineEndGetsOneFirst) {
    const QString file = data(QStringLiteral("2026/12/7.dat"));
    QDir().mkpath(data(QStringLiteral("2026/12")));
    const struct {
        QByteArray earlier;
        QByteArray between;
    } cases[] = {
        {"torn line", "\r\n"},
        {"torn line\r", "\n"},
        {"whole line\r\n", ""},
        {"another program's line\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        writeFileBytes(file, c.earlier);
        ASSERT_TRUE(appendToArchive(kTicket, kPrinted));
        EXPECT_EQ(readFileBytes(file), c.earlier + c.between + kTicketBytes)
            << c.earlier.constData();
    }
}

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
