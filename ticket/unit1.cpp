#include "ticket/unit1.h"

#include "archive/unit4.h"
#include "link/linewatch.h"
#include "link/printframe.h"
#include "link/vacomm.h"
#include "output/archivewriter.h"
#include "output/ticketprinter.h"
#include "output/tickettext.h"
#include "output/unit2.h"
#include "platform/apperror.h"
#include "platform/boundary.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/formfont.h"
#include "platform/localeconventions.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/wholefile.h"
#include "settings/inifile.h"
#include "settings/settingschange.h"
#include "settings/stationsettings.h"
#include "settings/unit3.h"
#include "ticket/barlayout.h"
#include "ticket/descriptionbox.h"
#include "ticket/descriptiontext.h"
#include "ticket/stringgrid.h"
#include "ticket/unprintedrows.h"
#include "ticket/wordlist.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cstdio>

namespace {

const QString kWordListFile = QStringLiteral("popis.dat");

// The window's colours: the design's navy OK button, red for an alarm or an
// unstable reading, grey for a weight that is no longer live.
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kNavy(0, 0, 128);
const QColor kGreyed(128, 128, 128);

void setTextColour(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    p.setColor(QPalette::Text, colour);
    w->setPalette(p);
}

QColor okColour(OkLook look) {
    switch (look) {
    case OkLook::Stable:
        return kBlack;
    case OkLook::Unstable:
        return kRed;
    case OkLook::AsDesigned:
        break;
    }
    return kNavy;
}

} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), m_journal(paths::printJournalFile(), paths::unprintedRowsFile()),
      m_keeper(paths::unprintedRowsFile(), [this](const QString& message) {
          // From the writing thread, as soon as the write failed: the
          // operator hears of it now, not at the next change.
          QMetaObject::invokeMethod(
              this, [message] { showError(message); }, Qt::QueuedConnection);
      }) {
    m_session.setJournal(&m_journal);
    setJobObserver({[this] { m_journal.jobStarting(); },
                    [this](bool taken) { m_journal.jobFinished(taken); }});
    buildControls();
    connectControls();
    qApp->installEventFilter(this);
    FormCreate();
}

TForm1::~TForm1() {
    setJobObserver({});
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
    Panel1->setFont(formFontPoints(8));
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
    Panel2->setFont(formFontPixels(16, true));
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
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setFont(formFontPixels(11, true));
    setTextColour(SpeedButton1, kNavy);
    setTextColour(Label1, kBlack);

    StringGrid1 = new TStringGrid(m_session.grid(), central);
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
    VaComm1->OnRxChar = [this](QObject* sender, int count) {
        atBoundary([&] { VaComm1RxChar(sender, count); });
    };
    // A pulled cable or adapter is told in the status bar, not in a box per
    // retry; the channel reopens the port by itself.
    VaComm1->OnOpen = [this](QObject*) { m_session.line().portOpened(); };
    VaComm1->OnHangUp = [this](QObject*, const QString&) {
        m_session.line().hungUp();
        atBoundary([this] { refreshLine(); });
    };
    m_lineStatus = new QLabel(StatusBar1);
    m_lineStatus->setObjectName(QStringLiteral("LineStatus"));
    m_lineStatus->hide();
    StatusBar1->addWidget(m_lineStatus);
    m_lineTimer = new QTimer(this);
    m_lineTimer->setInterval(250);
    m_frameHold = new QTimer(this);
    m_frameHold->setSingleShot(true);
    m_frameHold->setTimerType(Qt::PreciseTimer);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    m_typingTimer = new QTimer(this);
    m_typingTimer->setSingleShot(true);
    m_typingTimer->setInterval(1000);
}

void TForm1::connectControls() {
    auto guarded = [this](void (TForm1::*handler)()) {
        return [this, handler] { atBoundary([&] { (this->*handler)(); }); };
    };
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        atBoundary([this] { BitBtn1Click(); });
        // Frames that came while the ticket printed waited for its end, and
        // for its error, if any, to be told.
        atBoundary([this] { decodeWaitingFrames(); });
    });
    connect(CheckBox1, &QCheckBox::toggled, this, guarded(&TForm1::CheckBox1Click));
    connect(BitBtn2, &QPushButton::clicked, this, guarded(&TForm1::BitBtn2Click));
    connect(BitBtn4, &QPushButton::clicked, this, guarded(&TForm1::BitBtn4Click));
    connect(BitBtn3, &QPushButton::clicked, this, &QWidget::close);
    connect(SpeedButton1, &QToolButton::clicked, this, guarded(&TForm1::SpeedButton1Click));
    connect(Timer1, &QTimer::timeout, this, guarded(&TForm1::Timer1Timer));
    connect(m_typingTimer, &QTimer::timeout, this, guarded(&TForm1::keepTicket));
    connect(m_lineTimer, &QTimer::timeout, this, guarded(&TForm1::refreshLine));
    connect(m_frameHold, &QTimer::timeout, this, guarded(&TForm1::releaseHeldFrames));
    connect(StringGrid1, &TStringGrid::cellSelected, this, [this](int column, int row) {
        atBoundary([&] { StringGrid1SelectCell(column, row); });
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        // Only a move of the focus inside the program ends the edit: when the
        // whole program loses activation the edit stays open, as it would on
        // the station's original desktop.
        if (isComboWidget(old) && now && !isComboWidget(now))
            atBoundary([&] { ComboBox1Exit(); });
    });
    // What the operator types is part of the ticket as it is typed, so
    // closing, printing or a crash never loses it.
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this] {
        m_session.touch();
        if (!m_typingTimer->isActive())
            m_typingTimer->start();
    });
    connect(StringGrid1->cellDelegate(), &TicketCellDelegate::editorCreated, this,
            [this](QWidget* editor) {
                auto* line = qobject_cast<QLineEdit*>(editor);
                if (!line)
                    return;
                const int row = StringGrid1->row();
                installDescriptionVetting(line, [this] { return m_session.descriptionLimit(); });
                connect(line, &QLineEdit::textChanged, this, [this, line, row] {
                    m_session.setDescription(row, line->text());
                    if (!m_typingTimer->isActive())
                        m_typingTimer->start();
                });
            });
    auto follow = [this] {
        if (editingInCombo())
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
    if (form)
        form->setApplyFunction([this](const SettingsChange& change) { applySettings(change); });
}

void TForm1::applySettings(const SettingsChange& change) {
    const StationSettings& s = change.settings;
    VaComm1->setPortNum(s.port);
    VaComm1->setDevicePath(s.device);
    TicketGrid& grid = m_session.grid();
    grid.setColumnWidth(TicketGrid::Time, change.timeColumnWidth);
    grid.setColumnWidth(TicketGrid::Description, change.descriptionColumnWidth);
    m_session.setUnit(s.unit);
    resize(mainWindowWidthFor({grid.columnWidth(0), grid.columnWidth(1), grid.columnWidth(2),
                               grid.columnWidth(3)}),
           height());
    if (m_form2)
        m_form2->resize(change.previewWidth, m_form2->height());
    m_session.setLearnWords(s.learnWords);
    m_session.setWords(change.words);
    ComboBox1->setItems(m_session.words());
    setDescriptionLimit(s.descriptionLength);
    m_session.setLiveWeight(s.liveWeight);
    m_session.line().setTimeout(s.timeout);
    m_session.setSettledOnly(s.settledOnly);
    Timer1->setInterval(change.timerInterval);
    if (change.timerInterval > 0)
        Timer1->start();
    else
        Timer1->stop();
    m_session.setSequenceNumbers(s.sequenceNumbers);
    m_session.setHeader(change.headerText);
    m_session.setFooter(change.footerText);
    m_session.setSaveOnPrint(s.saveOnPrint);
    applyMode();
    refreshLine();
    StringGrid1->applyColumnWidths();
    FormResize();
}

TForm2* TForm1::previewWindow() const {
    return m_form2;
}

void TForm1::setDescriptionLimit(int length) {
    m_session.setDescriptionLimit(length);
    ComboBox1->setMaxLength(m_session.descriptionLimit());
}

void TForm1::ticketChanged(int firstChangedRow) {
    StringGrid1->ticketModel()->sync(firstChangedRow);
    keepTicket();
}

TicketGrid TForm1::ticketAsSeen() const {
    TicketGrid seen = m_session.grid();
    if (editingInCombo())
        seen.setCell(m_editingColumn, m_editingRow, cleanDescription(ComboBox1->currentText()));
    return seen;
}

void TForm1::keepTicketNow() {
    keepTicket();
    m_keeper.flush();
}

void TForm1::saveTicketAtExit() noexcept {
    if (m_closed)
        return;
    try {
        m_keeper.flush();
        saveUnprintedRows(ticketAsSeen(), paths::unprintedRowsFile());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
}

void TForm1::keepTicket() {
    m_typingTimer->stop();
    m_keeper.keep(ticketAsSeen(), m_session.revision());
}

// ---- life -------------------------------------------------------------

void TForm1::FormCreate() {
    StationSettings settings = readStationSettings(IniFile(paths::settingsFile()));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        settings.windowSize =
            clampToScreen(settings.windowSize, kMinimumWindow, screen->availableGeometry().size());
    m_session.applySettings(settings);
    if (QFileInfo::exists(kWordListFile)) {
        try {
            m_session.setWords(readWordListFile(kWordListFile));
        } catch (const AppError& e) {
            showError(e.message());
        }
    }
    ComboBox1->setItems(m_session.words());
    TicketGrid& grid = m_session.grid();
    grid.weightSum = {};
    grid.weighingCount = 0;
    const FileStamp rowsFile = stampOf(paths::unprintedRowsFile());
    const bool restoring = settings.keepUnprinted && QFileInfo::exists(paths::unprintedRowsFile());
    if (restoring) {
        try {
            loadUnprintedRows(paths::unprintedRowsFile(), grid, m_session.unit());
        } catch (const AppError& e) {
            showError(e.message());
        }
        for (int r = 1; r < grid.lastRow(); ++r)
            grid.setCell(TicketGrid::Description, r,
                         cleanDescription(grid.cell(TicketGrid::Description, r)));
    }
    const bool printedTicketRead =
        m_session.resumeInterruptedPrint(rowsFile, restoring, clock_::now());
    if (m_session.liveWeight())
        Timer1->setInterval(timerIntervalFor(settings.period));
    resize(settings.windowSize);
    setDescriptionLimit(settings.descriptionLength);
    VaComm1->setPortNum(settings.port);
    VaComm1->setDevicePath(settings.device);
    try {
        VaComm1->Open();
    } catch (const AppError& e) {
        showError(e.message());
    }
    m_session.receiveBuffer().clear();
    grid.writeCaptions();
    grid.writeTotals(TicketGrid::TotalsWriter::StartUp, clock_::now(), m_session.unit());
    m_session.setWeightLabel(QStringLiteral("0,000 ") + m_session.unit());
    applyMode();
    applyDisplay();
    m_lineTimer->start();
    StringGrid1->ticketModel()->sync(0);
    StringGrid1->applyColumnWidths();
    if (printedTicketRead)
        settlePrinted();
    else // a damaged file read above stays as it was until the ticket changes
        m_keeper.markWritten(m_session.revision());
}

void TForm1::applyMode() {
    Panel2->setVisible(m_session.liveWeight());
    BitBtn4->setVisible(m_session.saveOnPrint());
    ComboBox1->setEnabled(m_session.learnWords());
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        atBoundary([this] { FormShow(); });
}

void TForm1::FormShow() {
    if (m_session.liveWeight()) {
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
        atBoundary([this] { FormClose(); });
    }
    event->accept();
}

void TForm1::FormClose() {
    VaComm1->Close();
    // Each failure is told and the rest still runs: the program must end, and
    // the ticket file matters more than the window size.
    try {
        IniFile ini(paths::settingsFile());
        const TicketGrid& grid = m_session.grid();
        writeClosingSettings(
            ini,
            {grid.columnWidth(0), grid.columnWidth(1), grid.columnWidth(2), grid.columnWidth(3)},
            size());
    } catch (const AppError& e) {
        showError(e.message());
    }
    if (editingInCombo())
        ComboBox1Exit();
    StringGrid1->commitOpenEditor();
    m_typingTimer->stop();
    m_keeper.flush();
    try {
        saveUnprintedRows(m_session.grid(), paths::unprintedRowsFile());
        m_keeper.markWritten(m_session.revision());
    } catch (const AppError& e) {
        showError(e.message());
    }
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
    if (editingInCombo())
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
        m_form3->execFor(m_session.unit(), VaComm1->PortNum());
    StringGrid1->setFocus();
    VaComm1->Open();
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
    m_session.receive(cp1250::decode(VaComm1->ReadText()));
    if (m_session.liveWeight())
        DecodeWeightFrame(m_session.receiveBuffer());
    else
        DecodePrintFrame(m_session.receiveBuffer());
}

void TForm1::DecodeWeightFrame(QString& buffer) {
    m_session.decodeWeight(buffer);
    applyDisplay();
    refreshLine();
}

void TForm1::refreshLine() {
    const bool silent = m_session.lineSilent();
    if (m_lineStatus->isHidden() == !silent)
        return;
    m_lineStatus->setText(silent ? kLineSilentStatus : QString());
    m_lineStatus->setAccessibleName(m_lineStatus->text());
    m_lineStatus->setVisible(silent);
    applyDisplay();
}

void TForm1::applyDisplay() {
    const WeightDisplay& display = m_session.display();
    if (Label1->text() != display.label)
        Label1->setText(display.label);
    // A weight that is not live keeps its text but is drawn greyed.
    if (m_session.lineSilent())
        setTextColour(Label1, kGreyed);
    else
        setTextColour(Label1, display.state == ScaleState::Overloaded ? kRed : kBlack);
    setTextColour(SpeedButton1, okColour(display.okLook));
    SpeedButton1->setEnabled(display.okEnabled);
}

// Every complete frame of the delivery is decoded; a frame that fails is
// reported once and the frames behind it still count.
void TForm1::DecodePrintFrame(QString& buffer) {
    // Frames that came while a total frame printed waited in the buffer (the
    // session gives none during a print); they follow the ones taken before.
    for (QList<PrintFrame> frames; !(frames = m_session.takeFrames(buffer)).isEmpty();) {
        for (const PrintFrame& frame : frames) {
            atBoundary([&] {
                const int first = m_session.grid().lastRow();
                endDescriptionEdit();
                if (frame.kind == PrintFrame::Kind::Item) {
                    StringGrid1->commitOpenEditor();
                    m_session.addItemFrame(frame, clock_::now());
                    ticketChanged(first);
                    StringGrid1->setRow(m_session.grid().lastRow());
                    selectDescriptionOfLastBodyRow();
                } else {
                    printWith([&] {
                        return m_session.printTotalFrame(frame, clock_::now(), printStep());
                    });
                }
            });
        }
    }
    if (const auto left = m_session.frameHoldLeft(buffer); left.count() >= 0)
        m_frameHold->start(left);
}

// The line has been quiet since text that might have grown into a longer
// frame came. Text still waiting in the port belongs to that burst and a
// running print comes first: either way, look again later.
void TForm1::releaseHeldFrames() {
    if (m_session.printing() || VaComm1->InQueCount() > 0)
        m_frameHold->start(kPrintFrameHold);
    else
        decodeWaitingFrames();
}

void TForm1::decodeWaitingFrames() {
    if (m_session.liveWeight())
        return;
    // A handler of received text is running below this one (its error box
    // or preview is open); the frames wait for it, as the port's bytes do.
    if (VaComm1->RxHeld()) {
        m_frameHold->start(kPrintFrameHold);
        return;
    }
    TVaComm::RxHold hold(*VaComm1);
    DecodePrintFrame(m_session.receiveBuffer());
}

// ---- capturing --------------------------------------------------------

void TForm1::SpeedButton1Click() {
    const int first = m_session.grid().lastRow();
    // A refused weighing changes nothing, the current cell included.
    if (m_session.capture(clock_::now()) < 0)
        return; // held until the running print ends
    showWeighing(first);
}

void TForm1::showWeighing(int firstChangedRow) {
    ticketChanged(firstChangedRow);
    StringGrid1->setFocus();
    if (editingInCombo())
        ComboBox1Exit(); // the focus could not move (an inactive window)
    StringGrid1->commitOpenEditor();
    selectDescriptionOfLastBodyRow();
    StringGrid1->setEditing(!m_session.learnWords());
}

void TForm1::selectDescriptionOfLastBodyRow() {
    const int row = m_session.grid().lastRow() - 1;
    const bool current = StringGrid1->currentIndex().isValid() && StringGrid1->row() == row &&
                         StringGrid1->col() == TicketGrid::Description;
    StringGrid1->setRow(row);
    StringGrid1->setCol(TicketGrid::Description);
    // Moving onto the cell opens its description entry. The first weighing
    // after a print lands on the cell that is current already, and the
    // operator's typing must not go nowhere there either.
    if (current)
        StringGrid1SelectCell(TicketGrid::Description, row);
}

void TForm1::Timer1Timer() {
    if (m_session.timerRecords())
        SpeedButton1Click();
}

// ---- printing ---------------------------------------------------------

void TForm1::CheckBox1Click() {
    m_session.setPreview(CheckBox1->isChecked());
    setTextColour(BitBtn1, m_session.preview() ? kRed : kBlack);
}

TicketSession::PrintStep TForm1::printStep() {
    return [this](const QStringList& lines) {
        if (!m_form2)
            m_form2 = new TForm2(this);
        m_form2->setTicketText(lines);
        if (m_session.preview())
            m_form2->exec();
        else
            printTicket(lines);
    };
}

void TForm1::BitBtn1Click() {
    endDescriptionEdit();
    StringGrid1->commitOpenEditor();
    printWith([this] { return m_session.print(clock_::now(), printStep()); });
}

void TForm1::printWith(const std::function<bool()>& print) {
    if (!m_session.printing())
        keepTicketNow(); // the journal speaks of the rows the file holds
    bool printed = false;
    try {
        printed = print();
    } catch (...) {
        // The ticket stays, with the weighings held during the print on it.
        ticketChanged(0);
        tellJournalFailure();
        throw;
    }
    // Only a print that ran may settle the journal.
    if (printed)
        afterPrint();
}

void TForm1::afterPrint() {
    ComboBox1->hide();
    m_editingColumn = m_editingRow = -1;
    StringGrid1->ticketModel()->sync(0);
    settlePrinted();
    StringGrid1->setFocus();
}

void TForm1::settlePrinted() {
    // Before anything else happens: after a crash the printed ticket would
    // come back as unprinted.
    if (!m_keeper.keepNow(ticketAsSeen(), m_session.revision())) {
        // The keeper tells why the write failed. The rows on screen reach
        // the file again at the next change that the disk accepts.
        QString reason;
        if (!wholefile::remove(paths::unprintedRowsFile(), reason)) {
            showError(m_journal.strandedTicketText(reason));
            tellJournalFailure();
            return;
        }
    }
    m_journal.finish();
    tellJournalFailure();
}

void TForm1::tellJournalFailure() {
    const QString failure = m_journal.takeFailure();
    if (!failure.isEmpty())
        showError(failure);
}

// ---- description entry ------------------------------------------------

void TForm1::endDescriptionEdit() {
    if (editingInCombo())
        ComboBox1Exit();
}

void TForm1::StringGrid1SelectCell(int column, int row) {
    if (column != TicketGrid::Description || !m_session.grid().isBodyRow(row))
        return;
    if (m_session.learnWords()) {
        StringGrid1->cancelMouseOperation();
        m_editingColumn = column;
        m_editingRow = row;
        placeComboOverCell(column, row);
        const QString text = m_session.grid().cell(column, row);
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
    if (m_inExit || !editingInCombo())
        return;
    m_inExit = true;
    ComboBox1->hide();
    const QString text = ComboBox1->currentText();
    const int row = m_editingRow;
    m_editingColumn = m_editingRow = -1;
    const bool learned = m_session.finishDescription(row, text);
    m_listOpened = false;
    StringGrid1->setEditing(false);
    m_inExit = false;
    ticketChanged(row);
    if (learned) {
        ComboBox1->setItems(m_session.words());
        saveWords();
    }
}

void TForm1::saveWords() {
    // The word is already in the cell and the list for this run; a file that
    // cannot be written must not stop the weighing or print that ended the
    // edit.
    try {
        writeWordListFile(kWordListFile, m_session.words());
    } catch (const AppError& e) {
        showError(e.message());
    }
}

// ---- keys -------------------------------------------------------------

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::Shortcut) {
        // An access key acts at once: Qt's animated click would leave a
        // tenth of a second in which a typed digit books onto the ticket
        // being printed. The click runs as soon as the key's own handling
        // has finished, ahead of any later key, so that a modal window it
        // opens does not run inside the key press.
        if (auto* button = qobject_cast<QAbstractButton*>(watched)) {
            if (button->isEnabled() && button->isVisible())
                QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // A key event travels up the parent chain; the window's own preview and
    // the control handlers act once, on its first receiver.
    const bool firstReceiver =
        widget == QApplication::focusWidget() || (!QApplication::focusWidget() && widget == this);
    if (!firstReceiver)
        return false;
    bool discard = false;
    atBoundary([&] {
        if (FormKeyPress(watched, key)) {
            discard = true;
        } else if (isComboWidget(watched)) {
            discard = FormDialogKey(key) || ComboBox1KeyPress(key);
        } else if (watched == StringGrid1 || StringGrid1->isAncestorOf(widget)) {
            discard = StringGrid1KeyPress(key);
        }
    });
    return discard;
}

bool TForm1::FormKeyPress(QObject* receiver, QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() != 1)
        return false;
    const QChar ch = text.at(0);
    if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9') && m_session.digitRecords()) {
        SpeedButton1Click();
        m_session.digitRecorded();
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
        m_session.enterTyped();
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
    endDescriptionEdit();
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
        endDescriptionEdit();
        return true;
    }
    return false;
}

bool TForm1::StringGrid1KeyPress(QKeyEvent* event) {
    const QString text = event->text();
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (text.isEmpty() && !enter)
        return false;
    const TicketGrid& grid = m_session.grid();
    if (enter && m_session.learnWords() && !StringGrid1->isEditorOpen() &&
        StringGrid1->col() == TicketGrid::Description && grid.isBodyRow(StringGrid1->row())) {
        const int column = StringGrid1->col();
        const int row = StringGrid1->row();
        const QString remembered = grid.cell(column, row);
        m_session.setDescription(row, QString());
        StringGrid1->ticketModel()->sync(row);
        StringGrid1SelectCell(column, row);
        ComboBox1->setEditText(remembered);
        m_listOpened = true;
        const int match = findWord(ComboBox1->items(), remembered);
        if (match >= 0)
            ComboBox1->setCurrentIndex(match);
        ComboBox1->lineEdit()->end(false);
        return true;
    }
    const int limit = m_session.descriptionLimit();
    if (StringGrid1->editing() && !enter && limit > 0 && isTypedCharacter(text) &&
        StringGrid1->editorText().size() >= limit)
        return true;
    return false;
}
