// The power cut: a child process runs the real main window and is killed
// with SIGKILL at chosen points; a new start must show exactly what was
// booked, never bring a printed ticket back unasked, and leave the day's
// archive file holding each ticket whole, once.
#include "archive/archiveseal.h"
#include "output/printjournal.h"
#include "platform/codepage.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempdir.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Station {
public:
    Station() {
        writeFileBytes(
            m_dir.filePath(QStringLiteral("vaznilistek.ini")),
            "[zobrazeni]\r\nstalyPrijem=1\r\nsave=1\r\npopis=1\r\nPrintSave=1\r\n"
            "[tabulka]\r\nsirka2=130\r\n[COM]\r\ndevice=/nonexistent/scale\r\ntimeout=0\r\n");
    }
    ~Station() { kill(); }

    // `answer` answers a question about a ticket that may have been printed.
    void start(const char* answer = "keep") {
        m_child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_child.start(QStringLiteral(STATION_CHILD), {m_dir.path(), QString::fromLatin1(answer)});
        ASSERT_TRUE(m_child.waitForStarted());
    }
    // Runs one command and returns what it printed before "done".
    QStringList command(const QByteArray& line) {
        m_child.write(line + "\n");
        QStringList out;
        for (QDeadlineTimer deadline(20000); !deadline.hasExpired();) {
            if (!m_child.canReadLine() && !m_child.waitForReadyRead(100)) {
                if (m_child.state() == QProcess::NotRunning)
                    break;
                continue;
            }
            while (m_child.canReadLine()) {
                const QString got = QString::fromUtf8(m_child.readLine()).chopped(1);
                if (got == QLatin1String("done"))
                    return out;
                out << got;
            }
        }
        ADD_FAILURE() << "no answer to " << line.constData();
        return out;
    }
    // Two weighings, the first described "p"; "settle" waits for the file,
    // which a worker thread writes behind each change.
    void bookTwo() {
        for (const char* line : {"ok", "type p", "ok", "settle"})
            command(line);
    }
    // A command that kills the child on its way; true when it died so.
    bool dies(const QByteArray& line) {
        m_child.write(line + "\n");
        return m_child.waitForFinished(20000) && m_child.exitStatus() == QProcess::CrashExit;
    }
    void kill() {
        if (m_child.state() != QProcess::NotRunning) {
            m_child.kill(); // SIGKILL: no closing steps run
            m_child.waitForFinished();
        }
    }
    bool fileHolds(const QString& text) const {
        return readFileBytes(m_dir.filePath(QStringLiteral("vaznilistek.tmp")))
            .contains(cp1250::encode(text));
    }
    QByteArray archive() const {
        return readFileBytes(m_dir.filePath(QStringLiteral("data/2026/12/7.dat")));
    }
    SealFile seals() const {
        return readSealFile(readFileBytes(m_dir.filePath(QStringLiteral("data/2026/12/7.pec"))));
    }
    int jobs() const {
        return int(readFileBytes(m_dir.filePath(QStringLiteral("jobs"))).count('\n'));
    }

private:
    QTemporaryDir m_dir;
    QProcess m_child;
};

const QStringList kTwoBooked{"1/p/0,000 kg", "2//0,000 kg"};

// The body rows' sequence, description and weight cells.
QStringList bodyRows(const QStringList& dump) {
    QStringList rows;
    for (qsizetype r = 1; r + 1 < dump.size(); ++r) {
        const QStringList cells = dump[r].split(QLatin1Char('|'));
        rows << cells.value(0) + QLatin1Char('/') + cells.value(2) + QLatin1Char('/') +
                    cells.value(3);
    }
    return rows;
}

TEST(CrashSafety, AKillLosesNothingBookedAndBringsNoPrintedTicketBack) {
    Station station;
    station.start();
    station.bookTwo();
    station.kill();

    station.start();
    EXPECT_EQ(bodyRows(station.command("dump")), kTwoBooked);
    station.command("ok");
    // Text being typed reaches the file about a second behind, unasked.
    station.command("type štěrk");
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired() && !station.fileHolds("štěrk");)
        station.command("dump");
    station.kill();

    station.start();
    EXPECT_EQ(bodyRows(station.command("dump")).join(QLatin1Char(';')).toStdString(),
              QStringLiteral("1/p/0,000 kg;2//0,000 kg;3/štěrk/0,000 kg").toStdString());
    station.command("print");
    station.kill();

    station.start();
    EXPECT_EQ(bodyRows(station.command("dump")), QStringList());
}

// The ticket of two weighings as the archive holds it, and the empty ticket
// that a print of no rows archives after it.
const QByteArray kArchived =
    cp1250::encode(QStringLiteral("Poř.číslo  \t\tPopis          \t\t   Hmotnost\r\n"
                                  "1          \t\tp              \t\t   0,000 kg\r\n"
                                  "2          \t\t               \t\t   0,000 kg\r\n"
                                  "Celkem 2   \t\t               \t\t       0 kg\r\n"
                                  "Dne: 7.12.2026  21:05:09\r\n"));

struct CrashPoint {
    const char* name;
    QByteArray command; // what makes the print die on its way
    const char* answer;
    bool restored;      // the rows come back at the next start
    bool asked;         // ... after a question
    int archivedBefore; // tickets of two weighings in the day file after the crash
};

void PrintTo(const CrashPoint& p, std::ostream* os) {
    *os << p.name;
}

QByteArray crashAt(PrintPoint point) {
    return "crash " + QByteArray::number(int(point));
}

class PrintKilled : public ::testing::TestWithParam<CrashPoint> {};

// Killed at each step of a print: what the next start restores or asks, how
// often the ticket is in the archive, whether the day file ends whole; then
// the operator prints what the start left, and no ticket is archived twice.
TEST_P(PrintKilled, NextStartKnowsHowFarThePrintGot) {
    const CrashPoint& p = GetParam();
    Station station;
    station.start();
    station.bookTwo();
    station.command(p.command);
    ASSERT_TRUE(station.dies("print"));

    station.start(p.answer);
    EXPECT_EQ(bodyRows(station.command("dump")), p.restored ? kTwoBooked : QStringList());
    EXPECT_EQ(station.command("questions").size(), p.asked ? 1 : 0);
    EXPECT_EQ(station.archive(), p.archivedBefore ? kArchived : QByteArray());
    // What stays in the day file stays sealed, and nothing else is.
    EXPECT_EQ(station.seals().lines.size(), size_t(p.archivedBefore));
    EXPECT_TRUE(checkSeals(station.archive(), station.seals()).clean());

    const int jobsBefore = station.jobs();
    station.command("print");
    EXPECT_EQ(station.jobs(), jobsBefore + 1);
    const QByteArray archive = station.archive();
    EXPECT_EQ(archive.count("Celkem 2 "), 1) << archive.constData();
    EXPECT_TRUE(archive.endsWith("\r\n"));
    if (!p.restored)
        EXPECT_TRUE(archive.startsWith(kArchived) && archive.contains("Celkem 0 "));
    else
        EXPECT_EQ(archive, kArchived);
    // One seal line per ticket in the day, together covering the whole file.
    const SealFile seals = station.seals();
    EXPECT_EQ(seals.lines.size(), size_t(archive.count("Celkem ")));
    ASSERT_FALSE(seals.lines.empty());
    EXPECT_EQ(seals.lines.front().start, 0);
    EXPECT_TRUE(checkSeals(archive, seals).clean()); // no damaged line, no byte after the last

    // Nothing of the print is left to ask about or to undo.
    station.kill();
    station.start(p.answer);
    EXPECT_EQ(bodyRows(station.command("dump")), QStringList());
    EXPECT_EQ(station.command("questions"), QStringList());
    EXPECT_EQ(station.archive(), archive);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PrintKilled,
    ::testing::Values(
        CrashPoint{"BeforeTheJournal", crashAt(PrintPoint::Begun), "keep", true, false, 0},
        CrashPoint{"AfterTheJournal", crashAt(PrintPoint::Recorded), "keep", true, false, 0},
        CrashPoint{"HalfWayThroughTheAppend", "tear", "keep", true, false, 0},
        CrashPoint{"BetweenTheAppendAndItsSeal", "unsealed", "keep", true, false, 0},
        CrashPoint{"AfterTheAppend", crashAt(PrintPoint::Appended), "keep", true, false, 0},
        CrashPoint{"AsTheJobGoesOutKept", crashAt(PrintPoint::JobStarting), "keep", true, true, 1},
        CrashPoint{"AsTheJobGoesOutDropped", crashAt(PrintPoint::JobStarting), "drop", false, true,
                   1},
        CrashPoint{"AfterTheJob", crashAt(PrintPoint::JobTaken), "keep", false, false, 1},
        CrashPoint{"AfterTheEmptiedTicket", crashAt(PrintPoint::Settled), "keep", false, false, 1}),
    [](const ::testing::TestParamInfo<CrashPoint>& info) { return std::string(info.param.name); });

} // namespace
