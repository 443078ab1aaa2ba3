// Writes days of realistic archive files for trying out and measuring the
// archive browser:
//   archive-gen --dir DIR [--days N] [--last YYYY-MM-DD] [--tickets N] [--seed N] [--seal]
// The files go to DIR/data/<year>/<month>/<day>.dat, as beside a program
// installed in DIR; the last day is today unless given. With --seal each day
// gets its seal file, as printing would have written it.
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
    bool sealed = false;
    bool usage = false;
    QDate last = QDate::currentDate();
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& key = args.at(i);
        if (key == QLatin1String("--seal")) {
            sealed = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            usage = true;
            break;
        }
        const QString& value = args.at(++i);
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
        else
            usage = true;
    }
    if (usage || dir.isEmpty() || days < 1 || tickets < 1 || !last.isValid()) {
        std::fprintf(stderr, "usage: archive-gen --dir DIR [--days N] [--last YYYY-MM-DD] "
                             "[--tickets N] [--seed N] [--seal]\n");
        return 2;
    }
    paths::setExecutableFilePath(QDir(dir).absoluteFilePath(QStringLiteral("vaznilistek")));
    QString reason;
    const qint64 lines =
        writeGeneratedArchive(last.addDays(1 - days), days, tickets, seed, sealed, reason);
    if (lines < 0) {
        std::fprintf(stderr, "archive-gen: %s\n", qPrintable(reason));
        return 1;
    }
    std::printf("%lld lines in %d days under %s%s\n", static_cast<long long>(lines), days,
                qPrintable(QDir::toNativeSeparators(paths::archiveRoot())),
                sealed ? ", sealed" : "");
    return 0;
}
