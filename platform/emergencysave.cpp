#include "platform/emergencysave.h"

#include "platform/wholefile.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <utility>

namespace {

// Never destroyed: exit() runs the handler after static objects made later
// than its registration are gone, and this must not be one of them.
std::function<void()>& emergencySave() {
    static auto* save = new std::function<void()>;
    return *save;
}

extern "C" void runAtExit() {
    runEmergencySave();
}

} // namespace

void setEmergencySave(std::function<void()> save) {
    static bool registered = false;
    if (save && !registered) {
        // exit() destroys static objects made after this registration before
        // it runs the handler; the files' write function is one the save
        // needs, and it may not exist yet.
        wholefile::setWriteFunction(wholefile::setWriteFunction({}));
        registered = std::atexit(runAtExit) == 0;
    }
    emergencySave() = std::move(save);
}

void runEmergencySave() {
    const std::function<void()> save = std::exchange(emergencySave(), {});
    if (!save)
        return;
    try {
        save();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        std::fputs("emergency save failed\n", stderr);
    }
}
