#include "archive/unit4.h"

#include "archive/archivecsv.h"
#include "archive/archivegrid.h"
#include "archive/archiveloader.h"
#include "archive/archivesearch.h"
#include "platform/apperror.h"
#include "platform/boundary.h"
#include "platform/clock.h"
#include "platform/formfont.h"
#include "platform/localeconventions.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/inifile.h"
#include "settings/stationsettings.h"
#include "ticket/barlayout.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeDatabase>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <array>

namespace {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// A caption comes from archived text, where "&" is an ordinary character
// rather than the mark of a shortcut letter.
QString asCaption(QString text) {
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

const QString kExportTitle = QStringLiteral("Exportovat do CSV");

// Qt picks a listed file's icon and type by its MIME type, which for a name
// it cannot place means reading the file on the GUI thread; under /proc such
// a read can block for ever. The name and the kind of file are enough here.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    NameOnlyIconProvider() { setOptions(DontUseCustomDirectoryIcons); }
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override {
        if (!info.isFile())
            return QFileIconProvider::icon(info); // decided by stat alone
        return QIcon::fromTheme(mimeOf(info).iconName(), icon(File));
    }
    QString type(const QFileInfo& info) const override {
        if (!info.isFile())
            return QFileIconProvider::type(info);
        return mimeOf(info).comment();
    }

private:
    QMimeType mimeOf(const QFileInfo& info) const {
        const QList<QMimeType> byName = m_mimes.mimeTypesForFileName(info.fileName());
        return byName.isEmpty()
                   ? m_mimes.mimeTypeForName(QStringLiteral("application/octet-stream"))
                   : byName.constFirst();
    }

    QMimeDatabase m_mimes;
};

QString askSaveName(QWidget* parent, const QString& suggested) {
    NameOnlyIconProvider icons; // outlives the dialog, which does not own it
    QFileDialog dialog(parent, kExportTitle);
    dialog.setIconProvider(&icons);
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(
        {QStringLiteral("Soubory CSV (*.csv)"), QStringLiteral("Všechny soubory (*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Složka:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Název souboru:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Typ souboru:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Uložit"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Zrušit"));
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString exportFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}
// Short captions keep one width, so that the bar does not jump about from
// one load to the next; a longer one widens its box to show whole.
constexpr int kColumnBoxWidth = 84;

} // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    m_askSaveName = [this](const QString& suggested) { return askSaveName(this, suggested); };
    buildControls();
    qApp->installEventFilter(this);
}

TForm4::~TForm4() {
    qApp->removeEventFilter(this);
}

void TForm4::buildControls() {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Archív"));
    setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(65);
    Panel1->setFont(formFontPoints(8));
    layout->addWidget(Panel1);
    StringGrid1 = new TArchiveGrid(this);
    layout->addWidget(StringGrid1, 1);
    // The export sits under the grid, so that the top bar keeps its
    // controls and their spacing.
    Panel5 = new QFrame(this);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setFont(formFontPoints(8));
    layout->addWidget(Panel5);

    auto panel = [this](const char* name) {
        auto* p = new QFrame(Panel1);
        p->setObjectName(QLatin1String(name));
        p->setFrameShape(QFrame::StyledPanel);
        return p;
    };
    auto button = [](QWidget* parent, const char* name, const QString& caption, int width) {
        auto* b = new QPushButton(caption, parent);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        // Not the style's size hint, which makes every button 80 pixels
        // wide at least: the bar must fit the default 800-pixel window.
        b->resize(std::max(width, b->fontMetrics().horizontalAdvance(b->text().remove(u'&')) + 16),
                  25);
        return b;
    };
    auto checkBox = [](QWidget* parent, const char* name, const QString& caption, int width) {
        auto* c = new QCheckBox(caption, parent);
        c->setObjectName(QLatin1String(name));
        c->resize(std::max(width, c->sizeHint().width()), 17);
        return c;
    };
    auto label = [](QWidget* parent, const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, parent);
        l->setBuddy(buddy);
        buddy->setAccessibleName(caption);
        l->adjustSize();
        return l;
    };

    Panel3 = panel("Panel3");
    DateTimePicker1 = new QDateEdit(Panel3);
    DateTimePicker2 = new QDateEdit(Panel3);
    QLabel* from = label(Panel3, QStringLiteral("Datum od"), DateTimePicker1);
    QLabel* to = label(Panel3, QStringLiteral("Datum do"), DateTimePicker2);
    const int labelsWidth = std::max(from->width(), to->width());
    int x = 6;
    for (QDateEdit* picker : {DateTimePicker1, DateTimePicker2}) {
        picker->setObjectName(picker == DateTimePicker1 ? QStringLiteral("DateTimePicker1")
                                                        : QStringLiteral("DateTimePicker2"));
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QStringLiteral("d.M.yyyy"));
        picker->resize(95, 23);
    }
    from->move(x, 9);
    to->move(x, 35);
    x += labelsWidth + 6;
    DateTimePicker1->move(x, 5);
    DateTimePicker2->move(x, 31);
    x += DateTimePicker1->width() + 8;
    BitBtn3 = button(Panel3, "BitBtn3", QStringLiteral("Aktualizovat"), 84);
    BitBtn3->move(x, 17);
    Panel3->setGeometry(0, 4, x + BitBtn3->width() + 6, 57);

    Panel2 = panel("Panel2");
    LabeledEdit1 = new QLineEdit(Panel2);
    LabeledEdit1->setObjectName(QStringLiteral("LabeledEdit1"));
    LabeledEdit1->setGeometry(6, 24, 100, 23);
    label(Panel2, QStringLiteral("Vyhledat text"), LabeledEdit1)->move(6, 6);
    BitBtn2 = button(Panel2, "BitBtn2", QStringLiteral("Najít"), 50);
    BitBtn2->move(112, 23);
    x = BitBtn2->geometry().right() + 8;
    CheckBox5 = checkBox(Panel2, "CheckBox5", QStringLiteral("Směrem nahoru"), 90);
    CheckBox6 = checkBox(Panel2, "CheckBox6", QStringLiteral("Rozliš a-A"), 90);
    CheckBox5->move(x, 10);
    CheckBox6->move(x, 34);
    Panel2->setGeometry(0, 4, x + std::max(CheckBox5->width(), CheckBox6->width()) + 6, 57);

    // The captions follow each load (layOutColumnBoxes).
    Panel4 = panel("Panel4");
    CheckBox1 = checkBox(Panel4, "CheckBox1", QString(), kColumnBoxWidth);
    CheckBox2 = checkBox(Panel4, "CheckBox2", QString(), kColumnBoxWidth);
    CheckBox3 = checkBox(Panel4, "CheckBox3", QString(), kColumnBoxWidth);
    CheckBox4 = checkBox(Panel4, "CheckBox4", QString(), kColumnBoxWidth);
    for (int c = 0; c < ArchiveTable::kColumns; ++c)
        columnCheckBox(c)->setChecked(true);
    Panel4->move(0, 4);
    layOutColumnBoxes();

    BitBtn1 = button(Panel1, "BitBtn1", QStringLiteral("Konec"), 60);
    BitBtn1->move(0, 20);

    BitBtn4 = button(Panel5, "BitBtn4", u'&' + kExportTitle + u'…', 120);
    BitBtn4->setAccessibleName(kExportTitle + u'…');
    BitBtn4->setFixedSize(BitBtn4->size());
    BitBtn4->setEnabled(false);
    auto* bottom = new QHBoxLayout(Panel5);
    bottom->setContentsMargins(6, 4, 6, 4);
    bottom->addStretch();
    bottom->addWidget(BitBtn4);

    setTabOrder(LabeledEdit1, BitBtn2);
    setTabOrder(BitBtn2, CheckBox5);
    setTabOrder(CheckBox5, CheckBox6);
    setTabOrder(CheckBox6, CheckBox1);
    setTabOrder(CheckBox1, CheckBox2);
    setTabOrder(CheckBox2, CheckBox3);
    setTabOrder(CheckBox3, CheckBox4);
    setTabOrder(CheckBox4, DateTimePicker1);
    setTabOrder(DateTimePicker1, DateTimePicker2);
    setTabOrder(DateTimePicker2, BitBtn3);
    setTabOrder(BitBtn3, BitBtn1);
    setTabOrder(BitBtn1, StringGrid1);
    setTabOrder(StringGrid1, BitBtn4);

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm4::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm4::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this,
            [this] { atBoundary([this] { BitBtn4Click(); }); });
    connect(DateTimePicker1, &QDateEdit::dateChanged, this, &TForm4::DateTimePicker1Change);
    connect(DateTimePicker2, &QDateEdit::dateChanged, this, &TForm4::DateTimePicker1Change);
}

QCheckBox* TForm4::columnCheckBox(int column) const {
    const std::array<QCheckBox*, ArchiveTable::kColumns> boxes{CheckBox1, CheckBox2, CheckBox3,
                                                               CheckBox4};
    return boxes[size_t(column)];
}

// ---- life -------------------------------------------------------------

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm4::FormShow() {
    const ArchiveWindowSettings stored = readArchiveWindowSettings(IniFile(paths::settingsFile()));
    for (int c = 0; c < ArchiveTable::kColumns; ++c)
        StringGrid1->setColumnWidth(c, std::max(0, stored.columnWidths[size_t(c)]));
    QSize size = stored.size;
    if (QScreen* screen = this->screen())
        size = clampToScreen(size, kMinimumWindow, screen->availableGeometry().size());
    resize(size);
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    const QDate today = clock_::now().date();
    for (QDateEdit* picker : {DateTimePicker1, DateTimePicker2}) {
        const QSignalBlocker quiet(picker);
        picker->setDate(today);
    }
    BitBtn3Click();
    if (!Panel2->isHidden())
        LabeledEdit1->setFocus();
    else
        DateTimePicker1->setFocus();
}

void TForm4::done(int result) {
    if (!m_closed) {
        m_closed = true;
        FormClose();
    }
    QDialog::done(result);
}

void TForm4::FormClose() {
    try {
        IniFile ini(paths::settingsFile());
        ArchiveWindowSettings s;
        for (int c = 0; c < ArchiveTable::kColumns; ++c)
            s.columnWidths[size_t(c)] = StringGrid1->columnWidth(c);
        s.size = size();
        writeArchiveWindowSettings(ini, s);
    } catch (const AppError& e) {
        showError(e.message());
    }
}

void TForm4::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TForm4::FormResize() {
    const std::array<QWidget*, 4> order{Panel3, Panel2, Panel4, BitBtn1};
    std::vector<BarItem> items;
    for (QWidget* w : order)
        items.push_back({w->width(), !w->isHidden()});
    const BarLayout bar = spreadAcross(Panel1->width(), items);
    for (size_t i = 0; i < order.size(); ++i)
        if (items[i].visible)
            order[i]->move(bar.lefts[i], order[i]->y());
}

// ---- loading ----------------------------------------------------------

void TForm4::DateTimePicker1Change() {
    BitBtn3Click();
}

void TForm4::BitBtn3Click() {
    QStringList failures;
    std::vector<DaySealReport> seals;
    bool outOfMemory = false;
    {
        const BusyCursor busy;
        // The rows on screen go first, so that a long range never needs the
        // old and the new rows in memory at once.
        showLoaded(ArchiveTable());
        try {
            ArchiveLoad load = loadArchiveRange(DateTimePicker1->date(), DateTimePicker2->date());
            failures = std::move(load.failures);
            seals = std::move(load.seals);
            showLoaded(std::move(load.table));
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    }
    if (!failures.isEmpty())
        showError(archiveFailureMessage(failures));
    if (!seals.empty())
        showError(sealReportMessage(seals));
    if (outOfMemory)
        showError(QStringLiteral("Pro zvolený rozsah dnů není dost paměti."));
}

void TForm4::showLoaded(ArchiveTable&& table) {
    StringGrid1->setTable(std::move(table));
    bool anyColumn = false;
    for (int c = 0; c < ArchiveTable::kColumns; ++c) {
        const QString caption = StringGrid1->table().cellText(0, c);
        QCheckBox* box = columnCheckBox(c);
        box->setText(asCaption(caption));
        box->setAccessibleName(caption);
        box->setHidden(caption.isEmpty());
        anyColumn = anyColumn || !caption.isEmpty();
    }
    Panel2->setHidden(!anyColumn);
    BitBtn4->setEnabled(!StringGrid1->table().isEmpty());
    layOutColumnBoxes();
    FormResize();
}

void TForm4::layOutColumnBoxes() {
    // Two rows of two: columns 0 and 1 above, 2 and 3 below, each pair of
    // the same column as wide as its wider caption.
    for (int c = 0; c < ArchiveTable::kColumns; ++c) {
        QCheckBox* box = columnCheckBox(c);
        box->resize(std::max(kColumnBoxWidth, box->sizeHint().width()), box->height());
    }
    const int left = std::max(CheckBox1->width(), CheckBox3->width());
    const int right = std::max(CheckBox2->width(), CheckBox4->width());
    CheckBox1->move(6, 10);
    CheckBox3->move(6, 34);
    CheckBox2->move(6 + left + 4, 10);
    CheckBox4->move(6 + left + 4, 34);
    Panel4->resize(6 + left + 4 + right + 6, 57);
}

// ---- export -----------------------------------------------------------

void TForm4::BitBtn4Click() {
    const QString suggested =
        QDir(exportFolder())
            .filePath(archiveCsvFileName(DateTimePicker1->date(), DateTimePicker2->date()));
    const QString path = m_askSaveName ? m_askSaveName(suggested) : QString();
    if (path.isEmpty())
        return;
    QString message;
    bool written = false;
    {
        const BusyCursor busy;
        written = writeArchiveCsv(StringGrid1->table(), path, message);
    }
    if (!written)
        showError(message);
}

// ---- searching and keys -----------------------------------------------

void TForm4::BitBtn2Click() {
    ArchiveSearch search;
    search.text = LabeledEdit1->text();
    search.upward = CheckBox5->isChecked();
    search.matchCase = CheckBox6->isChecked();
    bool anyColumn = false;
    for (int c = 0; c < ArchiveTable::kColumns; ++c) {
        search.columns[size_t(c)] = columnCheckBox(c)->isChecked();
        anyColumn = anyColumn || search.columns[size_t(c)];
    }
    const int found =
        findArchiveRow(StringGrid1->table(), StringGrid1->row(), search, conventions().language);
    if (found >= 0)
        StringGrid1->setRow(found);
    if (!anyColumn)
        showInformation(QStringLiteral("Není zadáno ve kterých sloupcích se ma vyhldavat."));
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    // A key event travels up the parent chain; act once, on its first
    // receiver.
    const bool firstReceiver =
        widget == QApplication::focusWidget() || (!QApplication::focusWidget() && widget == this);
    if (!firstReceiver)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (FormKeyDown(key))
        return true;
    if (watched == LabeledEdit1)
        return LabeledEdit1KeyPress(key);
    return false;
}

bool TForm4::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    QWidget* focus = QApplication::focusWidget();
    if (focus == StringGrid1 || StringGrid1->isAncestorOf(focus))
        return false;
    const int row = StringGrid1->row();
    const int last = StringGrid1->rowCount() - 1;
    const int page = StringGrid1->visibleRowCount();
    // With nothing loaded there is no row 1 to go to.
    if (last < 1)
        return false;
    switch (event->key()) {
    case Qt::Key_Up:
        if (row >= 2)
            StringGrid1->setRow(row - 1);
        break;
    case Qt::Key_Down:
        if (row < last)
            StringGrid1->setRow(row + 1);
        break;
    case Qt::Key_PageUp:
        StringGrid1->setRow(row - page >= 2 ? row - page : 1);
        break;
    case Qt::Key_PageDown:
        StringGrid1->setRow(row + page < last ? row + page : last);
        break;
    default:
        break;
    }
    return false;
}

bool TForm4::LabeledEdit1KeyPress(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    BitBtn2Click();
    return true;
}
