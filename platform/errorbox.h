#pragma once

#include <QApplication>

// The program's application object. An exception that escapes any event
// handler ends that handler and is shown in a modal error box with its text;
// the program then goes on, as an operator expects of a station that runs all
// day.
class WeighApplication : public QApplication {
    Q_OBJECT
public:
    WeighApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Message boxes for showMessage(): modal, one OK button, Czech title.
void installMessageBoxSink();
