// Main window speed, driven through the real TForm1 on a pseudo-terminal:
// the OK action near the top and deep into a long ticket (the deep one within
// twice the shallow one), start-up with a 1,000-row unprinted ticket (under
// 300 ms), a reading at the far end of the line to the weight label (p99
// under 2 ms), and in print-frame mode a frame's last character to its row
// (under 200 ms, most of it the wait for a quiet line).

// unit1.h's inline window accessors need TForm2 and TForm3 complete.
#include "output/unit2.h"
#include "platform/clock.h"
#include "platform/errorbox.h"
#include "platform/localeconventions.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/unit3.h"
#include "tests/support/tempdir.h"
#include "ticket/ticketgrid.h"
#include "ticket/unit1.h"
#include "ticket/unprintedrows.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "bench/support/benchsupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const QString kUnit = QStringLiteral("kg");

// The executable's folder in a scratch directory, a pseudo-terminal as the
// scale, and message boxes recorded instead of shown.
class Station {
public:
    explicit Station(const QByteArray& displaySettings = {}, bool liveWeight = true) {
        setConventions(LocaleConventions::czech());
        m_previousDir = QDir::currentPath();
        // The word list is looked up in the working folder.
        QDir::setCurrent(m_dir.path());
        m_previousSink =
            setMessageSink([this](MessageKind, const QString& text) { messages.append(text); });
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
            qFatal("openpty failed");
        const QByteArray ini = "[zobrazeni]\r\nstalyPrijem=" + QByteArray(liveWeight ? "1" : "0") +
                               "\r\n" + displaySettings + "[COM]\r\ndevice=" + QByteArray(name) +
                               // One reading before a long run of clicks: the
                               // line must not fall silent under the benchmark.
                               "\r\ntimeout=0\r\n";
        writeFileBytes(m_dir.file(QStringLiteral("vaznilistek.ini")), ini);
    }

    ~Station() {
        form.reset();
        ::close(m_master);
        ::close(m_slave);
        setMessageSink(m_previousSink);
        QDir::setCurrent(m_previousDir);
    }

    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    TForm1* start() {
        form = std::make_unique<TForm1>();
        form->show();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form.get()))
            qWarning("main window did not become active");
        return form.get();
    }

    bool send(const QByteArray& bytes) const {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    QStringList messages;
    std::unique_ptr<TForm1> form;

private:
    ScratchExecutableDir m_dir;
    int m_master = -1;
    int m_slave = -1;
    QString m_previousDir;
    MessageSink m_previousSink;
};

// Busy-spins the event loop, as the GUI thread would be idle and waiting for
// exactly this; returns false when the deadline passes first.
template <class Done> bool spinUntil(Done done, int timeoutMs = 2000) {
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

// Sends the last bytes of a reading or frame and waits until `shown()`,
// sleeping in the event loop as the program does or spinning it; adds the
// microseconds from the send to `micros`, or counts the bytes as lost when
// nothing showed within 2 s. False when the write failed.
template <class Shown>
bool timeToShow(const Station& station, const QByteArray& bytes, Shown shown, bool sleeping,
                std::vector<double>& micros, int& lost) {
    QEventLoop loop;
    QTimer guard; // wakes a sleeping loop when the bytes are lost
    guard.setSingleShot(true);
    guard.start(2000);
    const auto t0 = Clock::now();
    if (!station.send(bytes))
        return false;
    bool arrived = false;
    if (sleeping) {
        while (!(arrived = shown()) && guard.isActive())
            loop.processEvents(QEventLoop::WaitForMoreEvents);
    } else {
        arrived = spinUntil(shown);
    }
    const auto t1 = Clock::now();
    if (arrived)
        micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    else
        ++lost;
    return true;
}

QByteArray liveFrame(double weight) {
    // QString::asprintf ignores the C locale that QApplication switched on.
    return QString::asprintf("ST,GS,+%8.3fkg\r\n", weight).toLatin1();
}

QString labelText(double weight) {
    return QString::number(weight, 'f', 3).replace(QLatin1Char('.'), QLatin1Char(',')) +
           QLatin1Char(' ') + kUnit;
}

bool skipOnMessages(benchmark::State& state, const Station& station) {
    if (station.messages.isEmpty())
        return false;
    state.SkipWithError(qPrintable(QStringLiteral("message box: ") + station.messages.first()));
    return true;
}

void writeUnprintedTicket(int rows) {
    TicketGrid grid;
    grid.writeCaptions();
    const QDateTime now = clock_::now();
    for (int i = 1; i <= rows; ++i) {
        const int row = grid.addWeighing(QString::number(i), QStringLiteral("12:34:56"),
                                         QStringLiteral("12,500 kg"),
                                         TicketGrid::TotalsWriter::Weighing, now, kUnit);
        grid.setCell(TicketGrid::Description, row, QStringLiteral("písek"));
    }
    saveUnprintedRows(grid, paths::unprintedRowsFile());
}

// Seconds from constructing the window to its first frame; negative when it
// never shows or the ticket did not load.
double startUp(int rows) {
    const auto t0 = Clock::now();
    auto form = std::make_unique<TForm1>();
    form->show();
    // qWaitForWindowExposed sleeps 10 ms between polls; spinning measures the
    // window rather than the poll.
    const bool exposed =
        spinUntil([&] { return form->windowHandle() && form->windowHandle()->isExposed(); });
    QCoreApplication::processEvents(); // the first paint
    const auto t1 = Clock::now();
    if (!exposed || form->ticket().bodyRowCount() != rows)
        return -1;
    return std::chrono::duration<double>(t1 - t0).count();
}

// Constructing the window (settings, the unprinted ticket, the port) up to
// its first frame on screen. cold_ms is the first window of the process,
// which also loads fonts and the style, as the program does once.
void BM_StartUpWith1000UnprintedRows(benchmark::State& state) {
    const int rows = int(state.range(0));
    Station station("save=1\r\n");
    writeUnprintedTicket(rows);
    // Registered first, so that this is the process's first window.
    static const double coldSeconds = startUp(rows);
    if (coldSeconds < 0) {
        state.SkipWithError("the first window was not exposed or the ticket was not loaded");
        return;
    }
    for (auto _ : state) {
        const double seconds = startUp(rows);
        if (seconds < 0) {
            state.SkipWithError("the window was not exposed or the ticket was not loaded");
            return;
        }
        state.SetIterationTime(seconds);
    }
    if (skipOnMessages(state, station))
        return;
    state.counters["cold_ms"] = coldSeconds * 1e3;
}
BENCHMARK(BM_StartUpWith1000UnprintedRows)
    ->Arg(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

constexpr double kWeighed = 12.5;

// Drops body rows past `rows` as if they had never been weighed, so that every
// timed click lands at the same depth.
void trimTicket(TForm1& form, int rows) {
    TicketGrid& grid = form.ticket();
    const int removed = grid.bodyRowCount() - rows;
    if (removed <= 0)
        return;
    grid.setRowCount(rows + 2);
    grid.weighingCount = rows;
    grid.weightSum = weightTextToDecimal(QString::number(rows * kWeighed), QString());
    grid.writeTotals(TicketGrid::TotalsWriter::Weighing, clock_::now(), form.unitName());
    form.ticketChanged(grid.lastRow());
}

void BM_OkAction(benchmark::State& state) {
    const int rows = int(state.range(0));
    Station station;
    TForm1* form = station.start();
    if (!station.send(liveFrame(kWeighed)) ||
        !spinUntil([&] { return form->Label1->text() == labelText(kWeighed); })) {
        state.SkipWithError("the weight did not reach the label");
        return;
    }
    for (int i = 0; form->ticket().bodyRowCount() < rows; ++i) {
        form->SpeedButton1Click();
        if (i % 100 == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();

    // Ten clicks, then back to the starting depth outside the timing.
    constexpr int kBatch = 10;
    int sinceTrim = 0;
    for (auto _ : state) {
        form->SpeedButton1Click();
        QCoreApplication::processEvents();
        if (++sinceTrim == kBatch) {
            state.PauseTiming();
            trimTicket(*form, rows);
            QCoreApplication::processEvents();
            sinceTrim = 0;
            state.ResumeTiming();
        }
    }
    skipOnMessages(state, station);
}
// Row 40 fills the grid and scrolls it on every click as row 10,000 does,
// which tells the cost of a full grid apart from the cost of a long ticket.
BENCHMARK(BM_OkAction)->Arg(10)->Arg(40)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Bytes at the far end of the line until Label1 shows them: the event
// thread, the hand-over to the GUI thread, VaComm1RxChar, the decoder and the
// label, with the window's event filter on every event in between. The GUI
// thread either spins processEvents (sleep:0) or sleeps in its event loop as
// in the program (sleep:1); on a busy machine with few cores a spinning GUI
// thread competes with the channel's event thread for a core.
void BM_ReadingToLabel1(benchmark::State& state) {
    const int readings = int(state.range(0));
    const bool sleeping = state.range(1) != 0;
    Station station;
    TForm1* form = station.start();
    std::vector<double> micros;
    micros.reserve(std::size_t(readings));
    int lost = 0;
    for (auto _ : state) {
        for (int i = 0; i < readings; ++i) {
            // Alternate far-apart weights so that each reading changes the label.
            const double weight = (i % 2 ? 1000.0 : 1.0) + i / 1000.0;
            const QByteArray frame = liveFrame(weight);
            const QString expected = labelText(weight);
            const auto shown = [&] { return form->Label1->text() == expected; };
            if (!timeToShow(station, frame, shown, sleeping, micros, lost)) {
                state.SkipWithError("write to the pseudo-terminal failed");
                return;
            }
            // Readings come at the scale's pace, so the label's repaint is
            // done before the next one.
            QCoreApplication::processEvents();
        }
    }
    if (skipOnMessages(state, station))
        return;
    reportLatency(state, micros, lost);
}
BENCHMARK(BM_ReadingToLabel1)
    ->ArgNames({"readings", "sleep"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Print-frame mode: a frame's last character at the far end of the line
// until its row is on the ticket, through the channel, the window and the
// hold timer that waits for the line to go quiet. Each frame comes as a USB
// adapter passes it on, 15 characters every 16 ms; the next weighing's frame
// comes after the row, as the next truck's would. The GUI thread sleeps in
// its event loop, as in the program.
void BM_PrintFrameToRow(benchmark::State& state) {
    const int frames = int(state.range(0));
    constexpr qsizetype kPiece = 15;
    Station station({}, false);
    TForm1* form = station.start();
    const auto runEventsFor = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    };
    std::vector<double> micros;
    micros.reserve(std::size_t(frames));
    int lost = 0;
    for (auto _ : state) {
        for (int i = 1; i <= frames; ++i) {
            const QByteArray frame = QStringLiteral("%1, %2 kg")
                                         .arg(i)
                                         .arg(i * 10.5, 0, 'f', 2)
                                         .leftJustified(16)
                                         .toLatin1() +
                                     "\r\n";
            const int rows = form->ticket().bodyRowCount();
            qsizetype at = 0;
            for (; frame.size() - at > kPiece; at += kPiece) {
                station.send(frame.mid(at, kPiece));
                runEventsFor(16);
            }
            const auto shown = [&] { return form->ticket().bodyRowCount() > rows; };
            if (!timeToShow(station, frame.mid(at), shown, true, micros, lost)) {
                state.SkipWithError("write to the pseudo-terminal failed");
                return;
            }
        }
    }
    if (skipOnMessages(state, station))
        return;
    reportLatency(state, micros, lost);
}
BENCHMARK(BM_PrintFrameToRow)->Arg(30)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

QtMessageHandler previousHandler = nullptr;

// The offscreen platform warns on every window shown; that would bury the
// results.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    previousHandler(type, context, text);
}

} // namespace

int main(int argc, char** argv) {
    previousHandler = qInstallMessageHandler(quietHandler);
    // An explicit platform (xcb under Xvfb, say) is kept for comparison runs.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    WeighApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
