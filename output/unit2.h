#pragma once

#include <QDialog>

// The print preview window "Tiskový náhled".
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
};
