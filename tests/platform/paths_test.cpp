#include "platform/paths.h"
#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

namespace {

struct ExtensionCase {
    const char* path;
    const char* expected;
};

class WithExtension : public testing::TestWithParam<ExtensionCase> {};

TEST_P(WithExtension, ReplacesOrAddsTheExtension) {
    EXPECT_EQ(paths::withExtension(QString::fromUtf8(GetParam().path), QStringLiteral(".ini")),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, WithExtension,
    testing::Values(ExtensionCase{"/a/b/prog", "/a/b/prog.ini"},
                    ExtensionCase{"/a/b/prog.exe", "/a/b/prog.ini"},
                    ExtensionCase{"/a/b/prog.tar.gz", "/a/b/prog.tar.ini"},
                    ExtensionCase{"/a/b/prog.", "/a/b/prog.ini"},
                    // a dot in a folder name is no extension of the file
                    ExtensionCase{"/a.d/prog", "/a.d/prog.ini"},
                    ExtensionCase{"/a.d/b.e/prog", "/a.d/b.e/prog.ini"},
                    // nor is the dot of a hidden file
                    ExtensionCase{"/a/b/.prog", "/a/b/.prog.ini"},
                    ExtensionCase{"prog", "prog.ini"}, ExtensionCase{"prog.exe", "prog.ini"},
                    ExtensionCase{"/opt/váha/Vážní lístek", "/opt/váha/Vážní lístek.ini"}));

// Points the executable path somewhere for one test.
class ExecutableAt {
public:
    explicit ExecutableAt(const char* path) {
        paths::setExecutableFilePath(QString::fromUtf8(path));
    }
    ~ExecutableAt() { paths::setExecutableFilePath(QString()); }
};

TEST(ProgramFiles, LieBesideTheExecutable) {
    ExecutableAt exe("/opt/vaha/vaznilistek");
    EXPECT_EQ(paths::executableDir(), QStringLiteral("/opt/vaha/"));
    EXPECT_EQ(paths::settingsFile(), QStringLiteral("/opt/vaha/vaznilistek.ini"));
    EXPECT_EQ(paths::unprintedRowsFile(), QStringLiteral("/opt/vaha/vaznilistek.tmp"));
    EXPECT_EQ(paths::archiveRoot(), QStringLiteral("/opt/vaha/data/"));
}

TEST(ProgramFiles, AnExecutableInTheRootFolderGetsOneSlash) {
    ExecutableAt exe("/vaznilistek");
    EXPECT_EQ(paths::executableDir(), QStringLiteral("/"));
    EXPECT_EQ(paths::archiveRoot(), QStringLiteral("/data/"));
}

struct ArchiveCase {
    QDate date;
    const char* expected;
};

class ArchiveFile : public testing::TestWithParam<ArchiveCase> {};

TEST_P(ArchiveFile, IsNamedByYearMonthAndDayWithoutLeadingZeros) {
    ExecutableAt exe("/opt/vaha/vaznilistek.exe");
    EXPECT_EQ(paths::archiveFile(GetParam().date), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ArchiveFile,
    testing::Values(ArchiveCase{QDate(2024, 3, 7), "/opt/vaha/data/2024/3/7.dat"},
                    ArchiveCase{QDate(2024, 10, 10), "/opt/vaha/data/2024/10/10.dat"},
                    ArchiveCase{QDate(1999, 12, 31), "/opt/vaha/data/1999/12/31.dat"},
                    ArchiveCase{QDate(2026, 1, 1), "/opt/vaha/data/2026/1/1.dat"}));

} // namespace
