// The nightly check as an administrator runs it: archive-gen writes a sealed
// year, archive-check finds it whole; one digit of a weight changed in an
// editor makes it name that day and ticket.
#include "tests/support/archiveedit.h"
#include "tests/support/tempdir.h"
#include "tools/archive-gen/archivegen.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Finished {
    int exitCode = -1;
    QByteArray out;
};

Finished run(const char* program, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QString::fromLocal8Bit(program), args);
    Finished result;
    // No limit of our own: ctest's applies, and under the sanitizers a year
    // takes longer than a station would ever wait.
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    return result;
}

TEST(ArchiveCheck, AGeneratedYearHoldsAndOneChangedDigitIsNamed) {
    QTemporaryDir station;
    const QString folder = station.path();
    ASSERT_EQ(run(ARCHIVE_GEN, {"--dir", folder, "--days", "365", "--last", "2026-12-07", "--seal"})
                  .exitCode,
              0);
    const Finished whole = run(ARCHIVE_CHECK, {folder});
    EXPECT_EQ(whole.exitCode, 0);
    EXPECT_EQ(whole.out, QByteArray());

    // The weight of the eighteenth ticket of 15 June, printed at 10:15:07.
    const QDate day(2026, 6, 15);
    const std::vector<QStringList> tickets = generatedTickets(day, 40, 1);
    const qsizetype ticket =
        archiveDayBytes(std::vector<QStringList>(tickets.begin(), tickets.begin() + 17)).size();
    const QString path = folder + QStringLiteral("/data/2026/6/15.dat");
    QByteArray bytes = readFileBytes(path);
    changeWeightDigit(bytes, ticket);
    writeFileBytes(path, bytes);

    const Finished changed = run(ARCHIVE_CHECK, {folder});
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_EQ(changed.out, QStringLiteral("2026-06-15 CHANGED from the ticket printed at "
                                          "10:15:07 (byte %1 of %2)\n")
                               .arg(ticket)
                               .arg(path)
                               .toLocal8Bit());
    EXPECT_EQ(run(ARCHIVE_CHECK, {"--from", "2026-06-16", folder}).exitCode, 0);
    EXPECT_EQ(run(ARCHIVE_CHECK, {"--to", "2026-06-14", folder}).exitCode, 0);
    EXPECT_EQ(run(ARCHIVE_CHECK, {"--from", "2026-06-15", "--to", "2026-06-15", folder}).exitCode,
              1);
    EXPECT_EQ(run(ARCHIVE_CHECK, {"--from", "15.6.2026", folder}).exitCode, 2);
    EXPECT_EQ(run(ARCHIVE_CHECK, {folder + QStringLiteral("/data")}).exitCode, 2);
}

} // namespace
