#include "link/printframe.h"

#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>
#include <random>

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
// returns the frames decoded, as "item <sequence> <weight>" or
// "total <weight>".
QString describe(const PrintFrame& f) {
    return (f.kind == Kind::Item ? QStringLiteral("item ") + f.sequence + QLatin1Char(' ')
                                 : QStringLiteral("total ")) +
           f.weight;
}

struct Stream {
    QString buffer;
    QStringList decoded;

    void deliver(const QString& text) {
        buffer += text;
        for (const PrintFrame& f : takePrintFrames(buffer, kg, comma))
            decoded.append(describe(f));
        ASSERT_LT(buffer.size(), kLongestPrintFrame) << "more kept than a frame can hold";
    }
};

// A total printed over three lines, 75 characters; no beginning of it, alone
// or behind an item, is a frame or a row of frames.
const QString kTotalLines = QStringLiteral("TICKET No.\r\n") + QString(30, QLatin1Char('-')) +
                            QStringLiteral("\r\nTOTAL N=2,  3.750 kg") +
                            QString(9, QLatin1Char(' ')) + QStringLiteral("\r\n");

TEST(Taking, MultiLineTotalWholeOrSplitAnywhereIsOneFrame) {
    ASSERT_EQ(kTotalLines.size(), 75);
    for (qsizetype cut = 0; cut < kTotalLines.size(); ++cut) {
        Stream s;
        s.deliver(kItem18 + kTotalLines.left(cut));
        s.deliver(kTotalLines.mid(cut));
        EXPECT_EQ(s.decoded, (QStringList{QStringLiteral("item 12 1,250 kg"),
                                          QStringLiteral("total   3.750 kg")}))
            << "cut at " << cut;
        EXPECT_TRUE(s.buffer.isEmpty());
    }
}

TEST(Taking, ItemWithLineBreakInsideIsOneFrame) {
    Stream s;
    s.deliver(QStringLiteral("5, 1\r\n5 kg      \r\n") + kItem18b);
    EXPECT_EQ(s.decoded, (QStringList{QStringLiteral("item 5 1\r\n5 kg"),
                                      QStringLiteral("item 13 2,500 kg")}));
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
}

const QString item12 = QStringLiteral("item 12 1,250 kg");
const QString item13 = QStringLiteral("item 13 2,500 kg");
const QString total = QStringLiteral("total   3.750 kg");
QString dropAt(const QString& text, int i) {
    QString t = text;
    return t.remove(i, 1);
}
const QString kNoise = QString(90, QLatin1Char('~'));

INSTANTIATE_TEST_SUITE_P(
    Noise, Resynchronisation,
    ::testing::Values(
        NoiseCase{"ItemAndTotalInOneDelivery", {kItem18 + kTotal71}, {item12, total}},
        // A damaged frame is kept while it may be the first line of a total,
        // then dropped through its line end.
        NoiseCase{"LostCharacter",
                  {dropAt(kItem18, 3), kItem18b, kTotal71, kItem18},
                  {item13, total, item12}},
        NoiseCase{
            "LongNoiseThenFrames", {kNoise, kNoise + QStringLiteral("\r\n"), kItem18b}, {item13}},
        NoiseCase{"NoiseLineBeforeATotal", {kNoise + QStringLiteral("\r\n") + kTotal71}, {total}},
        NoiseCase{"NoiseInTheMiddle",
                  {kItem18 + kNoise + QStringLiteral("\r\n"), kItem18b},
                  {item12, item13}}),
    [](const ::testing::TestParamInfo<NoiseCase>& info) { return std::string(info.param.name); });

// The documented ambiguity: a total whose first line is itself 18 characters
// long, split right after that line, reads as an item; its rest is noise.
TEST(Taking, SplitAfterAFrameShapedFirstLineIsTakenAsThatFrame) {
    const QString printed = QStringLiteral("TOTAL N=1       \r\n") + QString(19, QLatin1Char('=')) +
                            QStringLiteral("\r\n,  1.250 kg") + QString(21, QLatin1Char(' ')) +
                            QStringLiteral("\r\n");
    ASSERT_EQ(printed.size(), 73);
    Stream whole;
    whole.deliver(printed);
    EXPECT_EQ(whole.decoded, QStringList{QStringLiteral("total   1.250 kg")});
    Stream split;
    split.deliver(printed.left(18));
    split.deliver(printed.mid(18));
    split.deliver(kTotal71);
    EXPECT_EQ(split.decoded, (QStringList{QStringLiteral("item  "), total}));
}

// ---- properties over generated streams ----------------------------------

constexpr int kItemLengths[] = {18, 20, 22, 24, 26};
constexpr int kTotalLengths[] = {71, 73, 75, 77, 79};

bool isFrameText(const QString& t) {
    return printFrameKind(t) != Kind::None;
}

// Whether a text can be read as one or more whole frames.
bool readsAsFrames(const QString& t) {
    std::vector<bool> ok(size_t(t.size()) + 1, false);
    ok[0] = true;
    for (qsizetype end = 1; end <= t.size(); ++end)
        for (qsizetype start = std::max<qsizetype>(0, end - 79); start < end && !ok[size_t(end)];
             ++start)
            ok[size_t(end)] = ok[size_t(start)] && isFrameText(t.mid(start, end - start));
    return !t.isEmpty() && ok[size_t(t.size())];
}

struct Generator {
    std::mt19937 rng;
    explicit Generator(unsigned seed) : rng(seed) {}
    int upTo(int n) { return std::uniform_int_distribution<int>(0, n)(rng); }
    template <size_t N> int pick(const int (&values)[N]) { return values[size_t(upTo(N - 1))]; }

    QString filler(int n) {
        static const QString chars = QStringLiteral("0123456789 ,.-=kgNTOAL\r");
        QString s;
        for (int i = 0; i < n; ++i)
            s += chars[upTo(int(chars.size()) - 1)];
        return s;
    }
    QString weight() {
        return QStringLiteral("%1.%2 kg").arg(upTo(9999)).arg(upTo(99), 2, 10, QLatin1Char('0'));
    }
    QString item() {
        const QString body = QStringLiteral("%1, ").arg(upTo(999)) + weight();
        int length = pick(kItemLengths);
        while (length < body.size() + 2)
            length += 2;
        return body + filler(length - 2 - int(body.size())).replace(QLatin1Char(','), ' ') +
               QStringLiteral("\r\n");
    }
    // A total with up to three line breaks inside, at random places.
    QString total(int mostBreaks = 3) {
        const int length = pick(kTotalLengths);
        QString text = filler(length - 2).replace(QLatin1Char(','), QLatin1Char(' '));
        const QString content = QStringLiteral("TOTAL,") + weight();
        text.replace(length - 2 - content.size() - upTo(10), content.size(), content);
        for (int breaks = upTo(mostBreaks); breaks > 0; --breaks) {
            const int at = upTo(length - 5);
            text.replace(at, 2, QStringLiteral("\r\n"));
        }
        return text + QStringLiteral("\r\n");
    }
    QString frame(int mostBreaks = 3) { return upTo(2) == 0 ? total(mostBreaks) : item(); }

    // Cuts a text into deliveries at random points.
    std::vector<QString> cut(const QString& text, std::vector<qsizetype>& ends) {
        std::vector<QString> parts;
        for (qsizetype at = 0; at < text.size();) {
            const qsizetype n = std::min<qsizetype>(1 + upTo(upTo(1) ? 30 : 120), text.size() - at);
            parts.push_back(text.mid(at, n));
            at += n;
            ends.push_back(at);
        }
        return parts;
    }
};

struct Carried {
    QString text;
    std::vector<qsizetype> starts; // of each frame
    QStringList expected;          // each frame decoded on its own
};

Carried carry(const std::vector<QString>& frames) {
    Carried c;
    for (const QString& f : frames) {
        c.starts.push_back(c.text.size());
        c.text += f;
        c.expected.append(describe(decodePrintFrame(f, kg, comma)));
    }
    return c;
}

// The documented ambiguity: text from a frame's start up to a line break
// inside a later frame reads as frames, and either a delivery ends there,
// before the rest of that frame, or the rest reads as frames too.
bool hitsAmbiguity(const Carried& c, const std::vector<qsizetype>& ends) {
    std::vector<qsizetype> frameEnds(c.starts.begin() + 1, c.starts.end());
    frameEnds.push_back(c.text.size());
    for (size_t i = 0; i < c.starts.size(); ++i) {
        for (qsizetype e = c.starts[i] + 2; e < frameEnds[i]; ++e) {
            if (c.text.mid(e - 2, 2) != QStringLiteral("\r\n"))
                continue;
            const bool before =
                std::any_of(c.starts.begin(), c.starts.begin() + qsizetype(i) + 1,
                            [&](qsizetype b) { return readsAsFrames(c.text.mid(b, e - b)); });
            if (!before)
                continue;
            if (std::any_of(ends.begin(), ends.end(),
                            [&](qsizetype d) { return d >= e && d < frameEnds[i]; }))
                return true;
            if (std::any_of(frameEnds.begin() + qsizetype(i), frameEnds.end(),
                            [&](qsizetype f) { return readsAsFrames(c.text.mid(e, f - e)); }))
                return true;
        }
    }
    return false;
}

TEST(PrintFrameStreams, DeliveryBoundariesDoNotChangeTheFrames) {
    Generator g(20261208);
    int checked = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<QString> frames;
        for (int n = 1 + g.upTo(6); n > 0; --n)
            frames.push_back(g.frame());
        const Carried c = carry(frames);

        Stream onePerDelivery;
        for (const QString& f : frames)
            onePerDelivery.deliver(f);
        ASSERT_EQ(onePerDelivery.decoded, c.expected);

        std::vector<qsizetype> ends;
        const std::vector<QString> parts = g.cut(c.text, ends);
        if (hitsAmbiguity(c, ends))
            continue;
        ++checked;
        Stream split;
        for (const QString& p : parts)
            split.deliver(p);
        ASSERT_EQ(split.decoded, c.expected) << "round " << round;
        EXPECT_TRUE(split.buffer.isEmpty());
    }
    EXPECT_GT(checked, 300) << "the generator makes too many ambiguous streams";
}

// No run of a frame's own lines, other than the whole frame, reads as
// frames, and a total's first line is longer than an item: then noise in
// front of a frame can only spoil it, never split it into more frames.
bool linesAreNotFrames(const QString& f) {
    std::vector<qsizetype> starts{0};
    for (qsizetype i = f.indexOf(QStringLiteral("\r\n")); i >= 0 && i + 2 < f.size();
         i = f.indexOf(QStringLiteral("\r\n"), i + 2))
        starts.push_back(i + 2);
    if (starts.size() > 1 && starts[1] <= 26 + 2)
        return false;
    std::vector<qsizetype> ends(starts.begin() + 1, starts.end());
    ends.push_back(f.size());
    for (qsizetype s : starts)
        for (qsizetype e : ends)
            if (e > s && !(s == 0 && e == f.size()) && readsAsFrames(f.mid(s, e - s)))
                return false;
    return true;
}

TEST(PrintFrameStreams, NoiseNeverAddsAFrame) {
    Generator g(4242);
    for (int round = 0; round < 400; ++round) {
        // Noise alone: characters without line feeds never make a frame.
        Stream noiseOnly;
        for (int n = g.upTo(8); n > 0; --n)
            noiseOnly.deliver(g.filler(g.upTo(120)).remove(QLatin1Char('\r')) +
                              (g.upTo(1) ? QStringLiteral("\r") : QString()));
        ASSERT_TRUE(noiseOnly.decoded.isEmpty());

        // Every other stream holds only one-line frames, so that it cannot be
        // read in two ways and must come back in step after the noise.
        const bool oneLineFrames = round % 2 == 0;
        std::vector<QString> frames;
        while (frames.size() < 8) {
            const QString f = g.frame(oneLineFrames ? 0 : 3);
            if (linesAreNotFrames(f))
                frames.push_back(f);
        }
        // Noise in front of some of the first four frames.
        QString text;
        qsizetype noiseEnd = 0;
        std::vector<qsizetype> starts;
        for (size_t i = 0; i < frames.size(); ++i) {
            if (i < 4 && g.upTo(1)) {
                QString noise = g.filler(1 + g.upTo(100));
                text += noise.replace(QLatin1Char('\r'), QLatin1Char('#'));
                noiseEnd = text.size();
            }
            starts.push_back(text.size());
            text += frames[i];
        }
        const Carried c = carry(frames);
        std::vector<qsizetype> ends;
        Stream s;
        for (const QString& p : g.cut(text, ends))
            s.deliver(p);

        ASSERT_LE(s.decoded.size(), c.expected.size()) << "round " << round;
        // Back in step within a frame's length of the noise. (Text read from
        // the middle of a total printed over several lines may instead join the
        // next frames into one; see the ambiguity.)
        QStringList clean;
        for (size_t i = 0; i < frames.size() && oneLineFrames; ++i)
            if (starts[i] >= noiseEnd + kLongestPrintFrame)
                clean.append(c.expected[qsizetype(i)]);
        ASSERT_GE(s.decoded.size(), clean.size()) << "round " << round;
        ASSERT_EQ(s.decoded.mid(s.decoded.size() - clean.size()), clean) << "round " << round;
    }
}

} // namespace
