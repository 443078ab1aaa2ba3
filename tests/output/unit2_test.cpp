#include "output/ticketprinter.h"
#include "output/unit2.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/inifile.h"
#include "tests/support/tempdir.h"

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

class TForm2Test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showsTheTicketTextInAFixedPitchFontWithoutWrapping();
    void typedPastedAndDeletedCharactersAreDiscarded();
    void escapeClosesWithoutPrinting();
    void konecClosesWithoutPrinting();
    void tiskPrintsWhatIsShownAndCloses();
    void tiskInAModalRunEndsIt();
    void printFailureKeepsTheWindowOpenAndShowsTheMessage();
    void sizeComesFromTheSettingsFile_data();
    void sizeComesFromTheSettingsFile();
    void sizeIsWrittenWhenTheWindowIsDestroyed();
    void failedSizeWriteIsReportedNotThrown();
    void buttonsAreSpreadOverTheBar_data();
    void buttonsAreSpreadOverTheBar();
    void controlsCarryTheirNames();

private:
    std::unique_ptr<TForm2> makeShownForm();

    std::unique_ptr<ScratchExecutableDir> m_dir;
    QStringList m_messages;
    QList<QStringList> m_printed;
    std::function<void(const QStringList&)> m_printer;
};

namespace {
const QStringList kTicket{
    QStringLiteral("Poř.číslo  \t\t   Hmotnost"),
    QStringLiteral("1          \t\t  12,500 kg"),
    QStringLiteral("Celkem 1   \t\t   12,5 kg"),
    QStringLiteral("Dne: 7.12.2026  21:05:09"),
};
}

void TForm2Test::init() {
    m_dir = std::make_unique<ScratchExecutableDir>();
    m_messages.clear();
    m_printed.clear();
    m_printer = [this](const QStringList& lines) { m_printed.append(lines); };
    setMessageSink([this](MessageKind, const QString& text) { m_messages.append(text); });
    setPrintFunction([this](const QStringList& lines) { m_printer(lines); });
}

void TForm2Test::cleanup() {
    setPrintFunction({});
    setMessageSink({});
    m_dir.reset();
}

std::unique_ptr<TForm2> TForm2Test::makeShownForm() {
    auto form = std::make_unique<TForm2>();
    form->setTicketText(kTicket);
    form->show();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form.get()))
        qWarning("preview window did not become active");
    return form;
}

void TForm2Test::showsTheTicketTextInAFixedPitchFontWithoutWrapping() {
    TForm2 form;
    form.setTicketText(kTicket);
    QCOMPARE(form.ticketText(), kTicket);
    QCOMPARE(form.RichEdit1->toPlainText(), kTicket.join(QLatin1Char('\n')));
    QCOMPARE(form.RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(QFontInfo(form.RichEdit1->font()).fixedPitch());
    QCOMPARE(form.RichEdit1->font().pointSize(), 12);

    // A new ticket replaces the old one entirely.
    form.setTicketText({QStringLiteral("jen jeden")});
    QCOMPARE(form.RichEdit1->toPlainText(), QStringLiteral("jen jeden"));
    QCOMPARE(form.ticketText(), QStringList{QStringLiteral("jen jeden")});
}

void TForm2Test::typedPastedAndDeletedCharactersAreDiscarded() {
    auto form = makeShownForm();
    QPlainTextEdit* edit = form->RichEdit1;
    edit->setFocus();
    const QString before = edit->toPlainText();

    QTest::keyClicks(edit, QStringLiteral("abc 123"));
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QStringLiteral("ř"), Qt::NoModifier);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Backspace);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QApplication::clipboard()->setText(QStringLiteral("vloženo"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);

    QCOMPARE(edit->toPlainText(), before);
    QCOMPARE(form->ticketText(), kTicket);
    QVERIFY(form->isVisible());
}

void TForm2Test::escapeClosesWithoutPrinting() {
    auto form = makeShownForm();
    form->RichEdit1->setFocus();
    QTest::keyClick(form->RichEdit1, Qt::Key_Escape);
    QTRY_VERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Rejected));
    QVERIFY(m_printed.isEmpty());

    // From a button too: the window sees the key first.
    form = makeShownForm();
    form->BitBtn1->setFocus();
    QTest::keyClick(form->BitBtn1, Qt::Key_Escape);
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(m_printed.isEmpty());
}

void TForm2Test::konecClosesWithoutPrinting() {
    auto form = makeShownForm();
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    QTRY_VERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Rejected));
    QVERIFY(m_printed.isEmpty());
    QVERIFY(m_messages.isEmpty());
}

void TForm2Test::tiskPrintsWhatIsShownAndCloses() {
    auto form = makeShownForm();
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    QTRY_VERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Accepted));
    QCOMPARE(m_printed.size(), 1);
    QCOMPARE(m_printed[0], form->RichEdit1->toPlainText().split(QLatin1Char('\n')));
    QCOMPARE(m_printed[0], kTicket);
}

void TForm2Test::tiskInAModalRunEndsIt() {
    TForm2 form;
    form.setTicketText(kTicket);
    QTimer::singleShot(0, &form, [&form] {
        QTRY_VERIFY(form.isVisible());
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    });
    // A stuck modal run would hang the test; the guard ends it.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, &form, [&form] { form.done(-1); });
    guard.start(20000);
    const int result = form.exec();
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(m_printed.size(), 1);
}

void TForm2Test::printFailureKeepsTheWindowOpenAndShowsTheMessage() {
    m_printer = [](const QStringList&) {
        throw PrintError(QStringLiteral("Tisk se nezdařil: v systému není žádná tiskárna."));
    };
    auto form = makeShownForm();
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    QCOMPARE(m_messages,
             QStringList{QStringLiteral("Tisk se nezdařil: v systému není žádná tiskárna.")});
    QVERIFY(form->isVisible());

    // The operator tries again once a printer is there.
    m_printer = [this](const QStringList& lines) { m_printed.append(lines); };
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    QTRY_VERIFY(!form->isVisible());
    QCOMPARE(m_printed.size(), 1);
}

void TForm2Test::sizeComesFromTheSettingsFile_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QSize>("size");
    QTest::newRow("no file") << QByteArray() << QSize(320, 490);
    QTest::newRow("stored") << QByteArray("[Tisk]\r\nsirka=410\r\nvyska=300\r\n")
                            << QSize(410, 300);
    QTest::newRow("width only") << QByteArray("[tisk]\r\nSIRKA=500\r\n") << QSize(500, 490);
    QTest::newRow("not a number") << QByteArray("[Tisk]\r\nsirka=abc\r\nvyska=0x190\r\n")
                                  << QSize(320, 400);
}

void TForm2Test::sizeComesFromTheSettingsFile() {
    QFETCH(QByteArray, settings);
    QFETCH(QSize, size);
    if (!settings.isEmpty())
        writeFileBytes(paths::settingsFile(), settings);
    TForm2 form;
    QCOMPARE(form.size(), size);
}

void TForm2Test::sizeIsWrittenWhenTheWindowIsDestroyed() {
    {
        TForm2 form; // never shown: the size is written all the same
        form.resize(333, 444);
    }
    QVERIFY(m_messages.isEmpty());
    {
        const IniFile ini(paths::settingsFile());
        QCOMPARE(ini.readInteger(QStringLiteral("Tisk"), QStringLiteral("sirka"), -1), 333);
        QCOMPARE(ini.readInteger(QStringLiteral("Tisk"), QStringLiteral("vyska"), -1), 444);
    }
    TForm2 again;
    QCOMPARE(again.size(), QSize(333, 444));
}

void TForm2Test::failedSizeWriteIsReportedNotThrown() {
    // The executable's folder is a regular file: no settings file can be
    // written below it.
    writeFileBytes(m_dir->file(QStringLiteral("blocked")), "x");
    paths::setExecutableFilePath(m_dir->file(QStringLiteral("blocked/vaznilistek")));
    {
        TForm2 form;
        QCOMPARE(form.size(), QSize(320, 490));
    }
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages[0].startsWith(QStringLiteral("Unable to write to ")),
             qPrintable(m_messages[0]));
}

void TForm2Test::buttonsAreSpreadOverTheBar_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("tiskLeft");
    QTest::addColumn<int>("konecLeft");
    // gap = (bar - 75 - 75) / 3, truncated toward zero
    QTest::newRow("default") << 320 << 56 << 187;
    QTest::newRow("wide") << 401 << 83 << 241;
    QTest::newRow("too narrow") << 100 << -16 << 43;
}

void TForm2Test::buttonsAreSpreadOverTheBar() {
    QFETCH(int, width);
    QFETCH(int, tiskLeft);
    QFETCH(int, konecLeft);
    auto form = makeShownForm();
    QCOMPARE(form->BitBtn1->width(), 75);
    QCOMPARE(form->BitBtn2->width(), 75);
    form->resize(width, 300);
    QTRY_COMPARE(form->width(), width);
    QTRY_COMPARE(form->BitBtn1->x(), tiskLeft);
    QCOMPARE(form->BitBtn2->x(), konecLeft);
    QCOMPARE(form->Panel1->geometry(), QRect(0, 0, width, TForm2::kBarHeight));
    QCOMPARE(form->RichEdit1->geometry(),
             QRect(0, TForm2::kBarHeight, width, form->height() - TForm2::kBarHeight));
}

void TForm2Test::controlsCarryTheirNames() {
    TForm2 form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Tiskový náhled"));
    QCOMPARE(form.findChild<QWidget*>(QStringLiteral("Panel1")), form.Panel1);
    QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->text(),
             QStringLiteral("&Tisk"));
    QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("BitBtn2"))->text(),
             QStringLiteral("&Konec"));
    QCOMPARE(form.findChild<QPlainTextEdit*>(QStringLiteral("RichEdit1")), form.RichEdit1);
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
}

QTEST_MAIN(TForm2Test)
#include "unit2_test.moc"
