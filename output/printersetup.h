#pragma once

// The printer setup behind the settings dialog's "&Tiskárny": a small Czech
// dialog that chooses the printer the tickets go to for the rest of the run.
// It prints nothing, and no button of it says print: Qt's own print dialog
// chooses a printer through a "Print" button, which an operator reads as
// printing a ticket now.

#include <QDialog>
#include <QList>
#include <QString>

class QLabel;
class QListWidget;
class QPrinter;
class QPushButton;

// One printer as the printing service describes it.
struct PrinterEntry {
    QString name;        // the queue's name, the one printing uses
    QString description; // the service's name for people; may be empty
    QString location;
    QString model;
    QString state; // in Czech; empty when the service does not say
    bool isDefault = false;
};

// What the list shows for a printer, and the lines under the list for the
// chosen one.
QString printerCaption(const PrinterEntry& printer);
QString printerDetails(const PrinterEntry& printer);

// The printers the printing service lists now.
QList<PrinterEntry> availablePrinterEntries();

class TPrinterSetupDialog : public QDialog {
    Q_OBJECT
public:
    // `current` is selected when listed, else the system's default printer.
    TPrinterSetupDialog(const QList<PrinterEntry>& printers, const QString& current,
                        QWidget* parent = nullptr);

    // The printer selected in the list; empty when the list is empty.
    QString chosenPrinter() const;

    QLabel* Label1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QLabel* Label2 = nullptr;       // details of the selected printer
    QPushButton* BitBtn1 = nullptr; // OK
    QPushButton* BitBtn2 = nullptr; // Storno

private:
    void ListBox1Click();

    QList<PrinterEntry> m_printers;
};

// Shows the dialog for the printer and, on OK, makes the chosen one the
// printer for the rest of the run.
void choosePrinter(QPrinter& printer, QWidget* parent);
