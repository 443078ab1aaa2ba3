#include "link/printframe.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <ostream>

// Readable failure output.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

using Kind = PrintFrame::Kind;

const QString kg = QStringLiteral("kg");
const QChar comma = QLatin1Char(',');

// A frame body padded with blanks to `length` characters, CR LF included.
QString frame(const QString& body, int length) {
    QString text = body;
    text += QString(length - 2 - int(body.size()), QLatin1Char(' '));
    return text + QStringLiteral("\r\n");
}

// An 18-character item frame as an indicator sends it.
const QString kItem18 = QStringLiteral("12, 1.250 kg    \r\n");
const QString kItem18b = QStringLiteral("13, 2.500 kg    \r\n");
const QString kTotal71 = frame(QStringLiteral("CELKEM,  3.750 kg"), 71);

struct AcceptCase {
    const char* name;
    QString text;
    Kind kind;
};

class Acceptance : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(Acceptance, WholeBufferOfAFrameLengthEndingInCrLf) {
    const AcceptCase& c = GetParam();
    EXPECT_EQ(printFrameKind(c.text), c.kind);
}

std::vector<AcceptCase> acceptCases() {
    std::vector<AcceptCase> cases;
    for (int n : {18, 20, 22, 24, 26})
        cases.push_back({"Item", frame(QStringLiteral("1, 5 kg"), n), Kind::Item});
    for (int n : {71, 73, 75, 77, 79})
        cases.push_back({"Total", frame(QStringLiteral("C, 5 kg"), n), Kind::Total});
    for (int n : {16, 17, 19, 21, 25, 27, 70, 72, 78, 80})
        cases.push_back({"OtherLength", frame(QStringLiteral("1, 5 kg"), n), Kind::None});
    QString reversed = QString(16, QLatin1Char('x')) + QStringLiteral("\n\r");
    cases.push_back({"ReversedLfCr", reversed, Kind::None});
    cases.push_back({"OnlyCr", QString(17, QLatin1Char('x')) + QLatin1Char('\r'), Kind::None});
    cases.push_back({"OnlyLf", QString(17, QLatin1Char('x')) + QLatin1Char('\n'), Kind::None});
    cases.push_back(
        {"CrInside",
         QStringLiteral("1,\r5 kg\r") + QString(8, QLatin1Char(' ')) + QStringLiteral("\r\n"),
         Kind::Item});
    cases.push_back({"Empty", QString(), Kind::None});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Lengths, Acceptance, ::testing::ValuesIn(acceptCases()),
                         [](const ::testing::TestParamInfo<AcceptCase>& info) {
                             return std::string(info.param.name) + "_" +
                                    std::to_string(info.param.text.size()) + "_" +
                                    std::to_string(info.index);
                         });

struct DecodeCase {
    const char* name;
    QString frame;
    QString unit;
    Kind kind;
    QString sequence;
    QString weight;
};

class Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, CutsSequenceAndWeightAtCommaBlankAndUnit) {
    const DecodeCase& c = GetParam();
    ASSERT_EQ(printFrameKind(c.frame), c.kind) << "test frame has the wrong length";
    const PrintFrame f = decodePrintFrame(c.frame, c.unit, comma);
    EXPECT_EQ(f.kind, c.kind);
    EXPECT_EQ(f.sequence, c.sequence);
    EXPECT_EQ(f.weight, c.weight);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, Decoding,
    ::testing::Values(
        DecodeCase{"ItemPlain", kItem18, kg, Kind::Item, QStringLiteral("12"),
                   QStringLiteral("1,250 kg")},
        // Blanks after the first blank belong to the weight: copied, not trimmed.
        DecodeCase{"ItemBlanksKept", frame(QStringLiteral("7,    12.5 kg"), 20), kg, Kind::Item,
                   QStringLiteral("7"), QStringLiteral("   12,5 kg")},
        DecodeCase{"ItemNoComma", frame(QStringLiteral("N 3.5 kg"), 18), kg, Kind::Item, QString(),
                   QStringLiteral("3,5 kg")},
        DecodeCase{"ItemEveryFullStopReplaced", frame(QStringLiteral("1.2, 1.000.5 kg"), 18), kg,
                   Kind::Item, QStringLiteral("1.2"), QStringLiteral("1,000,5 kg")},
        // The unit before the first blank: the end lies before the start.
        DecodeCase{"ItemUnitBeforeBlank", frame(QStringLiteral("kg,1 5.0"), 18), kg, Kind::Item,
                   QStringLiteral("kg"), QString()},
        DecodeCase{"ItemUnitAbsentWithBlank", frame(QStringLiteral("1, 5.0 lb"), 18), kg,
                   Kind::Item, QStringLiteral("1"), QString()},
        // No blank and no unit: from the first character through the first.
        DecodeCase{"ItemUnitAbsentNoBlank", QStringLiteral("9,5.0xxxxxxxxxxx\r\n"), kg, Kind::Item,
                   QStringLiteral("9"), QStringLiteral("9")},
        DecodeCase{"ItemEmptyUnitWithBlank", kItem18, QString(), Kind::Item, QStringLiteral("12"),
                   QString()},
        // Case matters: "KG" is not "kg".
        DecodeCase{"ItemUnitCaseSensitive", frame(QStringLiteral("1, 5 KG"), 18), kg, Kind::Item,
                   QStringLiteral("1"), QString()},
        // Through the character after the unit's first letter.
        DecodeCase{"ItemThreeLetterUnit", frame(QStringLiteral("1, 40 PCS"), 18),
                   QStringLiteral("PCS"), Kind::Item, QStringLiteral("1"), QStringLiteral("40 PC")},
        DecodeCase{"ItemOneLetterUnit", frame(QStringLiteral("1, 2.5 t"), 18), QStringLiteral("t"),
                   Kind::Item, QStringLiteral("1"), QStringLiteral("2,5 t ")},
        DecodeCase{"ItemOneLetterUnitFirstOccurrence", frame(QStringLiteral("1,gross 2.5 g"), 18),
                   QStringLiteral("g"), Kind::Item, QStringLiteral("1"), QString()},
        DecodeCase{"ItemCrInsideIsText",
                   QStringLiteral("4, 1\r5 kg") + QString(7, QLatin1Char(' ')) +
                       QStringLiteral("\r\n"),
                   kg, Kind::Item, QStringLiteral("4"), QStringLiteral("1\r5 kg")},
        DecodeCase{"TotalKeepsFullStops", kTotal71, kg, Kind::Total, QString(),
                   QStringLiteral("  3.750 kg")},
        DecodeCase{"TotalNoComma", frame(QStringLiteral("5.5 kg total"), 73), kg, Kind::Total,
                   QString(), QStringLiteral("5.5 kg")},
        DecodeCase{"TotalEmptyUnitWithComma", kTotal71, QString(), Kind::Total, QString(),
                   QString()},
        DecodeCase{"TotalEmptyUnitNoComma", frame(QStringLiteral("5.5 kg"), 79), QString(),
                   Kind::Total, QString(), QStringLiteral("5")}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(DecodingSeparator, ItemUsesTheGivenDecimalSeparator) {
    const PrintFrame f = decodePrintFrame(kItem18, kg, QLatin1Char('.'));
    EXPECT_EQ(f.weight, QStringLiteral("1.250 kg"));
    EXPECT_EQ(decodePrintFrame(kItem18, kg, QLatin1Char('#')).weight, QStringLiteral("1#250 kg"));
}

// Feeds the deliveries one by one, taking every frame after each, and
// returns the sequence numbers (item) or weights (total) decoded in order.
struct Stream {
    QString buffer;
    QStringList decoded;

    void deliver(const QString& text) {
        buffer += text;
        for (PrintFrame f = takePrintFrame(buffer, kg, comma); f.kind != Kind::None;
             f = takePrintFrame(buffer, kg, comma))
            decoded.append(f.kind == Kind::Item ? QStringLiteral("item ") + f.sequence
                                                : QStringLiteral("total ") + f.weight);
    }
};

TEST(Taking, WholeFrameEmptiesTheBuffer) {
    Stream s;
    s.deliver(kItem18);
    EXPECT_EQ(s.decoded, QStringList{QStringLiteral("item 12")});
    EXPECT_TRUE(s.buffer.isEmpty());
}

TEST(Taking, PartialFrameStaysInTheBuffer) {
    Stream s;
    s.deliver(kItem18.left(10));
    EXPECT_TRUE(s.decoded.isEmpty());
    EXPECT_EQ(s.buffer, kItem18.left(10));
}

TEST(Taking, FrameSplitAtEveryPointDecodesOnce) {
    for (const QString& f : {kItem18, kTotal71}) {
        for (qsizetype cut = 1; cut < f.size(); ++cut) {
            Stream s;
            s.deliver(f.left(cut));
            s.deliver(f.mid(cut));
            ASSERT_EQ(s.decoded.size(), 1) << "cut at " << cut;
            EXPECT_TRUE(s.buffer.isEmpty());
        }
    }
}

TEST(Taking, FrameDeliveredCharacterByCharacterDecodesOnce) {
    Stream s;
    for (QChar c : kTotal71)
        s.deliver(QString(c));
    EXPECT_EQ(s.decoded, QStringList{QStringLiteral("total   3.750 kg")});
}

// The one departure from taking only whole buffers: a CR LF inside a frame
// ends it there, and both pieces are noise.
TEST(Taking, CrLfInsideAFrameEndsItEarly) {
    const QString inner =
        QStringLiteral("5, 1\r\n5 kg") + QString(6, QLatin1Char(' ')) + QStringLiteral("\r\n");
    ASSERT_EQ(inner.size(), 18);
    Stream s;
    s.deliver(inner);
    s.deliver(kItem18b);
    EXPECT_EQ(s.decoded, QStringList{QStringLiteral("item 13")});
    EXPECT_TRUE(s.buffer.isEmpty());
}

struct NoiseCase {
    const char* name;
    std::vector<QString> deliveries;
    QStringList decoded;
};

class Resynchronisation : public ::testing::TestWithParam<NoiseCase> {};

TEST_P(Resynchronisation, FramesAfterTheNoiseAreDecoded) {
    const NoiseCase& c = GetParam();
    Stream s;
    for (const QString& d : c.deliveries)
        s.deliver(d);
    EXPECT_EQ(s.decoded, c.decoded);
    EXPECT_TRUE(s.buffer.isEmpty()) << s.buffer.toStdString();
}

const QString item12 = QStringLiteral("item 12");
const QString item13 = QStringLiteral("item 13");
const QString total = QStringLiteral("total   3.750 kg");
QString dropAt(const QString& text, int i) {
    QString t = text;
    return t.remove(i, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Noise, Resynchronisation,
    ::testing::Values(
        NoiseCase{"TwoFramesInOneDelivery", {kItem18 + kItem18b}, {item12, item13}},
        NoiseCase{"ItemAndTotalInOneDelivery", {kItem18 + kTotal71}, {item12, total}},
        NoiseCase{"SecondFrameHalfDelivered",
                  {kItem18 + kItem18b.left(5), kItem18b.mid(5)},
                  {item12, item13}},
        NoiseCase{"LostCharacter", {dropAt(kItem18, 3), kItem18b, kTotal71}, {item13, total}},
        NoiseCase{"ExtraCharacter",
                  {kItem18.left(4) + QLatin1Char('#') + kItem18.mid(4), kItem18b},
                  {item13}},
        NoiseCase{"LostCrGluesTwoFrames", {dropAt(kItem18, 16), kItem18b, kItem18}, {item12}},
        NoiseCase{"LostLfGluesTwoFrames", {dropAt(kItem18, 17), kItem18b, kItem18}, {item12}},
        NoiseCase{"GarbageLineBeforeFrames",
                  {QStringLiteral("\x7f@@\r\n"), kItem18, kTotal71},
                  {item12, total}},
        NoiseCase{"GarbageInTheSameDelivery",
                  {QStringLiteral("zz\r\n") + kItem18 + QStringLiteral("qq\r\n") + kItem18b},
                  {item12, item13}},
        NoiseCase{"ReversedEndingThenFrames",
                  {QString(16, QLatin1Char('x')) + QStringLiteral("\n\r"), kItem18b},
                  {}},
        NoiseCase{"ReversedEndingThenTwoFrames",
                  {QString(16, QLatin1Char('x')) + QStringLiteral("\n\r"), kItem18b, kItem18},
                  {item12}}),
    [](const ::testing::TestParamInfo<NoiseCase>& info) { return std::string(info.param.name); });

TEST(Taking, LongTextWithoutCrLfIsBoundedAndFramesFollow) {
    Stream s;
    const QString noise(kMaxPendingPrintText + 10, QLatin1Char('~'));
    s.deliver(noise);
    EXPECT_LE(s.buffer.size(), kMaxPendingPrintText);
    s.deliver(kItem18);
    s.deliver(kItem18b);
    EXPECT_EQ(s.decoded, (QStringList{item12, item13}));
    EXPECT_TRUE(s.buffer.isEmpty());
}

TEST(Taking, BoundKeepsATrailingCrThatMayStartTheNextCrLf) {
    Stream s;
    s.deliver(QString(kMaxPendingPrintText + 10, QLatin1Char('~')) + QLatin1Char('\r'));
    EXPECT_EQ(s.buffer, QStringLiteral("\r"));
    s.deliver(QStringLiteral("\n") + kItem18);
    EXPECT_EQ(s.decoded, QStringList{item12});
}

TEST(Taking, NoiseThatHappensToHaveAFrameLengthIsTakenAsAFrame) {
    // The price of decoding split frames exactly: 18 characters ending in
    // CR LF are a frame whatever they hold.
    Stream s;
    s.deliver(QString(16, QLatin1Char('?')) + QStringLiteral("\r\n"));
    EXPECT_EQ(s.decoded, QStringList{QStringLiteral("item ")});
}

} // namespace
