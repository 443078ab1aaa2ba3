#include "output/unit2.h"
#include "platform/closeonsignal.h"
#include "platform/emergencysave.h"
#include "platform/errorbox.h"
#include "platform/localeconventions.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/qttranslations.h"
#include "platform/runlock.h"
#include "platform/shutdownsignals.h"
#include "settings/unit3.h"
#include "ticket/unit1.h"

#include <cstdio>

int main(int argc, char** argv) {
    WeighApplication app(argc, argv);
    setConventions(LocaleConventions::fromSystem());
    installMessageBoxSink();
    if (QString why; !installQtTranslations(why))
        std::fprintf(stderr, "Qt's texts stay English: %s\n", why.toLocal8Bit().constData());

    // Before any file of the folder is read or written. A folder where no
    // lock can be had (read-only, no locking) still runs the program.
    const RunLock lock(runLockFile());
    if (lock.state() == RunLock::State::HeldElsewhere) {
        const QString text = alreadyRunningMessage(paths::executableDir());
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        showError(text);
        return 1;
    }
    // Creation order matters: the main window reads the settings and opens
    // the port, then the preview window (which holds the ticket text for the
    // whole run) and the settings dialog come into being.
    TForm1 form1;
    auto* form2 = new TForm2(&form1);
    auto* form3 = new TForm3(&form1);
    form1.setPreviewWindow(form2);
    form1.setSettingsDialog(form3);
    form1.show();

    // A lost X display ends the program through exit(), past every closing
    // step; the rows still reach their file.
    setEmergencySave([&form1] { form1.saveTicketAtExit(); });
    // Until here a signal ends the program as it always did: nothing has been
    // weighed or changed yet that its files do not hold.
    QString reason;
    if (!catchShutdownSignals(reason))
        std::fprintf(stderr, "SIGTERM/SIGHUP/SIGINT: %s\n", reason.toLocal8Bit().constData());
    ShutdownSignals shutdown;
    closeOnShutdownSignals(shutdown, form1);
    const int code = app.exec();
    // The rows are written; what the windows still store as they go (the
    // preview's size) is not worth a logout that waits for an error box.
    releaseShutdownSignals();
    setEmergencySave({});
    return code;
}
