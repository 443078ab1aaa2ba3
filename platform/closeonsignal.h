#pragma once

class QWidget;
class ShutdownSignals;

// The first shutdown signal closes the main window as the operator's close
// box does, so its closing steps run, and then ends the event loop even when
// a modal window is open. A further signal while those steps wait in an error
// box that nobody answers during a logout ends every event loop at once, so
// that the remaining steps run without waiting for the boxes.
void closeOnShutdownSignals(ShutdownSignals& shutdown, QWidget& mainWindow);
