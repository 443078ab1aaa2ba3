#include "output/unit2.h"

#include "output/ticketprinter.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/inifile.h"
#include "settings/stationsettings.h"
#include "ticket/barlayout.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace {
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
} // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Tiskový náhled"));

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    BitBtn1 = new QPushButton(QStringLiteral("&Tisk"), Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("&Konec"), Panel1);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    for (QPushButton* button : {BitBtn1, BitBtn2}) {
        button->resize(kButtonWidth, kButtonHeight);
        button->setAutoDefault(false);
    }

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setFont(ticketFont());
    // Half-inch tab stops, the same as on paper.
    RichEdit1->setTabStopDistance(RichEdit1->logicalDpiX() / 2.0);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm2::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm2::BitBtn2Click);

    // The window sees key presses before its controls.
    RichEdit1->installEventFilter(this);
    BitBtn1->installEventFilter(this);
    BitBtn2->installEventFilter(this);

    FormCreate();
}

TForm2::~TForm2() {
    try {
        FormDestroy();
    } catch (const AppError& e) {
        showError(e.message());
    } catch (const std::exception& e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
}

void TForm2::FormCreate() {
    QSize size = readPreviewSize(IniFile(paths::settingsFile()));
    // A preview larger than the screen could not be closed or printed from.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        size = clampToScreen(size, kMinimumPreview, screen->availableGeometry().size());
    resize(size);
    FormResize();
}

void TForm2::FormDestroy() {
    if (m_sizeWritten)
        return;
    m_sizeWritten = true;
    IniFile ini(paths::settingsFile());
    writePreviewSize(ini, size());
}

void TForm2::setTicketText(const QStringList& lines) {
    m_lines = lines;
    RichEdit1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TForm2::BitBtn1Click() {
    try {
        printTicket(m_lines);
    } catch (const AppError& e) {
        // The operator may try again or close the window.
        showError(e.message());
        return;
    }
    accept();
}

void TForm2::BitBtn2Click() {
    reject();
}

void TForm2::FormResize() {
    Panel1->setGeometry(0, 0, width(), kBarHeight);
    RichEdit1->setGeometry(0, kBarHeight, width(), std::max(0, height() - kBarHeight));
    const BarLayout bar =
        spreadAcross(Panel1->width(), {{BitBtn1->width(), true}, {BitBtn2->width(), true}});
    const int top = (kBarHeight - kButtonHeight) / 2;
    BitBtn1->move(bar.lefts[0], top);
    BitBtn2->move(bar.lefts[1], top);
}

void TForm2::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TForm2::showEvent(QShowEvent* event) {
    if (const QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
