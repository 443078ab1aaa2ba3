#include "platform/wholefile.h"
#include "settings/inifile.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString qs(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class Scratch {
public:
    Scratch() {
        if (!m_dir.isValid())
            throw std::runtime_error("cannot create a temporary folder");
    }
    QString path() const { return file(QStringLiteral("vaznilistek.ini")); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QString folder() const { return m_dir.path(); }
    // Everything in the folder, hidden temporary files included.
    QStringList entries() const {
        return QDir(m_dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }

private:
    QTemporaryDir m_dir;
};

// --- Where a written key lands ---------------------------------------------

struct LayoutCase {
    const char* name;
    const char* before; // nullptr: no file
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

class IniFileLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(IniFileLayout, WritingChangesOnlyWhatWindowsChanges) {
    const LayoutCase& c = GetParam();
    Scratch dir;
    if (c.before)
        writeFileBytes(dir.path(), c.before);
    IniFile ini(dir.path());
    ini.writeString(qs(c.section), qs(c.key), qs(c.value));
    EXPECT_EQ(readFileBytes(dir.path()), QByteArray(c.after));
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniFileLayout,
    testing::Values(
        LayoutCase{"MissingFileIsCreated", nullptr, "COM", "port", "3", "[COM]\r\nport=3\r\n"},
        LayoutCase{"EmptyFile", "", "COM", "port", "3", "[COM]\r\nport=3\r\n"},
        LayoutCase{"NewSectionAtTheEnd", "[a]\r\nx=1\r\n", "COM", "port", "3",
                   "[a]\r\nx=1\r\n[COM]\r\nport=3\r\n"},
        LayoutCase{"NewSectionAfterTrailingBlankLines", "[a]\r\nx=1\r\n\r\n", "COM", "port", "3",
                   "[a]\r\nx=1\r\n\r\n[COM]\r\nport=3\r\n"},
        LayoutCase{"NewSectionAfterAFileWithoutFinalBreak", "[a]\r\nx=1", "COM", "port", "3",
                   "[a]\r\nx=1\r\n[COM]\r\nport=3\r\n"},
        LayoutCase{"NewKeyAtTheEndOfItsSection", "[a]\r\nx=1\r\n[b]\r\ny=2\r\n", "a", "z", "3",
                   "[a]\r\nx=1\r\nz=3\r\n[b]\r\ny=2\r\n"},
        LayoutCase{"NewKeyBeforeTheSectionsTrailingBlankLines",
                   "[a]\r\nx=1\r\n\r\n \r\n[b]\r\ny=2\r\n", "a", "z", "3",
                   "[a]\r\nx=1\r\nz=3\r\n\r\n \r\n[b]\r\ny=2\r\n"},
        LayoutCase{"NewKeyAfterACommentThatEndsTheSection", "[a]\r\nx=1\r\n;end\r\n\r\n[b]\r\n",
                   "a", "z", "3", "[a]\r\nx=1\r\n;end\r\nz=3\r\n\r\n[b]\r\n"},
        LayoutCase{"NewKeyInASectionWithOnlyItsHeader", "[a]\r\n\r\n[b]\r\n", "a", "z", "3",
                   "[a]\r\nz=3\r\n\r\n[b]\r\n"},
        LayoutCase{"NewKeyInTheLastSectionWithoutFinalBreak", "[a]\r\nx=1", "a", "z", "3",
                   "[a]\r\nx=1\r\nz=3\r\n"},
        LayoutCase{"NewKeyAfterAHeaderWithoutFinalBreak", "[a]", "a", "z", "3", "[a]\r\nz=3\r\n"},
        LayoutCase{"NewKeyGoesIntoTheFirstOfDuplicateSections", "[a]\r\nx=1\r\n[A]\r\ny=2\r\n", "a",
                   "y", "3", "[a]\r\nx=1\r\ny=3\r\n[A]\r\ny=2\r\n"},
        LayoutCase{"ExistingValueReplacedInPlace", "[a]\r\nx=1\r\ny=2\r\n", "a", "x", "9",
                   "[a]\r\nx=9\r\ny=2\r\n"},
        LayoutCase{"ExistingKeyKeepsItsSpelling", "[zobrazeni]\r\nZahlaviText=.A\r\n", "ZOBRAZENI",
                   "Zahlavitext", ".B", "[zobrazeni]\r\nZahlaviText=.B\r\n"},
        LayoutCase{"BlanksAroundTheOldValueGo", "[a]\r\n  x = 1 \r\ny=2\r\n", "a", "x", "9",
                   "[a]\r\nx=9\r\ny=2\r\n"},
        LayoutCase{"OnlyTheFirstOfDuplicateKeysChanges", "[a]\r\nx=1\r\nx=2\r\n", "a", "X", "9",
                   "[a]\r\nx=9\r\nx=2\r\n"},
        LayoutCase{"ReplacedLineKeepsItsLineBreak", "[a]\nx=1\ny=2\n", "a", "x", "9",
                   "[a]\nx=9\ny=2\n"},
        LayoutCase{"ReplacedLastLineWithoutBreak", "[a]\r\nx=1", "a", "x", "9", "[a]\r\nx=9"},
        LayoutCase{"EmptyValue", "[a]\r\nx=1\r\n", "a", "x", "", "[a]\r\nx=\r\n"},
        LayoutCase{"CommentedOutKeyIsNotTheKey", "[a]\r\n;x=1\r\n", "a", "x", "2",
                   "[a]\r\n;x=1\r\nx=2\r\n"},
        LayoutCase{"UnclosedHeaderIsPartOfTheSectionAbove", "[a]\r\n[b\r\n", "b", "x", "2",
                   "[a]\r\n[b\r\n[b]\r\nx=2\r\n"},
        LayoutCase{"CzechTextInWindows1250", nullptr, "zobrazeni", "ZahlaviText",
                   ".Příliš žluťoučký kůň\\nŠŤÁVA€\\n",
                   "[zobrazeni]\r\nZahlaviText=.P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2\\n"
                   "\x8A\x8D\xC1VA\x80\\n\r\n"},
        LayoutCase{"UnmappableCharactersBecomeQuestionMarks", nullptr, "a", "x", "a漢b😀c",
                   "[a]\r\nx=a?b?c\r\n"}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

// Everything that the program does not write stays as it was, byte for byte.
TEST(IniFilePreservation, CommentsUnknownKeysOrderAndBlankLinesSurviveRewrites) {
    const QByteArray before = "; Nastaven\xED v\xE1hy\r\n"
                              "\r\n"
                              "[COM]\r\n"
                              "port=1\r\n"
                              "baud = 9600\r\n"
                              "\r\n"
                              "[servis]\n"
                              "  heslo=\"tajn\xE9\"  \n"
                              "junk line without equals\r"
                              "\r\n"
                              "[zobrazeni]\r\n"
                              ";stalyPrijem=1\r\n"
                              "jednotky=kg\r\n"
                              "\t\r\n";
    Scratch dir;
    writeFileBytes(dir.path(), before);
    IniFile ini(dir.path());
    ini.writeInteger(qs("COM"), qs("port"), 4);
    ini.writeString(qs("zobrazeni"), qs("jednotky"), qs("t"));
    ini.writeBool(qs("zobrazeni"), qs("save"), true);
    ini.writeInteger(qs("Tisk"), qs("sirka"), 320);
    const QByteArray after = "; Nastaven\xED v\xE1hy\r\n"
                             "\r\n"
                             "[COM]\r\n"
                             "port=4\r\n"
                             "baud = 9600\r\n"
                             "\r\n"
                             "[servis]\n"
                             "  heslo=\"tajn\xE9\"  \n"
                             "junk line without equals\r"
                             "\r\n"
                             "[zobrazeni]\r\n"
                             ";stalyPrijem=1\r\n"
                             "jednotky=t\r\n"
                             "save=1\r\n"
                             "\t\r\n"
                             "[Tisk]\r\n"
                             "sirka=320\r\n";
    EXPECT_EQ(readFileBytes(dir.path()), after);
}

// --- Values written and read back -----------------------------------------

TEST(IniFileRoundTrip, IntegersAndBooleansAreWrittenInDecimalAndAsOneOrZero) {
    Scratch dir;
    IniFile ini(dir.path());
    ini.writeInteger(qs("a"), qs("min"), INT_MIN);
    ini.writeInteger(qs("a"), qs("max"), INT_MAX);
    ini.writeInteger(qs("a"), qs("zero"), 0);
    ini.writeBool(qs("a"), qs("yes"), true);
    ini.writeBool(qs("a"), qs("no"), false);
    EXPECT_EQ(
        readFileBytes(dir.path()),
        QByteArray("[a]\r\nmin=-2147483648\r\nmax=2147483647\r\nzero=0\r\nyes=1\r\nno=0\r\n"));
    IniFile again(dir.path());
    EXPECT_EQ(again.readInteger(qs("a"), qs("min"), 1), INT_MIN);
    EXPECT_EQ(again.readInteger(qs("a"), qs("max"), 1), INT_MAX);
    EXPECT_EQ(again.readInteger(qs("a"), qs("zero"), 1), 0);
    EXPECT_TRUE(again.readBool(qs("a"), qs("yes"), false));
    EXPECT_FALSE(again.readBool(qs("a"), qs("no"), true));
}

TEST(IniFileRoundTrip, CzechTextComesBackUnchanged) {
    const QString header = qs(".Váha Přerov, s.r.o.\\nŘidič: Šťastný Čeněk\\n");
    Scratch dir;
    IniFile(dir.path()).writeString(qs("zobrazeni"), qs("ZahlaviText"), header);
    EXPECT_EQ(IniFile(dir.path()).readString(qs("zobrazeni"), qs("Zahlavitext"), QString()),
              header);
}

TEST(IniFileRoundTrip, TheWritingObjectReadsWhatItWrote) {
    Scratch dir;
    writeFileBytes(dir.path(), "[COM]\r\nport=2\r\n");
    IniFile ini(dir.path());
    ini.writeInteger(qs("COM"), qs("port"), 5);
    ini.writeString(qs("zobrazeni"), qs("jednotky"), qs("lb"));
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 5);
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("jednotky"), qs("kg")), qs("lb"));
}

TEST(IniFileRoundTrip, ALongValueIsStoredWholeAndReadBackCut) {
    const QString value(3000, QLatin1Char('w'));
    Scratch dir;
    IniFile ini(dir.path());
    ini.writeString(qs("zobrazeni"), qs("ZapatiText"), value);
    EXPECT_EQ(readFileBytes(dir.path()),
              "[zobrazeni]\r\nZapatiText=" + QByteArray(3000, 'w') + "\r\n");
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("ZapatiText"), QString()), value.left(2047));
}

// --- Replacing the file ---------------------------------------------------

TEST(IniFileReplacement, KeepsTheFilesPermissionsAndLeavesNoTemporaryFile) {
    Scratch dir;
    writeFileBytes(dir.path(), "[COM]\r\nport=2\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0640), 0);
    IniFile(dir.path()).writeInteger(qs("COM"), qs("port"), 3);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.entries(), QStringList{QStringLiteral("vaznilistek.ini")});
}

TEST(IniFileReplacement, WritesThroughASymbolicLinkToItsTarget) {
    Scratch dir;
    const QString target = dir.file(QStringLiteral("real.ini"));
    writeFileBytes(target, "[COM]\r\nport=2\r\n");
    ASSERT_TRUE(QFile::link(target, dir.path()));
    IniFile(dir.path()).writeInteger(qs("COM"), qs("port"), 3);
    EXPECT_TRUE(QFileInfo(dir.path()).isSymLink());
    EXPECT_EQ(readFileBytes(target), QByteArray("[COM]\r\nport=3\r\n"));
}

// --- Writes that cannot be done -------------------------------------------

void expectWriteError(IniFile& ini, const QString& path) {
    try {
        ini.writeInteger(qs("COM"), qs("port"), 3);
        ADD_FAILURE() << "the write did not fail";
    } catch (const SettingsWriteError& e) {
        EXPECT_EQ(e.message(), qs("Unable to write to ") + path);
    }
}

// Tests run as root, which writes through any permission bits, so each
// failure here is one that no permission can lift.
TEST(IniFileWriteFailure, AFolderInTheFilesPlace) {
    Scratch dir;
    ASSERT_TRUE(QDir().mkdir(dir.path()));
    writeFileBytes(dir.path() + QStringLiteral("/inside"), "keep");
    IniFile ini(dir.path());
    expectWriteError(ini, dir.path());
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
    EXPECT_EQ(readFileBytes(dir.path() + QStringLiteral("/inside")), QByteArray("keep"));
    EXPECT_EQ(dir.entries(), QStringList{QStringLiteral("vaznilistek.ini")});
}

TEST(IniFileWriteFailure, AnEmptyFolderInTheFilesPlace) {
    Scratch dir;
    ASSERT_TRUE(QDir().mkdir(dir.path()));
    IniFile ini(dir.path());
    expectWriteError(ini, dir.path());
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
    EXPECT_EQ(dir.entries(), QStringList{QStringLiteral("vaznilistek.ini")});
}

// Opening a pipe for reading would wait for a writer for ever; neither the
// read nor the write may touch it.
TEST(IniFileWriteFailure, APipeInTheFilesPlace) {
    Scratch dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.path()).constData(), 0644), 0);
    IniFile ini(dir.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 1);
    expectWriteError(ini, dir.path());
    EXPECT_FALSE(QFileInfo(dir.path()).isFile());
    EXPECT_TRUE(QFileInfo::exists(dir.path()));
    EXPECT_EQ(dir.entries(), QStringList{QStringLiteral("vaznilistek.ini")});
}

TEST(IniFileWriteFailure, APathBelowARegularFile) {
    Scratch dir;
    const QString plain = dir.file(QStringLiteral("plain"));
    writeFileBytes(plain, "keep");
    const QString path = plain + QStringLiteral("/vaznilistek.ini");
    IniFile ini(path);
    expectWriteError(ini, path);
    EXPECT_EQ(readFileBytes(plain), QByteArray("keep"));
    EXPECT_EQ(dir.entries(), QStringList{QStringLiteral("plain")});
}

TEST(IniFileWriteFailure, AMissingFolder) {
    Scratch dir;
    const QString path = dir.file(QStringLiteral("missing/vaznilistek.ini"));
    IniFile ini(path);
    expectWriteError(ini, path);
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("missing"))));
}

// Makes the disk "run full" after a number of bytes for as long as it lives.
class FullDisk {
public:
    explicit FullDisk(size_t room) {
        m_previous = wholefile::setWriteFunction(
            [left = room](int fd, const void* data, size_t size) mutable -> qint64 {
                if (left == 0) {
                    errno = ENOSPC;
                    return -1;
                }
                const size_t n = std::min(size, left);
                left -= n;
                return ::write(fd, data, n);
            });
    }
    ~FullDisk() { wholefile::setWriteFunction(std::move(m_previous)); }

private:
    wholefile::WriteFunction m_previous;
};

class IniFileFullDisk : public testing::TestWithParam<size_t> {};

TEST_P(IniFileFullDisk, KeepsTheOldFileAndTheObjectInStepWithIt) {
    const QByteArray old = "; keep me\r\n[COM]\r\nport=2\r\n[zobrazeni]\r\njednotky=kg\r\n";
    Scratch dir;
    writeFileBytes(dir.path(), old);
    IniFile ini(dir.path());
    {
        FullDisk full(GetParam());
        expectWriteError(ini, dir.path());
    }
    EXPECT_EQ(readFileBytes(dir.path()), old);
    EXPECT_EQ(dir.entries(), QStringList{QStringLiteral("vaznilistek.ini")});
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 2);

    // The next write after the disk has room again carries only its own key.
    ini.writeString(qs("zobrazeni"), qs("jednotky"), qs("t"));
    EXPECT_EQ(readFileBytes(dir.path()),
              QByteArray("; keep me\r\n[COM]\r\nport=2\r\n[zobrazeni]\r\njednotky=t\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Room, IniFileFullDisk, testing::Values(0u, 1u, 20u, 50u));

TEST(IniFileFullDisk, AWriteThatFitsExactlySucceeds) {
    Scratch dir;
    IniFile ini(dir.path());
    FullDisk full(QByteArray("[COM]\r\nport=3\r\n").size());
    ini.writeInteger(qs("COM"), qs("port"), 3);
    EXPECT_EQ(readFileBytes(dir.path()), QByteArray("[COM]\r\nport=3\r\n"));
}

TEST(IniFileByteOrderMark, TheFirstSectionIsReadAndTheMarkIsWrittenBack) {
    Scratch dir;
    writeFileBytes(dir.path(), QByteArray("\xEF\xBB\xBF[COM]\r\nport=3\r\n"));
    IniFile ini(dir.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 3);
    ini.writeInteger(qs("COM"), qs("port"), 4);
    EXPECT_EQ(readFileBytes(dir.path()), QByteArray("\xEF\xBB\xBF[COM]\r\nport=4\r\n"));
}

} // namespace
