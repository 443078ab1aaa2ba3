#include "output/ticketprinter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextLayout>

#include <cups/cups.h>

#include <utility>

namespace {

PrintFunction& printFunction() {
    static PrintFunction f;
    return f;
}

JobObserver& jobObserver() {
    static JobObserver o;
    return o;
}

// Tells the observer that a job goes out and, on every way out, how it ended.
class ObservedJob {
public:
    ObservedJob() {
        if (jobObserver().starting)
            jobObserver().starting();
    }
    ~ObservedJob() {
        if (jobObserver().finished)
            jobObserver().finished(m_taken);
    }
    ObservedJob(const ObservedJob&) = delete;
    ObservedJob& operator=(const ObservedJob&) = delete;
    void taken() { m_taken = true; }

private:
    bool m_taken = false;
};

PrinterCheck& printerCheck() {
    static PrinterCheck c;
    return c;
}

bool anyPrinter() {
    if (printerCheck())
        return printerCheck()();
    return !QPrinterInfo::availablePrinters().isEmpty();
}

// Qt quietly turns a printer made while the system had none into PDF output
// without a file; once a printer exists, the run should use it.
void adoptDefaultPrinter(QPrinter& printer) {
    if (printer.outputFormat() != QPrinter::PdfFormat || !printer.outputFileName().isEmpty())
        return;
    const QString name = QPrinterInfo::defaultPrinterName();
    if (name.isEmpty())
        return;
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(name);
}

// Qt hands a finished job to the printing service with cupsPrintFile and
// drops the answer, so a queue that refuses jobs would pass for a printed
// ticket. The answer is still libcups' last status on this thread, since
// that request is the last one Qt makes while the painter ends.
QString refusalOfSubmittedJob() {
    if (cupsLastError() < IPP_STATUS_REDIRECTION_OTHER_SITE)
        return {};
    return QString::fromUtf8(cupsLastErrorString());
}

} // namespace

QFont ticketFont() {
    QFont font(QStringLiteral("Courier New"), 12);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

QPrinter& currentPrinter() {
    // Never destroyed: the print engine must not be torn down after the
    // application object at program end.
    static QPrinter* printer = new QPrinter(QPrinter::HighResolution);
    return *printer;
}

PrintFunction setPrintFunction(PrintFunction function) {
    return std::exchange(printFunction(), std::move(function));
}

PrinterCheck setPrinterCheck(PrinterCheck check) {
    return std::exchange(printerCheck(), std::move(check));
}

JobObserver setJobObserver(JobObserver observer) {
    return std::exchange(jobObserver(), std::move(observer));
}

void printTicket(const QStringList& lines) {
    if (!printFunction() && !anyPrinter())
        throw PrintError(QStringLiteral("Tisk se nezdařil: v systému není žádná tiskárna."));
    ObservedJob job;
    if (printFunction()) {
        printFunction()(lines);
    } else {
        QPrinter& printer = currentPrinter();
        adoptDefaultPrinter(printer);
        renderTicket(printer, lines);
    }
    job.taken();
}

void renderTicket(QPrinter& printer, const QStringList& lines) {
    printer.setDocName(QString::fromUtf8(kPrintJobTitle));
    printer.setFullPage(false);
    // The page area is exactly what the printer can print on: its own
    // unprintable border and nothing more.
    QPageLayout layout = printer.pageLayout();
    layout.setMargins(layout.minimumMargins());
    printer.setPageLayout(layout);

    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString name = printer.outputFormat() == QPrinter::PdfFormat
                                 ? printer.outputFileName()
                                 : printer.printerName();
        throw PrintError(
            QStringLiteral("Tisk se nezdařil: tiskárnu „%1“ nelze otevřít.").arg(name));
    }

    const QFont font(ticketFont(), &printer);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    const qreal lineStep = metrics.lineSpacing();
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const qreal pageWidth = page.width();
    const qreal pageHeight = page.height();

    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Half-inch tab stops, as the preview shows them. Qt scales tab
    // distances from its 96-dpi reference to the device itself.
    option.setTabStopDistance(48.0);

    qreal y = 0;
    for (const QString& line : lines) {
        QTextLayout text(line, font, &printer);
        text.setTextOption(option);
        text.beginLayout();
        for (QTextLine piece = text.createLine(); piece.isValid(); piece = text.createLine()) {
            piece.setLineWidth(pageWidth);
            piece.setPosition(QPointF(0, 0));
        }
        text.endLayout();
        for (int i = 0; i < text.lineCount(); ++i) {
            if (y > 0 && y + lineStep > pageHeight) {
                if (!printer.newPage()) {
                    painter.end();
                    throw PrintError(QStringLiteral("Tisk se nezdařil: chyba tiskárny."));
                }
                y = 0;
            }
            text.lineAt(i).draw(&painter, QPointF(0, y));
            y += lineStep;
        }
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw PrintError(QStringLiteral("Tisk se nezdařil: tiskovou úlohu nelze dokončit."));
    if (printer.outputFormat() == QPrinter::NativeFormat) {
        const QString refusal = refusalOfSubmittedJob();
        if (!refusal.isEmpty())
            throw PrintError(QStringLiteral("Tisk se nezdařil: tiskárna „%1“ úlohu nepřijala: %2")
                                 .arg(printer.printerName(), refusal));
    }
}
