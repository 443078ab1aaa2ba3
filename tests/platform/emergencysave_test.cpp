#include "platform/emergencysave.h"
#include "tests/support/tempdir.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// exit() as Qt calls it on a broken display connection, in a child.
int exitWithEmergencySave(const QString& marker, bool clearFirst) {
    const pid_t child = ::fork();
    if (child == 0) {
        setEmergencySave([marker] { writeFileBytes(marker, "saved"); });
        if (clearFirst)
            setEmergencySave({});
        std::exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

TEST(EmergencySave, RunsAtExitUnlessClearedByTheNormalClose) {
    QTemporaryDir dir;
    for (const bool cleared : {false, true}) {
        SCOPED_TRACE(cleared);
        const QString marker = dir.filePath(cleared ? QStringLiteral("b") : QStringLiteral("a"));
        const int status = exitWithEmergencySave(marker, cleared);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
        EXPECT_EQ(QFile::exists(marker), !cleared);
    }
}

} // namespace
