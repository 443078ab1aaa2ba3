#include "settings/unit3.h"

#include "output/printersetup.h"
#include "output/ticketprinter.h"
#include "platform/apperror.h"
#include "platform/formfont.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/inifile.h"
#include "settings/stationsettings.h"
#include "settings/storedtext.h"
#include "ticket/wordlist.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <climits>

namespace {

// The bare name: the word list lives in the current directory.
const QString kWordListFile = QStringLiteral("popis.dat");

constexpr int kRow = 19; // the options panel's row pitch
constexpr int kLeft = 8;
constexpr int kIndent = 24;

template <class Control>
Control* make(QWidget* parent, const char* name, const QString& caption = {}) {
    auto* control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    // No accessible name of our own: Qt names a button or check box by its
    // caption without the access-key mark, and follows a changed caption.
    if constexpr (requires { control->setText(caption); })
        if (!caption.isEmpty())
            control->setText(caption);
    return control;
}

QFrame* makePanel(QWidget* parent, const char* name, int height) {
    auto* panel = make<QFrame>(parent, name);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setFixedSize(TForm3::kWidth, height);
    return panel;
}

TRxSpinEdit* makeSpin(QWidget* parent, const char* name, int minimum, int maximum, int value) {
    auto* spin = make<TRxSpinEdit>(parent, name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

// A number field says nothing but its value: it is spoken by the caption
// beside it, and a click on the caption goes to it.
void nameBy(QWidget* field, QLabel* caption) {
    caption->setBuddy(field);
    field->setAccessibleName(caption->text());
}

QPlainTextEdit* makeMemo(QFrame* panel, const char* name) {
    auto* memo = make<QPlainTextEdit>(panel, name);
    memo->setFont(QFont(QStringLiteral("Courier New"), 8));
    auto* fill = new QVBoxLayout(panel);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(memo);
    return memo;
}

void showFailure(const std::exception& e) {
    if (const auto* app = dynamic_cast<const AppError*>(&e))
        showError(app->message());
    else
        showError(QString::fromLocal8Bit(e.what()));
}

} // namespace

QValidator::State TRxSpinEdit::validate(QString&, int&) const {
    return QValidator::Acceptable;
}

void TRxSpinEdit::setValueShown(int value) {
    setValue(value);
    lineEdit()->setText(textFromValue(this->value()));
}

int TRxSpinEdit::valueFromText(const QString& text) const {
    return spinFieldValue(text, minimum(), maximum());
}

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    // The chosen printer is kept in currentPrinter() itself, so printing
    // uses it for the rest of the run.
    m_printerSetup = [this](QPrinter& printer) { choosePrinter(printer, this); };
    FormCreate();
}

void TForm3::FormCreate() {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Nastavení"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(formFontPoints(8));

    Panel1 = makePanel(this, "Panel1", 57);
    Label1 = make<QLabel>(Panel1, "Label1", QStringLiteral("COM port"));
    Label1->setGeometry(kLeft, 4, 60, 16);
    RxSpinEdit1 = makeSpin(Panel1, "RxSpinEdit1", 1, 10, 1);
    RxSpinEdit1->setGeometry(kLeft, 22, 50, 22);
    nameBy(RxSpinEdit1, Label1);
    Label3 = make<QLabel>(Panel1, "Label3", QStringLiteral("Měrné jednotky"));
    Label3->setGeometry(76, 4, 100, 16);
    ComboBox1 = make<QComboBox>(Panel1, "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setFont(formFontPoints(10));
    ComboBox1->addItems({QStringLiteral("kg"), QStringLiteral("PCS"), QStringLiteral("g"),
                         QStringLiteral("t"), QStringLiteral("lb")});
    ComboBox1->setCurrentText(QStringLiteral("kg"));
    ComboBox1->setGeometry(76, 20, 90, 26);
    BitBtn1 = make<QPushButton>(Panel1, "BitBtn1", QStringLiteral("&Tiskárny"));
    BitBtn1->setGeometry(200, 18, 89, 26);

    Panel2 = makePanel(this, "Panel2", 219);
    int row = 0;
    auto place = [&row](QWidget* w, int x, int width) {
        w->setGeometry(x, 4 + row * kRow, width, kRow);
    };
    CheckBox10 = make<QCheckBox>(Panel2, "CheckBox10", QStringLiteral("Ukládat data při tisku"));
    place(CheckBox10, kLeft, 280), ++row;
    CheckBox4 = make<QCheckBox>(Panel2, "CheckBox4", QStringLiteral("Permanetní příjem dat"));
    place(CheckBox4, kLeft, 280), ++row;
    CheckBox5 = make<QCheckBox>(Panel2, "CheckBox5", QStringLiteral("Automatický zápis po"));
    place(CheckBox5, kIndent, 150);
    RxSpinEdit3 = makeSpin(Panel2, "RxSpinEdit3", INT_MIN, INT_MAX, 0);
    place(RxSpinEdit3, 178, 70);
    RxSpinEdit3->setAccessibleName(CheckBox5->text()); // the period the box switches on
    Label4 = make<QLabel>(Panel2, "Label4", QStringLiteral("s"));
    place(Label4, 252, 20), ++row;
    CheckBox9 = make<QCheckBox>(Panel2, "CheckBox9",
                                QStringLiteral("Před ukončením uložit nevytištěná data"));
    place(CheckBox9, kLeft, 280), ++row;
    CheckBox6 = make<QCheckBox>(Panel2, "CheckBox6", QStringLiteral("Tisk pořadového čísla "));
    place(CheckBox6, kLeft, 280), ++row;
    CheckBox1 = make<QCheckBox>(Panel2, "CheckBox1", QStringLiteral("Zobrazovat čas"));
    place(CheckBox1, kLeft, 280), ++row;
    CheckBox2 = make<QCheckBox>(Panel2, "CheckBox2", QStringLiteral("Zobrazovat popisek a datumu"));
    place(CheckBox2, kLeft, 280), ++row;
    Label2 = make<QLabel>(Panel2, "Label2", QStringLiteral("Max délka"));
    place(Label2, kIndent, 70);
    RxSpinEdit2 = makeSpin(Panel2, "RxSpinEdit2", INT_MIN, INT_MAX, 14);
    place(RxSpinEdit2, 100, 70), ++row;
    nameBy(RxSpinEdit2, Label2);
    CheckBox3 = make<QCheckBox>(Panel2, "CheckBox3", QStringLiteral("Automaticky učit slova"));
    CheckBox3->setEnabled(false);
    place(CheckBox3, kIndent, 170);
    BitBtn3 = make<QPushButton>(Panel2, "BitBtn3", QStringLiteral("&Upravit"));
    BitBtn3->setToolTip(QStringLiteral("&Schovat"));
    BitBtn3->setEnabled(false);
    place(BitBtn3, 200, 89), ++row;
    CheckBox7 = make<QCheckBox>(Panel2, "CheckBox7", QStringLiteral("Záhlaví"));
    place(CheckBox7, kLeft, 280), ++row;
    CheckBox8 = make<QCheckBox>(Panel2, "CheckBox8", QStringLiteral("Zápatí"));
    place(CheckBox8, kLeft, 280), ++row;

    Panel3 = makePanel(this, "Panel3", 148);
    ListBox1 = make<QListWidget>(Panel3, "ListBox1");
    BitBtn4 = make<QPushButton>(Panel3, "BitBtn4", QStringLiteral("&Smazat"));
    BitBtn4->setEnabled(false);
    auto* words = new QHBoxLayout(Panel3);
    words->setContentsMargins(0, 0, 4, 0);
    words->addWidget(ListBox1, 1);
    words->addWidget(BitBtn4, 0, Qt::AlignTop);

    Panel6 = makePanel(this, "Panel6", 70);
    RichEdit1 = makeMemo(Panel6, "RichEdit1");
    Panel7 = makePanel(this, "Panel7", 70);
    RichEdit2 = makeMemo(Panel7, "RichEdit2");

    Panel5 = makePanel(this, "Panel5", 41);
    BitBtn2 = make<QPushButton>(Panel5, "BitBtn2", QStringLiteral("&OK"));
    BitBtn2->setGeometry((kWidth - 89) / 2, 8, 89, 25);
    BitBtn2->setDefault(true);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->setSizeConstraint(QLayout::SetFixedSize);
    for (QFrame* panel : {Panel1, Panel2, Panel3, Panel6, Panel7, Panel5})
        stack->addWidget(panel);
    for (QFrame* panel : {Panel3, Panel6, Panel7})
        panel->hide();

    connect(BitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm3::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm3::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TForm3::BitBtn4Click);
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, &TForm3::ListBox1Click);
    // Loading runs a check box's rule exactly when its state changes, as a
    // click would: toggled fires for both.
    connect(CheckBox2, &QCheckBox::toggled, this, &TForm3::CheckBox2Click);
    connect(CheckBox3, &QCheckBox::toggled, this, &TForm3::CheckBox3Click);
    connect(CheckBox4, &QCheckBox::toggled, this, &TForm3::CheckBox4Click);
    connect(CheckBox5, &QCheckBox::toggled, this, &TForm3::CheckBox5Click);
    connect(CheckBox7, &QCheckBox::toggled, this, &TForm3::CheckBox7Click);
    connect(CheckBox8, &QCheckBox::toggled, this, &TForm3::CheckBox8Click);
}

int TForm3::execFor(const QString& unit, int port) {
    setRunningState(unit, port);
    return exec();
}

void TForm3::setRunningState(const QString& unit, int port) {
    m_unit = unit;
    m_port = port;
}

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    try {
        FormShow();
    } catch (const std::exception& e) {
        showFailure(e);
    }
}

void TForm3::FormShow() {
    ComboBox1->setCurrentText(m_unit);
    const IniFile ini(paths::settingsFile());
    const StationSettings s = readStationSettings(ini);
    CheckBox1->setChecked(s.showTime);
    CheckBox2->setChecked(s.showDescription);
    CheckBox3->setChecked(s.learnWords);
    // On showing, the length field follows word learning; after a click it
    // follows the description check box (CheckBox2Click).
    RxSpinEdit2->setEnabled(CheckBox3->isChecked());
    RxSpinEdit2->setValueShown(s.descriptionLength);
    loadWordList();
    CheckBox4->setChecked(s.liveWeight);
    if (CheckBox4->isChecked()) {
        RxSpinEdit3->setValueShown(s.period);
        CheckBox5->setChecked(s.period != 0);
    }
    CheckBox9->setChecked(s.keepUnprinted);
    CheckBox10->setChecked(s.saveOnPrint);
    CheckBox6->setChecked(s.sequenceNumbers);
    CheckBox7->setChecked(s.header);
    RichEdit1->setPlainText(decodeStoredTextForDialog(dialogHeaderStored(s)).join(u'\n'));
    CheckBox8->setChecked(s.footer);
    RichEdit2->setPlainText(decodeStoredTextForDialog(dialogFooterStored(s)).join(u'\n'));
    RxSpinEdit1->setValueShown(m_port);
}

void TForm3::loadWordList() {
    if (!QFileInfo::exists(kWordListFile))
        return;
    try {
        const QStringList words = readWordListFile(kWordListFile);
        ListBox1->clear();
        ListBox1->addItems(words);
        BitBtn4->setEnabled(false);
    } catch (const std::exception& e) {
        // An unreadable list is reported and left as it was; the settings
        // still load.
        showFailure(e);
    }
}

SettingsDialogValues TForm3::controlValues(const StationSettings& stored) const {
    SettingsDialogValues v;
    StationSettings& s = v.settings;
    s = stored;
    s.port = RxSpinEdit1->value();
    s.showTime = CheckBox1->isChecked();
    s.showDescription = CheckBox2->isChecked();
    s.learnWords = CheckBox3->isChecked();
    s.unit = ComboBox1->currentText();
    s.descriptionLength = RxSpinEdit2->value();
    s.liveWeight = CheckBox4->isChecked();
    s.period = RxSpinEdit3->value();
    s.sequenceNumbers = CheckBox6->isChecked();
    s.header = CheckBox7->isChecked();
    s.keepUnprinted = CheckBox9->isChecked();
    s.saveOnPrint = CheckBox10->isChecked();
    s.footer = CheckBox8->isChecked();
    v.headerLines = memoLines(RichEdit1->toPlainText());
    v.footerLines = memoLines(RichEdit2->toPlainText());
    for (int i = 0; i < ListBox1->count(); ++i)
        v.words.append(ListBox1->item(i)->text());
    return v;
}

void TForm3::BitBtn2Click() {
    try {
        IniFile ini(paths::settingsFile());
        const SettingsChange change =
            settingsChangeFrom(controlValues(readStationSettings(ini)), dialogShownWidth(ini, 1),
                               dialogShownWidth(ini, 2));
        writeDialogSettingsFirst(ini, change.settings);
        writeWordListFile(kWordListFile, change.words);
        writeDialogSettingsSecond(ini, change.settings);
        if (m_apply)
            m_apply(change);
    } catch (const std::exception& e) {
        showFailure(e);
    }
    accept();
}

void TForm3::BitBtn1Click() {
    try {
        if (m_printerSetup)
            m_printerSetup(currentPrinter());
    } catch (const std::exception& e) {
        showFailure(e);
    }
}

void TForm3::BitBtn3Click() {
    setWordListShown(Panel3->isHidden());
}

void TForm3::BitBtn4Click() {
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    if (!selected.isEmpty())
        delete ListBox1->takeItem(ListBox1->row(selected.first()));
    // Nothing stays selected, so the next click on any word selects it and
    // enables the button again.
    ListBox1->clearSelection();
    BitBtn4->setEnabled(false);
}

void TForm3::ListBox1Click() {
    BitBtn4->setEnabled(!ListBox1->selectedItems().isEmpty());
}

void TForm3::CheckBox2Click() {
    const bool on = CheckBox2->isChecked();
    CheckBox3->setEnabled(on);
    RxSpinEdit2->setEnabled(on);
    if (!on) {
        CheckBox3->setChecked(false);
        setWordListShown(false);
        BitBtn3->setEnabled(false);
    }
}

void TForm3::CheckBox3Click() {
    BitBtn3->setEnabled(CheckBox3->isChecked());
    if (!CheckBox3->isChecked())
        setWordListShown(false);
}

void TForm3::CheckBox4Click() {
    const bool on = CheckBox4->isChecked();
    CheckBox5->setEnabled(on);
    RxSpinEdit3->setEnabled(on);
    Label4->setEnabled(on);
    if (on) {
        RxSpinEdit3->setValueShown(m_rememberedPeriod);
    } else {
        m_rememberedPeriod = RxSpinEdit3->value();
        RxSpinEdit3->setValueShown(0);
    }
}

void TForm3::CheckBox5Click() {
    const bool on = CheckBox5->isChecked();
    Label4->setEnabled(on);
    RxSpinEdit3->setEnabled(on);
    if (!on)
        RxSpinEdit3->setValueShown(0);
}

void TForm3::CheckBox7Click() {
    setPanelShown(Panel6, CheckBox7->isChecked());
}

void TForm3::CheckBox8Click() {
    setPanelShown(Panel7, CheckBox8->isChecked());
}

void TForm3::setPanelShown(QFrame* panel, bool shown) {
    if (panel->isHidden() != shown)
        return;
    auto* stack = static_cast<QBoxLayout*>(layout());
    if (shown) {
        QFrame* above = (panel == Panel7 && !Panel6->isHidden()) ? Panel6 : Panel2;
        stack->removeWidget(panel);
        stack->insertWidget(stack->indexOf(above) + 1, panel);
    }
    panel->setVisible(shown);
    stack->activate();
    const int half = panel->minimumHeight() / 2;
    move(x(), y() + (shown ? -half : half));
}

void TForm3::setWordListShown(bool shown) {
    setPanelShown(Panel3, shown);
    BitBtn3->setText(shown ? QStringLiteral("&Schovat") : QStringLiteral("&Upravit"));
    BitBtn3->setToolTip(shown ? QStringLiteral("&Upravit") : QStringLiteral("&Schovat"));
}
