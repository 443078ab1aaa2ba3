// What a screen reader and a Czech operator meet in every window: spoken
// names without access-key marks, Qt's own texts in Czech, and a printer
// setup that chooses a printer and says so.
#include "archive/unit4.h"
#include "output/printersetup.h"
#include "output/unit2.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/qttranslations.h"
#include "settings/unit3.h"
#include "tests/support/scratchstation.h"
#include "ticket/unit1.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

namespace {

// "&&" is a real "&"; a lone "&" marks the access key and is not spoken.
QString spoken(QString caption) {
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(u'&');
    return caption.replace(u'\x01', u'&');
}

// What a screen reader says a control is; nothing where it finds no control.
QString nameOf(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

} // namespace

class CaptionsTest : public QObject {
    Q_OBJECT
private slots:
    void everyControlIsSpokenByItsCaption();
    void qtTextsAreCzech();
    void printerSetupChoosesWithoutPrinting();
};

void CaptionsTest::everyControlIsSpokenByItsCaption() {
    const ScratchStation station;
    writeFileBytes(paths::settingsFile(),
                   "[zobrazeni]\r\nPrintSave=1\r\nstalyPrijem=1\r\n[COM]\r\ndevice=" +
                       station.dir.file(QStringLiteral("no-scale")).toLocal8Bit() + "\r\n");
    const QString archived = QStringLiteral("Firma Řepka & syn s.r.o.\t\tPopis\t\tHmotnost\r\n");
    const QString today = paths::archiveFile(QDate::currentDate());
    QDir().mkpath(QFileInfo(today).path());
    writeFileBytes(today, cp1250::encode(archived));
    TForm1 form1;
    auto* form2 = new TForm2(&form1);
    auto* form3 = new TForm3(&form1);
    form3->BitBtn3->setEnabled(true);
    form3->BitBtn3->click(); // the caption that changes: "&Schovat"
    TForm4 form4;
    form4.show();
    TPrinterSetupDialog printers({{QStringLiteral("A"), {}, {}, {}, {}, true}}, {});
    for (QWidget* window :
         std::initializer_list<QWidget*>{&form1, form2, form3, &form4, &printers}) {
        int buttons = 0;
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
            if (b->text().isEmpty())
                continue;
            ++buttons;
            QCOMPARE(nameOf(b), spoken(b->text()));
        }
        QVERIFY2(buttons >= 2, qPrintable(window->objectName()));
        // A field says nothing but its value: it is spoken by the
        // caption beside it.
        for (QWidget* field : window->findChildren<QWidget*>()) {
            if (!qobject_cast<QAbstractSpinBox*>(field) && !qobject_cast<QComboBox*>(field))
                continue;
            QVERIFY2(!nameOf(field).isEmpty(), qPrintable(field->objectName()));
        }
    }
    QCOMPARE(nameOf(form3->RxSpinEdit1), u"COM port"_qs);
    QCOMPARE(nameOf(form3->RxSpinEdit2), u"Max délka"_qs);
    QCOMPARE(nameOf(form3->RxSpinEdit3), u"Automatický zápis po"_qs);
    // An archived "&" is data: shown and spoken, and the box shows the
    // whole caption rather than a clipped one.
    QCOMPARE(spoken(form4.CheckBox1->text()), u"Firma Řepka & syn s.r.o."_qs);
    QVERIFY(form4.CheckBox1->width() >= form4.CheckBox1->sizeHint().width());
    QVERIFY(form4.CheckBox2->x() > form4.CheckBox1->geometry().right());
    QVERIFY(form4.Panel4->width() > form4.CheckBox2->geometry().right());
}

void CaptionsTest::qtTextsAreCzech() {
    QString reason;
    QVERIFY2(installQtTranslations(reason), qPrintable(reason));
    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QVERIFY(menu->actions().first()->text().startsWith(u"&Zpět"_qs));
}

void CaptionsTest::printerSetupChoosesWithoutPrinting() {
    const QList<PrinterEntry> printers{{QStringLiteral("TICKETS"), QStringLiteral("Lístky"),
                                        QStringLiteral("Váha 1"), QStringLiteral("Epson TM"),
                                        QStringLiteral("připravena"), true},
                                       {QStringLiteral("OFFICE"), {}, {}, {}, {}, false}};
    TPrinterSetupDialog d(printers, QStringLiteral("OFFICE"));
    QCOMPARE(d.ListBox1->item(0)->text(), u"Lístky (TICKETS) – výchozí"_qs);
    QCOMPARE(d.chosenPrinter(), u"OFFICE"_qs); // the printer of the run, not the default
    d.ListBox1->setCurrentRow(0);
    QCOMPARE(d.Label2->text(), u"Typ: Epson TM\nUmístění: Váha 1\nStav: připravena"_qs);
    d.show();
    d.BitBtn1->click();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.chosenPrinter(), u"TICKETS"_qs);

    // Nothing listed: the dialog says so and chooses nothing.
    TPrinterSetupDialog none({}, QStringLiteral("TICKETS"));
    QVERIFY(none.Label1->text().contains(u"není žádná tiskárna"_qs));
    QVERIFY(none.chosenPrinter().isEmpty());
}

QTEST_MAIN(CaptionsTest)
#include "captions_test.moc"
