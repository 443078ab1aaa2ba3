// Writes days of realistic archive files for trying out and measuring the
// archive browser:
//   archive-gen --dir DIR [--days N] [--last YYYY-MM-DD] [--tickets N] [--seed N]
// The files go to DIR/data/<year>/<month>/<day>.dat, as beside a program
// installed in DIR; the last day is today unless given.
#include "tools/archive-gen/archivegen.h"

#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString dir;
    int days = 365;
    int tickets = 40;
    unsigned seed = 1;
    QDate last = QDate::currentDate();
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        const QString& key = args.at(i);
        const QString& value = args.at(i + 1);
        if (key == QLatin1String("--dir"))
            dir = value;
        else if (key == QLatin1String("--days"))
            days = value.toInt();
        else if (key == QLatin1String("--tickets"))
            tickets = value.toInt();
        else if (key == QLatin1String("--seed"))
            seed = value.toUInt();
        else if (key == QLatin1String("--last"))
            last = QDate::fromString(value, Qt::ISODate);
    }
    if (dir.isEmpty() || days < 1 || tickets < 1 || !last.isValid() || args.size() % 2 == 0) {
        std::fprintf(stderr, "usage: archive-gen --dir DIR [--days N] [--last YYYY-MM-DD] "
                             "[--tickets N] [--seed N]\n");
        return 2;
    }
    paths::setExecutableFilePath(QDir(dir).absoluteFilePath(QStringLiteral("vaznilistek")));
    QString reason;
    const qint64 lines = writeGeneratedArchive(last.addDays(1 - days), days, tickets, seed, reason);
    if (lines < 0) {
        std::fprintf(stderr, "archive-gen: %s\n", qPrintable(reason));
        return 1;
    }
    std::printf("%lld lines in %d days under %s\n", static_cast<long long>(lines), days,
                qPrintable(QDir::toNativeSeparators(paths::archiveRoot())));
    return 0;
}
