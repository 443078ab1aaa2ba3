#include "platform/wholefile.h"

#include "platform/uniquefd.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace wholefile {
namespace {

// Linux gives up after 40 links as well.
constexpr int kMaxLinks = 40;

WriteFunction& writeOverride() {
    static WriteFunction w;
    return w;
}

ChangeRefusal& changeRefusal() {
    static ChangeRefusal r;
    return r;
}

int refused(const QString& path) {
    return changeRefusal() ? changeRefusal()(path) : 0;
}

qint64 writeSome(int fd, const char* data, std::size_t size) {
    if (writeOverride())
        return writeOverride()(fd, data, size);
    return ::write(fd, data, size);
}

// Removes the temporary file on every way out except a completed rename.
class TemporaryFile {
public:
    explicit TemporaryFile(QByteArray name) : m_name(std::move(name)) {}
    ~TemporaryFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_created)
            ::unlink(m_name.constData());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool create(QString& reason) {
        // A file left by an earlier kill is removed and made anew rather than
        // truncated: truncating would write through a hard link or keep a
        // stranger's owner. O_EXCL also never follows a symbolic link, and
        // unlike mkstemp it lets the umask set the permissions, not 0600.
        for (int attempt = 0;; ++attempt) {
            m_fd = ::open(m_name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0) {
                m_created = true;
                return true;
            }
            if (errno == EINTR)
                continue;
            if (errno != EEXIST || attempt > 0) {
                reason = systemReason(errno);
                return false;
            }
            struct stat st {};
            if (::lstat(m_name.constData(), &st) == 0 && !S_ISREG(st.st_mode) &&
                !S_ISLNK(st.st_mode)) {
                // A folder or the like is no left-over of ours to delete;
                // naming it lets the operator find what is in the way.
                reason = QFile::decodeName(m_name) + QStringLiteral(": ") + systemReason(EEXIST);
                return false;
            }
            if (::unlink(m_name.constData()) != 0 && errno != ENOENT) {
                reason = systemReason(errno);
                return false;
            }
        }
    }
    const QByteArray& name() const { return m_name; }
    int fd() const { return m_fd; }
    // close() reports write-back errors on some file systems, so its result
    // matters before the rename.
    bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }
    void renamed() { m_created = false; }

private:
    QByteArray m_name;
    int m_fd = -1;
    bool m_created = false;
};

} // namespace

bool writeAll(int fd, const QByteArray& bytes, QString& reason) {
    const char* p = bytes.constData();
    std::size_t left = std::size_t(bytes.size());
    while (left > 0) {
        const qint64 n = writeSome(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            reason = systemReason(errno);
            return false;
        }
        if (n == 0) {
            // Nothing written and no error: the disk has no room left.
            reason = systemReason(ENOSPC);
            return false;
        }
        p += n;
        left -= std::size_t(n);
    }
    return true;
}

namespace {

QByteArray folderOf(const QByteArray& name) {
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return name.left(slash);
}

// The name that opening the path would finally reach. Writing through a
// symbolic link keeps the link and replaces its target, as writing the file
// in place would; a dangling link names the file to create.
bool followLinks(const QByteArray& path, QByteArray& name, int& error) {
    name = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(name.constData(), target.data(), std::size_t(target.size()));
        if (n < 0) {
            error = errno;
            return false;
        }
        if (n >= target.size()) {
            error = ENAMETOOLONG;
            return false;
        }
        target.truncate(n);
        if (target.startsWith('/') || !name.contains('/'))
            name = target;
        else
            name = name.left(name.lastIndexOf('/') + 1) + target;
    }
    error = ELOOP;
    return false;
}

QByteArray temporaryName(const QByteArray& name) {
    const qsizetype slash = name.lastIndexOf('/');
    return name.left(slash + 1) + '.' + name.mid(slash + 1) + ".new";
}

void syncFolder(const QByteArray& folder) {
    UniqueFd fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // The new name must reach the disk too, or a power cut could bring back
    // the old file. The contents are in place by now, so a folder that cannot
    // be synced (some file systems refuse) is no failure.
    if (fd.valid())
        ::fsync(fd.get());
}

QString notRegularReason(mode_t mode) {
    if (S_ISDIR(mode))
        return systemReason(EISDIR);
    return QStringLiteral("Not a regular file");
}

} // namespace

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool read(const QString& path, QByteArray& bytes, QString& reason) {
    bytes.clear();
    // Without O_NONBLOCK, opening a pipe would wait for a writer for ever;
    // regular files ignore the flag.
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        reason = systemReason(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        reason = systemReason(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = notRegularReason(st.st_mode);
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
    if (path.isEmpty()) {
        reason = systemReason(ENOENT);
        return false;
    }
    if (const int error = refused(path)) {
        reason = systemReason(error);
        return false;
    }
    QByteArray target;
    if (int error = 0; !followLinks(QFile::encodeName(path), target, error)) {
        reason = systemReason(error);
        return false;
    }

    struct stat old {};
    const bool existed = ::stat(target.constData(), &old) == 0;
    if (!existed && errno != ENOENT) {
        reason = systemReason(errno); // a path below a regular file, say
        return false;
    }
    if (existed && !S_ISREG(old.st_mode)) {
        // rename() would replace an empty folder or a device node.
        reason = notRegularReason(old.st_mode);
        return false;
    }

    TemporaryFile temporary(temporaryName(target));
    if (!temporary.create(reason))
        return false;
    if (existed)
        ::fchmod(temporary.fd(), old.st_mode & 07777);
    if (!writeAll(temporary.fd(), bytes, reason))
        return false;
    if (::fsync(temporary.fd()) != 0 || !temporary.close()) {
        reason = systemReason(errno);
        return false;
    }
    if (::rename(temporary.name().constData(), target.constData()) != 0) {
        reason = systemReason(errno);
        return false;
    }
    temporary.renamed();
    syncFolder(folderOf(target));
    return true;
}

bool remove(const QString& path, QString& reason) {
    if (const int error = refused(path)) {
        reason = systemReason(error);
        return false;
    }
    if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT)
        return true;
    reason = systemReason(errno);
    return false;
}

QString temporaryPath(const QString& path) {
    QByteArray target;
    int error = 0;
    if (!followLinks(QFile::encodeName(path), target, error))
        target = QFile::encodeName(path);
    return QFile::decodeName(temporaryName(target));
}

ChangeRefusal setChangeRefusal(ChangeRefusal refusal) {
    return std::exchange(changeRefusal(), std::move(refusal));
}

WriteFunction setWriteFunction(WriteFunction write) {
    WriteFunction previous = std::move(writeOverride());
    writeOverride() = std::move(write);
    return previous;
}

} // namespace wholefile
