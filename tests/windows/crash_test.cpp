// The power cut: a child process runs the real main window and is killed
// with SIGKILL at chosen points; a new start must show exactly what was
// booked, and never a ticket that was already printed.
#include "platform/codepage.h"
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
            "[zobrazeni]\r\nstalyPrijem=1\r\nsave=1\r\npopis=1\r\n"
            "[tabulka]\r\nsirka2=130\r\n[COM]\r\ndevice=/nonexistent/scale\r\ntimeout=0\r\n");
    }
    ~Station() { kill(); }

    void start() {
        m_child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_child.start(QStringLiteral(STATION_CHILD), {m_dir.path()});
        ASSERT_TRUE(m_child.waitForStarted());
    }
    // Runs one command and returns what it printed before "done".
    QStringList command(const QByteArray& line) {
        m_child.write(line + "\n");
        QStringList out;
        QByteArray buffered;
        for (QDeadlineTimer deadline(20000); !deadline.hasExpired();) {
            if (!m_child.canReadLine() && !m_child.waitForReadyRead(100))
                continue;
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

private:
    QTemporaryDir m_dir;
    QProcess m_child;
};

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
    station.command("ok");
    station.command("type p");
    station.command("ok");
    station.command("settle"); // the write follows each change on a worker thread
    station.kill();

    station.start();
    EXPECT_EQ(bodyRows(station.command("dump")), (QStringList{"1/p/0,000 kg", "2//0,000 kg"}));
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

} // namespace
