#include "platform/clock.h"

namespace clock_ {
namespace {
std::function<QDateTime()>& source() {
    static std::function<QDateTime()> s;
    return s;
}

std::function<std::chrono::milliseconds()>& monotonicSource() {
    static std::function<std::chrono::milliseconds()> s;
    return s;
}
} // namespace

QDateTime now() {
    return source() ? source()() : QDateTime::currentDateTime();
}

void setNow(std::function<QDateTime()> s) {
    source() = std::move(s);
}

std::chrono::milliseconds monotonic() {
    if (monotonicSource())
        return monotonicSource()();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void setMonotonic(std::function<std::chrono::milliseconds()> s) {
    monotonicSource() = std::move(s);
}

} // namespace clock_
