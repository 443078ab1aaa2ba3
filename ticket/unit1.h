#pragma once

// The main window "Vážní lístek". It shows a TicketSession (the ticket, the
// receive buffer, the mode, the switches and the learned words) and owns the
// serial channel VaComm1. Handlers keep the names of the controls and events
// they serve and stay short: they call the session and show the result. The
// program's state is read from the session, never from a widget.
//
// Every handler that Qt calls goes through atBoundary(), which shows an error
// in the error box there: no exception ever unwinds through Qt's event code.

#include "output/printjournal.h"
#include "ticket/ticketkeeper.h"
#include "ticket/ticketsession.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <functional>

class TStringGrid;
class TDescriptionCombo;
class TVaComm;
class TForm2;
class TForm3;
struct SettingsChange;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The windows created after this one at program start.
    void setPreviewWindow(TForm2* form);
    void setSettingsDialog(TForm3* form);
    // The settings dialog's OK: the new settings take effect at once.
    void applySettings(const SettingsChange& change);
    TForm2* previewWindow() const;

    // Controls, by their names.
    QWidget* Panel1 = nullptr;
    QPushButton* BitBtn1 = nullptr; // &Tisk
    QCheckBox* CheckBox1 = nullptr; // Ti&skový náhled
    QPushButton* BitBtn2 = nullptr; // &Nastavení
    QPushButton* BitBtn4 = nullptr; // &Archív
    QPushButton* BitBtn3 = nullptr; // &Konec
    QFrame* Panel2 = nullptr;       // live weight
    QLabel* Label1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    TStringGrid* StringGrid1 = nullptr;
    TDescriptionCombo* ComboBox1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    TVaComm* VaComm1 = nullptr;
    QTimer* Timer1 = nullptr;

    // Shared run-time state.
    TicketSession& session() { return m_session; }
    TicketGrid& ticket() { return m_session.grid(); }
    const TicketGrid& ticket() const { return m_session.grid(); }
    QString& receiveBuffer() { return m_session.receiveBuffer(); }
    const QString& unitName() const { return m_session.unit(); }
    const QString& headerText() const { return m_session.header(); }
    const QString& footerText() const { return m_session.footer(); }
    bool sequenceNumbers() const { return m_session.sequenceNumbers(); }
    int descriptionLimit() const { return m_session.descriptionLimit(); }
    void setDescriptionLimit(int length);
    int scaleState() const { return int(m_session.display().state); }
    int digitLatch() const { return m_session.digitLatch(); }
    bool listOpened() const { return m_listOpened; }
    // Tells the grid view that the ticket changed from this ticket row on,
    // and keeps the unprinted-rows file equal to it.
    void ticketChanged(int firstChangedRow = 0);
    // Hands the ticket to the unprinted-rows file if it changed since.
    void keepTicket();
    // The same, and waits until the file holds it.
    void keepTicketNow();
    // When the program is ended past its closing steps (a lost display):
    // the ticket as seen, typed text included, straight to its file.
    void saveTicketAtExit() noexcept;

public slots:
    void FormCreate();
    void FormShow();
    void FormResize();
    void BitBtn1Click();
    void CheckBox1Click();
    void BitBtn2Click();
    void BitBtn4Click();
    void SpeedButton1Click();
    void Timer1Timer();
    void VaComm1RxChar(QObject* sender, int count);
    void DecodeWeightFrame(QString& buffer);
    void DecodePrintFrame(QString& buffer);
    void StringGrid1SelectCell(int column, int row);
    void ComboBox1Exit();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormClose();
    // Returns true when the key is to be discarded.
    bool FormKeyPress(QObject* receiver, QKeyEvent* event);
    bool StringGrid1KeyPress(QKeyEvent* event);
    bool ComboBox1KeyPress(QKeyEvent* event);
    bool FormDialogKey(QKeyEvent* event);
    void applyDisplay();
    void refreshLine();
    void releaseHeldFrames();
    void applyMode();
    void placeComboOverCell(int column, int row);
    void selectDescriptionOfLastBodyRow();
    void showWeighing(int firstChangedRow);
    // Runs a print action of the session (false: it refused, one runs).
    void printWith(const std::function<bool()>& print);
    void afterPrint();
    // The printed ticket must leave the unprinted-rows file: the emptied
    // ticket replaces it, or the file goes.
    void settlePrinted();
    void tellJournalFailure();
    // Print-frame mode: what came in while a print ran.
    void decodeWaitingFrames();
    void endDescriptionEdit();
    void saveWords();
    void buildControls();
    void connectControls();
    bool isComboWidget(QObject* object) const;
    // The combo box is open over a description cell.
    bool editingInCombo() const { return m_editingRow >= 0; }
    TicketGrid ticketAsSeen() const;
    TicketSession::PrintStep printStep();

    TicketSession m_session;
    PrintJournal m_journal; // how far a print got, for the start after a crash
    TicketKeeper m_keeper;
    QTimer* m_typingTimer = nullptr; // keeps typed text on disk about a second behind
    QTimer* m_lineTimer = nullptr;   // looks whether the scale still sends
    QTimer* m_frameHold = nullptr;   // releases frames that could have grown
    QLabel* m_lineStatus = nullptr;
    bool m_listOpened = false;
    bool m_shownOnce = false;
    bool m_inExit = false;
    bool m_closed = false;
    int m_editingColumn = -1; // the cell the combo box edits
    int m_editingRow = -1;
    QPointer<TForm2> m_form2;
    QPointer<TForm3> m_form3;
};
