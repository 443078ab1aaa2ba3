#pragma once

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;
class QWidget;

// The print preview window "Tiskový náhled". It lives for the whole run and
// holds the last ticket text, shown read-only in a fixed-pitch font so the
// padded fields line up as on paper. Its handlers are thin: printing is
// printTicket(), the button bar is spreadAcross(), the size goes to the
// settings file under Tisk/sirka and Tisk/vyska.
//
// The text area is read-only as a whole: besides typed characters, paste,
// cut and delete are refused too, so "&Tisk" prints exactly the ticket that
// went to the archive. Selecting and copying still work.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    void setTicketText(const QStringList& lines);
    QStringList ticketText() const { return m_lines; }

    // Writes the window size to the settings file; the destructor does it
    // unless it has been done already, and reports a failure there.
    void FormDestroy();

    QWidget* Panel1 = nullptr;
    QPushButton* BitBtn1 = nullptr; // &Tisk
    QPushButton* BitBtn2 = nullptr; // &Konec
    QPlainTextEdit* RichEdit1 = nullptr;

    static constexpr int kBarHeight = 41;

public slots:
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormResize();

    QStringList m_lines;
    bool m_sizeWritten = false;
};
