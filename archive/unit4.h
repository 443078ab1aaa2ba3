#pragma once

#include <QDialog>

// The archive browser "Archív": created when the operator opens it, shown
// modally and destroyed when it closes.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
};
