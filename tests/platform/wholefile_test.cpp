#include "platform/wholefile.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reasonFor(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

class WholeFile : public testing::Test {
private:
    QTemporaryDir m_dir; // first, as the members below are made from it

protected:
    WholeFile() {
        if (!m_dir.isValid())
            throw std::runtime_error("cannot create a temporary folder");
    }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QString folder() const { return m_dir.path(); }
    // Everything in the folder, hidden temporary files included.
    QStringList entries(const QString& sub = QString()) const {
        return QDir(sub.isEmpty() ? m_dir.path() : file(sub))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }
    bool replace(const QString& path, const QByteArray& bytes) {
        reason.clear();
        return wholefile::replace(path, bytes, reason);
    }

    QString path = file(QStringLiteral("data.dat"));
    QString reason;
};

mode_t modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

// Swaps the write call for as long as it lives.
class WriteSeam {
public:
    explicit WriteSeam(wholefile::WriteFunction write)
        : m_previous(wholefile::setWriteFunction(std::move(write))) {}
    ~WriteSeam() { wholefile::setWriteFunction(std::move(m_previous)); }
    WriteSeam(const WriteSeam&) = delete;
    WriteSeam& operator=(const WriteSeam&) = delete;

private:
    wholefile::WriteFunction m_previous;
};

// The disk "runs full" after a number of bytes.
wholefile::WriteFunction fullAfter(size_t room) {
    return [left = room](int fd, const void* data, size_t size) mutable -> qint64 {
        if (left == 0) {
            errno = ENOSPC;
            return -1;
        }
        const size_t n = std::min(size, left);
        left -= n;
        return ::write(fd, data, n);
    };
}

// ---------------------------------------------------------------- reading

TEST_F(WholeFile, ReadsEveryByteOfAFileLargerThanOneBuffer) {
    QByteArray bytes(200000, 'a');
    for (qsizetype i = 0; i < bytes.size(); i += 7)
        bytes[i] = char(i % 256); // NUL bytes among them
    writeFileBytes(path, bytes);
    QByteArray read = "stale";
    EXPECT_TRUE(wholefile::read(path, read, reason));
    EXPECT_EQ(read, bytes);
}

TEST_F(WholeFile, AnEmptyFileReadsAsNoBytes) {
    writeFileBytes(path, QByteArray());
    QByteArray read = "stale";
    EXPECT_TRUE(wholefile::read(path, read, reason));
    EXPECT_TRUE(read.isEmpty());
}

TEST_F(WholeFile, AMissingFileGivesTheSystemsReason) {
    QByteArray read = "stale";
    EXPECT_FALSE(wholefile::read(path, read, reason));
    EXPECT_EQ(reason, reasonFor(ENOENT));
    EXPECT_TRUE(read.isEmpty());
}

TEST_F(WholeFile, AFolderCannotBeRead) {
    ASSERT_TRUE(QDir().mkdir(path));
    QByteArray read;
    EXPECT_FALSE(wholefile::read(path, read, reason));
    EXPECT_EQ(reason, reasonFor(EISDIR));
}

// Without a writer, opening a pipe would wait for ever.
TEST_F(WholeFile, APipeIsRefusedWithoutWaitingForAWriter) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    QByteArray read;
    EXPECT_FALSE(wholefile::read(path, read, reason));
    EXPECT_FALSE(reason.isEmpty());
}

TEST_F(WholeFile, ReadsThroughASymbolicLink) {
    writeFileBytes(path, "target");
    const QString link = file(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(path, link));
    QByteArray read;
    EXPECT_TRUE(wholefile::read(link, read, reason));
    EXPECT_EQ(read, QByteArray("target"));
}

// ---------------------------------------------------------------- replacing

TEST_F(WholeFile, CreatesAMissingFileWithTheUsualPermissions) {
    const mode_t mask = ::umask(022);
    const bool done = replace(path, "new");
    ::umask(mask);
    ASSERT_TRUE(done) << reason.toStdString();
    EXPECT_EQ(readFileBytes(path), QByteArray("new"));
    EXPECT_EQ(modeOf(path), 0644u);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.dat")});
}

TEST_F(WholeFile, ReplacesALongerFileWhole) {
    writeFileBytes(path, QByteArray(5000, 'o'));
    ASSERT_TRUE(replace(path, "short")) << reason.toStdString();
    EXPECT_EQ(readFileBytes(path), QByteArray("short"));
}

TEST_F(WholeFile, EmptyBytesLeaveAnEmptyFile) {
    writeFileBytes(path, "old");
    ASSERT_TRUE(replace(path, QByteArray())) << reason.toStdString();
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_EQ(readFileBytes(path), QByteArray());
}

TEST_F(WholeFile, KeepsTheFilesPermissionsAndLeavesNoTemporaryFile) {
    writeFileBytes(path, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(replace(path, "new")) << reason.toStdString();
    EXPECT_EQ(modeOf(path), 0640u);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.dat")});
}

TEST_F(WholeFile, WritesThroughASymbolicLinkToItsTarget) {
    writeFileBytes(path, "old");
    const QString link = file(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(path, link));
    ASSERT_TRUE(replace(link, "new")) << reason.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFileBytes(path), QByteArray("new"));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("data.dat"), QStringLiteral("link")}));
}

TEST_F(WholeFile, FollowsAChainOfRelativeLinksIntoAnotherFolder) {
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("real")));
    const QString target = file(QStringLiteral("real/data.dat"));
    writeFileBytes(target, "old");
    ASSERT_EQ(::symlink("real/data.dat", QFile::encodeName(file(QStringLiteral("b"))).constData()),
              0);
    ASSERT_EQ(::symlink("b", QFile::encodeName(file(QStringLiteral("a"))).constData()), 0);
    ASSERT_TRUE(replace(file(QStringLiteral("a")), "new")) << reason.toStdString();
    EXPECT_EQ(readFileBytes(target), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(file(QStringLiteral("a"))).isSymLink());
    EXPECT_TRUE(QFileInfo(file(QStringLiteral("b"))).isSymLink());
    EXPECT_EQ(entries(QStringLiteral("real")), QStringList{QStringLiteral("data.dat")});
}

TEST_F(WholeFile, ADanglingLinkGetsItsTargetCreated) {
    const QString link = file(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(path, link));
    ASSERT_TRUE(replace(link, "new")) << reason.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFileBytes(path), QByteArray("new"));
}

TEST_F(WholeFile, ALoopOfLinksIsRefused) {
    ASSERT_EQ(::symlink("b", QFile::encodeName(file(QStringLiteral("a"))).constData()), 0);
    ASSERT_EQ(::symlink("a", QFile::encodeName(file(QStringLiteral("b"))).constData()), 0);
    EXPECT_FALSE(replace(file(QStringLiteral("a")), "new"));
    EXPECT_EQ(reason, reasonFor(ELOOP));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

// ---------------------------------------------------------------- refusals

TEST_F(WholeFile, AFolderInTheFilesPlaceIsLeftAlone) {
    ASSERT_TRUE(QDir().mkdir(path));
    writeFileBytes(path + QStringLiteral("/inside"), "keep");
    EXPECT_FALSE(replace(path, "new"));
    EXPECT_EQ(reason, reasonFor(EISDIR));
    EXPECT_EQ(readFileBytes(path + QStringLiteral("/inside")), QByteArray("keep"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.dat")});
}

// rename() would replace an empty folder without complaint.
TEST_F(WholeFile, AnEmptyFolderInTheFilesPlaceIsLeftAlone) {
    ASSERT_TRUE(QDir().mkdir(path));
    EXPECT_FALSE(replace(path, "new"));
    EXPECT_EQ(reason, reasonFor(EISDIR));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.dat")});
}

TEST_F(WholeFile, APipeInTheFilesPlaceIsLeftAlone) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    EXPECT_FALSE(replace(path, "new"));
    EXPECT_FALSE(reason.isEmpty());
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.dat")});
}

TEST_F(WholeFile, APathBelowARegularFileFails) {
    const QString plain = file(QStringLiteral("plain"));
    writeFileBytes(plain, "keep");
    EXPECT_FALSE(replace(plain + QStringLiteral("/data.dat"), "new"));
    EXPECT_EQ(reason, reasonFor(ENOTDIR));
    EXPECT_EQ(readFileBytes(plain), QByteArray("keep"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("plain")});
}

TEST_F(WholeFile, AMissingFolderIsNotCreated) {
    EXPECT_FALSE(replace(file(QStringLiteral("missing/data.dat")), "new"));
    EXPECT_EQ(reason, reasonFor(ENOENT));
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(WholeFile, AnEmptyPathFails) {
    EXPECT_FALSE(replace(QString(), "new"));
    EXPECT_EQ(reason, reasonFor(ENOENT));
}

// ---------------------------------------------------------------- the temporary file

TEST_F(WholeFile, TheTemporaryFileIsAHiddenNeighbourOfTheFile) {
    const QFileInfo temporary(wholefile::temporaryPath(path));
    EXPECT_EQ(temporary.absolutePath(), QFileInfo(path).absolutePath());
    EXPECT_TRUE(temporary.fileName().startsWith(QLatin1Char('.')));
    EXPECT_NE(temporary.fileName(), QFileInfo(path).fileName());
}

// A fixed name per file must still never be shared: two files saved in turn
// would otherwise take each other's temporary file, and a visible file named
// like another's temporary one would be swallowed by the other's save.
TEST_F(WholeFile, NoTwoFilesShareATemporaryFileAndNoneIsAnotherFile) {
    const QStringList names{QStringLiteral("a"), QStringLiteral("a.new"), QStringLiteral(".a"),
                            QStringLiteral(".a.new"), QStringLiteral("b")};
    QStringList temporaries;
    for (const QString& name : names)
        temporaries << wholefile::temporaryPath(file(name));
    for (qsizetype i = 0; i < names.size(); ++i) {
        for (qsizetype j = 0; j < names.size(); ++j) {
            if (i != j) {
                EXPECT_NE(temporaries[i], temporaries[j]) << i << " " << j;
            }
        }
    }
    for (const QString& name : names) {
        if (!name.startsWith(QLatin1Char('.'))) {
            EXPECT_FALSE(temporaries.contains(file(name))) << name.toStdString();
        }
    }
}

TEST_F(WholeFile, SavingLeavesAFileNamedLikeAnOldStyleTemporaryAlone) {
    writeFileBytes(path + QStringLiteral(".new"), "someone else's");
    ASSERT_TRUE(replace(path, "new")) << reason.toStdString();
    EXPECT_EQ(readFileBytes(path + QStringLiteral(".new")), QByteArray("someone else's"));
}

TEST_F(WholeFile, ALinksTemporaryFileLiesBesideItsTarget) {
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("real")));
    const QString target = file(QStringLiteral("real/data.dat"));
    ASSERT_TRUE(QFile::link(target, path));
    EXPECT_EQ(wholefile::temporaryPath(path), wholefile::temporaryPath(target));
    EXPECT_EQ(QFileInfo(wholefile::temporaryPath(path)).absolutePath(),
              QFileInfo(target).absolutePath());
}

TEST_F(WholeFile, ATemporaryFileOrphanedByAKillIsOverwritten) {
    writeFileBytes(path, "old");
    writeFileBytes(wholefile::temporaryPath(path), QByteArray(100, 'k'));
    ASSERT_TRUE(replace(path, "new")) << reason.toStdString();
    EXPECT_EQ(readFileBytes(path), QByteArray("new"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.dat")});
}

TEST_F(WholeFile, AnOrphanedTemporaryFileGetsTheFilesPermissionsNotItsOwn) {
    writeFileBytes(path, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0600), 0);
    writeFileBytes(wholefile::temporaryPath(path), "k");
    ASSERT_EQ(::chmod(QFile::encodeName(wholefile::temporaryPath(path)).constData(), 0666), 0);
    ASSERT_TRUE(replace(path, "new")) << reason.toStdString();
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST_F(WholeFile, ALinkInTheTemporaryFilesPlaceIsNotWrittenThrough) {
    const QString other = file(QStringLiteral("other"));
    writeFileBytes(other, "keep");
    ASSERT_TRUE(QFile::link(other, wholefile::temporaryPath(path)));
    ASSERT_TRUE(replace(path, "new")) << reason.toStdString();
    EXPECT_EQ(readFileBytes(other), QByteArray("keep"));
    EXPECT_EQ(readFileBytes(path), QByteArray("new"));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("data.dat"), QStringLiteral("other")}));
}

TEST_F(WholeFile, AHardLinkInTheTemporaryFilesPlaceIsNotWrittenThrough) {
    const QString other = file(QStringLiteral("other"));
    writeFileBytes(other, "keep");
    ASSERT_EQ(::link(QFile::encodeName(other).constData(),
                     QFile::encodeName(wholefile::temporaryPath(path)).constData()),
              0);
    ASSERT_TRUE(replace(path, "new")) << reason.toStdString();
    EXPECT_EQ(readFileBytes(other), QByteArray("keep"));
}

TEST_F(WholeFile, AFolderInTheTemporaryFilesPlaceFailsTheSaveAndStays) {
    writeFileBytes(path, "old");
    const QString temporary = wholefile::temporaryPath(path);
    ASSERT_TRUE(QDir().mkdir(temporary));
    EXPECT_FALSE(replace(path, "new"));
    EXPECT_TRUE(reason.contains(temporary)) << reason.toStdString();
    EXPECT_EQ(readFileBytes(path), QByteArray("old"));
    EXPECT_TRUE(QFileInfo(temporary).isDir()); // not ours to delete
}

TEST_F(WholeFile, AFailedRenameRemovesTheTemporaryFile) {
    // A folder appears in the file's place while the bytes are written.
    WriteSeam seam([this](int fd, const void* data, size_t size) -> qint64 {
        QDir().mkdir(path);
        return ::write(fd, data, size);
    });
    EXPECT_FALSE(replace(path, "new"));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.dat")});
}

// ---------------------------------------------------------------- a full disk

class WholeFileFullDisk : public WholeFile, public testing::WithParamInterface<size_t> {};

TEST_P(WholeFileFullDisk, KeepsTheOldFileAndLeavesNoTemporaryFile) {
    const QByteArray old = "the old contents, longer than some of the rooms";
    writeFileBytes(path, old);
    {
        WriteSeam seam(fullAfter(GetParam()));
        EXPECT_FALSE(replace(path, QByteArray(100, 'n')));
    }
    EXPECT_EQ(reason, reasonFor(ENOSPC));
    EXPECT_EQ(readFileBytes(path), old);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("data.dat")});
}

INSTANTIATE_TEST_SUITE_P(Room, WholeFileFullDisk, testing::Values(0u, 1u, 20u, 99u));

TEST_F(WholeFile, AWriteThatFitsExactlySucceeds) {
    WriteSeam seam(fullAfter(3));
    ASSERT_TRUE(replace(path, "new")) << reason.toStdString();
    EXPECT_EQ(readFileBytes(path), QByteArray("new"));
}

TEST_F(WholeFile, AWriteThatMakesNoProgressFailsInsteadOfSpinning) {
    WriteSeam seam([](int, const void*, size_t) -> qint64 { return 0; });
    EXPECT_FALSE(replace(path, "new"));
    EXPECT_EQ(reason, reasonFor(ENOSPC));
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(WholeFile, AnInterruptedWriteIsRetried) {
    WriteSeam seam([calls = 0](int fd, const void* data, size_t size) mutable -> qint64 {
        if (calls++ == 0) {
            errno = EINTR;
            return -1;
        }
        return ::write(fd, data, size);
    });
    ASSERT_TRUE(replace(path, "new")) << reason.toStdString();
    EXPECT_EQ(readFileBytes(path), QByteArray("new"));
}

TEST_F(WholeFile, SettingTheWriteFunctionHandsBackThePreviousOne) {
    int calls = 0;
    WriteSeam seam([&calls](int fd, const void* data, size_t size) -> qint64 {
        ++calls;
        return ::write(fd, data, size);
    });
    const wholefile::WriteFunction counting = wholefile::setWriteFunction({});
    ASSERT_TRUE(counting);
    ASSERT_TRUE(replace(path, "real")) << reason.toStdString();
    EXPECT_EQ(calls, 0);
    wholefile::setWriteFunction(counting);
    ASSERT_TRUE(replace(path, "seam")) << reason.toStdString();
    EXPECT_GT(calls, 0);
}

// ---------------------------------------------------------------- reasons

TEST(WholeFileReason, IsTheSystemsTextForTheError) {
    EXPECT_EQ(wholefile::systemReason(EISDIR), reasonFor(EISDIR));
    EXPECT_EQ(wholefile::systemReason(ENOSPC), reasonFor(ENOSPC));
}

} // namespace
