// Reads or writes one key of a settings file with the program's own rules,
// for scripts: settings-tool FILE get SECTION KEY [DEFAULT]
//              settings-tool FILE set SECTION KEY VALUE
#include "settings/inifile.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5 || (args[2] != QLatin1String("get") && args[2] != QLatin1String("set"))) {
        std::fprintf(stderr, "usage: settings-tool FILE get SECTION KEY [DEFAULT]\n"
                             "       settings-tool FILE set SECTION KEY VALUE\n");
        return 2;
    }
    try {
        IniFile ini(args[1]);
        if (args[2] == QLatin1String("get")) {
            const QString value = ini.readString(args[3], args[4], args.value(5));
            std::printf("%s\n", value.toLocal8Bit().constData());
        } else {
            if (args.size() < 6)
                return 2;
            ini.writeString(args[3], args[4], args[5]);
        }
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
