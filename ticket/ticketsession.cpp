#include "ticket/ticketsession.h"

#include "output/archivewriter.h"
#include "output/printjournal.h"
#include "output/tickettext.h"
#include "platform/apperror.h"
#include "platform/localeconventions.h"
#include "platform/messages.h"
#include "platform/numbers.h"
#include "settings/stationsettings.h"
#include "settings/storedtext.h"
#include "ticket/descriptiontext.h"
#include "ticket/wordlist.h"

#include <QCollator>

#include <algorithm>

TicketSession::TicketSession() = default;

void TicketSession::applySettings(const StationSettings& s) {
    if (!s.showTime)
        m_grid.setColumnWidth(TicketGrid::Time, TicketGrid::kHidden);
    if (!s.showDescription)
        m_grid.setColumnWidth(TicketGrid::Description, TicketGrid::kHidden);
    m_unit = s.unit;
    m_learnWords = s.learnWords;
    m_liveWeight = s.liveWeight;
    m_saveOnPrint = s.saveOnPrint;
    m_header = s.header ? decodeStoredTextForPrinting(s.headerStored) : QString();
    m_footer = s.footer ? decodeStoredTextForPrinting(s.footerStored) : QString();
    for (int c = 0; c < m_grid.columnCount(); ++c) {
        const int w = s.columnWidths[size_t(c)];
        if (!m_grid.isHidden(c) && w != StationSettings::kWidthNotStored)
            m_grid.setColumnWidth(c, w);
    }
    m_sequenceNumbers = s.sequenceNumbers;
    setDescriptionLimit(s.descriptionLength);
    m_line.setTimeout(s.timeout);
    m_settledOnly = s.settledOnly;
}

void TicketSession::setLiveWeight(bool on) {
    if (on != m_liveWeight)
        m_receiveBuffer.clear();
    m_liveWeight = on;
}

void TicketSession::setDescriptionLimit(int length) {
    m_descriptionLimit = descriptionLimitFor(length);
}

void TicketSession::setWords(QStringList words) {
    QCollator collator(conventions().language);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(words.begin(), words.end(), [&](const QString& a, const QString& b) {
        return collator.compare(a, b) < 0;
    });
    m_words = std::move(words);
}

bool TicketSession::decodeWeight(QString& buffer) {
    const bool reading = decodeWeightFrame(buffer, m_unit, m_display);
    if (reading)
        m_line.readingTaken();
    return reading;
}

void TicketSession::receive(const QString& text) {
    if (text.isEmpty())
        return;
    m_receiveBuffer += text;
    m_frameReader.delivered();
}

QList<PrintFrame> TicketSession::takeFrames(QString& buffer) const {
    if (m_printing)
        return {};
    return m_frameReader.take(buffer, m_unit, conventions().decimalSeparator);
}

int TicketSession::capture(const QDateTime& now) {
    if (lineSilent())
        throw AppError(kLineSilentRefusal);
    if (unsettled())
        throw AppError(kUnsettledRefusal);
    const QString weight = m_display.label;
    if (m_printing) {
        if (!weight.isEmpty())
            weightTextToDecimal(weight, m_unit); // refuse it now, while the operator is there
        m_held.push_back({weight, now});
        return -1;
    }
    const int row =
        m_grid.addWeighing(QString::number(m_grid.lastRow()), conventions().formatTime(now.time()),
                           weight, TicketGrid::TotalsWriter::Weighing, now, m_unit);
    touch();
    return row;
}

int TicketSession::addItemFrame(const PrintFrame& frame, const QDateTime& now) {
    const int row =
        m_grid.addWeighing(frame.sequence, conventions().formatTime(now.time()), frame.weight,
                           TicketGrid::TotalsWriter::ItemFrame, now, m_unit);
    touch();
    return row;
}

void TicketSession::setDescription(int row, const QString& text) {
    if (!m_grid.isBodyRow(row))
        return;
    const QString clean = cleanDescription(text);
    if (m_grid.cell(TicketGrid::Description, row) == clean)
        return;
    m_grid.setCell(TicketGrid::Description, row, clean);
    touch();
}

bool TicketSession::finishDescription(int row, const QString& text) {
    const QString clean = cleanDescription(text);
    setDescription(row, clean);
    return learnWord(m_words, clean);
}

bool TicketSession::print(const QDateTime& now, const PrintStep& step) {
    if (m_printing)
        return false;
    try {
        printWith(now, step, TicketGrid::TotalsWriter::ResetAfterPrint, ticketFingerprint(m_grid));
    } catch (...) {
        bookHeld();
        throw;
    }
    return true;
}

void TicketSession::printWith(const QDateTime& now, const PrintStep& step,
                              TicketGrid::TotalsWriter resetWriter, const QByteArray& ticket) {
    TicketLayoutOptions options;
    options.sequenceNumbers = m_sequenceNumbers;
    options.descriptionWidth = m_descriptionLimit;
    options.header = m_header;
    options.footer = m_footer;
    const QStringList lines = buildTicketText(m_grid, options, now);
    const bool archived = !m_archivedTicket.isEmpty() && m_archivedTicket == ticket;
    m_printing = true;
    if (m_journal)
        m_journal->begin(ticket, m_grid.weighingCount, now, archived);
    try {
        if (m_saveOnPrint && !archived && archive(lines, now))
            m_archivedTicket = ticket;
        // After the append, before the print step.
        step(lines);
    } catch (...) {
        m_printing = false;
        if (m_journal)
            m_journal->printFailed();
        throw;
    }
    m_printing = false;
    m_archivedTicket.clear();
    m_grid.reset(resetWriter, now, m_unit);
    touch();
    bookHeld();
}

bool TicketSession::archive(const QStringList& lines, const QDateTime& printed) {
    AppendJournal journal;
    if (m_journal)
        journal = [this](const ArchiveAppend& append) { m_journal->appending(append); };
    bool appended = false;
    try {
        appended = appendToArchive(lines, printed, journal);
    } catch (const ArchiveWriteError&) {
        if (m_journal)
            m_journal->appendFailed();
        throw;
    }
    if (appended && m_journal)
        m_journal->appended();
    return appended;
}

bool TicketSession::resumeInterruptedPrint(const FileStamp& rowsFile, bool restoring,
                                           const QDateTime& now) {
    if (!m_journal)
        return false;
    const PrintJournal::Start start = m_journal->recover(m_grid, rowsFile, restoring);
    bool printed = start.plan.ticket == StartPlan::Ticket::StartEmpty;
    if (start.plan.ticket == StartPlan::Ticket::Ask) {
        if (askQuestion(restoreQuestion(start.record)))
            m_journal->keep(start.record);
        else
            printed = true;
    }
    if (printed) {
        m_grid.reset(TicketGrid::TotalsWriter::StartUp, now, m_unit);
        touch();
        return true;
    }
    m_archivedTicket = start.archivedTicket;
    return false;
}

void TicketSession::bookHeld() {
    std::vector<Held> held;
    held.swap(m_held);
    for (const Held& h : held) {
        m_grid.addWeighing(QString::number(m_grid.lastRow()),
                           conventions().formatTime(h.when.time()), h.weight,
                           TicketGrid::TotalsWriter::Weighing, h.when, m_unit);
        touch();
    }
}

bool TicketSession::printTotalFrame(const PrintFrame& frame, const QDateTime& now,
                                    const PrintStep& step) {
    if (m_printing)
        return false;
    // The rows as the unprinted-rows file holds them, before the frame's
    // totals line joins them.
    const QByteArray ticket = ticketFingerprint(m_grid);
    const int first = m_grid.lastRow();
    QStringList totals;
    for (int c = 0; c < m_grid.columnCount(); ++c)
        totals.append(m_grid.cell(c, first));
    m_grid.clearRow(first);
    m_grid.setRowCount(m_grid.rowCount() + 1);
    const int last = m_grid.lastRow();
    const LocaleConventions& lc = conventions();
    m_grid.setCell(0, last, QStringLiteral("Celkem: ") + QString::number(m_grid.weighingCount));
    m_grid.setCell(1, last, lc.formatTime(now.time()));
    m_grid.setCell(2, last, QStringLiteral("dne: ") + lc.formatDate(now.date()));
    m_grid.setCell(3, last, frame.weight);
    try {
        printWith(now, step, TicketGrid::TotalsWriter::ResetAfterTotalFrame, ticket);
    } catch (...) {
        // Not printed: the ticket goes back to its rows and totals row, so
        // that the operator can print it with the button and later item
        // frames count on from it.
        m_grid.setRowCount(first + 1);
        for (int c = 0; c < m_grid.columnCount(); ++c)
            m_grid.setCell(c, first, totals.value(c));
        bookHeld();
        touch();
        throw;
    }
    return true;
}
