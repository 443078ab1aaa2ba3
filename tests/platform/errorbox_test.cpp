#include "platform/apperror.h"
#include "platform/boundary.h"
#include "platform/errorbox.h"
#include "platform/messages.h"
#include "tests/support/messages.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <optional>
#include <stdexcept>

namespace {

const QEvent::Type kFailingEvent = QEvent::Type(QEvent::User + 1);
const QEvent::Type kPlainEvent = QEvent::Type(QEvent::User + 2);

// Fails in its handler for one kind of posted event and counts the others.
class Handler : public QObject {
public:
    QString error;
    int handled = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == kFailingEvent)
            throw AppError(error);
        if (e->type() == kPlainEvent) {
            ++handled;
            return true;
        }
        return QObject::event(e);
    }
};

} // namespace

class ErrorBoxTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_shown.emplace(); }
    void cleanup() { m_shown.reset(); }

    void errorInAButtonHandlerIsShownAndTheButtonWorksAgain() {
        QPushButton button(QStringLiteral("OK"));
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&] {
            atBoundary([&] {
                ++clicks;
                throw AppError(QStringLiteral("Unable to write to /opt/vaha/vaznilistek.ini"));
            });
        });
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));

        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(m_shown->texts.size(), 1);
        QCOMPARE(m_shown->kinds[0], MessageKind::Error);
        QCOMPARE(m_shown->texts[0], QStringLiteral("Unable to write to /opt/vaha/vaznilistek.ini"));

        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(m_shown->texts.size(), 2);
        QVERIFY(!button.isDown());
    }

    // What escapes every handler's own boundary is still caught by the
    // application object, as a last resort.
    void errorInAPostedEventEndsOnlyThatHandler() {
        Handler handler;
        handler.error = QString::fromUtf8("'1.5' is not a valid floating point value – váha");
        QCoreApplication::postEvent(&handler, new QEvent(kFailingEvent));
        QCoreApplication::postEvent(&handler, new QEvent(kPlainEvent));
        QCoreApplication::postEvent(&handler, new QEvent(kFailingEvent));
        QCoreApplication::postEvent(&handler, new QEvent(kPlainEvent));
        QTRY_COMPARE(handler.handled, 2);
        QCOMPARE(m_shown->texts.size(), 2);
        QCOMPARE(m_shown->texts[1], handler.error);
    }

    void errorInATimerKeepsTheEventLoopRunning() {
        QTimer failing;
        failing.setSingleShot(true);
        connect(&failing, &QTimer::timeout, [] { throw AppError(QStringLiteral("port")); });
        QEventLoop loop;
        QTimer quit;
        quit.setSingleShot(true);
        connect(&quit, &QTimer::timeout, &loop, &QEventLoop::quit);
        failing.start(0);
        quit.start(0);
        loop.exec();
        QCOMPARE(m_shown->texts.size(), 1);
        QCOMPARE(m_shown->texts[0], QStringLiteral("port"));
    }

    void otherExceptionsShowTheirText() {
        QPushButton button;
        connect(&button, &QPushButton::clicked, [] {
            atBoundary([] { throw std::runtime_error("serial port COM3 is not open"); });
        });
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(m_shown->texts.size(), 1);
        QCOMPARE(m_shown->texts[0], QStringLiteral("serial port COM3 is not open"));
    }

    void aHandlerThatSucceedsShowsNothing() {
        QPushButton button;
        bool clicked = false;
        connect(&button, &QPushButton::clicked, [&] { clicked = true; });
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(clicked);
        QVERIFY(m_shown->texts.isEmpty());
    }

    // The program's own sink: a modal box with a Czech title, closed here
    // by a timer the way an operator would press OK.
    void theProgramsSinkShowsAModalBoxWithACzechTitle_data() {
        QTest::addColumn<bool>("error");
        QTest::addColumn<QString>("title");
        QTest::addRow("error") << true << QStringLiteral("Chyba");
        QTest::addRow("information") << false << QStringLiteral("Informace");
    }
    void theProgramsSinkShowsAModalBoxWithACzechTitle() {
        QFETCH(bool, error);
        QFETCH(QString, title);
        installMessageBoxSink();
        QString seenTitle, seenText;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seenTitle = box->windowTitle();
                seenText = box->text();
                box->accept();
            }
        });
        closer.start(10);
        const QString text = QString::fromUtf8("Nelze vytvořit složku");
        if (error)
            showError(text);
        else
            showInformation(text);
        QCOMPARE(seenTitle, title);
        QCOMPARE(seenText, text);
    }

    // The question box: both answers as buttons; Esc chooses the first, the
    // one that loses nothing.
    void theProgramsQuestionBoxOffersBothAnswers_data() {
        QTest::addColumn<bool>("escape"); // else the second button
        QTest::addRow("Esc") << true;
        QTest::addRow("second") << false;
    }
    void theProgramsQuestionBoxOffersBothAnswers() {
        QFETCH(bool, escape);
        installMessageBoxSink();
        QStringList buttons;
        QString title;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
            if (escape)
                QTest::keyClick(box, Qt::Key_Escape);
            else if (QAbstractButton* second = box->buttons().value(
                         buttons.indexOf(QStringLiteral("Začít prázdný lístek"))))
                second->click();
        });
        closer.start(10);
        const bool answer =
            askQuestion({QStringLiteral("Ponechat?"), QStringLiteral("Ponechat řádky"),
                         QStringLiteral("Začít prázdný lístek")});
        setQuestionSink({});
        QCOMPARE(answer, escape);
        QCOMPARE(title, QStringLiteral("Dotaz"));
        buttons.sort();
        QCOMPARE(buttons, (QStringList{QStringLiteral("Ponechat řádky"),
                                       QStringLiteral("Začít prázdný lístek")}));
    }

private:
    std::optional<RecordedMessages> m_shown;
};

int main(int argc, char** argv) {
    WeighApplication app(argc, argv);
    ErrorBoxTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "errorbox_test.moc"
