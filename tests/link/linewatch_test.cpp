#include "link/linewatch.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

using std::chrono::milliseconds;

// What happens at a moment: the port opens, a reading is taken, the line
// hangs up, or nothing (only the time passes).
enum class Event { None, Open, Reading, HangUp };

struct Step {
    long long atMs;
    Event event;
    bool live; // expected afterwards
};

struct WatchCase {
    const char* name;
    int timeout;
    std::vector<Step> steps;
};

constexpr Event N = Event::None, O = Event::Open, R = Event::Reading, H = Event::HangUp;

const WatchCase kCases[] = {
    {"NeverOpenedFallsSilent", 5, {{4999, N, true}, {5000, N, false}, {9000, O, true}}},
    {"CountsFromOpeningBeforeFirstReading",
     5,
     {{3000, O, true}, {7999, N, true}, {8000, N, false}, {8100, R, true}, {13100, N, false}}},
    {"ReopeningAfterReadingsGivesNoGrace",
     5,
     {{0, R, true}, {4000, O, true}, {5000, N, false}, {6000, O, false}, {6500, R, true}}},
    {"HangUpSilentUntilReading",
     5,
     {{0, O, true}, {1000, H, false}, {1500, O, false}, {60000, N, false}, {60001, R, true}}},
    {"ReadingsKeepItLive",
     2,
     {{1500, R, true}, {3000, R, true}, {4999, N, true}, {5000, N, false}}},
    {"ZeroTurnsItOff", 0, {{0, H, true}, {100000000, N, true}}},
    {"NegativeTurnsItOff", -3, {{0, H, true}, {100000000, N, true}}},
    {"LargestTimeoutDoesNotOverflow",
     INT_MAX,
     {{0, O, true}, {2000000000000LL, N, true}, {2000000000001LL, H, false}}},
};

class LineWatchSteps : public ::testing::TestWithParam<WatchCase> {
protected:
    long long m_now = 0;
    void SetUp() override {
        clock_::setMonotonic([this] { return milliseconds(m_now); });
    }
    void TearDown() override { clock_::setMonotonic({}); }
};

TEST_P(LineWatchSteps, LiveAsTheStepsSay) {
    const WatchCase& c = GetParam();
    LineWatch watch(c.timeout);
    bool shown = true;
    for (const Step& s : c.steps) {
        m_now = s.atMs;
        switch (s.event) {
        case Event::None:
            break;
        case Event::Open:
            watch.portOpened();
            break;
        case Event::Reading:
            watch.readingTaken();
            break;
        case Event::HangUp:
            watch.hungUp();
            break;
        }
        EXPECT_EQ(watch.live(), s.live) << "at " << s.atMs;
        // A polling window hears of every change, and only of changes.
        EXPECT_EQ(watch.takeChange(), s.live != shown) << "at " << s.atMs;
        shown = s.live;
        // untilSilent() is exactly when live() turns false.
        const long long left = watch.untilSilent().count();
        if (left > 0) {
            m_now += left - 1;
            EXPECT_TRUE(watch.live()) << "at " << s.atMs;
            m_now += 1;
            EXPECT_FALSE(watch.live()) << "at " << s.atMs;
            m_now = s.atMs;
        } else {
            EXPECT_EQ(left < 0 && s.live, !watch.enabled()) << "at " << s.atMs;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, LineWatchSteps, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The escapes must spell what the operator is meant to read.
TEST(LineSilentTexts, AreTheCzechSentences) {
    EXPECT_EQ(kLineSilentStatus, QString::fromUtf8("Váha neposílá data"));
    EXPECT_EQ(kLineSilentRefusal,
              kLineSilentStatus + QString::fromUtf8(", vážení nebylo zapsáno."));
}

} // namespace
