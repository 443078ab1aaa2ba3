#pragma once

#include <QDateTime>
#include <functional>

// The wall clock that stamps rows, totals, tickets and archive file names.
// Tests pin it so that times and the day's archive file are known.
namespace clock_ {

QDateTime now();
// An empty function returns to the real clock.
void setNow(std::function<QDateTime()> source);

} // namespace clock_
