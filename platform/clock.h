#pragma once

#include <QDateTime>
#include <chrono>
#include <functional>

// The wall clock that stamps rows, totals, tickets and archive file names.
// Tests pin it so that times and the day's archive file are known.
namespace clock_ {

QDateTime now();
// An empty function returns to the real clock.
void setNow(std::function<QDateTime()> source);

// Time since an arbitrary start that only ever moves forward, for time-outs:
// setting the wall clock back must not make an old reading look fresh.
// Tests pin it like the wall clock.
std::chrono::milliseconds monotonic();
void setMonotonic(std::function<std::chrono::milliseconds()> source);

} // namespace clock_
