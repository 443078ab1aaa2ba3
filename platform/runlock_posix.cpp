#include "platform/runlock.h"

#include "platform/paths.h"
#include "platform/wholefile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace {

// Read-only is enough for flock, and opening an existing file this way
// changes nothing in it. The umask decides the mode, as for every file of a
// station folder that several operators share.
int openLockFile(const QString& path) {
    int fd;
    do
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

RunLock::RunLock(const QString& path) : m_fd(openLockFile(path)) {
    if (!m_fd) {
        m_reason = wholefile::systemReason(errno);
        return;
    }
    int result;
    do
        result = ::flock(m_fd.get(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        m_state = State::Held;
    else if (errno == EWOULDBLOCK)
        m_state = State::HeldElsewhere;
    else
        m_reason = wholefile::systemReason(errno);
}

QString runLockFile() {
    return paths::withExtension(paths::executableFilePath(), QStringLiteral(".lock"));
}

QString alreadyRunningMessage(const QString& folder) {
    return QStringLiteral("Vážní lístek je ze složky %1 již spuštěn.\n"
                          "Pracujte v jeho otevřeném okně; tato druhá kopie se ukončí "
                          "a nic nezmění.")
        .arg(QDir::toNativeSeparators(folder));
}
