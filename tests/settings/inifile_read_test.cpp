#include "settings/inifile.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QFile>
#include <climits>
#include <gtest/gtest.h>
#include <random>

namespace {

// A settings file with the given bytes in a fresh folder.
class SettingsFile {
public:
    explicit SettingsFile(const QByteArray& bytes) {
        if (!m_dir.isValid())
            throw std::runtime_error("cannot create a temporary folder");
        writeFileBytes(path(), bytes);
    }
    SettingsFile() = default; // no file at all
    QString path() const { return m_dir.filePath(QStringLiteral("vaznilistek.ini")); }

private:
    QTemporaryDir m_dir;
};

QString qs(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// --- A missing file -------------------------------------------------------

TEST(IniFileMissing, EveryReadGivesTheDefaultAndNoFileIsCreated) {
    SettingsFile none;
    IniFile ini(none.path());
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("jednotky"), qs("kg")), qs("kg"));
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("ZahlaviText"), qs("Záhlaví")), qs("Záhlaví"));
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 1);
    EXPECT_EQ(ini.readInteger(qs("tabulka"), qs("celkem"), 370), 370);
    EXPECT_TRUE(ini.readBool(qs("zobrazeni"), qs("poradCislo"), true));
    EXPECT_FALSE(ini.readBool(qs("zobrazeni"), qs("save"), false));
    EXPECT_FALSE(QFile::exists(none.path()));
}

TEST(IniFileMissing, AFolderInTheFilesPlaceReadsAsNoFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vaznilistek.ini"));
    ASSERT_TRUE(QDir().mkdir(path));
    IniFile ini(path);
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 1);
}

TEST(IniFileMissing, AMissingSectionOrKeyGivesTheDefault) {
    SettingsFile file("[COM]\r\nport=4\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readInteger(qs("zobrazeni"), qs("port"), 9), 9);
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("baud"), 9), 9);
}

// --- Names match regardless of capitalisation -----------------------------

struct NameCase {
    const char* file;
    const char* section;
    const char* key;
    const char* expected;
};

class IniFileNames : public testing::TestWithParam<NameCase> {};

TEST_P(IniFileNames, MatchRegardlessOfCapitalisation) {
    const NameCase& c = GetParam();
    SettingsFile file(c.file);
    IniFile ini(file.path());
    EXPECT_EQ(ini.readString(qs(c.section), qs(c.key), qs("default")), qs(c.expected));
    EXPECT_EQ(ini.hasKey(qs(c.section), qs(c.key)), qs(c.expected) != qs("default"));
}

// The main window asks for "Zahlavitext", the dialog writes "ZahlaviText".
INSTANTIATE_TEST_SUITE_P(
    Table, IniFileNames,
    testing::Values(
        NameCase{"[zobrazeni]\r\nZahlaviText=.A\\n\r\n", "zobrazeni", "Zahlavitext", ".A\\n"},
        NameCase{"[zobrazeni]\r\nZahlaviText=.A\\n\r\n", "zobrazeni", "ZahlaviText", ".A\\n"},
        NameCase{"[zobrazeni]\r\nzahlavitext=.A\\n\r\n", "ZOBRAZENI", "ZAHLAVITEXT", ".A\\n"},
        NameCase{"[Tisk]\r\nsirka=320\r\n", "tisk", "SIRKA", "320"},
        // Czech letters fold too: "ŠÍŘKA" matches "šířka".
        NameCase{"[\x8A\xCD\xD8KA]\r\nD\xC9LKA=5\r\n", "šířka", "délka", "5"},
        NameCase{"[zobrazeni]\r\nZahlaviText=.A\\n\r\n", "zobrazen", "ZahlaviText", "default"},
        NameCase{"[zobrazeni]\r\nZahlaviText=.A\\n\r\n", "zobrazeni", "Zahlavi", "default"}));

// --- Integers -------------------------------------------------------------

struct IntegerCase {
    const char* stored;
    int expected;
};

class IniFileIntegers : public testing::TestWithParam<IntegerCase> {};

constexpr int kIntDefault = -77;

TEST_P(IniFileIntegers, ReadAsTheRuntimeConvertsThem) {
    SettingsFile file(QByteArray("[COM]\r\nport=") + GetParam().stored + "\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), kIntDefault), GetParam().expected)
        << "stored: " << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniFileIntegers,
    testing::Values(IntegerCase{"10", 10}, IntegerCase{"0", 0}, IntegerCase{"007", 7},
                    IntegerCase{"-5", -5}, IntegerCase{"+5", 5}, IntegerCase{"0x0A", 10},
                    IntegerCase{"0X0a", 10}, IntegerCase{"0x1f", 31}, IntegerCase{"0x0", 0},
                    // 32-bit hexadecimal wraps into the sign
                    IntegerCase{"0xFFFFFFFF", -1}, IntegerCase{"0x80000000", INT_MIN},
                    IntegerCase{"0x100000000", kIntDefault}, IntegerCase{"2147483647", INT_MAX},
                    IntegerCase{"-2147483648", INT_MIN}, IntegerCase{"2147483648", kIntDefault},
                    IntegerCase{"-2147483649", kIntDefault},
                    IntegerCase{"99999999999999999999", kIntDefault},
                    // blanks around a value are not part of it
                    IntegerCase{"  12  ", 12}, IntegerCase{"\t12\t", 12},
                    // quotes around a value are dropped before conversion
                    IntegerCase{"\"12\"", 12}, IntegerCase{"'12'", 12},
                    // the whole text must be the number: no leading-digits rule
                    IntegerCase{"12abc", kIntDefault}, IntegerCase{"abc", kIntDefault},
                    IntegerCase{"1 2", kIntDefault}, IntegerCase{"1.0", kIntDefault},
                    IntegerCase{"1,0", kIntDefault}, IntegerCase{"", kIntDefault},
                    IntegerCase{"-", kIntDefault}, IntegerCase{"+", kIntDefault},
                    IntegerCase{"--1", kIntDefault},
                    // "0x" alone is too short to be hexadecimal and is no number
                    IntegerCase{"0x", kIntDefault}, IntegerCase{"0xG", kIntDefault},
                    IntegerCase{"0x1G", kIntDefault}, IntegerCase{"0x-1", kIntDefault},
                    IntegerCase{"-0x10", kIntDefault}, IntegerCase{"$10", kIntDefault},
                    IntegerCase{"0x 1", kIntDefault}, IntegerCase{"1e3", kIntDefault},
                    IntegerCase{"\xB2", kIntDefault}));

TEST(IniFileIntegers, AMissingKeyGivesTheDefault) {
    SettingsFile file("[COM]\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 1);
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), -3), -3);
}

// --- Booleans -------------------------------------------------------------

struct BoolCase {
    const char* line; // nullptr: no key
    bool def;
    bool expected;
};

class IniFileBooleans : public testing::TestWithParam<BoolCase> {};

TEST_P(IniFileBooleans, AreIntegersWhereAnythingButZeroIsTrue) {
    const BoolCase& c = GetParam();
    QByteArray bytes("[zobrazeni]\r\n");
    if (c.line)
        bytes += QByteArray("save=") + c.line + "\r\n";
    SettingsFile file(bytes);
    IniFile ini(file.path());
    EXPECT_EQ(ini.readBool(qs("zobrazeni"), qs("save"), c.def), c.expected)
        << "stored: " << (c.line ? c.line : "(none)") << ", default " << c.def;
}

INSTANTIATE_TEST_SUITE_P(Table, IniFileBooleans,
                         testing::Values(BoolCase{"1", false, true}, BoolCase{"0", true, false},
                                         BoolCase{"2", false, true}, BoolCase{"-1", false, true},
                                         BoolCase{"0x0", true, false},
                                         BoolCase{"0x10", false, true}, BoolCase{"abc", true, true},
                                         BoolCase{"abc", false, false},
                                         BoolCase{"true", false, false}, BoolCase{"", true, true},
                                         BoolCase{nullptr, true, true},
                                         BoolCase{nullptr, false, false}));

// --- Text values ----------------------------------------------------------

struct TextCase {
    const char* stored; // the bytes after "jednotky="
    const char* expected;
};

class IniFileText : public testing::TestWithParam<TextCase> {};

TEST_P(IniFileText, ComesBackAsWindowsHandsItOver) {
    SettingsFile file(QByteArray("[zobrazeni]\r\njednotky=") + GetParam().stored + "\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("jednotky"), qs("default")),
              qs(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Table, IniFileText,
                         testing::Values(TextCase{"kg", "kg"}, TextCase{"", ""},
                                         TextCase{"  kg \t ", "kg"}, TextCase{"k g", "k g"},
                                         TextCase{"a=b", "a=b"}, TextCase{"\"kg\"", "kg"},
                                         TextCase{"'kg'", "kg"}, TextCase{"\" kg \"", " kg "},
                                         TextCase{"\"kg'", "\"kg'"}, TextCase{"\"", "\""},
                                         TextCase{"\"\"", ""}, TextCase{".A\\nB\\n", ".A\\nB\\n"},
                                         TextCase{"; not a comment", "; not a comment"},
                                         // Windows-1250 bytes
                                         TextCase{".Z\xE1hlav\xED", ".Záhlaví"},
                                         TextCase{"\xF8\xC8\x80\x8A\x9E", "řČ€Šž"}));

TEST(IniFileText, BlanksAroundTheEqualsSignAndBeforeTheKeyAreIgnored) {
    SettingsFile file("[zobrazeni]\r\n  jednotky \t=  t\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("jednotky"), qs("kg")), qs("t"));
}

TEST(IniFileText, AnEmptyValueIsNotAMissingKey) {
    SettingsFile file("[zobrazeni]\r\nZahlaviText=\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("ZahlaviText"), qs("Záhlaví")), QString());
    EXPECT_TRUE(ini.hasKey(qs("zobrazeni"), qs("ZahlaviText")));
}

TEST(IniFileText, ValuesAreCutAt2047Characters) {
    const QByteArray exact(2047, 'a');
    const QByteArray longer = QByteArray(2047, 'b') + "tail";
    SettingsFile file("[zobrazeni]\r\nZahlaviText=" + longer + "\r\nZapatiText=" + exact + "\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("ZahlaviText"), QString()),
              QString::fromLatin1(longer.left(2047)));
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("ZapatiText"), QString()),
              QString::fromLatin1(exact));
}

TEST(IniFileText, TheDefaultIsCutAt2047CharactersAndLosesTrailingSpaces) {
    SettingsFile none;
    IniFile ini(none.path());
    const QString longDefault(3000, QLatin1Char('x'));
    EXPECT_EQ(ini.readString(qs("a"), qs("b"), longDefault), longDefault.left(2047));
    EXPECT_EQ(ini.readString(qs("a"), qs("b"), qs("kg  ")), qs("kg"));
    EXPECT_EQ(ini.readString(qs("a"), qs("b"), qs("  kg")), qs("  kg"));
}

TEST(IniFileText, ALineLongerThan2047BytesLeavesTheNextLinesReadable) {
    QByteArray huge(100000, 'z');
    huge[5000] = '=';
    SettingsFile file("[zobrazeni]\r\n" + huge + "\r\nZahlaviText=" + QByteArray(5000, 'q') +
                      "\r\njednotky=t\r\n[COM]\r\nport=3\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("ZahlaviText"), QString()).size(), 2047);
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("jednotky"), qs("kg")), qs("t"));
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 3);
}

// --- Duplicates -----------------------------------------------------------

TEST(IniFileDuplicates, TheFirstOfDuplicateKeysWins) {
    SettingsFile file("[COM]\r\nport=2\r\nPORT=3\r\nport=4\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 2);
}

TEST(IniFileDuplicates, OnlyTheFirstOfDuplicateSectionsIsRead) {
    SettingsFile file("[COM]\r\nport=2\r\n[Tisk]\r\nsirka=1\r\n[com]\r\nport=5\r\nbaud=9600\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 2);
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("baud"), 0), 0);
}

// --- Line structure -------------------------------------------------------

struct LinesCase {
    const char* name;
    const char* bytes;
    int port;  // [COM] port, default 1
    int sirka; // [Tisk] sirka, default 320
};

class IniFileLines : public testing::TestWithParam<LinesCase> {};

TEST_P(IniFileLines, AreSplitAndClassifiedAsWindowsDoes) {
    const LinesCase& c = GetParam();
    SettingsFile file(QByteArray(c.bytes));
    IniFile ini(file.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), c.port);
    EXPECT_EQ(ini.readInteger(qs("Tisk"), qs("sirka"), 320), c.sirka);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniFileLines,
    testing::Values(LinesCase{"CrLf", "[COM]\r\nport=2\r\n[Tisk]\r\nsirka=5\r\n", 2, 5},
                    LinesCase{"Lf", "[COM]\nport=2\n[Tisk]\nsirka=5\n", 2, 5},
                    LinesCase{"Cr", "[COM]\rport=2\r[Tisk]\rsirka=5\r", 2, 5},
                    LinesCase{"Mixed", "[COM]\rport=2\n[Tisk]\r\nsirka=5", 2, 5},
                    // LF CR is two line breaks with an empty line between them
                    LinesCase{"LfCr", "[COM]\n\rport=2\n\r[Tisk]\n\rsirka=5\n\r", 2, 5},
                    LinesCase{"NoFinalBreak", "[COM]\r\nport=2", 2, 320},
                    LinesCase{"IndentedHeader", "  [COM]  \r\nport=2\r\n", 2, 320},
                    LinesCase{"BlankLines", "\r\n\r\n[COM]\r\n\r\n\r\nport=2\r\n\r\n", 2, 320},
                    LinesCase{"Comment", "[COM]\r\n;port=2\r\nport=3\r\n", 3, 320},
                    LinesCase{"IndentedComment", "[COM]\r\n  ;port=2\r\n", 1, 320},
                    LinesCase{"KeyBeforeAnySection", "port=2\r\n[COM]\r\n", 1, 320},
                    LinesCase{"LineWithoutEquals", "[COM]\r\nport\r\nport=2\r\n", 2, 320},
                    LinesCase{"UnknownSectionsAndKeys",
                              "[x]\r\nport=9\r\n[COM]\r\nbaud=1\r\nport=2\r\n", 2, 320},
                    // Text after the closing bracket does not belong to the name.
                    LinesCase{"TextAfterBracket", "[COM] ; serial\r\nport=2\r\n", 2, 320},
                    // Windows' parser takes a line that opens with "[" as a section header
                    // only when it has a closing bracket; otherwise the line is an
                    // ordinary one and the keys after it stay in the section above. So
                    // "[Tisk" opens no section "Tisk" and sirka=5 is a key of [COM].
                    LinesCase{"HeaderWithoutClosingBracket",
                              "[COM]\r\n[Tisk\r\nsirka=5\r\nport=2\r\n", 2, 320},
                    LinesCase{"HeaderWithoutClosingBracketKeepsKeysAbove",
                              "[Tisk]\r\nsirka=7\r\n[COM\r\nport=2\r\n", 1, 7}),
    [](const testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.name); });

TEST(IniFileLines, AnUnclosedHeaderPutsTheFollowingKeysIntoTheSectionAbove) {
    SettingsFile file("[COM]\r\n[Tisk\r\nsirka=5\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("sirka"), 0), 5);
}

// --- Garbage --------------------------------------------------------------

QByteArray garbage(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random() & 0xFF);
    return bytes;
}

class IniFileGarbage : public testing::TestWithParam<unsigned> {};

TEST_P(IniFileGarbage, BinaryBytesReadAsDefaultsAndLeaveLaterKeysReadable) {
    const QByteArray junk = garbage(64 * 1024, GetParam());
    SettingsFile file(junk + "\r\n[COM]\r\nport=7\r\n");
    IniFile ini(file.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 7);
    EXPECT_EQ(ini.readString(qs("zobrazeni"), qs("jednotky"), qs("kg")), qs("kg"));
    EXPECT_TRUE(ini.readBool(qs("zobrazeni"), qs("poradCislo"), true));
}

INSTANTIATE_TEST_SUITE_P(Seeds, IniFileGarbage, testing::Values(1u, 2u, 3u, 4u));

TEST(IniFileGarbage, NulBytesAreOrdinaryCharacters) {
    static const char bytes[] = "[COM]\r\nport=1\0002\r\n[T\000isk]\r\nsirka=\000\r\n"
                                "[Tisk]\r\nvyska=4\0\r\n";
    SettingsFile file(QByteArray(bytes, sizeof bytes - 1));
    IniFile ini(file.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 9), 9);
    EXPECT_EQ(ini.readString(qs("T") + QChar(0) + qs("isk"), qs("sirka"), qs("d")),
              QString(QChar(0)));
    EXPECT_EQ(ini.readInteger(qs("Tisk"), qs("vyska"), 490), 490);
}

TEST(IniFileGarbage, AFileOfNulBytesOnlyReadsAsEmpty) {
    SettingsFile file(QByteArray(10000, '\0'));
    IniFile ini(file.path());
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 1);
}

// --- Loading --------------------------------------------------------------

TEST(IniFileLoading, TheFileIsReadOnceWhenTheObjectIsMade) {
    SettingsFile file("[COM]\r\nport=2\r\n");
    IniFile ini(file.path());
    writeFileBytes(file.path(), "[COM]\r\nport=3\r\n");
    EXPECT_EQ(ini.readInteger(qs("COM"), qs("port"), 1), 2);
    EXPECT_EQ(IniFile(file.path()).readInteger(qs("COM"), qs("port"), 1), 3);
}

} // namespace
