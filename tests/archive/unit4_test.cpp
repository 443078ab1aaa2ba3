// The archive browser driven as an operator would, headless.
#include "archive/archivegrid.h"
#include "archive/unit4.h"
#include "output/archivewriter.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/wholefile.h"
#include "settings/inifile.h"
#include "tests/support/scratchstation.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <cerrno>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

const QDate kToday(2026, 12, 7);

const QString kTicket = u"Poř.číslo  \t\tPopis     \t\t  Hmotnost\r\n"
                        "1          \t\tštěrk     \t\t    100 kg\r\n"
                        "2          \t\tpísek     \t\t    200 kg\r\n"
                        "Celkem 2   \t\t          \t\t    300 kg\r\n"
                        "Dne: 7.12.2026  21:05:09\r\n"_qs;

class Station : public ScratchStation {
public:
    Station() {
        clock_::setNow([] { return QDateTime(kToday, QTime(21, 5, 9)); });
    }
    ~Station() { clock_::setNow({}); }
    void writeDay(const QDate& day, const QString& text) {
        const QString path = paths::archiveFile(day);
        QDir().mkpath(QFileInfo(path).path());
        writeFileBytes(path, cp1250::encode(text));
    }
};

void key(QWidget* w, Qt::Key k) {
    QTest::keyClick(w, k);
}

} // namespace

class Unit4Test : public QObject {
    Q_OBJECT
private slots:
    void showLoadsTodayWithTitleRowAndColumnBoxes();
    void emptyDayHidesSearchAndHeaderLineShowsOneBox();
    void settingsComeBackAndPickersReload();
    void searchAndKeysFromTheSearchBox();
    void unreadableDayIsReported();
    void exportWritesTheRowsShownAndAFailedOneKeepsTheOldFile();
    void aChangedTicketIsToldOnceALoadAndItsRowsAreRed();
    void theSaveDialogListsFilesWithoutReadingThem();
};

void Unit4Test::showLoadsTodayWithTitleRowAndColumnBoxes() {
    Station station;
    station.writeDay(kToday, kTicket);
    TForm4 form;
    form.show();
    TArchiveGrid* grid = form.StringGrid1;
    QCOMPARE(grid->rowCount(), 6); // five lines and the empty row
    QCOMPARE(grid->row(), 1);
    QVERIFY(grid->horizontalHeader()->isVisible());
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), u"Poř.číslo  "_qs);
    QCOMPARE(grid->model()->rowCount(), 5);
    QCOMPARE(form.CheckBox2->text(), u"Popis     "_qs);
    QVERIFY(!form.CheckBox3->isHidden());
    QVERIFY(form.CheckBox4->isHidden()); // three fields in the title line
    QVERIFY(!form.Panel2->isHidden());
    QCOMPARE(form.focusWidget(), form.LabeledEdit1);
    QCOMPARE(form.DateTimePicker1->date(), kToday);
    QCOMPARE(form.DateTimePicker2->date(), kToday);
    QVERIFY(station.messages.isEmpty());
}

void Unit4Test::emptyDayHidesSearchAndHeaderLineShowsOneBox() {
    Station station;
    station.writeDay(kToday.addDays(-1), u"Štěrkovna & syn\r\n"_qs + kTicket);
    TForm4 form;
    form.show();
    QCOMPARE(form.StringGrid1->rowCount(), 1);
    QVERIFY(form.Panel2->isHidden());
    QVERIFY(form.CheckBox1->isHidden() && form.CheckBox4->isHidden());
    // The bar is laid out without the search panel: the date panel, the
    // column panel and "Konec" with equal gaps.
    const int gap = form.Panel3->x();
    QCOMPARE(form.Panel4->x(), form.Panel3->geometry().right() + 1 + gap);

    form.DateTimePicker1->setDate(kToday.addDays(-1));
    QCOMPARE(form.StringGrid1->rowCount(), 7);
    QCOMPARE(form.CheckBox1->accessibleName(), u"Štěrkovna & syn"_qs);
    QVERIFY(!form.CheckBox1->isHidden() && form.CheckBox2->isHidden());
    QVERIFY(!form.Panel2->isHidden());

    form.DateTimePicker1->setDate(kToday.addDays(1)); // first after second: nothing
    QCOMPARE(form.StringGrid1->rowCount(), 1);
}

void Unit4Test::settingsComeBackAndPickersReload() {
    Station station;
    {
        IniFile ini(paths::settingsFile());
        ini.writeInteger(u"tabulka2"_qs, u"sirka0"_qs, 123);
        ini.writeInteger(u"tabulka2"_qs, u"celkemSirka"_qs, 700);
    }
    {
        TForm4 form;
        form.show();
        QCOMPARE(form.StringGrid1->columnWidth(0), 123);
        QCOMPARE(form.StringGrid1->columnWidth(1), 150);
        QCOMPARE(form.width(), 700);
        QCOMPARE(form.height(), 600);
        form.StringGrid1->setColumnWidth(3, 77);
        QTimer::singleShot(0, &form, [&] { key(form.LabeledEdit1, Qt::Key_Escape); });
        QCOMPARE(form.exec(), int(QDialog::Rejected));
    }
    const IniFile ini(paths::settingsFile());
    QCOMPARE(ini.readInteger(u"tabulka2"_qs, u"sirka3"_qs, 0), 77);
    QCOMPARE(ini.readInteger(u"tabulka2"_qs, u"sirka0"_qs, 0), 123);
    QCOMPARE(ini.readInteger(u"tabulka2"_qs, u"celkemSirka"_qs, 0), 700);
    QCOMPARE(ini.readInteger(u"tabulka2"_qs, u"celkemVyska"_qs, 0), 600);
}

void Unit4Test::searchAndKeysFromTheSearchBox() {
    Station station;
    station.writeDay(kToday, kTicket);
    TForm4 form;
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    TArchiveGrid* grid = form.StringGrid1;
    QLineEdit* edit = form.LabeledEdit1;
    QSignalSpy enter(edit, &QLineEdit::returnPressed);

    edit->setText(u"PÍSEK"_qs);
    key(edit, Qt::Key_Return);
    QCOMPARE(grid->row(), 2);
    QCOMPARE(enter.count(), 0); // Enter swallowed
    form.CheckBox6->setChecked(true);
    form.BitBtn2->click();
    QCOMPARE(grid->row(), 2); // "Rozliš a-A": no lower-case match further down

    key(edit, Qt::Key_Down);
    QCOMPARE(grid->row(), 3);
    QCOMPARE(edit->text(), u"PÍSEK"_qs);
    key(edit, Qt::Key_PageDown); // the grid is shorter than a screen
    QCOMPARE(grid->row(), 5);
    key(edit, Qt::Key_Down);
    QCOMPARE(grid->row(), 5);
    key(edit, Qt::Key_PageUp);
    QCOMPARE(grid->row(), 1);
    key(edit, Qt::Key_Up);
    QCOMPARE(grid->row(), 1);

    for (QCheckBox* box : {form.CheckBox1, form.CheckBox2, form.CheckBox3, form.CheckBox4})
        box->setChecked(false);
    edit->clear();
    form.BitBtn2->click();
    QCOMPARE(grid->row(), 1);
    QCOMPARE(station.messages,
             QStringList{u"Není zadáno ve kterých sloupcích se ma vyhldavat."_qs});
}

void Unit4Test::unreadableDayIsReported() {
    Station station;
    station.writeDay(kToday.addDays(-1), kTicket);
    QDir().mkpath(paths::archiveFile(kToday));
    TForm4 form;
    form.show();
    QCOMPARE(station.messages.size(), 1);
    QVERIFY(station.messages[0].startsWith(u"Nelze přečíst archivní soubor:"_qs));
    form.DateTimePicker1->setDate(kToday.addDays(-1));
    QCOMPARE(form.StringGrid1->rowCount(), 6);
    QCOMPARE(station.messages.size(), 2);
}

void Unit4Test::exportWritesTheRowsShownAndAFailedOneKeepsTheOldFile() {
    Station station;
    station.writeDay(kToday.addDays(-1), kTicket);
    station.writeDay(kToday, u"Štěrkovna & syn\r\n"_qs);
    TForm4 form;
    const QString target = station.dir.file(u"vážení.csv"_qs);
    QStringList offered;
    form.setSaveNameFunction([&](const QString& suggested) {
        offered.append(suggested);
        return target;
    });
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.DateTimePicker1->setDate(kToday.addDays(-1));
    QTest::keyClick(&form, Qt::Key_E, Qt::AltModifier);
    QTRY_COMPARE(offered.size(), 1);
    QCOMPARE(QFileInfo(offered[0]).fileName(), u"archiv_2026-12-06_2026-12-07.csv"_qs);
    const QByteArray shown = "\xEF\xBB\xBF" + u"Poř.číslo;Popis;Hmotnost;\r\n"
                                              "1;štěrk;100 kg;\r\n"
                                              "2;písek;200 kg;\r\n"
                                              "Celkem 2;;300 kg;\r\n"
                                              "Dne: 7.12.2026  21:05:09;;;\r\n"
                                              "Štěrkovna & syn;;;\r\n"_qs.toUtf8();
    QCOMPARE(readFileBytes(target), shown);

    // The disk is full for the next export.
    form.StringGrid1->setRow(3);
    wholefile::setWriteFunction([](int, const void*, std::size_t) -> qint64 {
        errno = ENOSPC;
        return -1;
    });
    form.BitBtn4->click();
    wholefile::setWriteFunction({});
    QCOMPARE(station.messages,
             QStringList{u"Export do CSV se nezdařil: soubor %1 nelze zapsat (%2)."_qs.arg(
                 target, wholefile::systemReason(ENOSPC))});
    QCOMPARE(readFileBytes(target), shown);
    QCOMPARE(form.StringGrid1->rowCount(), 7);
    QCOMPARE(form.StringGrid1->row(), 3);

    form.DateTimePicker1->setDate(kToday.addDays(1)); // nothing loaded, nothing to export
    QVERIFY(!form.BitBtn4->isEnabled());
}

void Unit4Test::aChangedTicketIsToldOnceALoadAndItsRowsAreRed() {
    Station station;
    QStringList lines = kTicket.split(u"\r\n"_qs);
    lines.removeLast();
    // Printed at 8, 9 and 10 o'clock: rows 0-4, 5-8 and 9-12 (the later two
    // without their title line); then the second's weight changed in an editor.
    for (const int hour : {8, 9, 10})
        QVERIFY(appendToArchive(lines, QDateTime(kToday, QTime(hour, 0))));
    const QString path = paths::archiveFile(kToday);
    QByteArray bytes = readFileBytes(path);
    const qsizetype second = cp1250::encode(kTicket).size();
    const qsizetype digit = bytes.indexOf("100 kg", second);
    QVERIFY(second > 0 && digit > second);
    bytes[digit] = '7';
    writeFileBytes(path, bytes);

    TForm4 form;
    form.show();
    QCOMPARE(station.messages.size(), 1);
    QVERIFY2(station.messages[0].contains(u"7.12.2026: lístek vytištěný v 09:00:00 neodpovídá "
                                          "pečeti"_qs),
             qPrintable(station.messages[0]));
    const ArchiveTable& table = form.StringGrid1->table();
    QCOMPARE(table.rowCount(), 14);
    for (int row = 0; row < table.rowCount(); ++row)
        QCOMPARE(table.changed(row), row >= 5 && row <= 12);

    // A plain row of the changed ticket is pink, one before it is not; its
    // totals and date rows keep their yellow and aqua.
    const QImage shown = form.StringGrid1->viewport()->grab().toImage();
    auto background = [&](int gridRow) {
        const QRect cell = form.StringGrid1->visualRect(form.StringGrid1->archiveModel()->index(
            form.StringGrid1->archiveModel()->viewRow(gridRow), 0));
        return shown.pixelColor(cell.right() - 2, cell.center().y());
    };
    QCOMPARE(background(6), QColor(255, 215, 215));
    QCOMPARE(background(2), form.StringGrid1->palette().color(QPalette::Base));
    QCOMPARE(background(7), QColor(255, 255, 0));
    QCOMPARE(background(8), QColor(0, 255, 255));

    form.BitBtn3->click();
    QCOMPARE(station.messages.size(), 2);
}

// Folders such as /proc hold files whose reading blocks: browsing them in
// the export's dialog must not open a file it only lists.
void Unit4Test::theSaveDialogListsFilesWithoutReadingThem() {
    Station station;
    station.writeDay(kToday, kTicket);
    const QString folder = station.dir.file(u"slozka"_qs);
    QVERIFY(QDir().mkpath(folder));
    writeFileBytes(folder + u"/zaznam"_qs, "%PDF-1.4\n");
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0 &&
            inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_OPEN) >= 0);
    TForm4 form;
    form.show();
    QString type;
    QTimer::singleShot(0, &form, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->setDirectory(folder);
        auto* model = dialog->findChild<QFileSystemModel*>();
        QVERIFY(model);
        type = model->type(model->index(folder + u"/zaznam"_qs));
        dialog->reject();
    });
    form.BitBtn4->click();
    QVERIFY(!type.isEmpty());
    QByteArray events(4096, '\0');
    const ssize_t got = ::read(watch, events.data(), size_t(events.size()));
    ::close(watch);
    // Only the folder itself was opened, to list it; its events carry no name.
    for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events.constData() + at);
        QVERIFY2(event->len == 0, event->name);
        at += ssize_t(sizeof(inotify_event) + event->len);
    }
}

QTEST_MAIN(Unit4Test)
#include "unit4_test.moc"
