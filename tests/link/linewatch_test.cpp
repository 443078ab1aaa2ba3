#include "link/linewatch.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

namespace {

// At a moment (ms) the port opens ('o'), a reading is taken ('r'), the line
// hangs up ('h') or time only passes ('.'); then the line is live or silent.
struct Step {
    long long at;
    char event;
    bool live;
};
struct WatchCase {
    const char* name;
    int timeout;
    std::vector<Step> steps;
};
constexpr bool L = true, S = false;

const WatchCase kCases[] = {
    {"NeverOpenedFallsSilent", 5, {{4999, '.', L}, {5000, '.', S}, {9000, 'o', L}}},
    {"FromOpeningBeforeFirstReading", 5, {{3000, 'o', L}, {8000, '.', S}, {8100, 'r', L}}},
    {"NoGraceForReopening", 5, {{0, 'r', L}, {4000, 'o', L}, {5000, '.', S}, {6000, 'o', S}}},
    {"HangUpUntilReading", 5, {{0, 'o', L}, {10, 'h', S}, {20, 'o', S}, {9000, 'r', L}}},
    {"ReadingsKeepItLive", 2, {{1500, 'r', L}, {3000, 'r', L}, {5000, '.', S}}},
    {"ZeroTurnsItOff", 0, {{0, 'h', L}, {100000000, '.', L}}},
    {"NegativeTurnsItOff", -3, {{0, 'h', L}}},
    {"LargestDoesNotOverflow",
     INT_MAX,
     {{0, 'o', L}, {1LL << 40, '.', L}, {(1LL << 40) + 1, 'h', S}}},
};

class LineWatchSteps : public ::testing::TestWithParam<WatchCase> {};

TEST_P(LineWatchSteps, LiveAsTheStepsSay) {
    long long now = 0;
    clock_::setMonotonic([&] { return std::chrono::milliseconds(now); });
    LineWatch watch(GetParam().timeout);
    bool shown = true;
    for (const Step& s : GetParam().steps) {
        now = s.at;
        if (s.event != '.')
            (watch.*(s.event == 'o'   ? &LineWatch::portOpened
                     : s.event == 'r' ? &LineWatch::readingTaken
                                      : &LineWatch::hungUp))();
        EXPECT_EQ(watch.live(), s.live) << s.at;
        // A polling window hears of every change, and only of changes.
        EXPECT_EQ(watch.takeChange(), std::exchange(shown, s.live) != s.live) << s.at;
        // untilSilent() is exactly when live() turns false, if it will.
        const long long left = watch.untilSilent().count();
        EXPECT_EQ(left > 0, s.live && watch.enabled()) << s.at;
        now = s.at + std::max(left, 1LL) - 1;
        EXPECT_EQ(watch.live(), s.live) << s.at;
        ++now;
        EXPECT_EQ(watch.live(), s.live && left <= 0) << s.at;
    }
    clock_::setMonotonic({});
}

INSTANTIATE_TEST_SUITE_P(Rows, LineWatchSteps, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
