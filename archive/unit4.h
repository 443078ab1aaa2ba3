#pragma once

// The archive browser "Archív": created when the operator opens it, shown
// modally and destroyed when it closes. It loads the archive files of the
// days between its two date pickers into StringGrid1 and searches the loaded
// rows, and exports them for a spreadsheet. Loading, the row store,
// searching, row colouring and the export file are plain code (archiveloader,
// archivetable, archivesearch, archivecsv); these slots read the controls,
// call it and apply the results. Keys pass through the window
// first (see eventFilter), so the arrows move the grid from the search box.

#include "archive/archivetable.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

#include <functional>

class TArchiveGrid;
class QKeyEvent;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;

    // Controls, by their names.
    QFrame* Panel1 = nullptr; // top bar
    QFrame* Panel3 = nullptr; // dates
    QDateEdit* DateTimePicker1 = nullptr;
    QDateEdit* DateTimePicker2 = nullptr;
    QPushButton* BitBtn3 = nullptr; // Aktualizovat
    QFrame* Panel2 = nullptr;       // search
    QLineEdit* LabeledEdit1 = nullptr;
    QPushButton* BitBtn2 = nullptr; // Najít
    QCheckBox* CheckBox5 = nullptr; // Směrem nahoru
    QCheckBox* CheckBox6 = nullptr; // Rozliš a-A
    QFrame* Panel4 = nullptr;       // columns
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QPushButton* BitBtn1 = nullptr; // Konec
    TArchiveGrid* StringGrid1 = nullptr;
    QFrame* Panel5 = nullptr;       // below the grid
    QPushButton* BitBtn4 = nullptr; // Exportovat do CSV…

    // Asks where the export goes, offering `suggested` (a full path); an
    // empty answer cancels. By default the save dialog; tests put an answer
    // here so that nothing blocks.
    using SaveNameFunction = std::function<QString(const QString& suggested)>;
    void setSaveNameFunction(SaveNameFunction ask) { m_askSaveName = std::move(ask); }

    // Shows rows that were loaded elsewhere as a load would (title row,
    // column check boxes, layout); BitBtn3Click ends with it.
    void showLoaded(ArchiveTable&& table);

public slots:
    void FormShow();
    void FormResize();
    void BitBtn3Click();
    void DateTimePicker1Change();
    void BitBtn2Click();
    void BitBtn4Click();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormClose();
    // Returns true when the key is to be discarded.
    bool FormKeyDown(QKeyEvent* event);
    bool LabeledEdit1KeyPress(QKeyEvent* event);
    void buildControls();
    QCheckBox* columnCheckBox(int column) const;
    void layOutColumnBoxes();

    bool m_closed = false;
    SaveNameFunction m_askSaveName;
};
