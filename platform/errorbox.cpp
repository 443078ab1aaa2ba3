#include "platform/errorbox.h"

#include "platform/apperror.h"
#include "platform/messages.h"

#include <QFont>
#include <QMessageBox>
#include <QPushButton>

WeighApplication::WeighApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The windows name the fonts of the station's original desktop; these
    // metric-compatible faces keep texts at the widths the layouts expect.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
}

bool WeighApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const AppError& e) {
        showError(e.message());
    } catch (const std::exception& e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

namespace {

// Over whatever the operator is looking at: an open dialog first.
QWidget* boxParent() {
    QWidget* parent = QApplication::activeModalWidget();
    return parent ? parent : QApplication::activeWindow();
}

} // namespace

void installMessageBoxSink() {
    setMessageSink([](MessageKind kind, const QString& text) {
        QWidget* parent = boxParent();
        if (kind == MessageKind::Error)
            QMessageBox::critical(parent, QStringLiteral("Chyba"), text);
        else
            QMessageBox::information(parent, QStringLiteral("Informace"), text);
    });
    setQuestionSink([](const Question& question) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Dotaz"), question.text,
                        QMessageBox::NoButton, boxParent());
        QPushButton* first = box.addButton(question.first, QMessageBox::AcceptRole);
        QPushButton* second = box.addButton(question.second, QMessageBox::RejectRole);
        box.setDefaultButton(first);
        // Esc and the close box choose the answer that loses nothing.
        box.setEscapeButton(first);
        box.exec();
        return box.clickedButton() != second;
    });
}
