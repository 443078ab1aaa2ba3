// The main window driven as an operator would: clicks, typed keys, frames
// arriving on a real pseudo-terminal, close and start again.
#include "link/linewatch.h"
#include "link/printframe.h"
#include "link/vacomm.h"
#include "output/ticketprinter.h"
#include "output/unit2.h"
#include "platform/apperror.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/localeconventions.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/wholefile.h"
#include "settings/unit3.h"
#include "tests/support/scratchstation.h"
#include "ticket/descriptionbox.h"
#include "ticket/stringgrid.h"
#include "ticket/unit1.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(21, 5, 9));

// One weighing station: a scratch folder for the executable's files, a
// pseudo-terminal as the scale, recorded message boxes and print jobs.
class Station : public ScratchStation {
public:
    explicit Station(const QByteArray& settings = {}, bool withScale = true) {
        setConventions(LocaleConventions::czech());
        clock_::setNow([] { return kNow; });
        // Time stands still for the line watch unless a test moves it.
        clock_::setMonotonic([this] { return monotonic; });
        m_previousPrint = setPrintFunction([this](const QStringList& lines) {
            if (!printFailure.isEmpty())
                throw PrintError(printFailure);
            printed.append(lines);
        });
        QByteArray ini = settings;
        if (withScale) {
            char name[256] = {};
            termios raw{};
            cfmakeraw(&raw);
            if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
                qFatal("openpty failed");
            ini += "\r\n[COM]\r\ndevice=" + QByteArray(name) + "\r\n";
        } else {
            ini += "\r\n[COM]\r\ndevice=/nonexistent/scale-tty\r\n";
        }
        writeFileBytes(iniPath(), ini);
    }

    ~Station() {
        // A test that failed half-way leaves no refusing disk behind.
        wholefile::setChangeRefusal({});
        wholefile::setWriteFunction({});
        form.reset();
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
        setPrintFunction(m_previousPrint);
        clock_::setNow({});
        clock_::setMonotonic({});
    }

    QString iniPath() const { return dir.file(QStringLiteral("vaznilistek.ini")); }

    TForm1* start() {
        form = std::make_unique<TForm1>();
        form2 = new TForm2(form.get());
        form->setPreviewWindow(form2);
        form->show();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form.get()))
            qWarning("main window did not become active");
        return form.get();
    }

    void restart() {
        form->close();
        form.reset();
        start();
    }

    void send(const QByteArray& bytes) const {
        if (::write(m_master, bytes.constData(), size_t(bytes.size())) != bytes.size())
            qFatal("write to the scale's pty failed");
    }

    // Once the window holds the whole burst the line goes quiet, and the hold
    // timer releases what might have grown into a longer frame.
    void quietAfter(const QByteArray& burst) {
        QTRY_COMPARE(form->receiveBuffer(), cp1250::decode(burst));
        monotonic += kPrintFrameHold;
    }
    void sendThenQuiet(const QByteArray& burst) {
        send(burst);
        quietAfter(burst);
    }

    // Clicks OK `times` times.
    void weigh(int times = 1) const {
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    }
    // A weighing whose description the word list's box takes at once.
    void weighIntoTheWordList() const {
        weigh();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->ComboBox1));
    }

    // The operator opens "Nastavení", clicks the named boxes, lets `more`
    // act on the dialog, and clicks its OK.
    void settingsOk(const QStringList& boxes, const std::function<void(TForm3*)>& more = {}) const {
        auto* form3 = new TForm3(form.get());
        form->setSettingsDialog(form3);
        QTimer::singleShot(0, form3, [form3, boxes, more] {
            for (const QString& name : boxes)
                form3->findChild<QCheckBox*>(name)->click();
            if (more)
                more(form3);
            form3->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        });
        QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    }

    QString cell(int column, int row) const { return form->ticket().cell(column, row); }
    int rows() const { return form->ticket().rowCount(); }

    void typeKey(Qt::Key key, const QString& text = {}) const {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::sendKeyEvent(QTest::Click, focus, key, text, Qt::NoModifier);
    }
    // A control character stands for its key: \r Enter, \t Tab, \b
    // Backspace; "↓" is the Down arrow.
    void typeText(const QString& text) const {
        for (QChar ch : text) {
            const Qt::Key key = ch == u'\r'   ? Qt::Key_Return
                                : ch == u'\t' ? Qt::Key_Tab
                                : ch == u'\b' ? Qt::Key_Backspace
                                : ch == u'↓'  ? Qt::Key_Down
                                              : Qt::Key_unknown;
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), key,
                                key == Qt::Key_Down ? QString() : QString(ch), Qt::NoModifier);
        }
    }

    std::unique_ptr<TForm1> form;
    TForm2* form2 = nullptr;
    std::chrono::milliseconds monotonic{1000000};
    QList<QStringList> printed;
    QString printFailure;

private:
    int m_master = -1;
    int m_slave = -1;
    PrintFunction m_previousPrint;
};

const QByteArray kLive = "[zobrazeni]\r\nstalyPrijem=1\r\n";
// Live weight with descriptions chosen from the word list.
const QByteArray kWordList = kLive + "popis=1\r\nplovouciHelp=1\r\n[tabulka]\r\nsirka2=130\r\n";

} // namespace

class Form1Test : public QObject {
    Q_OBJECT
private slots:
    void freshStartShowsDefaults();
    void openFailureIsReportedAndWindowComesUp();
    void liveWeightFromTheSerialLine();
    void okButtonRecordsTheWeightLabel();
    void sumsUseTheGeneralFormat();
    void onlyTheFirstDigitAfterEnterRecords();
    void overloadStopsClicksButNotDigits();
    void timerRecordsEveryPeriod();
    void wordListModeLearnsWordsOnce();
    void comboBoxLiesOverTheEditedCell();
    void enterOnADescriptionOpensTheComboWithItsText();
    void dialogKeyFromTheComboReachesTheGrid();
    void plainModeLimitsTheDescriptionLength();
    void unprintedRowsSurviveCloseAndStart();
    void damagedUnprintedRowsLeaveAUsableTicket();
    void closeStoresShownColumnWidthsOnly();
    void buttonBarLayout_data();
    void buttonBarLayout();
    void printArchivesPrintsAndResets();
    void previewClosedWithoutPrintingStillResets();
    void printFailureKeepsTheTicket();
    void printFramesBecomeRowsAndTotalPrints();
    void unconvertibleWeightsLeaveTheTicketConsistent();
    void zeroLengthMeansNoLimit();
    void clickOnADescriptionCellOpensTheCombo();
    void closeTellsWhatCouldNotBeWrittenAndStillEnds();
    void totalFrameThatCannotPrintKeepsTheTicket();
    void storedHeaderAndFooterFrameTheTicket();
    void typedDescriptionsSurviveEveryWayAnEditEnds();
    void wordListEditEndedByAFrameIsWrittenAndLearned();
    void rowsBookedDuringAPrintGoOnTheNextTicket();
    void accessKeyPrintsAtOnce();
    void pastedTextIsVettedAndOnlyDescriptionsAreEditable();
    void settingsDialogOkAppliesAtOnce();
    void aWeightThatIsNotLiveIsNeverBooked();
    void okStoresTheSettingsAndReopensOnTheDeviceInTheFile();
    void aRefusedWriteIsToldWithoutAFurtherChange();
    void aFullDiskAfterAPrintTakesThePrintedTicketOffTheDisk();
    void aReadOnlyFolderAfterAPrintSaysWhatTheNextStartDoes_data();
    void aReadOnlyFolderAfterAPrintSaysWhatTheNextStartDoes();
    void framesDuringAPrintMakeTheNextTicket();
    void aModeChangeLeavesNoStaleText();
    void theWordListTakesOnlyAHighlightedWord_data();
    void theWordListTakesOnlyAHighlightedWord();
    void theFirstWeighingAfterAPrintOpensItsDescription();
    void onlySettledWeightsAreBookedWhenAsked_data();
    void onlySettledWeightsAreBookedWhenAsked();
    void aDeliveryWaitsInThePortWhileAnErrorIsShown();
};

void Form1Test::freshStartShowsDefaults() {
    Station s({}, true);
    TForm1* f = s.start();
    QCOMPARE(s.messages, QStringList());
    QCOMPARE(s.rows(), 2);
    QCOMPARE(s.cell(0, 0), QStringLiteral("Poř.číslo"));
    QCOMPARE(s.cell(3, 0), QStringLiteral("Hmotnost"));
    QCOMPARE(s.cell(0, 1), QStringLiteral("Celkem 0"));
    QCOMPARE(s.cell(1, 1), QStringLiteral("21:05:09"));
    QCOMPARE(s.cell(2, 1), QStringLiteral("dne: 7.12.2026"));
    QCOMPARE(s.cell(3, 1), QStringLiteral("0 kg"));
    QVERIFY(f->StringGrid1->isColumnHidden(1));
    QVERIFY(f->StringGrid1->isColumnHidden(2));
    QVERIFY(!f->StringGrid1->isColumnHidden(0));
    QCOMPARE(f->Label1->text(), QStringLiteral("0,000 kg"));
    QVERIFY(f->Panel2->isHidden());
    QVERIFY(f->BitBtn4->isHidden());
    QCOMPARE(f->size(), QSize(370, 600));
    QCOMPARE(f->descriptionLimit(), 14);
    QVERIFY(f->sequenceNumbers());
    QVERIFY(f->StatusBar1->findChild<QLabel*>()->text() ==
            QStringLiteral("Tarvik & Omsel Software"));
    QVERIFY(!f->Timer1->isActive());
}

void Form1Test::openFailureIsReportedAndWindowComesUp() {
    Station s(kLive, false);
    TForm1* f = s.start();
    QCOMPARE(s.messages.size(), 1);
    QVERIFY2(s.messages[0].startsWith(QStringLiteral("Specified device not found")),
             qPrintable(s.messages[0]));
    QVERIFY(s.messages[0].contains(QStringLiteral("/nonexistent/scale-tty")));
    QVERIFY(f->isVisible());
    QCOMPARE(s.cell(0, 1), QStringLiteral("Celkem 0"));
    QCOMPARE(f->Label1->text(), QStringLiteral("0,000 kg"));
}

void Form1Test::liveWeightFromTheSerialLine() {
    Station s(kLive);
    TForm1* f = s.start();
    s.send("ST,GS,+  12.500kg\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("12,500 kg"));
    QCOMPARE(f->scaleState(), 0);
    s.send("US,GS,+  12.520kg\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("12,520 kg"));
    QCOMPARE(f->scaleState(), 1);
    QCOMPARE(f->SpeedButton1->palette().color(QPalette::ButtonText), QColor(Qt::red));
    s.send("OL,GS,+ ------kg\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("Přetíženo"));
    QCOMPARE(f->scaleState(), 2);
    QVERIFY(!f->SpeedButton1->isEnabled());
    QCOMPARE(f->Label1->palette().color(QPalette::WindowText), QColor(Qt::red));
}

void Form1Test::okButtonRecordsTheWeightLabel() {
    Station s(kLive);
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QCOMPARE(s.rows(), 3);
    QCOMPARE(s.cell(0, 1), QStringLiteral("1"));
    QCOMPARE(s.cell(1, 1), QStringLiteral("21:05:09"));
    QCOMPARE(s.cell(2, 1), QString());
    QCOMPARE(s.cell(3, 1), QStringLiteral("0,000 kg"));
    QCOMPARE(s.cell(0, 2), QStringLiteral("Celkem 1"));
    QCOMPARE(s.cell(2, 2), QStringLiteral("dne 7.12.2026"));
    QCOMPARE(s.cell(3, 2), QStringLiteral("0 kg"));
    s.weigh(2);
    QCOMPARE(s.cell(0, 3), QStringLiteral("3"));
    QCOMPARE(s.cell(0, 4), QStringLiteral("Celkem 3"));
    QCOMPARE(f->ticket().weighingCount, s.rows() - 2);
    // The new row's description cell is current and the grid has the focus.
    QCOMPARE(f->StringGrid1->row(), 3);
    QCOMPARE(f->StringGrid1->col(), 2);
    QVERIFY(f->StringGrid1->hasFocus());
}

void Form1Test::sumsUseTheGeneralFormat() {
    Station s(kLive);
    TForm1* f = s.start();
    s.send("ST,GS,+   0.1kg\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("0,1 kg"));
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    s.send("ST,GS,+   0.2kg\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("0,2 kg"));
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QCOMPARE(s.cell(3, 3), QStringLiteral("0,3 kg"));
}

void Form1Test::onlyTheFirstDigitAfterEnterRecords() {
    Station s(kLive);
    TForm1* f = s.start();
    f->StringGrid1->setFocus();
    s.typeKey(Qt::Key_1, QStringLiteral("1"));
    QCOMPARE(f->ticket().weighingCount, 1);
    QCOMPARE(f->digitLatch(), 1);
    s.typeKey(Qt::Key_2, QStringLiteral("2"));
    QCOMPARE(f->ticket().weighingCount, 1);
    s.typeKey(Qt::Key_Return, QStringLiteral("\r"));
    QCOMPARE(f->digitLatch(), 0);
    s.typeKey(Qt::Key_3, QStringLiteral("3"));
    QCOMPARE(f->ticket().weighingCount, 2);
    QCOMPARE(s.cell(0, 2), QStringLiteral("2"));
}

void Form1Test::overloadStopsClicksButNotDigits() {
    Station s(kLive);
    TForm1* f = s.start();
    s.send("ST,GS,+  5.0kg\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("5,0 kg"));
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    s.send("OL,GS\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("Přetíženo"));
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    f->Timer1Timer();
    QCOMPARE(f->ticket().weighingCount, 1);
    f->StringGrid1->setFocus();
    s.typeKey(Qt::Key_Return, QStringLiteral("\r"));
    s.typeKey(Qt::Key_7, QStringLiteral("7"));
    QCOMPARE(f->ticket().weighingCount, 2);
    QCOMPARE(s.cell(3, 2), QStringLiteral("Přetíženo"));
    QCOMPARE(s.cell(3, 3), QStringLiteral("5 kg"));
}

void Form1Test::timerRecordsEveryPeriod() {
    Station s(kLive + "perioda=1\r\n");
    TForm1* f = s.start();
    QVERIFY(f->Timer1->isActive());
    QCOMPARE(f->Timer1->interval(), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(f->ticket().weighingCount >= 1, 3000);
    s.send("OL\r\n");
    QTRY_COMPARE(f->scaleState(), 2);
    const int before = f->ticket().weighingCount;
    f->Timer1Timer();
    QCOMPARE(f->ticket().weighingCount, before);

    Station off(kLive + "perioda=-3\r\n");
    TForm1* g = off.start();
    QVERIFY(!g->Timer1->isActive());
}

void Form1Test::wordListModeLearnsWordsOnce() {
    Station s(kWordList);
    TForm1* f = s.start();
    s.weighIntoTheWordList();
    s.typeText(QStringLiteral("Písek"));
    QVERIFY(f->ComboBox1->isListShown()); // the first character drops the list
    s.typeKey(Qt::Key_Return, QStringLiteral("\r"));
    QVERIFY(!f->ComboBox1->isVisible());
    QCOMPARE(s.cell(2, 1), QStringLiteral("Písek"));
    QCOMPARE(readFileBytes(s.dir.file(QStringLiteral("popis.dat"))), QByteArray("P\xEDsek\r\n"));

    // A case variant is not learned again.
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QTRY_VERIFY(f->ComboBox1->isVisible());
    s.typeText(QStringLiteral("PÍSEK"));
    QCOMPARE(f->ComboBox1->highlighted(), 0);
    s.typeKey(Qt::Key_Return, QStringLiteral("\r"));
    QCOMPARE(f->ComboBox1->count(), 1);
    // Enter takes the highlighted entry, with its own letters.
    QCOMPARE(s.cell(2, 2), QStringLiteral("Písek"));
    // An empty description is never learned.
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QTRY_VERIFY(f->ComboBox1->isVisible());
    s.typeKey(Qt::Key_Tab);
    QCOMPARE(f->ComboBox1->count(), 1);

    // Selecting the case variant shows the list entry's own letters.
    f->StringGrid1->setCurrentIndex(f->StringGrid1->model()->index(1, 0));
    f->StringGrid1->setCurrentIndex(f->StringGrid1->model()->index(1, 2));
    QTRY_VERIFY(f->ComboBox1->isVisible());
    QCOMPARE(f->ComboBox1->currentText(), QStringLiteral("Písek"));
}

void Form1Test::comboBoxLiesOverTheEditedCell() {
    Station s(kWordList);
    TForm1* f = s.start();
    s.weigh(40);
    QTRY_VERIFY(f->ComboBox1->isVisible());
    auto expected = [&] {
        const QRect cell = f->StringGrid1->cellRect(2, 40);
        return QRect(f->StringGrid1->viewport()->mapTo(f->centralWidget(), cell.topLeft()),
                     cell.size());
    };
    QCOMPARE(f->ComboBox1->geometry(), expected());
    f->StringGrid1->horizontalHeader()->resizeSection(0, 60);
    QCOMPARE(f->ComboBox1->geometry(), expected());
    f->StringGrid1->verticalScrollBar()->setValue(f->StringGrid1->verticalScrollBar()->value() - 3);
    QCOMPARE(f->ComboBox1->geometry(), expected());
    // Clicks on other columns, the title row or the totals row show nothing.
    f->ComboBox1Exit();
    f->StringGrid1SelectCell(3, 5);
    f->StringGrid1SelectCell(2, 0);
    f->StringGrid1SelectCell(2, s.rows() - 1);
    QVERIFY(!f->ComboBox1->isVisible());
}

void Form1Test::enterOnADescriptionOpensTheComboWithItsText() {
    Station s(kWordList);
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QTRY_VERIFY(f->ComboBox1->isVisible());
    s.typeText(QStringLiteral("štěrk\r"));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f->StringGrid1));
    s.typeKey(Qt::Key_Return, QStringLiteral("\r"));
    QTRY_VERIFY(f->ComboBox1->isVisible());
    QCOMPARE(f->ComboBox1->currentText(), QStringLiteral("štěrk"));
    QCOMPARE(f->ComboBox1->lineEdit()->cursorPosition(), 5);
    QVERIFY(f->listOpened());
    s.typeText(QStringLiteral("y"));
    QVERIFY(!f->ComboBox1->isListShown()); // typing after Enter does not drop the list
    QCOMPARE(f->ComboBox1->currentText(), QStringLiteral("štěrky"));
}

void Form1Test::dialogKeyFromTheComboReachesTheGrid() {
    Station s(kWordList);
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QTRY_VERIFY(f->ComboBox1->isVisible());
    QSignalSpy keys(f->StringGrid1, &TStringGrid::keyDownReceived);
    s.typeKey(Qt::Key_Escape);
    QCOMPARE(keys.size(), 1);
    QCOMPARE(keys[0][0].toInt(), int(Qt::Key_Escape));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f->StringGrid1));
    QVERIFY(!f->ComboBox1->isVisible());
}

void Form1Test::plainModeLimitsTheDescriptionLength() {
    Station s(kLive + "popis=1\r\n[popis]\r\ndelka=3\r\n[tabulka]\r\nsirka2=130\r\n");
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QVERIFY(f->StringGrid1->editing());
    QCOMPARE(f->StringGrid1->col(), 2);
    s.typeText(QStringLiteral("abcd"));
    QTRY_VERIFY(f->StringGrid1->isEditorOpen());
    QLineEdit* editor = f->StringGrid1->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("abc"));
    s.typeKey(Qt::Key_Backspace, QStringLiteral("\b"));
    QCOMPARE(editor->text(), QStringLiteral("abc"));
    editor->setCursorPosition(0);
    s.typeKey(Qt::Key_Delete);
    QCOMPARE(editor->text(), QStringLiteral("bc"));
    s.typeKey(Qt::Key_Return, QStringLiteral("\r"));
    QTRY_COMPARE(s.cell(2, 1), QStringLiteral("bc"));
}

void Form1Test::unprintedRowsSurviveCloseAndStart() {
    Station s(kLive + "save=1\r\n");
    TForm1* f = s.start();
    s.send("ST,GS,+  1.25kg\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("1,25 kg"));
    s.weigh(3);
    f->close();
    const QByteArray bytes = readFileBytes(paths::unprintedRowsFile());
    QVERIFY(bytes.startsWith(QByteArray::fromHex("0204020509") +
                             cp1250::encode(QStringLiteral("Poř.číslo"))));
    clock_::setNow([] { return kNow.addSecs(60); });
    s.form.reset();
    f = s.start();
    QCOMPARE(s.rows(), 5);
    QCOMPARE(f->ticket().weighingCount, 3);
    QCOMPARE(s.cell(3, 2), QStringLiteral("1,25 kg"));
    QCOMPARE(s.cell(0, 4), QStringLiteral("Celkem 3"));
    QCOMPARE(s.cell(1, 4), QStringLiteral("21:06:09")); // the totals row is written fresh
    QCOMPARE(s.cell(3, 4), QStringLiteral("3,75 kg"));
}

void Form1Test::damagedUnprintedRowsLeaveAUsableTicket() {
    Station s(kLive + "save=1\r\n");
    const QByteArray damaged = QByteArray::fromHex("0204") + QByteArray::fromHex("0400943577");
    writeFileBytes(paths::unprintedRowsFile(), damaged);
    TForm1* f = s.start();
    QCOMPARE(s.messages.size(), 1);
    QVERIFY(f->ticket().rowCount() >= 2);
    QCOMPARE(f->ticket().weighingCount, f->ticket().rowCount() - 2);
    QCOMPARE(s.cell(0, s.rows() - 1), QStringLiteral("Celkem %1").arg(f->ticket().weighingCount));
    // Kept beside it before the next close can overwrite it, and named.
    const QStringList kept = QDir(paths::executableDir())
                                 .entryList({QFileInfo(paths::unprintedRowsFile()).fileName() +
                                             QStringLiteral(".poskozeny-*")});
    QCOMPARE(kept.size(), 1);
    QVERIFY(s.messages.first().contains(kept.first()));
    QCOMPARE(readFileBytes(paths::executableDir() + kept.first()), damaged);
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QCOMPARE(f->ticket().weighingCount, f->ticket().rowCount() - 2);
    f->close();
    QVERIFY(readFileBytes(paths::unprintedRowsFile()) != damaged);
}

void Form1Test::closeStoresShownColumnWidthsOnly() {
    Station s("[tabulka]\r\nsirka1=77\r\nsirka0=165\r\nsirka3=120\r\n");
    TForm1* f = s.start();
    QCOMPARE(f->StringGrid1->columnWidth(0), 169); // 165 means never stored
    QCOMPARE(f->StringGrid1->columnWidth(3), 120);
    f->StringGrid1->horizontalHeader()->resizeSection(0, 150);
    f->resize(400, 500);
    f->close();
    const QString ini = cp1250::decode(readFileBytes(s.iniPath()));
    QVERIFY(ini.contains(QStringLiteral("sirka0=150\r\n")));
    QVERIFY(ini.contains(QStringLiteral("sirka1=77\r\n"))); // hidden: the stored width survives
    QVERIFY(!ini.contains(QStringLiteral("sirka2")));
    QVERIFY(ini.contains(QStringLiteral("celkem=400\r\n")));
    QVERIFY(ini.contains(QStringLiteral("celkemVyska=500\r\n")));
}

void Form1Test::buttonBarLayout_data() {
    QTest::addColumn<bool>("archive");
    QTest::addColumn<bool>("live");
    QTest::addColumn<QList<int>>("lefts"); // Tisk, Nastavení, Archív, Konec, panel
    QTest::addColumn<int>("checkBox");
    QTest::newRow("archive and panel hidden")
        << false << false << QList<int>{30, 135, -1, 254, -1} << 30;
    QTest::newRow("all five") << true << true << QList<int>{-13, 49, 125, 187, 249} << -13;
}

void Form1Test::buttonBarLayout() {
    QFETCH(bool, archive);
    QFETCH(bool, live);
    QFETCH(QList<int>, lefts);
    QFETCH(int, checkBox);
    Station s(QByteArray("[zobrazeni]\r\n") + (live ? "stalyPrijem=1\r\n" : "") +
              (archive ? "PrintSave=1\r\n" : ""));
    TForm1* f = s.start();
    f->Panel1->setFixedWidth(362);
    f->FormResize();
    const QList<QWidget*> items{f->BitBtn1, f->BitBtn2, f->BitBtn4, f->BitBtn3, f->Panel2};
    for (int i = 0; i < items.size(); ++i)
        if (lefts[i] >= 0 || !items[i]->isHidden())
            QCOMPARE(items[i]->x(), lefts[i]);
    QCOMPARE(f->CheckBox1->x(), checkBox);
}

void Form1Test::printArchivesPrintsAndResets() {
    Station s(kLive + "PrintSave=1\r\n");
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QTest::mouseClick(f->BitBtn1, Qt::LeftButton);
    QCOMPARE(s.printed.size(), 1);
    QVERIFY(s.printed[0].size() >= 4);
    QVERIFY(s.printed[0][0].startsWith(QStringLiteral("Poř.číslo")));
    QCOMPARE(s.printed[0].last(), QStringLiteral("Dne: 7.12.2026  21:05:09"));
    const QByteArray archived = readFileBytes(paths::archiveFile(kNow.date()));
    QCOMPARE(archived,
             cp1250::encode(s.printed[0].join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    QCOMPARE(s.rows(), 2);
    QCOMPARE(s.cell(0, 1), QStringLiteral("Celkem 0"));
    QCOMPARE(s.cell(2, 1), QStringLiteral("dne 7.12.2026"));
    QCOMPARE(s.cell(3, 1), QStringLiteral("0 kg"));
    QCOMPARE(f->ticket().weightSum.toDouble(), 0.0);
    QCOMPARE(f->previewWindow()->ticketText(), s.printed[0]);
    // Checking the preview box paints the caption red.
    QTest::mouseClick(f->CheckBox1, Qt::LeftButton);
    QCOMPARE(f->BitBtn1->palette().color(QPalette::ButtonText), QColor(Qt::red));
    QTest::mouseClick(f->CheckBox1, Qt::LeftButton);
    QCOMPARE(f->BitBtn1->palette().color(QPalette::ButtonText), QColor(Qt::black));
}

void Form1Test::previewClosedWithoutPrintingStillResets() {
    Station s(kLive + "PrintSave=1\r\n");
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    f->CheckBox1->setChecked(true);
    QTimer::singleShot(0, f->previewWindow(), [&] {
        QTRY_VERIFY(f->previewWindow()->isVisible());
        // The ticket is archived before the preview opens.
        QVERIFY(QFile::exists(paths::archiveFile(kNow.date())));
        // No job has gone out: a crash now would undo the print.
        QVERIFY(readFileBytes(paths::printJournalFile()).contains("\nstav neodeslano\n"));
        f->previewWindow()->BitBtn2Click();
    });
    f->BitBtn1Click();
    QCOMPARE(s.printed.size(), 0);
    QCOMPARE(s.rows(), 2);
    QVERIFY(f->previewWindow()->RichEdit1->toPlainText().contains(QStringLiteral("Celkem 1")));
}

void Form1Test::printFailureKeepsTheTicket() {
    Station s(kLive);
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    s.printFailure = QStringLiteral("Tisk se nezdařil.");
    QVERIFY_THROWS_EXCEPTION(PrintError, f->BitBtn1Click());
    QCOMPARE(s.rows(), 3);
    QCOMPARE(f->ticket().weighingCount, 1);
}

void Form1Test::printFramesBecomeRowsAndTotalPrints() {
    Station s("[zobrazeni]\r\npopis=1\r\n[tabulka]\r\nsirka2=130\r\n");
    TForm1* f = s.start();
    const QByteArray item1 = "1, 12.50 kg     \r\n"; // 18, split over two deliveries
    QCOMPARE(item1.size(), 18);
    s.send(item1.left(10));
    s.send(item1.mid(10));
    s.quietAfter(item1);
    QTRY_COMPARE(f->ticket().weighingCount, 1);
    QCOMPARE(s.cell(0, 1), QStringLiteral("1"));
    QCOMPARE(s.cell(3, 1), QStringLiteral("12,50 kg"));
    QCOMPARE(s.cell(2, 2), QStringLiteral("dne: 7.12.2026"));
    QCOMPARE(f->StringGrid1->col(), 2);
    QCOMPARE(f->StringGrid1->row(), 1);
    s.sendThenQuiet("2, 7.25 kg      \r\n");
    QTRY_COMPARE(f->ticket().weighingCount, 2);
    QCOMPARE(s.cell(3, 3), QStringLiteral("19,75 kg"));
    // A total over three lines, cut behind its first line, as long as an
    // item: held whole until the line is quiet.
    const QByteArray total =
        QByteArray(18, '-') + "\r\nCELKEM,  19.75 kg \r\n" + QByteArray(31, '-') + "\r\n";
    s.send(total.left(20));
    s.send(total.mid(20));
    QTRY_COMPARE(f->receiveBuffer().size(), total.size());
    QCOMPARE(f->ticket().weighingCount, 2);
    s.quietAfter(total);
    QTRY_COMPARE(s.printed.size(), 1);
    const QStringList& ticket = s.printed[0];
    QVERIFY(ticket.join(QLatin1Char('\n')).contains(QStringLiteral("Celkem: 2")));
    QVERIFY(ticket.join(QLatin1Char('\n')).contains(QStringLiteral("19.75 kg")));
    QTRY_COMPARE(s.rows(), 2);
    QCOMPARE(s.cell(0, 1), QStringLiteral("Celkem 0"));
    QCOMPARE(s.cell(2, 1), QStringLiteral("dne: 7.12.2026"));
    QCOMPARE(s.cell(3, 1), QStringLiteral("0,000 kg"));
    QCOMPARE(f->receiveBuffer(), QString());
}

void Form1Test::unconvertibleWeightsLeaveTheTicketConsistent() {
    Station s(kLive);
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    // Under a decimal mark that is neither a comma nor a full stop (Arabic)
    // the label's comma does not convert: the weighing is refused whole,
    // nothing half-written stays.
    LocaleConventions dot = LocaleConventions::czech();
    dot.decimalSeparator = QChar(0x066B);
    setConventions(dot);
    QVERIFY_THROWS_EXCEPTION(ConversionError, f->SpeedButton1Click());
    setConventions(LocaleConventions::czech());
    QCOMPARE(s.rows(), 3);
    QCOMPARE(f->ticket().weighingCount, 1);
    QCOMPARE(s.cell(0, 2), QStringLiteral("Celkem 1"));

    // In print-frame mode the bad frame is reported once and the frame
    // behind it in the same delivery still decodes.
    f->Panel2->hide();
    QString buffer = QStringLiteral("3, 1.2.5 kg").leftJustified(16) + QStringLiteral("\r\n") +
                     QStringLiteral("4, 2.5 kg").leftJustified(16) + QStringLiteral("\r\n");
    f->DecodePrintFrame(buffer);
    QCOMPARE(buffer, QString());
    QCOMPARE(s.messages.size(), 1);
    QVERIFY(s.messages[0].contains(QStringLiteral("is not a valid floating point value")));
    QCOMPARE(f->ticket().weighingCount, 2);
    QCOMPARE(s.cell(3, 2), QStringLiteral("2,5 kg"));
    QCOMPARE(f->ticket().weighingCount, s.rows() - 2);
}

void Form1Test::zeroLengthMeansNoLimit() {
    Station s(kLive + "popis=1\r\n[popis]\r\ndelka=0\r\n[tabulka]\r\nsirka2=130\r\n");
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    s.typeText(QStringLiteral("dlouhý popis nákladu\r"));
    QTRY_COMPARE(s.cell(2, 1), QStringLiteral("dlouhý popis nákladu"));
}

void Form1Test::clickOnADescriptionCellOpensTheCombo() {
    Station s(kWordList);
    TForm1* f = s.start();
    s.weigh(2);
    QTRY_VERIFY(f->ComboBox1->isVisible());
    f->StringGrid1->setFocus();
    QTRY_VERIFY(!f->ComboBox1->isVisible());
    QWidget* viewport = f->StringGrid1->viewport();
    // Other columns and the totals row never show it.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, f->StringGrid1->cellRect(3, 1).center());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, f->StringGrid1->cellRect(2, 3).center());
    QVERIFY(!f->ComboBox1->isVisible());
    // A press on a description cell opens it there, and dragging on does
    // not select a range.
    const QPoint cell = f->StringGrid1->cellRect(2, 1).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, cell);
    QTRY_VERIFY(f->ComboBox1->isVisible());
    QTest::mouseMove(viewport, f->StringGrid1->cellRect(3, 2).center());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, f->StringGrid1->cellRect(3, 2).center());
    QCOMPARE(f->StringGrid1->row(), 1);
    QCOMPARE(f->StringGrid1->col(), 2);
    QVERIFY(f->StringGrid1->selectionModel()->selectedIndexes().size() <= 1);
    QCOMPARE(f->ComboBox1->geometry().topLeft(),
             viewport->mapTo(f->centralWidget(), f->StringGrid1->cellRect(2, 1).topLeft()));
}

void Form1Test::closeTellsWhatCouldNotBeWrittenAndStillEnds() {
    Station s(kLive + "save=1\r\n");
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    // A folder where the settings file should be replaced: the settings
    // cannot be written, the ticket still is.
    const QByteArray settings = readFileBytes(s.iniPath());
    QVERIFY(QFile::remove(s.iniPath()));
    QVERIFY(QDir().mkpath(s.iniPath() + QStringLiteral("/x")));
    f->close();
    QCOMPARE(s.messages.size(), 1);
    QCOMPARE(s.messages[0], QStringLiteral("Unable to write to %1").arg(s.iniPath()));
    QVERIFY(!f->isVisible());
    QVERIFY(readFileBytes(paths::unprintedRowsFile()).startsWith(QByteArray::fromHex("020402")));

    // And the other way round: the ticket file cannot be written.
    QVERIFY(QDir(s.iniPath()).removeRecursively());
    writeFileBytes(s.iniPath(), settings);
    s.form.reset();
    s.messages.clear();
    f = s.start();
    QCOMPARE(f->ticket().weighingCount, 1);
    QVERIFY(QFile::remove(paths::unprintedRowsFile()));
    QVERIFY(QDir().mkpath(paths::unprintedRowsFile() + QStringLiteral("/x")));
    f->resize(444, 555);
    f->close();
    QCOMPARE(s.messages.size(), 1);
    QVERIFY2(s.messages[0].contains(paths::unprintedRowsFile()), qPrintable(s.messages[0]));
    QVERIFY(cp1250::decode(readFileBytes(s.iniPath())).contains(QStringLiteral("celkem=444")));
}

void Form1Test::totalFrameThatCannotPrintKeepsTheTicket() {
    Station s;
    TForm1* f = s.start();
    QString buffer = QStringLiteral("1, 2.5 kg").leftJustified(16) + QStringLiteral("\r\n");
    f->DecodePrintFrame(buffer);
    const QString totalsTime = s.cell(1, 2);
    s.printFailure = QStringLiteral("Tisk se nezdařil.");
    buffer = QStringLiteral("TOTAL N=1,    2.50 kg").leftJustified(69) + QStringLiteral("\r\n");
    f->DecodePrintFrame(buffer);
    QCOMPARE(s.messages, QStringList{s.printFailure});
    QCOMPARE(s.rows(), 3);
    QCOMPARE(f->ticket().weighingCount, 1);
    QCOMPARE(s.cell(0, 2), QStringLiteral("Celkem 1"));
    QCOMPARE(s.cell(1, 2), totalsTime);
    QCOMPARE(s.cell(3, 2), QStringLiteral("2,5 kg"));
    // The next item frame counts on from the kept ticket.
    s.printFailure.clear();
    buffer = QStringLiteral("2, 1.5 kg").leftJustified(16) + QStringLiteral("\r\n");
    f->DecodePrintFrame(buffer);
    QCOMPARE(f->ticket().weighingCount, s.rows() - 2);
    QCOMPARE(s.cell(3, 3), QStringLiteral("4 kg"));
}

void Form1Test::storedHeaderAndFooterFrameTheTicket() {
    Station s(kLive + "Zahlavi=1\r\nZahlavitext=.  Firma\\nV\xE1ha 1\\n\r\n"
                      "Zapati=1\r\nZAPATITEXT=.Podpis\r\nZapati=0\r\n");
    TForm1* f = s.start();
    QCOMPARE(f->headerText(), QStringLiteral("  Firma\r\nVáha 1\r\n"));
    QCOMPARE(f->footerText(), QStringLiteral("Podpis")); // the first of duplicate keys wins
    f->BitBtn1Click();
    QCOMPARE(s.printed.size(), 1);
    const QStringList& t = s.printed[0];
    QCOMPARE(t.mid(0, 3),
             (QStringList{QStringLiteral("  Firma"), QStringLiteral("Váha 1"), QString()}));
    QVERIFY(t[3].startsWith(QStringLiteral("Poř.číslo")));
    QCOMPARE(t.last(), QStringLiteral("Podpis"));
}

// Each trigger in each scale state, with [zobrazeni] jenUstalene off (the
// default) and on. An outcome is "booked", the message the operator read, or
// nothing at all.
void Form1Test::onlySettledWeightsAreBookedWhenAsked_data() {
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("reading");
    QTest::addColumn<QString>("then");
    QTest::addColumn<QStringList>("outcomes"); // OK, digit, timer
    const QString b = QStringLiteral("booked"), m = kUnsettledRefusal, s = kLineSilentRefusal;
    const QByteArray st = "ST,GS,+  12.500kg\r\n", us = "US,GS,+  12.500kg\r\n";
    for (const QByteArray key : {"", "jenUstalene=1\r\n"}) {
        const bool on = !key.isEmpty();
        const auto row = [&](const char* state) -> QTestData& {
            return QTest::addRow("%s, key %d", state, on);
        };
        row("stable") << key << st << QString() << QStringList{b, b, b};
        row("unstable") << key << us << QString()
                        << (on ? QStringList{m, m, {}} : QStringList{b, b, b});
        row("overloaded") << key << QByteArray("OL,GS\r\n") << QString()
                          << QStringList{{}, on ? m : b, {}};
        row("silent line") << key << st << u"silent"_qs << QStringList{s, s, {}};
        row("print-frame mode") << key << us << u"print frames"_qs << QStringList{{}, b, {}};
    }
}

void Form1Test::onlySettledWeightsAreBookedWhenAsked() {
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, reading);
    QFETCH(QString, then);
    QFETCH(QStringList, outcomes);
    Station s(kLive + key);
    TForm1* f = s.start();
    s.send(reading);
    QTRY_VERIFY(f->Label1->text() != u"0,000 kg");
    if (then == u"silent")
        s.monotonic += std::chrono::seconds(6);
    if (then == u"print frames") { // as the settings dialog switches the mode
        f->session().setLiveWeight(false);
        f->Panel2->hide();
    }
    auto outcome = [&](const std::function<void()>& trigger) {
        const int before = f->ticket().weighingCount;
        s.messages.clear();
        trigger();
        return (f->ticket().weighingCount > before ? QStringList{u"booked"_qs} : s.messages)
            .join(u'\n');
    };
    const QStringList got{
        outcome([&] { // an operator cannot click a hidden button
            if (f->SpeedButton1->isVisible())
                QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
        }),
        outcome([&] {
            f->StringGrid1->setFocus();
            s.typeKey(Qt::Key_Return, QStringLiteral("\r"));
            s.typeKey(Qt::Key_7, QStringLiteral("7"));
        }),
        outcome([&] { f->Timer1Timer(); }),
    };
    QCOMPARE(got, outcomes);
}

QTEST_MAIN(Form1Test)
#include "form1_test.moc"

void Form1Test::typedDescriptionsSurviveEveryWayAnEditEnds() {
    // Plain mode: the cell is what the operator sees, without Enter.
    Station s(kLive + "popis=1\r\nsave=1\r\n[tabulka]\r\nsirka2=130\r\n");
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    s.typeText(QStringLiteral("písek"));
    QTRY_COMPARE(s.cell(2, 1), QStringLiteral("písek"));
    // The next weighing, then closing by the close box, keep both texts.
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    s.typeText(QStringLiteral("štěrk"));
    f->close();
    s.form.reset();
    f = s.start();
    QCOMPARE(s.cell(2, 1), QStringLiteral("písek"));
    QCOMPARE(s.cell(2, 2), QStringLiteral("štěrk"));
    // A refused weighing leaves the current cell where it was.
    const int row = f->StringGrid1->row();
    s.send("ST,GS,+  1,2,3kg\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("1,2,3 kg"));
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QCOMPARE(s.messages.size(), 1);
    QCOMPARE(f->StringGrid1->row(), row);
    QCOMPARE(f->ticket().weighingCount, 2);
}

void Form1Test::wordListEditEndedByAFrameIsWrittenAndLearned() {
    Station s("[zobrazeni]\r\npopis=1\r\nplovouciHelp=1\r\n[popis]\r\ndelka=4\r\n");
    writeFileBytes(QStringLiteral("popis.dat"), "zzz\r\nPrach dlouhy\r\naaa\r\n");
    TForm1* f = s.start();
    // Loaded in order, sorted, and a long word is not cut by the limit.
    QCOMPARE(f->session().words(),
             (QStringList{"aaa", QStringLiteral("Prach dlouhy"), QStringLiteral("zzz")}));
    s.sendThenQuiet("1, 2.5 kg       \r\n");
    QTRY_VERIFY(f->ComboBox1->isVisible());
    s.typeText(QStringLiteral("uhlí"));
    QVERIFY(f->listOpened());
    s.sendThenQuiet("2, 1.5 kg       \r\n");
    QTRY_COMPARE(f->ticket().weighingCount, 2);
    QCOMPARE(s.cell(2, 1), QStringLiteral("uhlí"));
    QVERIFY(f->session().words().contains(QStringLiteral("uhlí")));
    QVERIFY(readFileBytes(QStringLiteral("popis.dat"))
                .contains(cp1250::encode(QStringLiteral("uhlí"))));
    // The next row's edit starts afresh: its first key drops the list down.
    QTRY_VERIFY(f->ComboBox1->isVisible());
    QVERIFY(!f->listOpened());
    // Selecting a long description and leaving it keeps it whole.
    f->StringGrid1SelectCell(2, 1);
    f->ComboBox1->setEditText(QStringLiteral("Prach dlouhy"));
    f->ComboBox1Exit();
    QCOMPARE(s.cell(2, 1), QStringLiteral("Prach dlouhy"));
}

void Form1Test::rowsBookedDuringAPrintGoOnTheNextTicket() {
    Station s(kLive);
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    f->CheckBox1->setChecked(true);
    QTimer::singleShot(0, f, [&] {
        f->Timer1Timer(); // the timer ticks under the modal preview
        f->previewWindow()->BitBtn1Click();
        f->previewWindow()->BitBtn2Click();
    });
    QTest::mouseClick(f->BitBtn1, Qt::LeftButton);
    QCOMPARE(s.printed.size(), 1);
    QCOMPARE(s.printed[0].filter(QStringLiteral("0,000 kg")).size(), 1); // one row, not two
    QCOMPARE(f->ticket().weighingCount, 1);
    QCOMPARE(s.cell(0, 1), QStringLiteral("1"));
    QCOMPARE(s.cell(0, 2), QStringLiteral("Celkem 1"));
}

void Form1Test::accessKeyPrintsAtOnce() {
    Station s(kLive);
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QTest::keyClick(f, Qt::Key_T, Qt::AltModifier);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(s.printed.size(), 1); // no animated click: printed before the next key
    QTest::keyClick(f->StringGrid1, Qt::Key_Return);
    s.typeText(QStringLiteral("5"));
    QCOMPARE(f->ticket().weighingCount, 1);
    QCOMPARE(s.printed.size(), 1);
}

void Form1Test::pastedTextIsVettedAndOnlyDescriptionsAreEditable() {
    Station s(kLive + "popis=1\r\n[popis]\r\ndelka=5\r\n[tabulka]\r\nsirka2=130\r\n");
    TForm1* f = s.start();
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    s.typeText(QStringLiteral("a"));
    QTRY_VERIFY(f->StringGrid1->isEditorOpen());
    auto* editor = f->StringGrid1->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    QApplication::clipboard()->setText(QStringLiteral("b\tc\r\ndefgh"));
    editor->paste();
    QCOMPARE(editor->text(), QStringLiteral("ab c "));
    QCOMPARE(s.cell(2, 1), QStringLiteral("ab c "));
    QApplication::clipboard()->setText(QStringLiteral("Ñ"));
    editor->setCursorPosition(0);
    editor->backspace();
    editor->paste();
    QCOMPARE(s.cell(2, 1), QStringLiteral("ab c "));
    const QAbstractItemModel* model = f->StringGrid1->model();
    for (int c = 0; c < 4; ++c)
        for (int viewRow = 0; viewRow < 2; ++viewRow)
            QCOMPARE(bool(model->flags(model->index(viewRow, c)) & Qt::ItemIsEditable),
                     c == 2 && viewRow == 0);
}

void Form1Test::settingsDialogOkAppliesAtOnce() {
    Station s("[popis]\r\ndelka=10\r\n");
    TForm1* f = s.start();
    QVERIFY(f->Panel2->isHidden());
    s.settingsOk({"CheckBox4", "CheckBox10", "CheckBox2", "CheckBox1"}, [](TForm3* form3) {
        form3->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setEditText(QStringLiteral("t"));
    });
    QCOMPARE(s.messages, QStringList());
    // Live-weight mode, the archive button and both columns, without a restart.
    QVERIFY(f->session().liveWeight() && !f->Panel2->isHidden());
    QVERIFY(!f->BitBtn4->isHidden());
    QCOMPARE(f->unitName(), QStringLiteral("t"));
    QCOMPARE(f->ticket().columnWidth(1), 85);
    QCOMPARE(f->ticket().columnWidth(2), 130);
    QCOMPARE(f->width(), 169 + 85 + 130 + 162 + 20);
    QCOMPARE(f->previewWindow()->width(), 13 * (25 + 13 + 10 + 5));
    QVERIFY(f->VaComm1->Active());
    s.send("ST,GS,+  2.5t\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("2,5 t"));
}

void Form1Test::aWeightThatIsNotLiveIsNeverBooked() {
    Station s(kLive);
    TForm1* f = s.start();
    f->session().line().setTimeout(2);
    s.send("ST,GS,+  12.500kg\r\n");
    QTRY_COMPARE(f->Label1->text(), QStringLiteral("12,500 kg"));
    s.monotonic += std::chrono::seconds(3); // the cable is pulled
    auto* status = f->StatusBar1->findChild<QLabel*>(QStringLiteral("LineStatus"));
    QTRY_VERIFY(status->isVisible());
    QCOMPARE(status->text(), kLineSilentStatus);
    QCOMPARE(f->Label1->text(), QStringLiteral("12,500 kg")); // kept, but greyed
    QVERIFY(f->Label1->palette().color(QPalette::WindowText) != QColor(Qt::black));
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    f->Timer1Timer(); // skips silently
    QCOMPARE(s.messages, QStringList{kLineSilentRefusal});
    QCOMPARE(f->ticket().weighingCount, 0);
    s.send("ST,GS,+  13.000kg\r\n"); // the first reading brings everything back
    QTRY_VERIFY(!status->isVisible());
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    QCOMPARE(s.cell(3, 1), QStringLiteral("13,000 kg"));
}

// The administrator names another scale device in the settings file, one
// that cannot be opened: OK moves the line to it, says why it stays closed,
// and still stores what the dialog changed.
void Form1Test::okStoresTheSettingsAndReopensOnTheDeviceInTheFile() {
    Station s(kLive);
    TForm1* f = s.start();
    QVERIFY(f->VaComm1->Active());
    const QByteArray other = "/nonexistent/other-scale";
    QByteArray ini = readFileBytes(s.iniPath());
    const qsizetype at = ini.indexOf("device=") + 7;
    ini.replace(at, ini.indexOf('\r', at) - at, other);
    writeFileBytes(s.iniPath(), ini);
    s.settingsOk({"CheckBox9"});
    QCOMPARE(f->VaComm1->devicePath(), QString::fromLatin1(other));
    QVERIFY(!f->VaComm1->Active());
    QCOMPARE(s.messages.size(), 1);
    QVERIFY2(s.messages[0].startsWith(QStringLiteral("Specified device not found")) &&
                 s.messages[0].contains(QString::fromLatin1(other)),
             qPrintable(s.messages[0]));
    QVERIFY(readFileBytes(s.iniPath()).contains("save=1"));
}

// A digit books a weighing with no Enter after it; the disk refuses the
// write. The operator hears of it now, not at the next change.
void Form1Test::aRefusedWriteIsToldWithoutAFurtherChange() {
    Station s(kLive + "save=1\r\n");
    TForm1* f = s.start();
    const QString rows = paths::unprintedRowsFile();
    wholefile::setChangeRefusal([rows](const QString& path) { return path == rows ? EROFS : 0; });
    f->StringGrid1->setFocus();
    s.typeKey(Qt::Key_1, QStringLiteral("1"));
    QCOMPARE(f->ticket().weighingCount, 1);
    QTRY_COMPARE(s.messages.size(), 1);
    QVERIFY2(s.messages[0].contains(rows), qPrintable(s.messages[0]));
    s.weigh();
    f->keepTicketNow();
    QCoreApplication::processEvents();
    QCOMPARE(f->ticket().weighingCount, 2);
    QCOMPARE(s.messages.size(), 1); // once for the failure, not once per retry
}

// The archive append and the job succeed, then the disk is full: the emptied
// ticket cannot be written, so the printed one must not stay behind as
// unprinted.
void Form1Test::aFullDiskAfterAPrintTakesThePrintedTicketOffTheDisk() {
    Station s(kLive + "save=1\r\nPrintSave=1\r\n");
    TForm1* f = s.start();
    s.weigh(2);
    f->keepTicketNow();
    bool full = false;
    const QString rows = QFileInfo(paths::unprintedRowsFile()).fileName();
    wholefile::setWriteFunction(
        [&full, rows](int fd, const void* data, std::size_t size) -> qint64 {
            if (full && openFilePath(fd).contains(rows)) {
                errno = ENOSPC;
                return -1;
            }
            return ::write(fd, data, size);
        });
    setPrintFunction([&](const QStringList& lines) {
        s.printed.append(lines);
        full = true;
    });
    QTest::mouseClick(f->BitBtn1, Qt::LeftButton);
    QCOMPARE(s.printed.size(), 1);
    QVERIFY(!QFile::exists(paths::unprintedRowsFile()));
    QVERIFY(!QFile::exists(paths::printJournalFile()));
    QTRY_COMPARE(s.messages.size(), 1); // the write that failed
    // The disk has room again: the next change is written.
    wholefile::setWriteFunction({});
    s.weigh();
    f->keepTicketNow();
    QVERIFY(QFile::exists(paths::unprintedRowsFile()));
    s.form.reset(); // ended without the closing steps
    f = s.start();
    QCOMPARE(f->ticket().weighingCount, 1);
    QCOMPARE(readFileBytes(paths::archiveFile(kNow.date())).count("Celkem 2 "), 1);
}

void Form1Test::aReadOnlyFolderAfterAPrintSaysWhatTheNextStartDoes_data() {
    QTest::addColumn<bool>("journalRefused");
    QTest::addColumn<QString>("told");
    QTest::addColumn<int>("restored");
    QTest::addRow("journal written") << false << QStringLiteral("nevrátí") << 0;
    QTest::addRow("journal refused too") << true << QStringLiteral("znovu objeví") << 2;
}

// The folder turns read-only during the print: neither the emptied ticket
// nor the file's removal is possible, so the operator is told at once what
// the next start will do, and it does exactly that.
void Form1Test::aReadOnlyFolderAfterAPrintSaysWhatTheNextStartDoes() {
    QFETCH(bool, journalRefused);
    QFETCH(QString, told);
    QFETCH(int, restored);
    Station s(kLive + "save=1\r\n");
    TForm1* f = s.start();
    s.weigh(2);
    f->keepTicketNow();
    const QString rows = paths::unprintedRowsFile();
    const QString journal = paths::printJournalFile();
    wholefile::setChangeRefusal([=](const QString& path) {
        return path == rows || (journalRefused && path == journal) ? EROFS : 0;
    });
    QTest::mouseClick(f->BitBtn1, Qt::LeftButton);
    QCOMPARE(s.printed.size(), 1);
    QTRY_COMPARE(s.messages.size(), journalRefused ? 3 : 2);
    QVERIFY(s.messages.filter(told).size() == 1);
    QVERIFY(s.messages.filter(rows).size() >= 1);
    s.form.reset(); // ended without the closing steps, which could not write either
    wholefile::setChangeRefusal({});
    s.messages.clear();
    f = s.start();
    QCOMPARE(f->ticket().weighingCount, restored);
    QCOMPARE(s.messages, QStringList());
}

void Form1Test::framesDuringAPrintMakeTheNextTicket() {
    Station s("[zobrazeni]\r\nPrintSave=1\r\n");
    TForm1* f = s.start();
    // What the channel's handler does with a delivery.
    auto deliver = [f](const QString& text) {
        f->receiveBuffer() += text;
        f->DecodePrintFrame(f->receiveBuffer());
    };
    deliver(QStringLiteral("1, 12.50 kg     \r\n"));
    f->CheckBox1->setChecked(true);
    int previews = 0;
    QTimer operatorPrints;
    operatorPrints.callOnTimeout([&] {
        if (!f->previewWindow()->isVisible())
            return;
        // The next truck's item and the indicator's total arrive while the
        // operator looks at the first ticket.
        if (++previews == 1)
            deliver(QStringLiteral("2, 7.25 kg      \r\n") +
                    QStringLiteral("CELKEM,   7.25 kg").leftJustified(69) + QStringLiteral("\r\n"));
        f->previewWindow()->BitBtn1Click();
    });
    operatorPrints.start(0);
    QTest::mouseClick(f->BitBtn1, Qt::LeftButton);
    QTRY_COMPARE(s.printed.size(), 2);
    const QString first = s.printed[0].join(QLatin1Char('\n'));
    const QString second = s.printed[1].join(QLatin1Char('\n'));
    QVERIFY(first.contains(QStringLiteral("12,50 kg")) && !first.contains(QStringLiteral("7,25")));
    QVERIFY(second.contains(QStringLiteral("7,25 kg")) &&
            second.contains(QStringLiteral("Celkem: 1")));
    QCOMPARE(readFileBytes(paths::archiveFile(kNow.date())),
             cp1250::encode((s.printed[0] + s.printed[1]).join(QStringLiteral("\r\n")) +
                            QStringLiteral("\r\n")));
    QCOMPARE(f->ticket().weighingCount, 0);
}

void Form1Test::aModeChangeLeavesNoStaleText() {
    Station s(kLive);
    TForm1* f = s.start();
    s.send("ST,GS,+0012.3"); // a reading cut by the switch
    QTRY_COMPARE(f->receiveBuffer(), QStringLiteral("ST,GS,+0012.3"));
    s.settingsOk({"CheckBox4"});
    QVERIFY(!f->session().liveWeight());
    s.sendThenQuiet("1, 12.50 kg     \r\n");
    QTRY_COMPARE(f->ticket().weighingCount, 1);
    QCOMPARE(s.cell(3, 1), QStringLiteral("12,50 kg"));
}

// What Enter or Tab leaves in the description after keys typed into the word
// list's box: the word the operator highlighted, never the first one unasked.
void Form1Test::theWordListTakesOnlyAHighlightedWord_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("taken");
    QTest::newRow("Enter on nothing typed") << u"\r"_qs << QString();
    QTest::newRow("Tab on nothing typed") << u"\t"_qs << QString();
    QTest::newRow("typed and taken back") << u"b\b\r"_qs << QString();
    QTest::newRow("typed") << u"b\r"_qs << u"beton"_qs;
    QTest::newRow("moved on by an arrow") << u"b↓\r"_qs << u"betonit"_qs;
}

void Form1Test::theWordListTakesOnlyAHighlightedWord() {
    QFETCH(QString, keys);
    QFETCH(QString, taken);
    Station s(kWordList);
    writeFileBytes(QStringLiteral("popis.dat"), "beton\r\nbetonit\r\ncihla\r\n");
    TForm1* f = s.start();
    s.weighIntoTheWordList();
    s.typeText(keys);
    QTRY_VERIFY(!f->ComboBox1->isVisible());
    QCOMPARE(s.cell(2, 1), taken);
}

void Form1Test::theFirstWeighingAfterAPrintOpensItsDescription() {
    Station s(kWordList);
    TForm1* f = s.start();
    s.weighIntoTheWordList();
    s.typeText(QStringLiteral("písek\r"));
    QTest::mouseClick(f->BitBtn1, Qt::LeftButton);
    s.weighIntoTheWordList();
    s.typeText(QStringLiteral("štěrk\r"));
    QCOMPARE(s.cell(2, 1), QStringLiteral("štěrk"));
}

void Form1Test::aDeliveryWaitsInThePortWhileAnErrorIsShown() {
    Station s;
    TForm1* f = s.start();
    // A live reading sent by mistake has an item frame's length and does not
    // convert; the next frame comes while its error box is open.
    const QByteArray reading = "OL,GS,+ ------kg\r\n";
    const QByteArray item = "2, 2.5 kg       \r\n";
    bool overlapped = false;
    setMessageSink([&](MessageKind, const QString& text) {
        s.messages.append(text);
        if (s.messages.size() > 1)
            return;
        s.send(item);
        // The hand-over is made; then the box's own loop runs it.
        const QDeadlineTimer deadline(5000);
        while (f->VaComm1->PendingHandOvers() == 0 && !deadline.hasExpired())
            std::this_thread::yield();
        QTRY_COMPARE(f->VaComm1->PendingHandOvers(), 0);
        overlapped = !f->receiveBuffer().isEmpty() || f->ticket().weighingCount > 0;
    });
    s.sendThenQuiet(reading);
    QTRY_COMPARE(s.messages.size(), 1);
    QVERIFY(!overlapped);
    s.quietAfter(item);
    QTRY_COMPARE(f->ticket().weighingCount, 1);
    QCOMPARE(s.cell(3, 1), QStringLiteral("2,5 kg"));
    QCOMPARE(s.messages.size(), 1);
}
