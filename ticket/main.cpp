#include "output/unit2.h"
#include "platform/errorbox.h"
#include "platform/localeconventions.h"
#include "settings/unit3.h"
#include "ticket/unit1.h"

int main(int argc, char** argv) {
    WeighApplication app(argc, argv);
    setConventions(LocaleConventions::fromSystem());
    installMessageBoxSink();

    // Creation order matters: the main window reads the settings and opens
    // the port, then the preview window (which holds the ticket text for the
    // whole run) and the settings dialog come into being.
    TForm1 form1;
    auto* form2 = new TForm2(&form1);
    auto* form3 = new TForm3(&form1);
    form1.setPreviewWindow(form2);
    form1.setSettingsDialog(form3);
    form1.show();
    return app.exec();
}
