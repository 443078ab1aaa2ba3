#pragma once

// The main window "Vážní lístek". It owns the ticket (TicketGrid, shown by
// StringGrid1), the serial channel VaComm1 and the run-time state the other
// windows read: receive buffer, unit name, header and footer texts and the
// switches. Handlers keep the names of the controls and events they serve
// and stay short: the ticket, the decoders, the ticket text and the files are
// plain code elsewhere; these slots apply their results to the controls.

#include "link/weightframe.h"
#include "ticket/ticketgrid.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

class TStringGrid;
class TDescriptionCombo;
class TVaComm;
class TForm2;
class TForm3;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The windows created after this one at program start.
    void setPreviewWindow(TForm2* form);
    void setSettingsDialog(TForm3* form);
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
    TicketGrid& ticket() { return m_grid; }
    const TicketGrid& ticket() const { return m_grid; }
    QString& receiveBuffer() { return m_receiveBuffer; }
    const QString& unitName() const { return m_unit; }
    void setUnitName(const QString& unit) { m_unit = unit; }
    const QString& headerText() const { return m_header; }
    const QString& footerText() const { return m_footer; }
    void setHeaderText(const QString& text) { m_header = text; }
    void setFooterText(const QString& text) { m_footer = text; }
    bool sequenceNumbers() const { return m_sequenceNumbers; }
    void setSequenceNumbers(bool on) { m_sequenceNumbers = on; }
    int descriptionLimit() const { return m_descriptionLimit; }
    void setDescriptionLimit(int length);
    int scaleState() const { return m_display.scaleState; }
    int digitLatch() const;
    bool listOpened() const { return m_listOpened; }
    // Tells the grid view that the ticket changed from this ticket row on.
    void ticketChanged(int firstChangedRow = 0);

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
    void placeComboOverCell(int column, int row);
    void selectDescriptionOfLastBodyRow();
    void resetTicketAfterPrint();
    void buildControls();
    bool isComboWidget(QObject* object) const;

    TicketGrid m_grid;
    WeightDisplay m_display;
    QString m_receiveBuffer;
    QString m_unit = QStringLiteral("kg");
    QString m_header;
    QString m_footer;
    bool m_sequenceNumbers = true;
    int m_descriptionLimit = 14;
    bool m_listOpened = false;
    bool m_shownOnce = false;
    bool m_inExit = false;
    bool m_closed = false;
    int m_editingColumn = -1; // the cell the combo box edits
    int m_editingRow = -1;
    QPointer<TForm2> m_form2;
    QPointer<TForm3> m_form3;
};
