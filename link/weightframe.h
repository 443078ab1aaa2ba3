#pragma once

#include <QString>

// The scale's state as the indicator reports it; the numbers are the ones
// the live-weight panel has always carried as its tag.
enum class ScaleState { Stable = 0, Unstable = 1, Overloaded = 2 };

// Which state last told the OK button how to look: none yet (the design's
// look), or the stable or unstable state entered last. An overload leaves it
// as it was.
enum class OkLook { AsDesigned, Stable, Unstable };

// What the live-weight panel shows, as meaning; the window chooses colours.
// The weight label gives the alarm look exactly while overloaded.
struct WeightDisplay {
    QString label; // Label1's text
    ScaleState state = ScaleState::Stable;
    OkLook okLook = OkLook::AsDesigned;
    bool okEnabled = true; // SpeedButton1 enabled
};

// The live-weight decoder: reads the receive buffer (not changing it but for
// emptying it) and updates the display. `unit` is the unit name; an empty one
// counts as not found. True when the text held a complete reading: a weight
// was taken, or the indicator reports an overload (which carries none but
// shows the indicator is still talking).
bool decodeWeightFrame(QString& buffer, const QString& unit, WeightDisplay& display);
