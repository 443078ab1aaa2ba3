#include "ticket/wholefile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // close() reports write-back errors on some file systems, so its result
    // matters before the rename.
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

namespace wholefile {

QString temporaryPath(const QString& path) {
    return path + QStringLiteral(".new");
}

bool read(const QString& path, QByteArray& bytes, QString& reason) {
    bytes.clear();
    Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        reason = systemReason(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        reason = systemReason(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        reason = systemReason(EISDIR);
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            reason = systemReason(errno);
            bytes.clear();
            return false;
        }
        if (n == 0)
            return true;
        bytes.append(buffer, qsizetype(n));
    }
}

bool replace(const QString& path, const QByteArray& bytes, QString& reason) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = QFile::encodeName(temporaryPath(path));
    {
        Descriptor fd(
            ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (!fd.valid()) {
            reason = systemReason(errno);
            return false;
        }
        if (!writeAll(fd.get(), bytes.constData(), bytes.size()) || ::fsync(fd.get()) != 0 ||
            !fd.close()) {
            reason = systemReason(errno);
            ::unlink(temporary.constData());
            return false;
        }
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        reason = systemReason(errno);
        ::unlink(temporary.constData());
        return false;
    }
    // The new name must reach the disk too, or a power cut could bring back
    // the old file. The contents are already in place by now, so a folder
    // that cannot be synced (some file systems refuse) is not a failure.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    Descriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return true;
}

} // namespace wholefile
