// The built program, copied into a scratch folder with its port on a
// pseudo-terminal and three unprinted weighings, ended from outside.

#include "platform/localeconventions.h"
#include "platform/runlock.h"
#include "platform/wholefile.h"
#include "settings/inifile.h"
#include "tests/support/tempdir.h"
#include "ticket/ticketgrid.h"
#include "ticket/unprintedrows.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <locale.h>
#include <pty.h>
#include <sys/wait.h>

namespace {

template <typename Condition> bool waitFor(Condition done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < end)
        ::usleep(10'000);
    return done();
}

TicketGrid threeWeighings() {
    TicketGrid grid;
    for (const char* kg : {"120 kg", "340 kg", "560 kg"})
        grid.addWeighing(QString::number(grid.lastRow()), QStringLiteral("08:00:00"),
                         QString::fromUtf8(kg), TicketGrid::TotalsWriter::Weighing, {}, {});
    grid.setCell(0, grid.lastRow(), QStringLiteral("stale totals"));
    return grid;
}

class Station : public ::testing::Test {
protected:
    struct Child {
        pid_t pid = -1;
        int status = -1;
        bool exited() { return status >= 0 || ::waitpid(pid, &status, WNOHANG) != 0; }
        ~Child() {
            if (pid > 0 && status < 0)
                ::kill(pid, SIGKILL), ::waitpid(pid, &status, 0);
        }
    };

    void SetUp() override {
        setConventions(LocaleConventions::czech());
        ASSERT_TRUE(QFile::copy(QStringLiteral(VAZNILISTEK_EXECUTABLE), file("vaznilistek")));
        char tty[128];
        ASSERT_EQ(::openpty(&m_master, &m_slave, tty, nullptr, nullptr), 0);
        writeFileBytes(file("vaznilistek.ini"),
                       "[zobrazeni]\r\nsave=1\r\n[COM]\r\ndevice=" + QByteArray(tty) + "\r\n");
        saveUnprintedRows(threeWeighings(), file("vaznilistek.tmp"));
    }
    void TearDown() override { ::close(m_master), ::close(m_slave); }

    QString file(const char* name) const { return m_folder.filePath(QString::fromUtf8(name)); }
    QString log(const char* name) const { return m_logs.filePath(QString::fromUtf8(name)); }

    void start(Child& child, const char* logName, std::string display = {}) {
        const QByteArray program = file("vaznilistek").toLocal8Bit(),
                         dir = m_folder.path().toLocal8Bit(), err = log(logName).toLocal8Bit();
        std::string platform =
            display.empty() ? "QT_QPA_PLATFORM=offscreen" : "QT_QPA_PLATFORM=xcb";
        display = "DISPLAY=" + display;
        char* env[] = {platform.data(), display.data(), nullptr};
        if ((child.pid = ::fork()) == 0) {
            ::dup2(::open(err.constData(), O_WRONLY | O_CREAT, 0644), 2);
            if (::chdir(dir.constData()) == 0)
                ::execle(program.constData(), "vaznilistek", nullptr, env);
            ::_exit(127);
        }
    }
    // Running once SIGHUP, SIGINT and SIGTERM are caught, the last step before
    // the event loop.
    static bool running(Child& child) {
        const auto catches = [&child] {
            QFile status(QStringLiteral("/proc/%1/status").arg(child.pid));
            const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : "";
            const qsizetype at = text.indexOf("SigCgt:") + 7;
            const quint64 mask =
                text.mid(at, text.indexOf('\n', at) - at).trimmed().toULongLong(nullptr, 16);
            return (mask & 0x4003) == 0x4003;
        };
        waitFor([&] { return catches() || child.exited(); });
        return !child.exited();
    }

    void expectRowsWrittenBack() {
        TicketGrid grid;
        loadUnprintedRows(file("vaznilistek.tmp"), grid);
        const TicketGrid expected = threeWeighings();
        ASSERT_EQ(grid.rowCount(), expected.rowCount());
        for (int c = 0; c < TicketGrid::kColumns; ++c)
            EXPECT_EQ(grid.cell(c, 3), expected.cell(c, 3));
        EXPECT_NE(grid.cell(0, 4), expected.cell(0, 4)); // the totals written anew
    }

    QTemporaryDir m_folder, m_logs; // logs outside the folder, which must stay untouched
    int m_master = -1, m_slave = -1;
};

class EndedBySignal : public Station, public ::testing::WithParamInterface<int> {};

TEST_P(EndedBySignal, RunsTheClosingStepsAndKeepsTheRows) {
    Child child;
    start(child, "err");
    ASSERT_TRUE(running(child));
    ::kill(child.pid, GetParam());
    ASSERT_TRUE(waitFor([&] { return child.exited(); }));
    EXPECT_EQ(child.status, 0);
    expectRowsWrittenBack();
    EXPECT_EQ(IniFile(file("vaznilistek.ini"))
                  .readInteger(QStringLiteral("tabulka"), QStringLiteral("celkem"), 0),
              370);
}

// The closing steps wait in an error box that no one answers during a logout;
// the next signal ends the wait and the rows are still written.
TEST_F(Station, RepeatedSignalsEndAClosingThatWaitsInAnErrorBox) {
    // A folder where the settings' new contents would go: they read, but
    // every write fails.
    QDir().mkdir(wholefile::temporaryPath(file("vaznilistek.ini")));
    Child child;
    start(child, "err");
    ASSERT_TRUE(running(child));
    EXPECT_TRUE(waitFor([&] { return ::kill(child.pid, SIGTERM), child.exited(); }));
    expectRowsWrittenBack();
}

INSTANTIATE_TEST_SUITE_P(Signals, EndedBySignal, ::testing::Values(SIGTERM, SIGHUP, SIGINT));

TEST_F(Station, ASecondStartSaysSoAndChangesNothing) {
    Child first, second;
    start(first, "first");
    ASSERT_TRUE(running(first));
    const auto files = [this] {
        QStringList all;
        for (const QFileInfo& f : QDir(m_folder.path()).entryInfoList(QDir::Files | QDir::Hidden))
            all << f.fileName() + readFileBytes(f.filePath()).toHex() + f.lastModified().toString();
        return all;
    };
    const QStringList before = files();
    start(second, "second");
    // It waits in the error box, whose text also goes to standard error.
    const QByteArray told = alreadyRunningMessage({}).left(20).toUtf8();
    ASSERT_TRUE(
        waitFor([&] { return readFileBytes(log("second")).contains(told) || second.exited(); }));
    EXPECT_FALSE(second.exited());
    EXPECT_EQ(files(), before);
    ::kill(first.pid, SIGTERM);
    ASSERT_TRUE(waitFor([&] { return first.exited(); }));
    expectRowsWrittenBack();
}

// Qt ends the program with exit() when the X server goes away.
TEST_F(Station, ALostDisplayStillWritesTheRows) {
    int ready[2];
    if (!QFileInfo(QStringLiteral("/usr/bin/Xvfb")).isExecutable() || ::pipe(ready) != 0)
        GTEST_SKIP() << "no Xvfb";
    Child server, child;
    if ((server.pid = ::fork()) == 0) {
        ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", std::to_string(ready[1]).c_str(),
                "-nolisten", "tcp", nullptr);
        ::_exit(127);
    }
    char number[16] = {};
    ::close(ready[1]);
    const ssize_t got = ::read(ready[0], number, sizeof number - 1);
    ::close(ready[0]);
    ASSERT_GT(got, 0);
    start(child, "err", ':' + QByteArray(number).trimmed().toStdString());
    const bool wasRunning = running(child);
    ::kill(server.pid, SIGKILL);
    ASSERT_TRUE(wasRunning);
    ASSERT_TRUE(waitFor([&] { return child.exited(); }));
    expectRowsWrittenBack();
}

// The installed starter, from a menu or a session that chose no locale,
// gives the program the Czech conventions the run command gives it; a locale
// the user chose stays.
TEST(Starter, ALocaleLeftAtCGetsCzechConventions) {
    if (locale_t czech = ::newlocale(LC_ALL_MASK, "cs_CZ.UTF-8", nullptr))
        ::freelocale(czech);
    else
        GTEST_SKIP() << "cs_CZ.UTF-8 is not generated here";
    QTemporaryDir root;
    const QString starter = root.filePath(QStringLiteral("usr/bin/vaznilistek"));
    const QString station = root.filePath(QStringLiteral("opt/vaznilistek"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(starter).path()) && QDir().mkpath(station));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VAZNILISTEK_STARTER), starter));
    writeFileBytes(station + QStringLiteral("/vaznilistek"),
                   "#!/bin/sh\necho \"$LANG|$LC_ALL\" > seen\n");
    const auto runnable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    ASSERT_TRUE(QFile::setPermissions(starter, runnable) &&
                QFile::setPermissions(station + QStringLiteral("/vaznilistek"), runnable));
    const std::pair<const char*, const char*> cases[] = {{"C.UTF-8", "cs_CZ.UTF-8|"},
                                                         {"POSIX", "cs_CZ.UTF-8|"},
                                                         {"", "cs_CZ.UTF-8|"},
                                                         {"en_GB.UTF-8", "en_GB.UTF-8|"}};
    for (const auto& [lang, seen] : cases) {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        if (*lang)
            env.insert(QStringLiteral("LANG"), QString::fromLatin1(lang));
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(starter, {});
        ASSERT_TRUE(run.waitForFinished(30000)) << lang;
        EXPECT_EQ(readFileBytes(station + QStringLiteral("/seen")).trimmed(), QByteArray(seen))
            << "LANG=" << lang;
    }
}

} // namespace
