#pragma once

#include <functional>

// When the connection to the X server breaks (the display is switched off,
// the session is killed), Qt ends the process with exit() from inside the
// event loop: no window closes and no closing step runs. The function set
// here then runs during exit(), so that at least what cannot be recreated
// (the unprinted rows) is written.
//
// It must not need anything that is destroyed at exit and should not show
// anything: the display is gone. Exceptions are caught and written to
// standard error. Set an empty function once the normal closing steps have
// run, and before whatever the function uses is destroyed.
void setEmergencySave(std::function<void()> save);

// Runs and clears the function now; what exit() calls. For tests.
void runEmergencySave();
