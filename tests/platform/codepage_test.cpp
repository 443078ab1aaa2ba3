#include "platform/codepage.h"
#include "tests/support/qtprinters.h"

#include <QSet>
#include <QStringDecoder>
#include <gtest/gtest.h>

namespace {

// The five bytes that Windows-1250 leaves undefined.
bool undefinedByte(int b) {
    return b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98;
}

QByteArray allBytes() {
    QByteArray bytes(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        bytes[b] = char(b);
    return bytes;
}

TEST(Cp1250, EveryByteSurvivesDecodingAndEncoding) {
    const QByteArray bytes = allBytes();
    const QString text = cp1250::decode(bytes);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(cp1250::encode(text), bytes);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(cp1250::encode(QString(QChar(cp1250::toUnicode(uchar(b))))),
                  QByteArray(1, char(b)))
            << "byte " << b;
}

TEST(Cp1250, NoTwoBytesDecodeToTheSameCharacter) {
    QSet<char16_t> seen;
    for (int b = 0; b < 256; ++b)
        seen.insert(cp1250::toUnicode(uchar(b)));
    EXPECT_EQ(seen.size(), 256);
}

TEST(Cp1250, DefinedBytesMatchIcu) {
    QStringDecoder icu("windows-1250");
    if (!icu.isValid())
        GTEST_SKIP() << "this Qt has no ICU decoder for windows-1250";
    int compared = 0;
    for (int b = 0; b < 256; ++b) {
        if (undefinedByte(b))
            continue;
        const QString expected = icu.decode(QByteArray(1, char(b)));
        EXPECT_EQ(cp1250::decode(QByteArray(1, char(b))), expected) << "byte 0x" << std::hex << b;
        ++compared;
    }
    EXPECT_EQ(compared, 251);
}

TEST(Cp1250, UndefinedBytesBecomeTheC1ControlOfTheSameNumber) {
    for (int b : {0x81, 0x83, 0x88, 0x90, 0x98})
        EXPECT_EQ(int(cp1250::toUnicode(uchar(b))), b);
}

struct LetterCase {
    const char* utf8;
    unsigned char byte;
};

class Cp1250Letters : public testing::TestWithParam<LetterCase> {};

TEST_P(Cp1250Letters, MapToTheirWindowsByte) {
    const QString letter = QString::fromUtf8(GetParam().utf8);
    EXPECT_EQ(cp1250::encode(letter), QByteArray(1, char(GetParam().byte)));
    EXPECT_EQ(cp1250::decode(QByteArray(1, char(GetParam().byte))), letter);
}

INSTANTIATE_TEST_SUITE_P(
    Czech, Cp1250Letters,
    testing::Values(LetterCase{"ř", 0xF8}, LetterCase{"Ř", 0xD8}, LetterCase{"č", 0xE8},
                    LetterCase{"Č", 0xC8}, LetterCase{"š", 0x9A}, LetterCase{"Š", 0x8A},
                    LetterCase{"ž", 0x9E}, LetterCase{"Ž", 0x8E}, LetterCase{"ť", 0x9D},
                    LetterCase{"Ť", 0x8D}, LetterCase{"ď", 0xEF}, LetterCase{"Ď", 0xCF},
                    LetterCase{"ň", 0xF2}, LetterCase{"Ň", 0xD2}, LetterCase{"ě", 0xEC},
                    LetterCase{"Ě", 0xCC}, LetterCase{"ů", 0xF9}, LetterCase{"Ů", 0xD9},
                    LetterCase{"á", 0xE1}, LetterCase{"é", 0xE9}, LetterCase{"í", 0xED},
                    LetterCase{"ó", 0xF3}, LetterCase{"ú", 0xFA}, LetterCase{"ý", 0xFD},
                    LetterCase{"Á", 0xC1}, LetterCase{"Í", 0xCD}, LetterCase{"€", 0x80},
                    LetterCase{"„", 0x84}, LetterCase{"“", 0x93}, LetterCase{"°", 0xB0},
                    LetterCase{"\u00A0", 0xA0}, LetterCase{"§", 0xA7}));

struct UnmappableCase {
    const char16_t* text;
    const char* expected;
};

class Cp1250Unmappable : public testing::TestWithParam<UnmappableCase> {};

TEST_P(Cp1250Unmappable, BecomeOneQuestionMarkPerCharacter) {
    EXPECT_EQ(cp1250::encode(QString::fromUtf16(GetParam().text)), QByteArray(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Cp1250Unmappable,
    testing::Values(UnmappableCase{u"漢", "?"}, UnmappableCase{u"a漢字b", "a??b"},
                    // one character outside the BMP is a surrogate pair
                    UnmappableCase{u"a\U0001F600b", "a?b"},
                    UnmappableCase{u"\U0001F600\U0001F600", "??"},
                    // surrogates without their partner
                    UnmappableCase{u"a\xD83D", "a?"}, UnmappableCase{u"\xDE00x", "?x"},
                    UnmappableCase{u"\xD83D\xD83D\xDE00", "??"}, UnmappableCase{u"ñ", "?"},
                    UnmappableCase{u"Ω", "?"}, UnmappableCase{u"\xFFFD", "?"},
                    UnmappableCase{u"?", "?"}));

} // namespace
