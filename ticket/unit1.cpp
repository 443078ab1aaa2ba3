#include "ticket/unit1.h"

#include "archive/unit4.h"
#include "link/printframe.h"
#include "link/vacomm.h"
#include "output/archivewriter.h"
#include "output/ticketprinter.h"
#include "output/tickettext.h"
#include "output/unit2.h"
#include "platform/apperror.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/localeconventions.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/inifile.h"
#include "settings/storedtext.h"
#include "settings/unit3.h"
#include "ticket/barlayout.h"
#include "ticket/descriptionbox.h"
#include "ticket/stringgrid.h"
#include "ticket/unprintedrows.h"
#include "ticket/wordlist.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <limits>

namespace {

const QString kWordListFile = QStringLiteral("popis.dat");

QColor fromTColor(int c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

void setTextColour(QWidget* w, int tcolour) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, fromTColor(tcolour));
    p.setColor(QPalette::ButtonText, fromTColor(tcolour));
    p.setColor(QPalette::Text, fromTColor(tcolour));
    w->setPalette(p);
}

int timerInterval(int periodSeconds) {
    const qint64 ms = qint64(periodSeconds) * 1000;
    if (ms <= 0)
        return 0;
    return int(std::min<qint64>(ms, std::numeric_limits<int>::max()));
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    buildControls();
    qApp->installEventFilter(this);
    FormCreate();
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    disconnect(qApp, nullptr, this, nullptr);
    VaComm1->Close();
    // The grid view reads the ticket until it is gone; the ticket is a member
    // and dies before the widget base class tears the children down.
    delete StringGrid1;
    StringGrid1 = nullptr;
}

void TForm1::buildControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vážní lístek"));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Form1Client"));
    setCentralWidget(central);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(54);
    QFont barFont(QStringLiteral("MS Sans Serif"));
    barFont.setPointSize(8);
    Panel1->setFont(barFont);
    layout->addWidget(Panel1);

    auto makeButton = [this](const char* name, const QString& caption, int width) {
        auto* b = new QPushButton(caption, Panel1);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(0, 8, width, 25);
        b->setAutoDefault(false);
        return b;
    };
    BitBtn1 = makeButton("BitBtn1", QStringLiteral("&Tisk"), 75);
    BitBtn2 = makeButton("BitBtn2", QStringLiteral("&Nastavení"), 89);
    BitBtn4 = makeButton("BitBtn4", QStringLiteral("&Archív"), 75);
    BitBtn3 = makeButton("BitBtn3", QStringLiteral("&Konec"), 75);
    CheckBox1 = new QCheckBox(QStringLiteral("Ti&skový náhled"), Panel1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(0, 36, std::max(97, CheckBox1->sizeHint().width()), 17);

    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, 8, 127, 33);
    Panel2->setFrameShape(QFrame::NoFrame);
    QFont panelFont(QStringLiteral("MS Sans Serif"));
    panelFont.setPixelSize(16);
    panelFont.setBold(true);
    Panel2->setFont(panelFont);
    Panel2->setProperty("tag", 0);
    Label1 = new QLabel(Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    // Right-aligned like a label that grows to the left: "Přetíženo" in a
    // wide substitute font must not lose its first letters.
    Label1->setGeometry(0, 8, 93, 20);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SpeedButton1 = new QToolButton(Panel2);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("OK"));
    SpeedButton1->setGeometry(97, 1, 30, 33);
    SpeedButton1->setProperty("tag", 0);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    QFont okFont(QStringLiteral("MS Sans Serif"));
    okFont.setPixelSize(11);
    okFont.setBold(true);
    SpeedButton1->setFont(okFont);
    setTextColour(SpeedButton1, tcolor::Navy);
    setTextColour(Label1, tcolor::Black);

    StringGrid1 = new TStringGrid(m_grid, central);
    layout->addWidget(StringGrid1, 1);

    ComboBox1 = new TDescriptionCombo(central);
    ComboBox1->hide();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    auto* company = new QLabel(QStringLiteral("Tarvik & Omsel Software"), StatusBar1);
    company->setMinimumWidth(50);
    StatusBar1->addWidget(company);
    setStatusBar(StatusBar1);

    VaComm1 = new TVaComm(this);
    VaComm1->setObjectName(QStringLiteral("VaComm1"));
    VaComm1->setBaudrate(br9600);
    VaComm1->setMonitorEvents(ceAll);
    VaComm1->OnRxChar = [this](QObject* sender, int count) { VaComm1RxChar(sender, count); };

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm1::CheckBox1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TForm1::BitBtn4Click);
    connect(BitBtn3, &QPushButton::clicked, this, &QWidget::close);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(StringGrid1, &TStringGrid::cellSelected, this, &TForm1::StringGrid1SelectCell);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (isComboWidget(old) && !isComboWidget(now))
            ComboBox1Exit();
    });
    auto follow = [this] {
        if (ComboBox1->isVisible())
            placeComboOverCell(m_editingColumn, m_editingRow);
    };
    connect(StringGrid1->horizontalScrollBar(), &QScrollBar::valueChanged, this, follow);
    connect(StringGrid1->verticalScrollBar(), &QScrollBar::valueChanged, this, follow);
    connect(StringGrid1->horizontalHeader(), &QHeaderView::sectionResized, this, follow);
}

bool TForm1::isComboWidget(QObject* object) const {
    for (QObject* o = object; o; o = o->parent())
        if (o == ComboBox1)
            return true;
    return false;
}

void TForm1::setPreviewWindow(TForm2* form) {
    m_form2 = form;
}

void TForm1::setSettingsDialog(TForm3* form) {
    m_form3 = form;
}

TForm2* TForm1::previewWindow() const {
    return m_form2;
}

void TForm1::setDescriptionLimit(int length) {
    m_descriptionLimit = length;
    ComboBox1->setMaxLength(length);
}

int TForm1::digitLatch() const {
    return SpeedButton1->property("tag").toInt();
}

void TForm1::ticketChanged(int firstChangedRow) {
    StringGrid1->ticketModel()->sync(firstChangedRow);
}

// ---- life -------------------------------------------------------------

void TForm1::FormCreate() {
    IniFile ini(paths::settingsFile());
    const QString z = QStringLiteral("zobrazeni");
    if (!ini.readBool(z, QStringLiteral("datum"), false))
        m_grid.setColumnWidth(TicketGrid::Time, TicketGrid::kHidden);
    if (!ini.readBool(z, QStringLiteral("popis"), false))
        m_grid.setColumnWidth(TicketGrid::Description, TicketGrid::kHidden);
    m_unit = ini.readString(z, QStringLiteral("jednotky"), QStringLiteral("kg"));
    if (QFileInfo::exists(kWordListFile)) {
        try {
            ComboBox1->setItems(readWordListFile(kWordListFile));
        } catch (const AppError& e) {
            showError(e.message());
        }
    }
    ComboBox1->setEnabled(ini.readBool(z, QStringLiteral("plovouciHelp"), false));
    Panel2->setVisible(ini.readBool(z, QStringLiteral("stalyPrijem"), false));
    BitBtn4->setVisible(ini.readBool(z, QStringLiteral("PrintSave"), false));
    m_grid.weightSum = 0;
    m_grid.weighingCount = 0;
    if (ini.readBool(z, QStringLiteral("save"), false) &&
        QFileInfo::exists(paths::unprintedRowsFile())) {
        try {
            loadUnprintedRows(paths::unprintedRowsFile(), m_grid);
        } catch (const AppError& e) {
            showError(e.message());
        }
    }
    m_header.clear();
    if (ini.readBool(z, QStringLiteral("Zahlavi"), false))
        m_header = decodeStoredTextForPrinting(
            ini.readString(z, QStringLiteral("Zahlavitext"), QString()));
    m_footer.clear();
    if (ini.readBool(z, QStringLiteral("Zapati"), false))
        m_footer =
            decodeStoredTextForPrinting(ini.readString(z, QStringLiteral("Zapatitext"), QString()));
    if (!Panel2->isHidden())
        Timer1->setInterval(timerInterval(ini.readInteger(z, QStringLiteral("perioda"), 0)));
    for (int c = 0; c < m_grid.columnCount(); ++c) {
        if (m_grid.isHidden(c))
            continue;
        const int w = ini.readInteger(QStringLiteral("tabulka"),
                                      QStringLiteral("sirka") + QString::number(c), 165);
        if (w != 165)
            m_grid.setColumnWidth(c, w);
    }
    m_sequenceNumbers = ini.readBool(z, QStringLiteral("poradCislo"), true);
    resize(ini.readInteger(QStringLiteral("tabulka"), QStringLiteral("celkem"), 370),
           ini.readInteger(QStringLiteral("tabulka"), QStringLiteral("celkemVyska"), 600));
    setDescriptionLimit(ini.readInteger(QStringLiteral("popis"), QStringLiteral("delka"), 14));
    VaComm1->setPortNum(ini.readInteger(QStringLiteral("COM"), QStringLiteral("port"), 1));
    VaComm1->setDevicePath(
        ini.readString(QStringLiteral("COM"), QStringLiteral("device"), QString()));
    try {
        VaComm1->Open();
    } catch (const AppError& e) {
        showError(e.message());
    }
    m_receiveBuffer.clear();
    m_grid.writeCaptions();
    m_grid.writeTotals(TicketGrid::TotalsWriter::StartUp, clock_::now(), m_unit);
    Label1->setText(QStringLiteral("0,000 ") + m_unit);
    m_display.label = Label1->text();
    StringGrid1->ticketModel()->sync(0);
    StringGrid1->applyColumnWidths();
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm1::FormShow() {
    if (!Panel2->isHidden()) {
        if (Timer1->interval() > 0 && !Timer1->isActive())
            Timer1->start();
        else if (Timer1->interval() <= 0)
            Timer1->stop();
    }
    if (!m_shownOnce) {
        m_shownOnce = true;
        if (QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - frameGeometry().center() + pos());
        FormResize();
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!m_closed) {
        m_closed = true;
        FormClose();
    }
    event->accept();
}

void TForm1::FormClose() {
    VaComm1->Close();
    // Each failure is told and the rest still runs: the program must end, and
    // the ticket file matters more than the window size.
    try {
        IniFile ini(paths::settingsFile());
        for (int c = 0; c < m_grid.columnCount(); ++c) {
            if (m_grid.columnWidth(c) >= 0)
                ini.writeInteger(QStringLiteral("tabulka"),
                                 QStringLiteral("sirka") + QString::number(c),
                                 m_grid.columnWidth(c));
        }
        ini.writeInteger(QStringLiteral("tabulka"), QStringLiteral("celkem"), width());
        ini.writeInteger(QStringLiteral("tabulka"), QStringLiteral("celkemVyska"), height());
    } catch (const AppError& e) {
        showError(e.message());
    }
    if (ComboBox1->isVisible())
        ComboBox1Exit();
    try {
        saveUnprintedRows(m_grid, paths::unprintedRowsFile());
    } catch (const AppError& e) {
        showError(e.message());
    }
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
    if (ComboBox1->isVisible())
        placeComboOverCell(m_editingColumn, m_editingRow);
}

void TForm1::FormResize() {
    const std::vector<QWidget*> order{BitBtn1, BitBtn2, BitBtn4, BitBtn3, Panel2};
    std::vector<BarItem> items;
    for (QWidget* w : order)
        items.push_back({w->width(), !w->isHidden()});
    const BarLayout bar = spreadAcross(Panel1->width(), items);
    for (size_t i = 0; i < order.size(); ++i)
        if (items[i].visible)
            order[i]->move(bar.lefts[i], order[i]->y());
    if (!CheckBox1->isHidden())
        CheckBox1->move(bar.gap, CheckBox1->y());
}

void TForm1::BitBtn2Click() {
    VaComm1->Close();
    if (m_form3)
        m_form3->exec();
    VaComm1->Open();
    StringGrid1->setFocus();
}

void TForm1::BitBtn4Click() {
    {
        TForm4 form4(this);
        form4.exec();
    }
    StringGrid1->setFocus();
}

// ---- receiving --------------------------------------------------------

void TForm1::VaComm1RxChar(QObject*, int) {
    m_receiveBuffer += cp1250::decode(VaComm1->ReadText());
    if (!Panel2->isHidden())
        DecodeWeightFrame(m_receiveBuffer);
    else
        DecodePrintFrame(m_receiveBuffer);
}

void TForm1::DecodeWeightFrame(QString& buffer) {
    decodeWeightFrame(buffer, m_unit, m_display);
    applyDisplay();
}

void TForm1::applyDisplay() {
    if (Label1->text() != m_display.label)
        Label1->setText(m_display.label);
    setTextColour(Label1, m_display.labelColour);
    setTextColour(SpeedButton1, m_display.okColour);
    SpeedButton1->setEnabled(m_display.okEnabled);
    Panel2->setProperty("tag", m_display.scaleState);
}

void TForm1::DecodePrintFrame(QString& buffer) {
    for (;;) {
        const PrintFrame frame = takePrintFrame(buffer, m_unit, conventions().decimalSeparator);
        if (frame.kind == PrintFrame::Kind::None)
            return;
        const QDateTime now = clock_::now();
        if (frame.kind == PrintFrame::Kind::Item) {
            if (ComboBox1->isVisible())
                ComboBox1->hide();
            const int first = m_grid.lastRow();
            m_grid.addWeighing(frame.sequence, conventions().formatTime(now.time()), frame.weight,
                               TicketGrid::TotalsWriter::ItemFrame, now, m_unit);
            ticketChanged(first);
            StringGrid1->setRow(m_grid.lastRow());
            selectDescriptionOfLastBodyRow();
        } else {
            const int first = m_grid.lastRow();
            QStringList totals;
            for (int c = 0; c < m_grid.columnCount(); ++c)
                totals.append(m_grid.cell(c, first));
            m_grid.clearRow(first);
            m_grid.setRowCount(m_grid.rowCount() + 1);
            const int last = m_grid.lastRow();
            const LocaleConventions& lc = conventions();
            m_grid.setCell(0, last,
                           QStringLiteral("Celkem: ") + QString::number(m_grid.weighingCount));
            m_grid.setCell(1, last, lc.formatTime(now.time()));
            m_grid.setCell(2, last, QStringLiteral("dne: ") + lc.formatDate(now.date()));
            m_grid.setCell(3, last, frame.weight);
            ticketChanged(first);
            try {
                BitBtn1Click();
            } catch (...) {
                // Not printed: the ticket goes back to its rows and totals row,
                // so that the operator can print it with the button and the
                // next item frames count on from it.
                m_grid.setRowCount(m_grid.rowCount() - 1);
                for (int c = 0; c < m_grid.columnCount(); ++c)
                    m_grid.setCell(c, first, totals.value(c));
                ticketChanged(first);
                throw;
            }
            m_grid.reset(TicketGrid::TotalsWriter::ResetAfterTotalFrame, clock_::now(), m_unit);
            ticketChanged(0);
        }
    }
}

// ---- capturing --------------------------------------------------------

void TForm1::SpeedButton1Click() {
    const QDateTime now = clock_::now();
    const int first = m_grid.lastRow();
    m_grid.addWeighing(QString::number(m_grid.lastRow()), conventions().formatTime(now.time()),
                       Label1->text(), TicketGrid::TotalsWriter::Weighing, now, m_unit);
    ticketChanged(first);
    StringGrid1->setFocus();
    if (ComboBox1->isVisible())
        ComboBox1Exit(); // the focus could not move (an inactive window)
    selectDescriptionOfLastBodyRow();
    StringGrid1->setEditing(!ComboBox1->isEnabled());
}

void TForm1::selectDescriptionOfLastBodyRow() {
    StringGrid1->setRow(m_grid.lastRow() - 1);
    StringGrid1->setCol(TicketGrid::Description);
}

void TForm1::Timer1Timer() {
    if (!Panel2->isHidden() && SpeedButton1->isEnabled())
        SpeedButton1Click();
}

// ---- printing ---------------------------------------------------------

void TForm1::CheckBox1Click() {
    setTextColour(BitBtn1, CheckBox1->isChecked() ? tcolor::Red : tcolor::Black);
}

void TForm1::BitBtn1Click() {
    const QDateTime now = clock_::now();
    TicketLayoutOptions options;
    options.sequenceNumbers = m_sequenceNumbers;
    options.descriptionWidth = m_descriptionLimit;
    options.header = m_header;
    options.footer = m_footer;
    if (!m_form2)
        m_form2 = new TForm2(this);
    m_form2->setTicketText(buildTicketText(m_grid, options, now));
    if (!BitBtn4->isHidden())
        appendToArchive(m_form2->ticketText(), now.date());
    if (CheckBox1->isChecked())
        m_form2->exec();
    else
        printTicket(m_form2->ticketText());
    resetTicketAfterPrint();
}

void TForm1::resetTicketAfterPrint() {
    ComboBox1->hide();
    m_grid.reset(TicketGrid::TotalsWriter::ResetAfterPrint, clock_::now(), m_unit);
    ticketChanged(0);
    StringGrid1->setFocus();
}

// ---- description entry ------------------------------------------------

void TForm1::StringGrid1SelectCell(int column, int row) {
    if (column != TicketGrid::Description || !m_grid.isBodyRow(row))
        return;
    if (ComboBox1->isEnabled()) {
        StringGrid1->cancelMouseOperation();
        m_editingColumn = column;
        m_editingRow = row;
        placeComboOverCell(column, row);
        const QString text = m_grid.cell(column, row);
        const int match = findWord(ComboBox1->items(), text);
        if (match >= 0) {
            ComboBox1->setCurrentIndex(match);
        } else {
            ComboBox1->setCurrentIndex(-1);
            ComboBox1->setEditText(text);
        }
        ComboBox1->show();
        ComboBox1->raise();
        ComboBox1->setFocus();
    } else {
        StringGrid1->setFocus();
        StringGrid1->setEditing(true);
    }
}

void TForm1::placeComboOverCell(int column, int row) {
    const QRect cell = StringGrid1->cellRect(column, row);
    const QPoint topLeft = StringGrid1->viewport()->mapTo(centralWidget(), cell.topLeft());
    ComboBox1->setGeometry(QRect(topLeft, cell.size()));
}

void TForm1::ComboBox1Exit() {
    if (m_inExit || !ComboBox1->isVisible())
        return;
    m_inExit = true;
    ComboBox1->hide();
    const QString text = ComboBox1->currentText();
    const int column = m_editingColumn >= 0 ? m_editingColumn : StringGrid1->col();
    const int row = m_editingRow >= 0 ? m_editingRow : StringGrid1->row();
    m_grid.setCell(column, row, text);
    ticketChanged(row);
    m_editingColumn = m_editingRow = -1;
    QString saveError;
    QStringList words = ComboBox1->items();
    if (learnWord(words, text)) {
        ComboBox1->setItems(words);
        try {
            writeWordListFile(kWordListFile, words);
        } catch (const AppError& e) {
            saveError = e.message();
        }
    }
    m_listOpened = false;
    StringGrid1->setEditing(false);
    m_inExit = false;
    if (!saveError.isEmpty())
        showError(saveError);
}

// ---- keys -------------------------------------------------------------

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    // A key event travels up the parent chain; the window's own preview and
    // the control handlers act once, on its first receiver.
    const bool firstReceiver =
        widget == QApplication::focusWidget() || (!QApplication::focusWidget() && widget == this);
    if (!firstReceiver)
        return false;
    if (FormKeyPress(watched, key))
        return true;
    if (isComboWidget(watched)) {
        if (FormDialogKey(key))
            return true;
        return ComboBox1KeyPress(key);
    }
    if (watched == StringGrid1 || StringGrid1->isAncestorOf(widget))
        return StringGrid1KeyPress(key);
    return false;
}

bool TForm1::FormKeyPress(QObject* receiver, QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() != 1)
        return false;
    const QChar ch = text.at(0);
    if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9') && digitLatch() == 0) {
        SpeedButton1Click();
        SpeedButton1->setProperty("tag", 1);
        // The digit goes on to the control that has the focus now: the new
        // row's description editor.
        QWidget* focus = QApplication::focusWidget();
        if (focus && focus != receiver) {
            QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                           event->isAutoRepeat(), ushort(event->count()));
            QApplication::sendEvent(focus, &copy);
            return true;
        }
    } else if (ch == QLatin1Char('\r')) {
        SpeedButton1->setProperty("tag", 0);
    }
    return false;
}

bool TForm1::FormDialogKey(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Backtab:
        break;
    default:
        return false;
    }
    StringGrid1->setFocus();
    if (ComboBox1->isVisible())
        ComboBox1Exit();
    StringGrid1->keyDown(event);
    return true;
}

bool TForm1::ComboBox1KeyPress(QKeyEvent* event) {
    const QString text = event->text();
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool tab = event->key() == Qt::Key_Tab;
    if (text.isEmpty() && !enter && !tab)
        return false; // not a character
    if (!m_listOpened) {
        m_listOpened = true;
        ComboBox1->showPopup();
    }
    if (enter || tab) {
        if (enter && ComboBox1->highlighted() >= 0 &&
            ComboBox1->itemText(ComboBox1->highlighted()) != ComboBox1->currentText())
            ComboBox1->setCurrentIndex(ComboBox1->highlighted());
        ComboBox1->hidePopup();
        StringGrid1->setFocus();
        if (ComboBox1->isVisible())
            ComboBox1Exit();
        return true;
    }
    return false;
}

bool TForm1::StringGrid1KeyPress(QKeyEvent* event) {
    const QString text = event->text();
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (text.isEmpty() && !enter)
        return false;
    if (enter && ComboBox1->isEnabled() && !StringGrid1->isEditorOpen() &&
        StringGrid1->col() == TicketGrid::Description && m_grid.isBodyRow(StringGrid1->row())) {
        const int column = StringGrid1->col();
        const int row = StringGrid1->row();
        const QString remembered = m_grid.cell(column, row);
        m_grid.setCell(column, row, QString());
        ticketChanged(row);
        StringGrid1SelectCell(column, row);
        ComboBox1->setEditText(remembered);
        m_listOpened = true;
        const int match = findWord(ComboBox1->items(), remembered);
        if (match >= 0)
            ComboBox1->setCurrentIndex(match);
        ComboBox1->lineEdit()->end(false);
        return true;
    }
    if (StringGrid1->editing() && !enter && m_descriptionLimit > 0 &&
        StringGrid1->editorText().size() >= m_descriptionLimit)
        return true;
    return false;
}
