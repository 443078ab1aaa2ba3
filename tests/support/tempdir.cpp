#include "tests/support/tempdir.h"

#include "platform/paths.h"

#include <QFile>
#include <stdexcept>

ScratchExecutableDir::ScratchExecutableDir(const QString& exeName) {
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    paths::setExecutableFilePath(m_dir.filePath(exeName));
}

ScratchExecutableDir::~ScratchExecutableDir() {
    paths::setExecutableFilePath(QString());
}

QString openFilePath(int fd) {
    return QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
}

QByteArray readFileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFileBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}
