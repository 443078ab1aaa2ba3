#include "link/printframe.h"
#include "platform/clock.h"
#include "tests/support/qtprinters.h"

#include <QStringList>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <random>

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

QString describe(const PrintFrame& f) {
    return (f.kind == Kind::Item ? QStringLiteral("item ") + f.sequence + QLatin1Char(' ')
                                 : QStringLiteral("total ")) +
           f.weight;
}

using ms = std::chrono::milliseconds;

// The station's receiving side on a pinned clock: every delivery is taken at
// once, and the window's single-shot timer, set from untilRelease(), takes
// again when it falls due before the next delivery. Decoded frames read
// "item <sequence> <weight>" or "total <weight>".
class Line {
public:
    Line() {
        clock_::setMonotonic([this] { return m_now; });
    }
    ~Line() { clock_::setMonotonic({}); }

    void deliver(const QString& text) {
        m_buffer += text;
        m_reader.delivered();
        take();
    }
    // Time passes with nothing arriving.
    void wait(ms time) {
        const ms until = m_now + time;
        for (int fired = 0; m_due && *m_due <= until; ++fired) {
            ASSERT_LT(fired, 3) << "the timer keeps firing";
            m_now = *m_due;
            take();
        }
        m_now = until;
    }

    QStringList decoded;
    const QString& buffer() const { return m_buffer; }

private:
    void take() {
        for (const PrintFrame& f : m_reader.take(m_buffer, kg, comma))
            decoded.append(describe(f));
        ASSERT_LT(m_buffer.size(), kLongestPrintFrame) << "more kept than a frame can hold";
        const ms left = m_reader.untilRelease(m_buffer);
        m_due = left.count() < 0 ? std::nullopt : std::optional<ms>(m_now + left);
    }

    PrintFrameReader m_reader;
    QString m_buffer;
    ms m_now{5000};
    std::optional<ms> m_due;
};

// Pieces of one burst, a USB adapter's few milliseconds apart; the next
// weighing's frame comes after a quiet line.
constexpr ms kInBurst{16};
constexpr ms kBetweenWeighings{2000};

struct BurstCase {
    const char* name;
    std::vector<QString> deliveries; // one burst
    QStringList decoded;
    int releasedInBurst; // of those, before the line goes quiet
};

class Bursts : public ::testing::TestWithParam<BurstCase> {};

TEST_P(Bursts, DecodeIntoTheFramesSent) {
    const BurstCase& c = GetParam();
    Line line;
    for (const QString& d : c.deliveries) {
        line.deliver(d);
        line.wait(kInBurst);
    }
    EXPECT_EQ(line.decoded.size(), c.releasedInBurst);
    line.wait(kBetweenWeighings);
    EXPECT_EQ(line.decoded, c.decoded);
    EXPECT_TRUE(line.buffer().isEmpty());
}

const QString item12 = QStringLiteral("item 12 1,250 kg");
const QString item13 = QStringLiteral("item 13 2,500 kg");
const QString total = QStringLiteral("total   3.750 kg");
QString dropAt(const QString& text, int i) {
    QString t = text;
    return t.remove(i, 1);
}
const QString kNoise = QString(90, QLatin1Char('~'));
// A total printed over three lines, the first two as long as items.
const QString kTotal73 = QString(18, QLatin1Char('-')) +
                         QStringLiteral("\r\nCELKEM, 14.000 kg \r\n") +
                         QString(31, QLatin1Char('-')) + QStringLiteral("\r\n");

// Frames behind the first are released without waiting for a quiet line as
// soon as a longest frame's worth of text has come behind their start.
INSTANTIATE_TEST_SUITE_P(
    Deliveries, Bursts,
    ::testing::Values(
        BurstCase{"ItemAndTotalInOneDelivery", {kItem18 + kTotal71}, {item12, total}, 1},
        // A USB adapter cut the total right behind each inner line.
        BurstCase{"TotalCutBehindItsInnerLines",
                  {kTotal73.left(20), kTotal73.mid(20, 20), kTotal73.mid(40)},
                  {QStringLiteral("total  14.000 kg")},
                  0},
        // A damaged frame is kept while it may be the first line of a total,
        // then dropped through its line end.
        BurstCase{"LostCharacter",
                  {dropAt(kItem18, 3), kItem18b, kTotal71, kItem18},
                  {item13, total, item12},
                  2},
        BurstCase{"LongNoiseThenFrames",
                  {kNoise, kNoise + QStringLiteral("\r\n"), kItem18b},
                  {item13},
                  0},
        BurstCase{
            "NoiseLineBeforeATotal", {kNoise + QStringLiteral("\r\n") + kTotal71}, {total}, 0},
        BurstCase{"NoiseInTheMiddle",
                  {kItem18 + kNoise + QStringLiteral("\r\n"), kItem18b},
                  {item12, item13},
                  1}),
    [](const ::testing::TestParamInfo<BurstCase>& info) { return std::string(info.param.name); });

// ---- a property over generated streams ----------------------------------

constexpr int kItemLengths[] = {18, 20, 22, 24, 26};
constexpr int kTotalLengths[] = {71, 73, 75, 77, 79};

struct Generator {
    std::mt19937 rng;
    explicit Generator(unsigned seed) : rng(seed) {}
    int upTo(int n) { return std::uniform_int_distribution<int>(0, n)(rng); }
    template <size_t N> int pick(const int (&values)[N]) { return values[size_t(upTo(N - 1))]; }

    // Text without line feeds or commas.
    QString filler(int n) {
        static const QString chars = QStringLiteral("0123456789 .-=kgNTOAL\r");
        QString s;
        for (int i = 0; i < n; ++i)
            s += chars[upTo(int(chars.size()) - 1)];
        return s;
    }
    QString weight() {
        return QStringLiteral("%1.%2 kg").arg(upTo(9999)).arg(upTo(99), 2, 10, QLatin1Char('0'));
    }
    QString line(int length) { return filler(length - 2) + QStringLiteral("\r\n"); }
    // Sometimes with a line break inside, which may leave a first line of a
    // shorter item's length.
    QString item() {
        const QString body = QStringLiteral("%1, ").arg(upTo(999)) + weight();
        int length = pick(kItemLengths);
        while (length < body.size() + 2)
            length += 2;
        QString text = body + line(length - int(body.size()));
        if (upTo(2) == 0 && text.size() - body.size() >= 4)
            text.replace(body.size() + upTo(int(text.size() - body.size()) - 4), 2,
                         QStringLiteral("\r\n"));
        return text;
    }
    // A total printed over one to three lines, the inner ones mostly of an
    // item's length, with the weight in the last line.
    QString total() {
        const int length = pick(kTotalLengths);
        QString text;
        for (int lines = upTo(2); lines > 0; --lines)
            text += line(upTo(3) ? pick(kItemLengths) : 3 + upTo(20));
        const QString content = QStringLiteral("TOTAL,") + weight();
        const int rest = length - int(text.size()) - 2 - int(content.size());
        const int before = upTo(rest);
        return text + filler(before) + content + line(rest - before + 2);
    }
    QString frame() { return upTo(2) == 0 ? total() : item(); }
};

// Streams of frames, each delivered in pieces of every size from 1 to 79
// characters with a quiet line between weighings, decode into the frames
// one per delivery makes: the same rows and tickets. Noise sent between
// weighings, a burst of its own, adds nothing and spoils nothing.
TEST(PrintFrameStreams, PiecesOfEverySizeDecodeAsOneFramePerDelivery) {
    Generator g(20261208);
    for (int round = 0; round < 24; ++round) {
        std::vector<QString> bursts; // frames, and noise without line feeds
        QStringList expected;
        for (int n = 1 + g.upTo(5); n > 0; --n) {
            if (g.upTo(2) == 0)
                bursts.push_back(g.filler(1 + g.upTo(120)));
            bursts.push_back(g.frame());
            ASSERT_NE(printFrameKind(bursts.back()), Kind::None) << "generated a bad frame";
            expected.append(describe(decodePrintFrame(bursts.back(), kg, comma)));
        }
        for (int piece = 1; piece <= kLongestPrintFrame; ++piece) {
            Line line;
            for (const QString& burst : bursts) {
                for (qsizetype at = 0; at < burst.size(); at += piece) {
                    line.deliver(burst.mid(at, piece));
                    line.wait(ms(1 + g.upTo(int(kInBurst.count()))));
                }
                line.wait(kBetweenWeighings);
            }
            ASSERT_EQ(line.decoded, expected) << "round " << round << ", pieces of " << piece;
            ASSERT_TRUE(line.buffer().isEmpty());
        }
    }
}

} // namespace
