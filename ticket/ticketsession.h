#pragma once

#include "link/linewatch.h"
#include "link/printframe.h"
#include "link/weightframe.h"
#include "ticket/ticketgrid.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class PrintJournal;
struct FileStamp;
struct StationSettings;

// What OK and a typed digit tell the operator when only settled weights are
// booked and the indicator reports the load moving or overloaded.
inline const QString kUnsettledRefusal =
    QStringLiteral("Váha není ustálená, vážení nebylo zapsáno.");

// The station's state and rules for one run, without a widget: the ticket
// being built, the receive buffer and what the live-weight panel shows, the
// mode and switches, the digit latch and the learned words. The main window
// shows this state and calls these operations from its handlers; everything
// an operator or the indicator can do to a ticket goes through here, so the
// rules can be tested without a window.
class TicketSession {
public:
    TicketSession();

    // Start-up: the values the main window takes from the settings file.
    void applySettings(const StationSettings& settings);

    TicketGrid& grid() { return m_grid; }
    const TicketGrid& grid() const { return m_grid; }

    // Switches and texts.
    const QString& unit() const { return m_unit; }
    void setUnit(const QString& unit) { m_unit = unit; }
    bool liveWeight() const { return m_liveWeight; }
    // A mode change empties the receive buffer: the rest of a live reading
    // would stick to the front of the first print frame, and the rest of a
    // frame would be read as a weight.
    void setLiveWeight(bool on);
    bool saveOnPrint() const { return m_saveOnPrint; }
    void setSaveOnPrint(bool on) { m_saveOnPrint = on; }
    bool learnWords() const { return m_learnWords; }
    void setLearnWords(bool on) { m_learnWords = on; }
    // Print through the preview window rather than straight to the printer.
    bool preview() const { return m_preview; }
    void setPreview(bool on) { m_preview = on; }
    bool sequenceNumbers() const { return m_sequenceNumbers; }
    void setSequenceNumbers(bool on) { m_sequenceNumbers = on; }
    const QString& header() const { return m_header; }
    const QString& footer() const { return m_footer; }
    void setHeader(const QString& text) { m_header = text; }
    void setFooter(const QString& text) { m_footer = text; }
    // Typing limit of a description; 0 means none.
    int descriptionLimit() const { return m_descriptionLimit; }
    void setDescriptionLimit(int length);

    // The learned words, always sorted; words loaded from the file keep their
    // letters and duplicates but are put in order.
    const QStringList& words() const { return m_words; }
    void setWords(QStringList words);

    // Receiving. The receive buffer is decoded by the decoder of the current
    // mode after each delivery.
    QString& receiveBuffer() { return m_receiveBuffer; }
    // A delivery from the line, appended to the receive buffer.
    void receive(const QString& text);
    const WeightDisplay& display() const { return m_display; }
    void setWeightLabel(const QString& text) { m_display.label = text; }
    // Live-weight mode: returns true when the text held a complete reading.
    bool decodeWeight(QString& buffer);
    // Whether the indicator is still talking; a weight that is not live is
    // never booked in live-weight mode.
    LineWatch& line() { return m_line; }
    bool lineSilent() const { return m_liveWeight && !m_line.live(); }
    // With only settled weights booked, a live reading the indicator calls
    // unstable or overloaded is not booked. Print-frame mode books what the
    // indicator prints and is left alone.
    void setSettledOnly(bool on) { m_settledOnly = on; }
    bool unsettled() const {
        return m_liveWeight && m_settledOnly && m_display.state != ScaleState::Stable;
    }
    // Print-frame mode: every frame off the buffer that can no longer grow
    // into a longer one, in order. What may still grow is held until the
    // line has been quiet for kPrintFrameHold: takeFrames must then run
    // again after frameHoldLeft(), unless a delivery comes first. None while
    // a print runs: frames wait in the buffer until it has ended, so a total
    // frame never starts a print inside another one.
    QList<PrintFrame> takeFrames(QString& buffer) const;
    std::chrono::milliseconds frameHoldLeft(const QString& buffer) const {
        return m_frameReader.untilRelease(buffer);
    }

    // The digit latch: the first digit after Enter records a weighing.
    int digitLatch() const { return m_digitLatch; }
    bool digitRecords() const { return m_digitLatch == 0; }
    void digitRecorded() { m_digitLatch = 1; }
    void enterTyped() { m_digitLatch = 0; }

    // A weighing from the OK button, a digit or the timer: the weight label
    // becomes a new body row. Throws ConversionError when the label is no
    // number, and AppError when the line is silent or the weight unsettled,
    // leaving everything as it was. Returns the new body row, or -1 when a
    // print is running and the weighing is held for the next ticket.
    int capture(const QDateTime& now);
    // The timer records only while the OK button could be clicked.
    bool timerRecords() const {
        return m_liveWeight && m_display.okEnabled && !lineSilent() && !unsettled();
    }
    // An item frame: a body row with the frame's sequence and weight. Never
    // while a print runs (takeFrames gives no frames then).
    int addItemFrame(const PrintFrame& frame, const QDateTime& now);

    // Descriptions never hold tabs or line breaks (cleanDescription).
    void setDescription(int row, const QString& text);
    // The end of an edit: the text goes into the cell and is learned. Returns
    // true when the word list grew and its file must be saved.
    bool finishDescription(int row, const QString& text);

    // The print action. Builds the ticket text, archives it when saving on
    // print, hands it to `step` (the printer or the preview), then starts a
    // new ticket. Anything `step` throws keeps the ticket and goes on up.
    // Weighings booked while `step` runs (a modal preview, a timer tick) are
    // held and booked on the ticket that follows, never erased or printed.
    // No print starts while one runs (a second click queued behind the
    // first, a total frame): it does nothing and returns false.
    //
    // A ticket is archived once: after a print that failed, printing the
    // same rows again prints them without appending them to the archive a
    // second time. With a journal set, every step is recorded in it, so that
    // a crash can be told apart afterwards; the caller makes sure that the
    // unprinted-rows file holds the ticket before the print, and tells the
    // journal when the emptied ticket is on disk after it.
    using PrintStep = std::function<void(const QStringList& lines)>;
    bool print(const QDateTime& now, const PrintStep& step);
    bool printing() const { return m_printing; }
    // The total frame: the last totals line, then the print action with the
    // reset of print-frame mode; a print that fails puts the ticket back.
    bool printTotalFrame(const PrintFrame& frame, const QDateTime& now, const PrintStep& step);

    void setJournal(PrintJournal* journal) { m_journal = journal; }
    // At start, once the unprinted rows are read back (`restoring`; the
    // file's stamp taken before reading): a print that a crash interrupted
    // decides whether they stay, and the operator is asked when the ticket
    // may have been printed. Returns true when the ticket read back was
    // printed and the grid starts empty: the caller must then write the
    // emptied ticket and tell the journal.
    bool resumeInterruptedPrint(const FileStamp& rowsFile, bool restoring, const QDateTime& now);
    // The rows of the ticket on screen, as ticketFingerprint() gives them,
    // are in the archive already (a failed print, or a restart that kept
    // them); empty when not.
    const QByteArray& archivedTicket() const { return m_archivedTicket; }

    // Counts every change of the ticket, so that the window knows when to
    // write the unprinted-rows file again.
    quint64 revision() const { return m_revision; }
    void touch() { ++m_revision; }

private:
    struct Held {
        QString weight;
        QDateTime when;
    };
    void printWith(const QDateTime& now, const PrintStep& step,
                   TicketGrid::TotalsWriter resetWriter, const QByteArray& ticket);
    // The archive append of a print and its seal, journalled. Returns whether
    // the ticket reached the day file.
    bool archive(const QStringList& lines, const QDateTime& printed);
    void bookHeld();

    TicketGrid m_grid;
    QString m_unit = QStringLiteral("kg");
    QString m_header;
    QString m_footer;
    bool m_liveWeight = false;
    bool m_saveOnPrint = false;
    bool m_learnWords = false;
    bool m_sequenceNumbers = true;
    bool m_preview = false;
    bool m_settledOnly = false;
    int m_descriptionLimit = 14;
    QStringList m_words;
    QString m_receiveBuffer;
    WeightDisplay m_display;
    LineWatch m_line;
    PrintFrameReader m_frameReader;
    int m_digitLatch = 0;
    bool m_printing = false;
    std::vector<Held> m_held;
    PrintJournal* m_journal = nullptr;
    QByteArray m_archivedTicket;
    quint64 m_revision = 0;
};
