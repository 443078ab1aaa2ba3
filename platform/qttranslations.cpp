#include "platform/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installQtTranslations(QString& reason) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // Owned by the application, so it lives exactly as long as the texts do.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Czech, QLocale::Czechia), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder)) {
        delete translator;
        reason = QStringLiteral("no Czech catalogue qtbase_cs.qm in %1 (package "
                                "qt6-translations-l10n)")
                     .arg(folder);
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
