#pragma once

// The settings dialog "Nastavení". Created once at program start and shown
// modally from the main window's settings button. Each showing loads the
// controls from the settings file; only OK writes: the settings file, the
// word list "popis.dat", and then the running windows through the one apply
// function the main window installs. The dialog knows nothing of the main
// window: what it shows from the running program (the unit name and the
// serial channel's port) comes in through execFor(), and everything OK
// decides goes out as one plain SettingsChange. A failed write is reported
// through showError(), nothing is applied, and the dialog still closes with
// the OK result.

#include "settings/settingschange.h"

#include <QDialog>
#include <QSpinBox>
#include <functional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPrinter;
class QPushButton;

// A numeric spin field whose text may be anything: text that is not a whole
// number reads as the field's least value (see spinFieldValue), and the
// value stays within the range.
class TRxSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;
    // Sets the value and shows it, also where the field's text was not a
    // number that read as the same value.
    void setValueShown(int value);

protected:
    QValidator::State validate(QString& text, int& pos) const override;
    int valueFromText(const QString& text) const override;
};

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    // Shows the dialog modally with the running program's unit name and the
    // serial channel's current port number; returns QDialog's result.
    int execFor(const QString& unit, int port);
    // The same two values for a showing started some other way (show(),
    // exec()); they stay until changed.
    void setRunningState(const QString& unit, int port);

    // Called by OK after every write has succeeded; the main window applies
    // the change to itself and to the preview window, then lays out its
    // button bar. An exception it throws is shown like a failed write.
    using ApplyFunction = std::function<void(const SettingsChange&)>;
    void setApplyFunction(ApplyFunction apply) { m_apply = std::move(apply); }

    // What "&Tiskárny" runs on currentPrinter(); by default the printer
    // choice of output/printersetup.h. Tests put a recorder here so nothing blocks.
    using PrinterSetupFunction = std::function<void(QPrinter&)>;
    void setPrinterSetupFunction(PrinterSetupFunction setup) { m_printerSetup = std::move(setup); }

    // Controls, by their names.
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    TRxSpinEdit* RxSpinEdit1 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* BitBtn1 = nullptr; // &Tiskárny

    QFrame* Panel2 = nullptr;
    QCheckBox* CheckBox10 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
    TRxSpinEdit* RxSpinEdit3 = nullptr;
    QLabel* Label4 = nullptr;
    QCheckBox* CheckBox9 = nullptr;
    QCheckBox* CheckBox6 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QLabel* Label2 = nullptr;
    TRxSpinEdit* RxSpinEdit2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QPushButton* BitBtn3 = nullptr; // &Upravit / &Schovat
    QCheckBox* CheckBox7 = nullptr;
    QCheckBox* CheckBox8 = nullptr;

    QFrame* Panel3 = nullptr; // word list editor
    QListWidget* ListBox1 = nullptr;
    QPushButton* BitBtn4 = nullptr; // &Smazat

    QFrame* Panel6 = nullptr; // header
    QPlainTextEdit* RichEdit1 = nullptr;
    QFrame* Panel7 = nullptr; // footer
    QPlainTextEdit* RichEdit2 = nullptr;

    QFrame* Panel5 = nullptr;
    QPushButton* BitBtn2 = nullptr; // &OK

    static constexpr int kWidth = 300;

public slots:
    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void ListBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    void CheckBox5Click();
    void CheckBox7Click();
    void CheckBox8Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    SettingsDialogValues controlValues(const StationSettings& stored) const;
    void loadWordList();
    // Shows or hides a panel of the stack where the layout rules place it,
    // moving the dialog by half the panel's height so it stays centred.
    void setPanelShown(QFrame* panel, bool shown);
    void setWordListShown(bool shown);

    QString m_unit = QStringLiteral("kg");
    int m_port = 1;
    int m_rememberedPeriod = 0;
    ApplyFunction m_apply;
    PrinterSetupFunction m_printerSetup;
};
