#pragma once

#include "platform/apperror.h"

#include <QStringList>
#include <functional>

class QFont;
class QPrinter;

// Prints ticket text: one job titled "Vážní lístek" on the current printer,
// Courier New 12 pt so that the space-padded fields line up, over the
// printer's whole printable area, page after page. A line wider than the page
// wraps onto the next printed line rather than being cut off, because the
// weight, the one figure that must never be lost, stands at the line's end.
//
// A print that cannot happen, or that the printing service refuses, throws
// PrintError with a Czech message for the operator (the service's own reason
// included); nothing falls back to writing a file unasked.
class PrintError : public AppError {
public:
    using AppError::AppError;
};

// The printer chosen for this run (the printer setup of the settings dialog
// changes it); at first the system's default printer.
QPrinter& currentPrinter();

// Prints on currentPrinter(), or hands the lines to the print function when
// one is set.
void printTicket(const QStringList& lines);

// Told around every job that printTicket() sends: `starting` right before it
// goes out (throwing there keeps it from going out), `finished` after, with
// whether the printing service took it. The print action records both, so
// that after a crash it can tell a ticket that may have been printed from one
// that was not. Returns the observer installed before.
struct JobObserver {
    std::function<void()> starting;
    std::function<void(bool taken)> finished;
};
JobObserver setJobObserver(JobObserver observer);

// Renders the lines as one job on the given printer (for example a PDF file).
void renderTicket(QPrinter& printer, const QStringList& lines);

// Seam for windows that print: tests record the lines instead of printing.
// An empty function restores real printing. Returns the previous function.
using PrintFunction = std::function<void(const QStringList&)>;
PrintFunction setPrintFunction(PrintFunction function);

// Seam for "is there any printer in the system": by default whether the
// printing service lists one. Returns the previous check.
using PrinterCheck = std::function<bool()>;
PrinterCheck setPrinterCheck(PrinterCheck check);

// Courier New 12 pt, fixed pitch: the font of the preview and of paper, in
// which the space-padded fields line up.
QFont ticketFont();

inline constexpr char kPrintJobTitle[] = "Vážní lístek";
