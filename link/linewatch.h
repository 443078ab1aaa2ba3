#pragma once

// Whether the indicator is still talking. A weight label that stopped
// changing because the cable was pulled looks exactly like a steady load, so
// the main window asks this watch before it books the label.

#include <QString>

#include <chrono>

// What the main window tells the operator while the line is silent.
inline const QString kLineSilentStatus = QStringLiteral("V\u00e1ha nepos\u00edl\u00e1 data");
inline const QString kLineSilentRefusal =
    QStringLiteral("V\u00e1ha nepos\u00edl\u00e1 data, v\u00e1\u017een\u00ed nebylo zaps\u00e1no.");
// Seconds of silence after which the line counts as silent, when the
// settings file does not say; 0 (or less) turns the watch off.
constexpr int kDefaultLineTimeout = 5;

// The line is live while the last complete reading came less than the
// timeout ago. Before the first reading the latest opening of the port
// counts as one, so a freshly started station is not refused at once. A
// hang-up makes the line silent at once, and only a reading ends that: a
// reopened port alone proves nothing. Times come from clock_::monotonic().
class LineWatch {
public:
    explicit LineWatch(int timeoutSeconds = kDefaultLineTimeout);

    void setTimeout(int seconds);
    bool enabled() const { return m_timeout.count() > 0; }

    void portOpened();
    void readingTaken();
    void hungUp();

    bool live() const;
    // Time until live() turns false if nothing happens meanwhile; negative
    // when it will not (silent already, or the watch is off).
    std::chrono::milliseconds untilSilent() const;
    // True once after each change of live(), for a window that polls.
    bool takeChange();

private:
    std::chrono::milliseconds m_timeout{0};
    std::chrono::milliseconds m_since; // last reading, or the opening before the first
    bool m_readingSeen = false;
    bool m_hungUp = false;
    bool m_reportedLive = true;
};
