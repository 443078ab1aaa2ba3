#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A scratch folder that plays the executable's folder: paths::executableFilePath()
// points into it while the object lives, so settings, unprinted rows and the
// archive land there and vanish afterwards.
class ScratchExecutableDir {
public:
    explicit ScratchExecutableDir(const QString& exeName = QStringLiteral("vaznilistek"));
    ~ScratchExecutableDir();

    QString path() const { return m_dir.path(); }
    QString file(const QString& relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
};

QByteArray readFileBytes(const QString& path);
// The path an open descriptor of this process names, for write seams that
// fail only the writes to one file.
QString openFilePath(int fd);
void writeFileBytes(const QString& path, const QByteArray& bytes);
