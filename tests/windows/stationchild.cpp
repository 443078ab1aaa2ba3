// A real main window under a test's control, for tests that must kill or
// signal the whole process. Commands come on standard input, one a line, and
// each is answered with "done" once carried out:
//   ok            the OK action
//   type <text>   typed characters to the focused control
//   print         the print button
//   dump          every cell, a row a line, cells separated by "|"
//   settle        waits until the unprinted-rows file holds the ticket
// The first argument is the folder that plays the executable's folder.
#include "output/ticketprinter.h"
#include "platform/boundary.h"
#include "platform/errorbox.h"
#include "platform/localeconventions.h"
#include "platform/paths.h"
#include "ticket/unit1.h"

#include <QDir>
#include <QKeyEvent>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

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
    }
}

} // namespace

int main(int argc, char** argv) {
    WeighApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    paths::setExecutableFilePath(dir + QStringLiteral("/vaznilistek"));
    QDir::setCurrent(dir);
    setConventions(LocaleConventions::czech());
    setMessageSink([](MessageKind, const QString& text) {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    });
    setPrintFunction([](const QStringList&) {});

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
