#include "link/weightframe.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

struct Start {
    int state = 0;
    const char* label = "0,000 kg";
    OkLook okLook = OkLook::AsDesigned;
    bool okEnabled = true;
};

struct Expect {
    const char* label;
    OkLook okLook;
    bool okEnabled;
    int state;
    const char* buffer;
};

struct Case {
    const char* name;
    std::vector<std::string> deliveries; // each appended, then decoded
    const char* unit;
    Start start;
    Expect expect;
};

const char* const kOver = "P\u0159et\u00ed\u017eeno";
const Start kFresh{};
const Start kOverloaded{2, kOver, OkLook::Stable, false};
const Start kUnstable{1, "3,0 kg", OkLook::Unstable, true};

// One row per behaviour of the live-weight decoder; deliveries model the
// serial channel handing the text over in pieces.
const Case kCases[] = {
    {"NumberWithoutStatusKeepsState",
     {"  12.5kg"},
     "kg",
     kFresh,
     {"12,5 kg", OkLook::AsDesigned, true, 0, ""}},
    {"StableWhileStableLeavesNavyButton",
     {"ST,GS,+  12.500kg\r\n"},
     "kg",
     kFresh,
     {"12,500 kg", OkLook::AsDesigned, true, 0, ""}},
    {"FirstHalfOfSplitReadingChangesNothing",
     {"ST,GS,+  12."},
     "kg",
     kUnstable,
     {"3,0 kg", OkLook::Unstable, true, 1, "ST,GS,+  12."}},
    {"SplitReadingCompletedBySecondDelivery",
     {"ST,GS,+  12.", "500kg\r\n"},
     "kg",
     kUnstable,
     {"12,500 kg", OkLook::Stable, true, 0, ""}},
    {"NegativeWithBlanksAfterMinus",
     {"US,NT,-   0.35 kg\r\n"},
     "kg",
     kFresh,
     {"-0,35 kg", OkLook::Unstable, true, 1, ""}},
    {"NegativeWithoutBlanks",
     {"ST,GS,-12.5kg"},
     "kg",
     kFresh,
     {"-12,5 kg", OkLook::AsDesigned, true, 0, ""}},
    {"MinusAfterBlankInsideDigits",
     {"ST 5 - 3kg"},
     "kg",
     kFresh,
     {"-3 kg", OkLook::AsDesigned, true, 0, ""}},
    {"EveryMinusBeforeTheDigitsCounts",
     {"- -5kg"},
     "kg",
     kFresh,
     {"--5 kg", OkLook::AsDesigned, true, 0, ""}},
    {"CommaKeptLeadingZerosKept",
     {"ST,GS  0012,50 kg\r\n"},
     "kg",
     kFresh,
     {"0012,50 kg", OkLook::AsDesigned, true, 0, ""}},
    {"BlankInsideDigitsKeepsLastGroup",
     {"ST,GS, 12 345kg"},
     "kg",
     kFresh,
     {"345 kg", OkLook::AsDesigned, true, 0, ""}},
    {"LettersBetweenDigitsJoined",
     {"ST,GS,12a3b.4kg"},
     "kg",
     kFresh,
     {"123,4 kg", OkLook::AsDesigned, true, 0, ""}},
    {"UnstableWinsOverStable",
     {"ST,GS,+1.0kgUS,GS,+1.1kg"},
     "kg",
     kFresh,
     {"1,0 kg", OkLook::Unstable, true, 1, ""}},
    {"StableAndUnstableFromUnstable",
     {"US,GS,+1.1kgST,GS,+1.0kg"},
     "kg",
     kUnstable,
     {"1,1 kg", OkLook::Unstable, true, 1, ""}},
    {"OverloadWinsOverStableAndUnstable",
     {"ST,US,OL 1kg"},
     "kg",
     kFresh,
     {kOver, OkLook::AsDesigned, false, 2, "ST,US,OL 1kg"}},
    {"OverloadWithoutUnit",
     {"OL,GS,+ ------"},
     "kg",
     kUnstable,
     {kOver, OkLook::Unstable, false, 2, "OL,GS,+ ------"}},
    {"OverloadThenGoodFrameStaysOverloaded",
     {"OL,GS,+ ------kg\r\n", "ST,GS,+  12.500kg\r\n"},
     "kg",
     kFresh,
     {kOver, OkLook::Stable, false, 2, ""}},
    {"OverloadClearedByNextGoodFrame",
     {"OL,GS,+ ------kg\r\n", "ST,GS,+  12.500kg\r\n", "ST,GS,+  12.500kg\r\n"},
     "kg",
     kFresh,
     {"12,500 kg", OkLook::Stable, true, 0, ""}},
    {"LeavingOverloadThroughUnstable",
     {"US,GS,+  7.0kg"},
     "kg",
     kOverloaded,
     {"7,0 kg", OkLook::Unstable, true, 1, ""}},
    {"OverloadFrameWhileOverloadedWithoutStatus",
     {"OL 5kg"},
     "kg",
     kOverloaded,
     {kOver, OkLook::Stable, false, 2, "OL 5kg"}},
    {"TwentyFiveCharactersStay",
     {std::string(25, 'x')},
     "kg",
     kFresh,
     {"0,000 kg", OkLook::AsDesigned, true, 0, "xxxxxxxxxxxxxxxxxxxxxxxxx"}},
    {"TwentySixCharactersEmptied",
     {std::string(26, 'x')},
     "kg",
     kFresh,
     {"0,000 kg", OkLook::AsDesigned, true, 0, ""}},
    {"TwentySixAfterTwoDeliveriesEmptied",
     {std::string(20, 'x'), "xxxxxx"},
     "kg",
     kFresh,
     {"0,000 kg", OkLook::AsDesigned, true, 0, ""}},
    {"UnitWithoutDigitKeepsLabelStatusActs",
     {"US,GS,+ ---kg"},
     "kg",
     kFresh,
     {"0,000 kg", OkLook::Unstable, true, 1, "US,GS,+ ---kg"}},
    {"UnitWithoutDigitTwentyFiveStays",
     {std::string(23, 'y') + "kg"},
     "kg",
     kFresh,
     {"0,000 kg", OkLook::AsDesigned, true, 0, "yyyyyyyyyyyyyyyyyyyyyyykg"}},
    {"UnitOnlyBeforeTheNumberIsLostByNormalising",
     {"ST kg 12"},
     "kg",
     kUnstable,
     {"3,0 kg", OkLook::Stable, true, 0, "ST kg 12"}},
    {"UnitCaseMatters",
     {"ST,GS,+ 12.5KG"},
     "kg",
     kUnstable,
     {"3,0 kg", OkLook::Unstable, true, 1, "ST,GS,+ 12.5KG"}},
    {"FirstOccurrenceOfUnitEndsTheNumber",
     {"1.5 t 2.5 t"},
     "t",
     kFresh,
     {"1,5 t", OkLook::AsDesigned, true, 0, ""}},
    // The unit's own full stop stays out of the number and the label.
    {"UnitWithAFullStop",
     {"ST,GS,+  12.500ks.\r\n"},
     "ks.",
     kFresh,
     {"12,500 ks.", OkLook::AsDesigned, true, 0, ""}},
    {"EmptyUnitIgnoresReadings",
     {"US,GS,+  12.5kg"},
     "",
     kFresh,
     {"0,000 kg", OkLook::AsDesigned, true, 0, "US,GS,+  12.5kg"}},
    {"EmptyUnitStillChecksOverload",
     {"OL,GS,+ ------kg"},
     "",
     kFresh,
     {kOver, OkLook::AsDesigned, false, 2, "OL,GS,+ ------kg"}},
    {"EmptyUnitCannotLeaveOverload",
     {"ST,GS,+  12.5kg"},
     "",
     kOverloaded,
     {kOver, OkLook::Stable, false, 2, "ST,GS,+  12.5kg"}},
};

class DecodeWeightFrame : public ::testing::TestWithParam<Case> {};

TEST_P(DecodeWeightFrame, UpdatesDisplayAndBuffer) {
    const Case& c = GetParam();
    WeightDisplay d;
    d.state = ScaleState(c.start.state);
    d.label = QString::fromUtf8(c.start.label);
    d.okLook = c.start.okLook;
    d.okEnabled = c.start.okEnabled;
    const QString unit = QString::fromUtf8(c.unit);

    QString buffer;
    for (const std::string& piece : c.deliveries) {
        buffer += QString::fromLatin1(piece.data(), qsizetype(piece.size()));
        decodeWeightFrame(buffer, unit, d);
    }

    EXPECT_EQ(d.label.toStdString(), c.expect.label);
    EXPECT_EQ(d.okLook, c.expect.okLook);
    EXPECT_EQ(d.okEnabled, c.expect.okEnabled);
    EXPECT_EQ(int(d.state), c.expect.state);
    EXPECT_EQ(buffer.toStdString(), c.expect.buffer);
}

INSTANTIATE_TEST_SUITE_P(Rows, DecodeWeightFrame, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

// Bytes above 0x7F come through cp1250 decoding; they must not be taken for
// digits or blanks.
TEST(DecodeWeightFrameBytes, NonAsciiCharactersAreSkippedLikeLetters) {
    WeightDisplay d;
    QString buffer = QStringLiteral("ST,GS,+ 1\u00a02\u0161kg");
    decodeWeightFrame(buffer, QStringLiteral("kg"), d);
    EXPECT_EQ(d.label.toStdString(), "12 kg");
    EXPECT_TRUE(buffer.isEmpty());
}

// Only a complete reading tells the line watch that the indicator talks.
TEST(WeightFrameReading, OnlyCompleteReadingsCount) {
    for (const auto& [text, reading] :
         std::vector<std::pair<const char*, bool>>{{"ST,GS,+  12.500kg", true},
                                                   {"ST,GS,+  12.", false},
                                                   {"US,GS,kg", false},
                                                   {"OL,GS,+ ------kg", true},
                                                   {"noise without any unit in it", false}})
        for (int state : {0, 2}) {
            WeightDisplay d;
            d.state = ScaleState(state);
            QString buffer = QString::fromLatin1(text);
            EXPECT_EQ(decodeWeightFrame(buffer, QStringLiteral("kg"), d), reading) << text << state;
        }
}

} // namespace
