// A real main window under a test's control, for tests that must kill or
// signal the whole process. Commands come on standard input, one a line, and
// each is answered with "done" once carried out:
//   ok            the OK action
//   type <text>   typed characters to the focused control
//   print         the print button
//   dump          every cell, a row a line, cells separated by "|"
//   settle        waits until the unprinted-rows file holds the ticket
//   questions     the first line of each question asked so far
//   crash <n>     dies by SIGKILL when a print reaches PrintPoint n
//   tear          dies by SIGKILL half-way through the next archive write
//   unsealed      dies by SIGKILL once the ticket is in the day file and its
//                 seal line is about to be written
// The first argument is the folder that plays the executable's folder; the
// second, "keep" (the default) or "drop", answers a question about a ticket
// that may have been printed. The clock stands at 7 December 2026, 21:05:09.
// Print jobs are appended to "jobs" in that folder, synced, a job a line.
#include "output/archivewriter.h"
#include "output/printjournal.h"
#include "output/ticketprinter.h"
#include "platform/boundary.h"
#include "platform/clock.h"
#include "platform/errorbox.h"
#include "platform/localeconventions.h"
#include "platform/paths.h"
#include "platform/wholefile.h"
#include "tests/support/tempdir.h"
#include "ticket/unit1.h"

#include <QDir>
#include <QKeyEvent>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

QStringList g_questions;

void appendJob(const QString& dir, const QStringList& lines) {
    const QByteArray record = lines.join(QLatin1Char('\x1f')).toUtf8() + '\n';
    const int fd = ::open(QFile::encodeName(dir + QStringLiteral("/jobs")).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, record.constData(), size_t(record.size())) != record.size() ||
        ::fsync(fd) != 0)
        std::fprintf(stderr, "cannot record the job\n");
    if (fd >= 0)
        ::close(fd);
}

void run(TForm1& form, const QString& line) {
    if (line == QLatin1String("ok")) {
        form.SpeedButton1Click();
    } else if (line.startsWith(QLatin1String("type "))) {
        for (QChar ch : line.mid(5)) {
            QWidget* focus = QApplication::focusWidget();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(focus ? focus : &form, &press);
        }
    } else if (line == QLatin1String("print")) {
        form.BitBtn1Click();
    } else if (line == QLatin1String("settle")) {
        form.keepTicketNow();
    } else if (line == QLatin1String("dump")) {
        const TicketGrid& grid = form.ticket();
        for (int r = 0; r < grid.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < grid.columnCount(); ++c)
                cells << grid.cell(c, r);
            std::printf("%s\n", cells.join(QLatin1Char('|')).toUtf8().constData());
        }
    } else if (line == QLatin1String("questions")) {
        for (const QString& q : g_questions)
            std::printf("%s\n", q.toUtf8().constData());
    } else if (line.startsWith(QLatin1String("crash "))) {
        const auto at = PrintPoint(line.mid(6).toInt());
        setPrintPointHook([at](PrintPoint point) {
            if (point == at)
                ::raise(SIGKILL);
        });
    } else if (line == QLatin1String("unsealed")) {
        setArchiveFaultHook([](ArchiveStep step) {
            if (step == ArchiveStep::SealWrite)
                ::raise(SIGKILL);
            return 0;
        });
    } else if (line == QLatin1String("tear")) {
        wholefile::setWriteFunction([](int fd, const void* data, std::size_t size) -> qint64 {
            if (!openFilePath(fd).endsWith(QLatin1String(".dat")))
                return ::write(fd, data, size);
            if (::write(fd, data, size / 2) > 0)
                ::fsync(fd);
            ::raise(SIGKILL);
            return -1;
        });
    }
}

} // namespace

int main(int argc, char** argv) {
    WeighApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const bool keep = argc < 3 || QByteArray(argv[2]) != "drop";
    paths::setExecutableFilePath(dir + QStringLiteral("/vaznilistek"));
    QDir::setCurrent(dir);
    setConventions(LocaleConventions::czech());
    clock_::setNow([] { return QDateTime(QDate(2026, 12, 7), QTime(21, 5, 9)); });
    setMessageSink([](MessageKind, const QString& text) {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    });
    setQuestionSink([keep](const Question& question) {
        g_questions << question.text.section(QLatin1Char('\n'), 0, 0);
        return keep;
    });
    setPrintFunction([dir](const QStringList& lines) { appendJob(dir, lines); });

    TForm1 form;
    form.show();
    form.activateWindow();
    QApplication::setActiveWindow(&form);

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &form, [&] {
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            form.close();
            return;
        }
        pending.append(buffer, n);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            const QString line = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            atBoundary([&] { run(form, line); });
            std::printf("done\n");
            std::fflush(stdout);
        }
    });
    return app.exec();
}
