#include "output/printersetup.h"

#include "platform/formfont.h"

#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

#include <cups/cups.h>

#include <memory>

namespace {

QString stateText(QPrinter::PrinterState state) {
    switch (state) {
    case QPrinter::Idle:
        return QStringLiteral("připravena");
    case QPrinter::Active:
        return QStringLiteral("tiskne");
    case QPrinter::Aborted:
        return QStringLiteral("tisk přerušen");
    case QPrinter::Error:
        return QStringLiteral("chyba");
    }
    return {};
}

// Why a queue refuses jobs, as the administrator gave it (cupsreject -r);
// empty when the service does not say.
QString refusalReason(const char* printerUri) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-state-message");
    const std::unique_ptr<ipp_t, decltype(&ippDelete)> response(
        cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"), &ippDelete);
    ipp_attribute_t* message =
        response ? ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT)
                 : nullptr;
    return message ? QString::fromUtf8(ippGetString(message, 0, nullptr)).trimmed() : QString();
}

// Qt tells a queue's state but not whether it takes jobs: a rejecting queue
// reads as idle. Refusing queues by name, with the reason when there is one.
QHash<QString, QString> refusingQueues() {
    QHash<QString, QString> refusing;
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    for (int i = 0; i < count; ++i) {
        const cups_dest_t& dest = dests[i];
        const char* accepting =
            cupsGetOption("printer-is-accepting-jobs", dest.num_options, dest.options);
        if (dest.instance || !accepting || qstrcmp(accepting, "false") != 0)
            continue;
        const char* uri = cupsGetOption("printer-uri-supported", dest.num_options, dest.options);
        refusing.insert(QString::fromUtf8(dest.name), uri ? refusalReason(uri) : QString());
    }
    cupsFreeDests(count, dests);
    return refusing;
}

QString refusedText(const QString& reason) {
    return reason.isEmpty() ? QStringLiteral("nepřijímá úlohy")
                            : QStringLiteral("nepřijímá úlohy (%1)").arg(reason);
}

} // namespace

QString printerCaption(const PrinterEntry& printer) {
    QString caption = printer.description.isEmpty() || printer.description == printer.name
                          ? printer.name
                          : QStringLiteral("%1 (%2)").arg(printer.description, printer.name);
    if (printer.isDefault)
        caption += QStringLiteral(" – výchozí");
    return caption;
}

QString printerDetails(const PrinterEntry& printer) {
    QStringList lines;
    if (!printer.model.isEmpty())
        lines << QStringLiteral("Typ: ") + printer.model;
    if (!printer.location.isEmpty())
        lines << QStringLiteral("Umístění: ") + printer.location;
    if (!printer.state.isEmpty())
        lines << QStringLiteral("Stav: ") + printer.state;
    return lines.join(u'\n');
}

QList<PrinterEntry> availablePrinterEntries() {
    QList<PrinterEntry> entries;
    const QHash<QString, QString> refusing = refusingQueues();
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) {
        // An instance ("queue/copies") takes jobs as its queue does.
        const QString queue = info.printerName().section(u'/', 0, 0);
        const auto refusal = refusing.constFind(queue);
        const QString state =
            refusal == refusing.cend() ? stateText(info.state()) : refusedText(*refusal);
        entries.append({info.printerName(), info.description(), info.location(),
                        info.makeAndModel(), state, info.isDefault()});
    }
    return entries;
}

TPrinterSetupDialog::TPrinterSetupDialog(const QList<PrinterEntry>& printers,
                                         const QString& current, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_printers(printers) {
    setObjectName(QStringLiteral("PrinterSetupDialog1"));
    setWindowTitle(QStringLiteral("Tiskárna pro lístky"));
    setFont(formFontPoints(8));

    Label1 = new QLabel(printers.isEmpty()
                            ? QStringLiteral("V systému není žádná tiskárna. Lístky se "
                                             "nevytisknou, dokud ji správce nepřidá.")
                            : QStringLiteral("Vážní lístky se budou tisknout na tiskárně:"),
                        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    Label1->setBuddy(ListBox1);
    ListBox1->setAccessibleName(QStringLiteral("Tiskárny"));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setMinimumHeight(3 * Label2->fontMetrics().lineSpacing());
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Storno"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* stack = new QVBoxLayout(this);
    stack->addWidget(Label1);
    stack->addWidget(ListBox1, 1);
    stack->addWidget(Label2);
    stack->addLayout(buttons);
    resize(360, 260);

    int selected = -1;
    for (int i = 0; i < printers.size(); ++i) {
        ListBox1->addItem(printerCaption(printers[i]));
        if (printers[i].name == current || (selected < 0 && printers[i].isDefault))
            selected = i;
    }
    if (selected < 0 && !printers.isEmpty())
        selected = 0;
    ListBox1->setCurrentRow(selected);
    ListBox1Click();

    connect(ListBox1, &QListWidget::currentRowChanged, this, &TPrinterSetupDialog::ListBox1Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

QString TPrinterSetupDialog::chosenPrinter() const {
    const int row = ListBox1->currentRow();
    return row >= 0 && row < m_printers.size() ? m_printers[row].name : QString();
}

void TPrinterSetupDialog::ListBox1Click() {
    const int row = ListBox1->currentRow();
    Label2->setText(row >= 0 && row < m_printers.size() ? printerDetails(m_printers[row])
                                                        : QString());
}

void choosePrinter(QPrinter& printer, QWidget* parent) {
    // A printer made while the system had none is PDF output without a file;
    // it has no name to select.
    const QString current =
        printer.outputFormat() == QPrinter::NativeFormat ? printer.printerName() : QString();
    TPrinterSetupDialog dialog(availablePrinterEntries(), current, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.chosenPrinter().isEmpty())
        return;
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(dialog.chosenPrinter());
}
