#include "link/printframe.h"
#include "link/weightframe.h"
#include "tools/indicator-sim/frames.h"
#include "tools/indicator-sim/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using indicator::ScaleState;

std::string str(const QByteArray& b) {
    return b.toStdString();
}

struct LiveCase {
    const char* name;
    double weight;
    ScaleState state;
    int format;
    const char* frame;
    const char* label; // what the live-weight decoder makes of it
    int scaleState;
};

// The simulator is only useful if the program's decoder reads its frames as
// it would read a real indicator's.
const LiveCase kLive[] = {
    {"SignedThreeDecimals", 12.5, ScaleState::Stable, 0, "ST,GS,+  12.500kg\r\n", "12,500 kg", 0},
    {"NetNegativeBlankBeforeUnit", -0.35, ScaleState::Unstable, 1, "US,NT,-   0.35 kg\r\n",
     "-0,35 kg", 1},
    {"DecimalComma", 12.5, ScaleState::Stable, 2, "ST,GS  12,50 kg\r\n", "12,50 kg", 0},
    {"DecimalCommaNegative", -12.5, ScaleState::Unstable, 2, "US,GS -12,50 kg\r\n", "-12,50 kg", 1},
    {"ZeroPadded", 12.5, ScaleState::Stable, 3, "ST,GS,+0012.50kg\r\n", "0012,50 kg", 0},
    {"Overload", 12.5, ScaleState::Overload, 1, "OL,GS,+ ------kg\r\n", "P\u0159et\u00ed\u017eeno",
     2},
};

class LiveFrames : public ::testing::TestWithParam<LiveCase> {};

TEST_P(LiveFrames, TextAndDecodedLabel) {
    const LiveCase& c = GetParam();
    indicator::Reading r;
    r.weight = c.weight;
    r.state = c.state;
    const QByteArray frame = indicator::liveFrame(r, c.format);
    EXPECT_EQ(str(frame), c.frame);
    EXPECT_LE(frame.size(), 25); // one frame never trips the 25-character rule

    WeightDisplay d;
    QString buffer = QString::fromLatin1(frame);
    decodeWeightFrame(buffer, QStringLiteral("kg"), d);
    EXPECT_EQ(d.label.toStdString(), c.label);
    EXPECT_EQ(int(d.state), c.scaleState);
}

INSTANTIATE_TEST_SUITE_P(Rows, LiveFrames, ::testing::ValuesIn(kLive),
                         [](const auto& info) { return std::string(info.param.name); });

struct PrintCase {
    const char* name;
    bool total;
    int number; // sequence or count
    double weight;
    const char* text; // without padding and CR LF; empty when it cannot fit
    int length;
};

const PrintCase kPrint[] = {
    {"ShortItemPaddedTo18", false, 1, 12.5, "1, 12.50 kg", 18},
    {"ItemFilling18", false, 123, 99999.99, "123, 99999.99 kg", 18},
    {"ItemNeeding20", false, 1234, 123456.78, "1234, 123456.78 kg", 20},
    {"ItemTooLong", false, 1, 1e20, "", 0},
    {"TotalOverThreeLines", true, 3, 37.5,
     "------------------\r\nTOTAL N=3,    37.50 kg\r\n-------------------------", 71},
    {"TotalWithAWideLine", true, 12345, 1e12,
     "------------------\r\nTOTAL N=12345,1000000000000.00 kg\r\n--------------", 71},
};

class PrintFrames : public ::testing::TestWithParam<PrintCase> {};

TEST_P(PrintFrames, AcceptedLengthEndingInCrLf) {
    const PrintCase& c = GetParam();
    const QString unit = QStringLiteral("kg");
    const QByteArray frame = c.total ? indicator::totalFrame(c.number, c.weight, unit)
                                     : indicator::itemFrame(c.number, c.weight, unit);
    ASSERT_EQ(frame.size(), c.length);
    if (c.length == 0)
        return;
    EXPECT_TRUE(frame.endsWith("\r\n"));
    EXPECT_EQ(str(frame.left(qsizetype(std::string(c.text).size()))), c.text);
    EXPECT_EQ(frame.mid(qsizetype(std::string(c.text).size())).trimmed().size(), 0);
    const auto& allowed = c.total ? indicator::kTotalLengths : indicator::kItemLengths;
    EXPECT_NE(std::find(std::begin(allowed), std::end(allowed), c.length), std::end(allowed));
}

INSTANTIATE_TEST_SUITE_P(Rows, PrintFrames, ::testing::ValuesIn(kPrint),
                         [](const auto& info) { return std::string(info.param.name); });

struct CommandCase {
    const char* name;
    std::vector<const char*> commands;
    std::vector<std::string> livePeriod; // the writes of one period
    std::vector<std::string> pending;    // print frames queued
};

const CommandCase kCommands[] = {
    {"Defaults", {}, {"ST,GS,+   0.000kg\r\n"}, {}},
    {"WeightAndUnstable", {"weight 12,5", "unstable"}, {"US,GS,+  12.500kg\r\n"}, {}},
    {"BurstInOneWrite",
     {"weight 1", "burst 2"},
     {"ST,GS,+   1.000kg\r\nST,GS,+   1.000kg\r\n"},
     {}},
    {"SplitInTwoWrites", {"weight 1", "split on"}, {"ST,GS,+  ", " 1.000kg\r\n"}, {}},
    {"UnitAndFormat", {"unit lb", "format 1", "weight 3"}, {"ST,NT,+   3.00 lb\r\n"}, {}},
    {"ItemsThenTotalResetsTicket",
     {"mode print", "item 12.5", "item 25", "total", "item 1"},
     {"ST,GS,+   0.000kg\r\n"},
     {"1, 12.50 kg     \r\n", "2, 25.00 kg     \r\n",
      std::string(18, '-') + "\r\nTOTAL N=2,    37.50 kg\r\n" + std::string(25, '-') + "\r\n",
      "1, 1.00 kg      \r\n"}},
    {"RawText", {"send A\\r\\n"}, {"ST,GS,+   0.000kg\r\n"}, {"A\r\n"}},
    {"SilentThroughPauses", {"silent", "wait 10", "help"}, {}, {}},
    {"NextCommandEndsSilence", {"silent", "weight 2"}, {"ST,GS,+   2.000kg\r\n"}, {}},
};

class SimulatorCommands : public ::testing::TestWithParam<CommandCase> {};

TEST_P(SimulatorCommands, ChangeWhatIsSent) {
    const CommandCase& c = GetParam();
    indicator::Simulator sim;
    for (const char* command : c.commands)
        ASSERT_TRUE(sim.command(QString::fromLatin1(command)).error.isEmpty()) << command;
    std::vector<std::string> live;
    for (const QByteArray& w : sim.livePeriod())
        live.push_back(str(w));
    EXPECT_EQ(live, c.livePeriod);
    std::vector<std::string> pending;
    for (const QByteArray& w : sim.takePending())
        pending.push_back(str(w));
    EXPECT_EQ(pending, c.pending);
    EXPECT_TRUE(sim.takePending().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, SimulatorCommands, ::testing::ValuesIn(kCommands),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatorCommandErrors, RefusedCommandsChangeNothing) {
    indicator::Simulator sim;
    const QByteArray before = sim.livePeriod().join();
    for (const char* bad : {"format 9", "weight x", "burst 0", "split maybe", "mode fast",
                            "period 1", "frobnicate", "item", "unit", "usb 0", "usb 15 x"})
        EXPECT_FALSE(sim.command(QString::fromLatin1(bad)).error.isEmpty()) << bad;
    EXPECT_EQ(sim.livePeriod().join(), before);
    EXPECT_EQ(sim.mode(), indicator::Mode::Live);
    EXPECT_EQ(sim.usbPiece(), 0);
}

// Behind a USB adapter nothing is lost, no piece is longer than asked, and
// over a few totals a cut falls right behind each inner line: the case a
// station behind an adapter must get right.
TEST(SimulatorUsb, PiecesCutTotalsBehindTheirInnerLines) {
    indicator::Simulator sim;
    ASSERT_TRUE(sim.command(QStringLiteral("usb on")).error.isEmpty());
    const QByteArray total = indicator::totalFrame(3, 37.5, QStringLiteral("kg"));
    std::set<qsizetype> cuts;
    for (int write = 0; write < 15; ++write) {
        const QList<QByteArray> pieces = sim.usbPieces(total);
        EXPECT_EQ(pieces.join(), total);
        qsizetype at = 0;
        for (const QByteArray& piece : pieces) {
            EXPECT_LE(piece.size(), 15);
            cuts.insert(at += piece.size());
        }
    }
    EXPECT_TRUE(cuts.count(20) && cuts.count(44));
}

TEST(SimulatorCommandErrors, WaitAndQuitAreReported) {
    indicator::Simulator sim;
    EXPECT_EQ(sim.command(QStringLiteral("wait 250")).waitMs, 250);
    EXPECT_TRUE(sim.command(QStringLiteral("quit")).quit);
    EXPECT_TRUE(sim.command(QStringLiteral("# a comment")).error.isEmpty());
}

} // namespace

namespace {

// Print frames from the simulator must come out of the program's print-frame
// decoder as a weighing and a ticket total.
TEST(PrintFramesDecoded, ItemAndTotalReadByPrintFrameDecoder) {
    const QString unit = QStringLiteral("kg");
    QString buffer = QString::fromLatin1(indicator::itemFrame(12, 1234.5, unit) +
                                         indicator::totalFrame(1, 1234.5, unit));
    const QList<PrintFrame> frames =
        takePrintFrames(buffer, unit, QLatin1Char(','), /*lineQuiet=*/true);
    ASSERT_EQ(frames.size(), 2);
    const PrintFrame& item = frames[0];
    EXPECT_EQ(item.kind, PrintFrame::Kind::Item);
    EXPECT_EQ(item.sequence.toStdString(), "12");
    EXPECT_EQ(item.weight.toStdString(), "1234,50 kg");
    const PrintFrame& total = frames[1];
    EXPECT_EQ(total.kind, PrintFrame::Kind::Total);
    EXPECT_EQ(total.weight.toStdString(), "  1234.50 kg");
    EXPECT_TRUE(buffer.isEmpty());
}

} // namespace
