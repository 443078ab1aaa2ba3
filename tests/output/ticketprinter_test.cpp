#include "output/printersetup.h"
#include "output/ticketprinter.h"

#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMap>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "output_printing_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the printer behind currentPrinter() outlives tests.
    new QApplication(argc, argv);
}

bool haveTool(const char* tool) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty();
}

// Runs a tool and returns its standard output as UTF-8 text.
QString run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString& pdf) {
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

// Tabs and padding become runs of blanks in extracted text; what must survive
// is every word, in order, on one line.
QString words(const QString& line) {
    return line.simplified();
}

// The ticket lines found in the extracted text, in the order they appear.
bool holdsLinesInOrder(const QString& text, const QStringList& lines, QString* missing) {
    const QStringList extracted = text.split(QRegularExpression(QStringLiteral("[\n\f]")));
    qsizetype at = 0;
    for (const QString& line : lines) {
        if (words(line).isEmpty())
            continue;
        while (at < extracted.size() && words(extracted[at]) != words(line))
            ++at;
        if (at == extracted.size()) {
            *missing = line;
            return false;
        }
        ++at;
    }
    return true;
}

const QStringList kTicket{
    QStringLiteral("Štěrkovna Úvaly – příjem"),
    QStringLiteral("Poř.číslo  \t\tČas      \t\tPopis          \t\t   Hmotnost"),
    QStringLiteral("1          \t\t12:34:56 \t\tpísek          \t\t  12,500 kg"),
    QStringLiteral("2          \t\t12:40:01 \t\tžluťoučký kůň  \t\t   7,250 kg"),
    QStringLiteral("Celkem 2   \t\t         \t\t               \t\t   19,75 kg"),
    QStringLiteral("Dne: 7.12.2026  21:05:09"),
    QString(),
    QStringLiteral("ĚŠČŘŽÝÁÍÉŮÚ ďťň"),
};

class PrintingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        ASSERT_TRUE(m_dir.isValid());
    }
    void TearDown() override {
        setPrintFunction({});
        setPrinterCheck({});
    }

    // Renders to a PDF file in the scratch folder and returns its path.
    QString renderToPdf(const QStringList& lines, const QString& name = QStringLiteral("t.pdf")) {
        const QString path = m_dir.filePath(name);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        renderTicket(printer, lines);
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(PrintingTest, PdfHoldsEveryTicketLineCzechLettersIncluded) {
    if (!haveTool("pdftotext"))
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const QString text = pdfText(renderToPdf(kTicket));
    QString missing;
    EXPECT_TRUE(holdsLinesInOrder(text, kTicket, &missing))
        << "missing: " << missing.toStdString() << "\nin:\n"
        << text.toStdString();
}

TEST_F(PrintingTest, JobIsTitledAndUsesAFixedPitchFont) {
    if (!haveTool("pdfinfo") || !haveTool("pdffonts"))
        GTEST_SKIP() << "pdfinfo/pdffonts (poppler-utils) are not installed";
    const QString pdf = renderToPdf(kTicket);
    EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {pdf})
                    .contains(QRegularExpression(QStringLiteral("Title:\\s+Vážní lístek\n"))));
    const QString fonts = run(QStringLiteral("pdffonts"), {pdf});
    EXPECT_TRUE(fonts.contains(QStringLiteral("Mono")) || fonts.contains(QStringLiteral("Courier")))
        << fonts.toStdString();
}

TEST_F(PrintingTest, TextStartsAtTheTopLeftOfThePrintableArea) {
    if (!haveTool("pdftotext"))
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const QString html =
        run(QStringLiteral("pdftotext"),
            {QStringLiteral("-bbox"), renderToPdf({QStringLiteral("Vlevo")}), QStringLiteral("-")});
    const QRegularExpressionMatch m =
        QRegularExpression(
            QStringLiteral("<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\"[^>]*>Vlevo<"))
            .match(html);
    ASSERT_TRUE(m.hasMatch()) << html.toStdString();
    // A PDF page has no unprintable border, so no margin at all: the glyph
    // box starts within a few points of the corner.
    EXPECT_LT(m.captured(1).toDouble(), 3.0);
    EXPECT_LT(m.captured(2).toDouble(), 6.0);
}

TEST_F(PrintingTest, LongTicketFlowsOverSeveralPagesLosingNoLine) {
    if (!haveTool("pdftotext"))
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines.append(
            QStringLiteral("Řádek %1\t\tváha %2 kg").arg(i, 3, 10, QLatin1Char('0')).arg(i));
    const QString text = pdfText(renderToPdf(lines));
    QString missing;
    EXPECT_TRUE(holdsLinesInOrder(text, lines, &missing)) << "missing: " << missing.toStdString();
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    EXPECT_GE(pages.size(), 2);
    ASSERT_FALSE(pages.isEmpty());
    // Each page starts where the previous one stopped, from its top.
    EXPECT_TRUE(pages[0].trimmed().startsWith(QStringLiteral("Řádek 001")));
    if (pages.size() >= 2) {
        const int lastOnFirst =
            pages[0].trimmed().split(QLatin1Char('\n')).last().mid(6, 3).toInt();
        EXPECT_TRUE(pages[1].trimmed().startsWith(
            QStringLiteral("Řádek %1").arg(lastOnFirst + 1, 3, 10, QLatin1Char('0'))))
            << pages[1].left(40).toStdString();
    }
}

TEST_F(PrintingTest, LineWiderThanThePageWrapsInsteadOfLosingTheWeight) {
    if (!haveTool("pdftotext"))
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QString wide;
    for (int i = 0; i < 30; ++i)
        wide += QStringLiteral("%1abcdefg").arg(i, 2, 10, QLatin1Char('0'));
    wide += QStringLiteral("   12,500 kg");
    const QString text = pdfText(renderToPdf({wide}));
    QString joined = text;
    joined.remove(QRegularExpression(QStringLiteral("\\s")));
    QString expected = wide;
    expected.remove(QLatin1Char(' '));
    EXPECT_TRUE(joined.contains(expected)) << text.toStdString();
    EXPECT_GE(text.trimmed().count(QLatin1Char('\n')), 1) << "the line was not wrapped";
}

TEST_F(PrintingTest, PrinterThatCannotStartAJobThrowsAndWritesNothing) {
    const QString path = m_dir.filePath(QStringLiteral("no/such/folder/t.pdf"));
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    try {
        renderTicket(printer, kTicket);
        FAIL() << "no error thrown";
    } catch (const PrintError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Tisk se nezdařil"))) << e.what();
        EXPECT_TRUE(e.message().contains(path)) << e.what();
    }
    EXPECT_FALSE(QFileInfo::exists(path));
}

// The printing services come from scripts/start-printing, which the test
// command runs ctest under; without them the tests below have nothing to
// talk to and a bare ctest never sends a job to the machine's own printers.
QString privateService(const char* variable) {
    return qEnvironmentVariable(variable);
}

// Points this process's libcups at another service for one scope; Qt asks
// libcups afresh for every printer list.
class ServiceSwitch {
public:
    explicit ServiceSwitch(const QString& socket) {
        cupsSetServer(socket.toLocal8Bit().constData());
    }
    ~ServiceSwitch() { cupsSetServer(nullptr); }
    ServiceSwitch(const ServiceSwitch&) = delete;
    ServiceSwitch& operator=(const ServiceSwitch&) = delete;
};

void printOn(const QString& queue, const QStringList& lines) {
    currentPrinter().setOutputFormat(QPrinter::NativeFormat);
    currentPrinter().setPrinterName(queue);
    printTicket(lines);
}

TEST_F(PrintingTest, NoPrinterInTheSystemThrowsAClearMessage) {
    const QString empty = privateService("WEIGH_EMPTY_CUPS_SERVER");
    if (empty.isEmpty())
        GTEST_SKIP() << "no private printing service (scripts/start-printing)";
    ServiceSwitch noPrinters(empty);
    try {
        printTicket(kTicket);
        FAIL() << "no error thrown";
    } catch (const PrintError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Tisk se nezdařil: v systému není žádná tiskárna."));
    }
}

// A queue that does not accept jobs must not pass for a printed ticket: the
// caller keeps the rows only when the print throws.
TEST_F(PrintingTest, QueueThatRefusesJobsThrowsTheServicesMessage) {
    if (privateService("WEIGH_PRINT_OUT").isEmpty())
        GTEST_SKIP() << "no private printing service (scripts/start-printing)";
    // What the service answers anyone who submits to that queue.
    ASSERT_EQ(cupsCreateJob(CUPS_HTTP_DEFAULT, "REFUSING", "probe", 0, nullptr), 0);
    const QString answer = QString::fromUtf8(cupsLastErrorString());
    ASSERT_FALSE(answer.isEmpty());
    try {
        printOn(QStringLiteral("REFUSING"), kTicket);
        FAIL() << "a refused job was taken for a print";
    } catch (const PrintError& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Tisk se nezdařil: tiskárna „REFUSING“ úlohu nepřijala: ") +
                      answer);
    }
}

// The printer choice must not offer a queue that refuses jobs as ready.
TEST_F(PrintingTest, PrinterListTellsAQueueThatRefusesJobsAndWhy) {
    if (privateService("WEIGH_PRINT_OUT").isEmpty())
        GTEST_SKIP() << "no private printing service (scripts/start-printing)";
    QMap<QString, QString> states;
    for (const PrinterEntry& printer : availablePrinterEntries())
        states.insert(printer.name, printer.state);
    EXPECT_EQ(states.value(QStringLiteral("TICKETS")), QStringLiteral("připravena"));
    EXPECT_EQ(states.value(QStringLiteral("REFUSING")),
              QStringLiteral("nepřijímá úlohy (Fronta nepřijímá úlohy)"));
}

TEST_F(PrintingTest, PrintFunctionReceivesTheLinesInsteadOfThePrinter) {
    setPrinterCheck([] { return false; }); // a real print would throw
    QList<QStringList> printed;
    setPrintFunction([&printed](const QStringList& lines) { printed.append(lines); });
    printTicket(kTicket);
    ASSERT_EQ(printed.size(), 1);
    EXPECT_EQ(printed[0], kTicket);
    setPrintFunction({});
    EXPECT_THROW(printTicket(kTicket), PrintError);
}

// One job through the real printing service, read back from the PDF file its
// queue writes.
TEST_F(PrintingTest, OneJobThroughThePrintingServiceReachesThePdfQueue) {
    const QString out = privateService("WEIGH_PRINT_OUT");
    if (out.isEmpty())
        GTEST_SKIP() << "no private printing service (scripts/start-printing)";
    if (!haveTool("pdftotext"))
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";

    const QString marker = QStringLiteral("Zkouška %1").arg(QDateTime::currentMSecsSinceEpoch());
    QStringList lines = kTicket;
    lines.append(marker);
    printOn(QStringLiteral("TICKETS"), lines);

    QString text;
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        if (QFileInfo::exists(out)) {
            text = pdfText(out);
            if (text.contains(marker))
                break;
        }
        QThread::yieldCurrentThread();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    ASSERT_TRUE(text.contains(marker)) << "the job did not arrive within 30 s";
    QString missing;
    EXPECT_TRUE(holdsLinesInOrder(text, lines, &missing)) << "missing: " << missing.toStdString();

    // The service lists the job under its title; the newest job comes last.
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs(&jobs, "TICKETS", 1, CUPS_WHICHJOBS_ALL);
    ASSERT_GT(count, 0) << cupsLastErrorString();
    int newest = 0;
    for (int i = 1; i < count; ++i)
        if (jobs[i].id > jobs[newest].id)
            newest = i;
    EXPECT_EQ(QString::fromUtf8(jobs[newest].title), QString::fromUtf8(kPrintJobTitle));
    cupsFreeJobs(count, jobs);
}

} // namespace
