// The settings dialog driven as an operator would: shown over a settings
// file, clicked, confirmed or closed, with what OK hands the main window
// recorded.
#include "output/ticketprinter.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/unit3.h"
#include "tests/support/tempdir.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <optional>

namespace {

// A dialog over a scratch settings file and word list, shown as the main
// window shows it, with unit "kg" on port 2 unless told otherwise.
class Station {
public:
    explicit Station(const QByteArray& ini = {}, const QByteArray& words = {}) {
        m_previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        m_previousSink = setMessageSink([this](MessageKind, const QString& t) { messages << t; });
        if (!ini.isEmpty())
            writeFileBytes(paths::settingsFile(), ini);
        if (!words.isEmpty())
            writeFileBytes(wordsPath(), words);
        form.setApplyFunction([this](const SettingsChange& c) { applied = c; });
        form.setPrinterSetupFunction([this](QPrinter& p) { printerSetUp = &p; });
    }
    ~Station() {
        setMessageSink(m_previousSink);
        QDir::setCurrent(m_previousDir);
    }
    TForm3& show(const QString& unit = QStringLiteral("kg"), int port = 2) {
        form.setRunningState(unit, port);
        form.show();
        return form;
    }
    void ok() {
        form.BitBtn2->click();
        QVERIFY(form.isHidden());
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }
    QByteArray ini() const { return readFileBytes(paths::settingsFile()); }
    QString wordsPath() const { return dir.file(QStringLiteral("popis.dat")); }
    int top(const QWidget* panel) const { return panel->mapTo(&form, QPoint()).y(); }

    ScratchExecutableDir dir;
    QStringList messages;
    std::optional<SettingsChange> applied;
    QPrinter* printerSetUp = nullptr;
    TForm3 form;

private:
    QString m_previousDir;
    MessageSink m_previousSink;
};

} // namespace

class Form3Test : public QObject {
    Q_OBJECT
private slots:
    void okWithoutChangesRewritesEveryKey();
    void panelsStackAndTheDialogStaysCentred();
    void liveWeightRemembersThePeriod();
    void twoLineHeaderRoundTrips();
    void deletedWordComesBackWithoutOk();
    void failedWriteAppliesNothing_data();
    void failedWriteAppliesNothing();
    void spinFieldsAndPrinterSetup();
};

void Form3Test::okWithoutChangesRewritesEveryKey() {
    Station s("[COM]\r\nport=3\r\ndevice=/dev/ttyUSB0\r\n"
              "[zobrazeni]\r\ndatum=1\r\npopis=2\r\nplovouciHelp=1\r\njednotky=t\r\n"
              "stalyPrijem=1\r\nperioda=7\r\nporadCislo=0\r\nZahlavi=1\r\nsave=1\r\n"
              "PrintSave=1\r\nZahlavitext=.A\\nB\\n\r\nZapati=0\r\n"
              "[popis]\r\ndelka=20\r\n[tabulka]\r\nsirka1=90\r\n",
              "jablka\r\nhru\x9Aky\r\n");
    s.show(QStringLiteral("t"), 4);
    s.ok();
    QCOMPARE(s.messages, QStringList());
    // every key of both steps rewritten in place, the missing footer text
    // added with the dialog's default, the device it does not offer kept
    QCOMPARE(s.ini(), QByteArray("[COM]\r\nport=4\r\ndevice=/dev/ttyUSB0\r\n"
                                 "[zobrazeni]\r\ndatum=1\r\npopis=1\r\nplovouciHelp=1\r\n"
                                 "jednotky=t\r\nstalyPrijem=1\r\nperioda=7\r\nporadCislo=0\r\n"
                                 "Zahlavi=1\r\nsave=1\r\nPrintSave=1\r\nZahlavitext=.A\\nB\\n\r\n"
                                 "Zapati=0\r\nZapatiText=.Z\xE1pati\\n\r\n"
                                 "[popis]\r\ndelka=20\r\n[tabulka]\r\nsirka1=90\r\n"));
    QCOMPARE(readFileBytes(s.wordsPath()), QByteArray("jablka\r\nhru\x9Aky\r\n"));
    // what the running program takes: the file's values, the stored widths
    QVERIFY(s.applied);
    QCOMPARE(s.applied->settings.port, 4);
    QCOMPARE(s.applied->timeColumnWidth, 90);
    QCOMPARE(s.applied->descriptionColumnWidth, 130);
    QCOMPARE(s.applied->previewWidth, 13 * (25 + 13 + 25));
    QCOMPARE(s.applied->words, (QStringList{"jablka", "hrušky"}));
    QCOMPARE(s.applied->headerText, QStringLiteral("A\r\nB\r\n"));
}

void Form3Test::panelsStackAndTheDialogStaysCentred() {
    Station s("[zobrazeni]\r\npopis=1\r\nplovouciHelp=1\r\n");
    TForm3& f = s.show();
    QCOMPARE(f.height(), 57 + 219 + 41);
    const int y = f.y(), belowOptions = 57 + 219;
    f.CheckBox7->click(); // the header goes below the options
    QCOMPARE(s.top(f.Panel6), belowOptions);
    f.CheckBox8->click(); // the footer below the shown header
    QCOMPARE(s.top(f.Panel7), belowOptions + 70);
    f.BitBtn3->click(); // the word list goes directly below the options
    QCOMPARE(s.top(f.Panel3), belowOptions);
    QCOMPARE(s.top(f.Panel6), belowOptions + 148);
    QCOMPARE(f.height(), 57 + 219 + 148 + 70 + 70 + 41);
    QCOMPARE(f.y(), y - 35 - 35 - 74);
    QCOMPARE(f.BitBtn3->text(), QStringLiteral("&Schovat"));
    QCOMPARE(f.BitBtn3->toolTip(), QStringLiteral("&Upravit"));
    // unchecking the description closes the open word list
    f.CheckBox2->click();
    QVERIFY(f.Panel3->isHidden());
    QCOMPARE(f.y(), y - 35 - 35);
    QCOMPARE(f.height(), 57 + 219 + 70 + 70 + 41);
    QVERIFY(!f.CheckBox3->isChecked() && !f.CheckBox3->isEnabled());
    QVERIFY(!f.BitBtn3->isEnabled() && !f.RxSpinEdit2->isEnabled());
    QCOMPARE(f.BitBtn3->text(), QStringLiteral("&Upravit"));
}

void Form3Test::liveWeightRemembersThePeriod() {
    Station s("[zobrazeni]\r\nstalyPrijem=0\r\n");
    TForm3& f = s.show();
    // never checked in this run: the period's controls keep their first state
    QVERIFY(f.CheckBox5->isEnabled() && f.RxSpinEdit3->isEnabled() && f.Label4->isEnabled());
    f.hide();
    writeFileBytes(paths::settingsFile(), "[zobrazeni]\r\nstalyPrijem=1\r\nperioda=5\r\n");
    s.show();
    QVERIFY(f.CheckBox5->isChecked());
    f.CheckBox4->click();
    QCOMPARE(f.RxSpinEdit3->value(), 0);
    QVERIFY(!f.RxSpinEdit3->isEnabled() && !f.CheckBox5->isEnabled());
    f.CheckBox4->click();
    QCOMPARE(f.RxSpinEdit3->value(), 5);
    f.CheckBox4->click();
    s.ok();
    QVERIFY(s.ini().contains("stalyPrijem=0\r\nperioda=0\r\n"));
    QCOMPARE(s.applied->timerInterval, 0);
    // shown with live weight off, the field keeps its value; checking brings
    // the remembered period back
    s.show();
    QCOMPARE(f.RxSpinEdit3->value(), 0);
    f.CheckBox4->click();
    QCOMPARE(f.RxSpinEdit3->value(), 5);
}

void Form3Test::twoLineHeaderRoundTrips() {
    Station s;
    TForm3& f = s.show();
    QCOMPARE(f.RichEdit2->toPlainText(), QStringLiteral("Zápati"));
    f.CheckBox7->click();
    f.RichEdit1->setPlainText(QStringLiteral("A\nB"));
    s.ok();
    QVERIFY(s.ini().contains("Zahlavi=1\r\n"));
    QVERIFY(s.ini().contains("ZahlaviText=.A\\nB\\n\r\n"));
    QCOMPARE(s.applied->headerText, QStringLiteral("A\r\nB\r\n"));
    f.RichEdit1->clear();
    s.show();
    QCOMPARE(f.RichEdit1->toPlainText(), QStringLiteral("A\nB"));
}

void Form3Test::deletedWordComesBackWithoutOk() {
    const QByteArray words = "a\r\nb\r\n";
    Station s({}, words);
    TForm3& f = s.show();
    f.ListBox1->setCurrentRow(0);
    QVERIFY(f.BitBtn4->isEnabled());
    f.BitBtn4->click();
    QCOMPARE(f.ListBox1->count(), 1);
    QVERIFY(!f.BitBtn4->isEnabled());
    f.ListBox1->setCurrentRow(0); // the word that moved up can go too
    QVERIFY(f.BitBtn4->isEnabled());
    f.reject(); // the close box
    QCOMPARE(readFileBytes(s.wordsPath()), words);
    QVERIFY(!QFile::exists(paths::settingsFile()) && !s.applied);
    s.show();
    QCOMPARE(f.ListBox1->count(), 2);
}

void Form3Test::failedWriteAppliesNothing_data() {
    QTest::addColumn<bool>("settingsBlocked");
    QTest::newRow("settings file") << true;
    QTest::newRow("word list") << false;
}

void Form3Test::failedWriteAppliesNothing() {
    QFETCH(bool, settingsBlocked);
    Station s;
    const QString blocked = settingsBlocked ? paths::settingsFile() : s.wordsPath();
    s.show();
    // a folder in the file's place cannot be replaced by a file, even by root
    QVERIFY(QDir().mkpath(blocked));
    s.ok();
    QCOMPARE(s.messages.size(), 1);
    QVERIFY2(s.messages[0].startsWith(settingsBlocked
                                          ? QStringLiteral("Unable to write to ") + blocked
                                          : QStringLiteral("Cannot create file \"popis.dat\". ")),
             qPrintable(s.messages[0]));
    QVERIFY(!s.applied);
    // after the word list fails, the first step stays written, the second never happens
    QCOMPARE(s.ini().contains("delka=14"), !settingsBlocked);
    QVERIFY(!s.ini().contains("stalyPrijem"));
    // a list that cannot be read is told at the next showing; the rest loads
    s.form.RxSpinEdit1->setValue(7);
    s.show();
    QCOMPARE(s.messages.size(), settingsBlocked ? 1 : 2);
    QCOMPARE(s.form.RxSpinEdit1->value(), 2);
}

void Form3Test::spinFieldsAndPrinterSetup() {
    Station s;
    TForm3& f = s.show();
    auto type = [](TRxSpinEdit* spin, const QString& text) {
        spin->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(spin->findChild<QLineEdit*>(), text);
        return spin->value();
    };
    QCOMPARE(type(f.RxSpinEdit1, QStringLiteral("abc")), 1);
    QCOMPARE(type(f.RxSpinEdit1, QStringLiteral("12")), 10);
    QCOMPARE(type(f.RxSpinEdit3, QStringLiteral("-4")), -4);
    f.BitBtn1->click();
    QCOMPARE(s.printerSetUp, &currentPrinter());
    s.ok();
    QVERIFY(s.ini().contains("port=10\r\n") && s.ini().contains("perioda=-4\r\n"));
    QCOMPARE(s.applied->timerInterval, 0);
}

QTEST_MAIN(Form3Test)
#include "form3_test.moc"
