#pragma once

#include <QApplication>

// The program's application object. Handlers catch their own errors where
// Qt calls them (atBoundary); an exception that escapes one all the same ends
// that handler and is shown in a modal error box with its text, and the
// program goes on, as an operator expects of a station that runs all day.
class WeighApplication : public QApplication {
    Q_OBJECT
public:
    WeighApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Message boxes for showMessage(): modal, one OK button, Czech title; and
// for askQuestion(): modal, the two answers as buttons.
void installMessageBoxSink();
