#include "settings/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace atomicfile {
namespace {

WriteFunction& writeOverride() {
    static WriteFunction w;
    return w;
}

ssize_t writeSome(int fd, const char* data, size_t size) {
    if (writeOverride())
        return writeOverride()(fd, data, size);
    return ::write(fd, data, size);
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t n = writeSome(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= size_t(n);
    }
    return true;
}

// Removes the temporary file on every way out except a completed rename.
class TempFile {
public:
    ~TempFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
    }
    bool create(const QString& folder, const QString& fileName) {
        // O_EXCL with a random name rather than mkstemp, so that the new
        // file gets the usual permissions under the umask instead of 0600.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString candidate = folder + QStringLiteral("/.") + fileName + QLatin1Char('.') +
                                      QString::number(QRandomGenerator::global()->generate64(), 36);
            const QByteArray name = QFile::encodeName(candidate);
            m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0) {
                m_name = name;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }
    int fd() const { return m_fd; }
    const QByteArray& name() const { return m_name; }
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    void renamed() { m_name.clear(); }

private:
    int m_fd = -1;
    QByteArray m_name;
};

void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // The rename is already visible to every reader; a folder that cannot be
    // synced (some file systems refuse) does not undo it, so it is no failure.
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool replace(const QString& path, const QByteArray& bytes) {
    // Writing through a symbolic link keeps the link and replaces its target,
    // as writing the file in place would.
    QString target = path;
    if (const QFileInfo info(path); info.isSymLink())
        target = info.symLinkTarget();
    const QByteArray targetName = QFile::encodeName(target);

    struct stat old {};
    const bool existed = ::stat(targetName.constData(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode))
        return false; // rename() would replace an empty folder or a device node

    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();
    TempFile temp;
    if (!temp.create(folder, targetInfo.fileName()))
        return false;
    if (existed)
        ::fchmod(temp.fd(), old.st_mode & 07777);
    if (!writeAll(temp.fd(), bytes) || ::fsync(temp.fd()) != 0 || !temp.close())
        return false;
    if (::rename(temp.name().constData(), targetName.constData()) != 0)
        return false;
    temp.renamed();
    syncFolder(folder);
    return true;
}

WriteFunction setWriteFunction(WriteFunction write) {
    WriteFunction previous = std::move(writeOverride());
    writeOverride() = std::move(write);
    return previous;
}

} // namespace atomicfile
