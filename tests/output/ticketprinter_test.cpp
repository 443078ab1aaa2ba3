#include "output/ticketprinter.h"

#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
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
QString run(const QString& program, const QStringList& arguments, int* exitCode = nullptr) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(60000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
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

TEST_F(PrintingTest, NoPrinterInTheSystemThrowsAClearMessage) {
    setPrinterCheck([] { return false; });
    try {
        printTicket(kTicket);
        FAIL() << "no error thrown";
    } catch (const PrintError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Tisk se nezdařil: v systému není žádná tiskárna."));
    }
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

// One job through the real printing service. The queue comes from
// scripts/start-printing; without it this test has nothing to talk to.
TEST_F(PrintingTest, OneJobThroughThePrintingServiceReachesThePdfQueue) {
    int status = -1;
    run(QStringLiteral("lpstat"), {QStringLiteral("-p"), QStringLiteral("TICKETS")}, &status);
    if (status != 0)
        GTEST_SKIP() << "printing queue TICKETS is not set up (scripts/start-printing)";
    if (!haveTool("pdftotext"))
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";

    const QString out = QStringLiteral("/var/spool/weigh-tickets/out.pdf");
    const QString marker = QStringLiteral("Zkouška %1").arg(QDateTime::currentMSecsSinceEpoch());
    QStringList lines = kTicket;
    lines.append(marker);

    QPrinter& printer = currentPrinter();
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(QStringLiteral("TICKETS"));
    printTicket(lines);

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

    if (haveTool("ipptool")) {
        // The service shows job names only to their owner, so the request
        // names the user.
        const QString query = m_dir.filePath(QStringLiteral("jobs.test"));
        QFile file(query);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\n NAME \"Completed jobs\"\n OPERATION Get-Jobs\n"
                   " GROUP operation-attributes-tag\n"
                   " ATTR charset attributes-charset utf-8\n"
                   " ATTR language attributes-natural-language en\n"
                   " ATTR uri printer-uri $uri\n"
                   " ATTR name requesting-user-name $user\n"
                   " ATTR keyword which-jobs completed\n"
                   " ATTR keyword requested-attributes job-id,job-name\n"
                   " STATUS successful-ok\n}\n");
        file.close();
        const QString jobs =
            run(QStringLiteral("ipptool"),
                {QStringLiteral("-tv"), QStringLiteral("ipp://localhost/printers/TICKETS"), query});
        // Newest job first.
        const QRegularExpressionMatch newest =
            QRegularExpression(QStringLiteral("job-name \\(nameWithoutLanguage\\) = ([^\n]*)"))
                .match(jobs);
        ASSERT_TRUE(newest.hasMatch()) << jobs.toStdString();
        EXPECT_EQ(newest.captured(1), QStringLiteral("Vážní lístek"));
    }
}

} // namespace
