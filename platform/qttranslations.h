#pragma once

#include <QString>

// Qt's own texts (message box buttons, the date picker's calendar, a text
// field's context menu, standard dialogs) in Czech, from the catalogue Debian
// ships in qt6-translations-l10n. Every window of the program speaks Czech
// whatever the machine's locale, so Qt's parts follow the windows rather
// than the locale.
//
// Installs the catalogue into the running application for the rest of the
// run. Returns false, with the reason, when the catalogue cannot be loaded;
// the program still runs, with Qt's texts in English.
bool installQtTranslations(QString& reason);
