#include "link/linewatch.h"

#include "platform/clock.h"

#include <cstdint>

LineWatch::LineWatch(int timeoutSeconds) : m_since(clock_::monotonic()) {
    setTimeout(timeoutSeconds);
}

void LineWatch::setTimeout(int seconds) {
    // In 64 bits, so that any number the settings file holds fits.
    m_timeout = std::chrono::milliseconds(seconds > 0 ? std::int64_t(seconds) * 1000 : 0);
}

void LineWatch::portOpened() {
    if (!m_readingSeen && !m_hungUp)
        m_since = clock_::monotonic();
}

void LineWatch::readingTaken() {
    m_since = clock_::monotonic();
    m_readingSeen = true;
    m_hungUp = false;
}

void LineWatch::hungUp() {
    m_hungUp = true;
}

bool LineWatch::live() const {
    return untilSilent().count() > 0 || !enabled();
}

std::chrono::milliseconds LineWatch::untilSilent() const {
    if (!enabled() || m_hungUp)
        return std::chrono::milliseconds(-1);
    const std::chrono::milliseconds left = m_since + m_timeout - clock_::monotonic();
    return left.count() > 0 ? left : std::chrono::milliseconds(-1);
}

bool LineWatch::takeChange() {
    const bool now = live();
    if (now == m_reportedLive)
        return false;
    m_reportedLive = now;
    return true;
}
