#include "platform/apperror.h"
#include "platform/localeconventions.h"
#include "platform/wholefile.h"
#include "tests/support/tempdir.h"
#include "ticket/wordlist.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cstring>

namespace {

class WordList : public ::testing::Test {
protected:
    void SetUp() override { setConventions(LocaleConventions::czech()); }
    ScratchExecutableDir dir;
    QString file = dir.file(QStringLiteral("popis.dat"));
};

// ---------------------------------------------------------------- reading

struct ReadCase {
    const char* name;
    QByteArray bytes;
    QStringList words;
};

class WordListRead : public WordList, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(WordListRead, SplitsLinesAsWritten) {
    writeFileBytes(file, GetParam().bytes);
    EXPECT_EQ(readWordListFile(file), GetParam().words);
}

QStringList words(std::initializer_list<const char16_t*> list) {
    QStringList out;
    for (const char16_t* w : list)
        out << QString::fromUtf16(w);
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, WordListRead,
    ::testing::Values(
        ReadCase{"EmptyFile", QByteArray(), {}}, ReadCase{"BareLf", "a\nb\n", words({u"a", u"b"})},
        ReadCase{"BareCr", "a\rb\r", words({u"a", u"b"})},
        ReadCase{"CrLfAll", "a\r\nb\r\n", words({u"a", u"b"})},
        ReadCase{"Mixed", "a\r\nb\nc\rd", words({u"a", u"b", u"c", u"d"})},
        ReadCase{"NoFinalLineEnd", "a\r\nb", words({u"a", u"b"})},
        ReadCase{"OnlyLineEnd", "\r\n", words({u""})},
        ReadCase{"LfCrIsTwoLineEnds", "a\n\rb", words({u"a", u"", u"b"})},
        ReadCase{"CrCrLfIsTwoLineEnds", "a\r\r\nb", words({u"a", u"", u"b"})},
        ReadCase{"EmptyLinesKept", "a\r\n\r\n\r\nb\r\n", words({u"a", u"", u"", u"b"})},
        ReadCase{"DuplicatesKept", "b\r\nB\r\nb\r\n", words({u"b", u"B", u"b"})},
        ReadCase{"ZeroByteEndsReading", QByteArray("a\r\nbc\0d\r\ne\r\n", 12),
                 words({u"a", u"bc"})},
        ReadCase{"ZeroByteAfterLineEnd", QByteArray("a\r\n\0b\r\n", 7), words({u"a"})},
        ReadCase{"ZeroByteFirst", QByteArray("\0a\r\n", 4), {}},
        ReadCase{"Windows1250", "\x8A\xEC\xF8\x9D\r\n\xC8\x61j\r\n", words({u"Šěřť", u"Čaj"})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WordList, ReadingDecodesWindows1250NotUtf8) {
    writeFileBytes(file, "p\xEDsek\r\n");
    EXPECT_EQ(readWordListFile(file), QStringList{QStringLiteral("písek")});
}

TEST_F(WordList, FolderInThePlaceOfTheFileCannotBeRead) {
    ASSERT_TRUE(QDir().mkdir(file));
    try {
        readWordListFile(file);
        FAIL() << "a folder was read as a word list";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().contains(file)) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QString::fromLocal8Bit(std::strerror(EISDIR))))
            << e.message().toStdString();
    }
}

// ---------------------------------------------------------------- writing

TEST_F(WordList, WritesEachEntryWithCrLfInWindows1250) {
    writeWordListFile(file, {QStringLiteral("Čaj"), QString(), QStringLiteral("žito")});
    EXPECT_EQ(readFileBytes(file), QByteArray("\xC8\x61j\r\n\r\n\x9Eito\r\n"));
}

TEST_F(WordList, WritingNoEntriesGivesAnEmptyFile) {
    writeFileBytes(file, "old\r\n");
    writeWordListFile(file, {});
    EXPECT_TRUE(QFileInfo(file).isFile());
    EXPECT_EQ(readFileBytes(file), QByteArray());
}

TEST_F(WordList, WrittenListReadsBackTheSame) {
    const QStringList list{QStringLiteral("cukr"), QString(), QStringLiteral("Štěrk 0-4"),
                           QStringLiteral("žito")};
    writeWordListFile(file, list);
    EXPECT_EQ(readWordListFile(file), list);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("popis.dat")});
}

TEST_F(WordList, WriteFailureTextNamesFileAndSystemReason) {
    ASSERT_TRUE(QDir().mkdir(file));
    try {
        writeWordListFile(file, {QStringLiteral("a")});
        FAIL() << "wrote over a folder";
    } catch (const AppError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot create file \"%1\". %2")
                                   .arg(file, QString::fromLocal8Bit(std::strerror(EISDIR))));
    }
    EXPECT_FALSE(QFileInfo::exists(wholefile::temporaryPath(file)));
}

TEST_F(WordList, FailedWriteKeepsTheOldList) {
    writeFileBytes(file, "stará\r\n");
    ASSERT_TRUE(QDir().mkdir(wholefile::temporaryPath(file)));
    EXPECT_THROW(writeWordListFile(file, {QStringLiteral("nová")}), AppError);
    EXPECT_EQ(readFileBytes(file), QByteArray("stará\r\n"));
}

// ---------------------------------------------------------------- matching

struct MatchCase {
    const char16_t* text;
    int index;
};

class FindWord : public WordList, public ::testing::WithParamInterface<MatchCase> {
protected:
    const QStringList list = words({u"cukr", u"Písek", u"ŠTĚRK", u"žito", u"Čaj", u"cukr"});
};

TEST_P(FindWord, MatchesWholeTextIgnoringCase) {
    EXPECT_EQ(findWord(list, QString::fromUtf16(GetParam().text)), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Czech, FindWord,
                         ::testing::Values(MatchCase{u"cukr", 0}, MatchCase{u"CUKR", 0},
                                           MatchCase{u"PÍSEK", 1}, MatchCase{u"písek", 1},
                                           MatchCase{u"štěrk", 2}, MatchCase{u"Štěrk", 2},
                                           MatchCase{u"ŽITO", 3}, MatchCase{u"čAJ", 4},
                                           // accents are letters, not case
                                           MatchCase{u"pisek", -1}, MatchCase{u"sterk", -1},
                                           MatchCase{u"Caj", -1},
                                           // whole text only
                                           MatchCase{u"cuk", -1}, MatchCase{u"cukry", -1},
                                           MatchCase{u" cukr", -1}, MatchCase{u"", -1}));

TEST_F(WordList, EmptyTextMatchesAnEmptyEntry) {
    EXPECT_EQ(findWord(words({u"a", u"", u"b"}), QString()), 1);
}

// ---------------------------------------------------------------- ordering

TEST_F(WordList, CollationFollowsCzechRules) {
    QStringList list;
    for (const char16_t* w : {u"žito", u"hrách", u"chata", u"cukr", u"čaj", u"Hora", u"Ďas", u"dub",
                              u"řepa", u"rýže", u"šrot", u"sůl", u"Zrno", u"ibis", u"ítko"})
        list.insert(sortedInsertPosition(list, QString::fromUtf16(w)), QString::fromUtf16(w));
    EXPECT_EQ(list, words({u"cukr", u"čaj", u"Ďas", u"dub", u"Hora", u"hrách", u"chata", u"ibis",
                           u"ítko", u"rýže", u"řepa", u"sůl", u"šrot", u"Zrno", u"žito"}));
}

struct InsertCase {
    const char16_t* text;
    int position;
};

class SortedInsert : public WordList, public ::testing::WithParamInterface<InsertCase> {
protected:
    const QStringList list = words({u"Beton", u"cukr", u"Čaj", u"hrách", u"chata", u"Písek"});
};

TEST_P(SortedInsert, FindsThePlaceIgnoringCase) {
    EXPECT_EQ(sortedInsertPosition(list, QString::fromUtf16(GetParam().text)), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(Czech, SortedInsert,
                         ::testing::Values(InsertCase{u"a", 0}, InsertCase{u"BETON", 1},
                                           InsertCase{u"beton", 1}, InsertCase{u"C", 1},
                                           InsertCase{u"CUKROVÍ", 2}, InsertCase{u"čaj", 3},
                                           InsertCase{u"d", 3}, InsertCase{u"Hrách", 4},
                                           InsertCase{u"i", 5}, InsertCase{u"CH", 4},
                                           InsertCase{u"zrno", 6}, InsertCase{u"", 0}));

TEST_F(WordList, EmptyListTakesTheWordFirst) {
    EXPECT_EQ(sortedInsertPosition({}, QStringLiteral("cokoli")), 0);
}

// ---------------------------------------------------------------- learning

TEST_F(WordList, LearnsANewWordAtItsSortedPlace) {
    QStringList list = words({u"cukr", u"hrách", u"žito"});
    EXPECT_TRUE(learnWord(list, QStringLiteral("chata")));
    EXPECT_EQ(list, words({u"cukr", u"hrách", u"chata", u"žito"}));
}

TEST_F(WordList, DoesNotLearnEmptyText) {
    QStringList list = words({u"cukr"});
    EXPECT_FALSE(learnWord(list, QString()));
    EXPECT_EQ(list, words({u"cukr"}));
}

TEST_F(WordList, DoesNotLearnACaseVariant) {
    QStringList list = words({u"Písek", u"žito"});
    EXPECT_FALSE(learnWord(list, QStringLiteral("PÍSEK")));
    EXPECT_FALSE(learnWord(list, QStringLiteral("písek")));
    EXPECT_EQ(list, words({u"Písek", u"žito"}));
}

TEST_F(WordList, LearnsAWordThatDiffersOnlyInAccents) {
    QStringList list = words({u"Písek"});
    EXPECT_TRUE(learnWord(list, QStringLiteral("pisek")));
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(findWord(list, QStringLiteral("PISEK")), list.indexOf(QStringLiteral("pisek")));
}

TEST_F(WordList, LearnedListSurvivesTheFile) {
    QStringList list;
    for (const char* w : {"žito", "cukr", "Chata", "hrách", "CUKR", ""})
        if (learnWord(list, QString::fromUtf8(w)))
            writeWordListFile(file, list);
    EXPECT_EQ(readWordListFile(file), words({u"cukr", u"hrách", u"Chata", u"žito"}));
}

} // namespace
