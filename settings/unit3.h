#pragma once

#include <QDialog>

// The settings dialog "Nastavení". Created once at program start and shown
// modally from the main window's settings button.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
};
