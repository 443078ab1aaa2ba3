#include "archive/unit4.h"
#include "output/unit2.h"
#include "platform/errorbox.h"
#include "platform/localeconventions.h"
#include "settings/unit3.h"
#include "ticket/unit1.h"

int main(int argc, char** argv) {
    WeighApplication app(argc, argv);
    setConventions(LocaleConventions::fromSystem());
    installMessageBoxSink();

    TForm1 form1;
    TForm2 form2(&form1);
    TForm3 form3(&form1);
    form1.show();
    return app.exec();
}
