#pragma once

#include "platform/apperror.h"
#include "platform/messages.h"

#include <exception>

// Runs an operator action, a timer tick or a serial delivery where it enters
// the program's own code, and shows any error it raises in the error box
// there. Qt does not support exceptions unwinding through its event code, so
// every handler Qt calls goes through this. Returns whether it ran through.
template <typename Action> bool atBoundary(Action&& action) noexcept {
    try {
        action();
        return true;
    } catch (const AppError& e) {
        showError(e.message());
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(QStringLiteral("Neočekávaná chyba"));
    }
    return false;
}
