#pragma once

#include <QString>

// Colours as the toolkit's RGB numbers with red in the lowest byte.
namespace tcolor {
constexpr int Black = 0x000000;
constexpr int Red = 0x0000FF;
constexpr int Navy = 0x800000;
constexpr int Aqua = 0xFFFF00;
constexpr int Yellow = 0x00FFFF;
} // namespace tcolor

// What the live-weight panel shows: the weight label, the OK button and the
// scale state (0 stable, 1 unstable, 2 overloaded).
struct WeightDisplay {
    QString label;                   // Label1's text
    int labelColour = tcolor::Black; // Label1's font colour
    int okColour = tcolor::Navy;     // SpeedButton1's font colour
    bool okEnabled = true;           // SpeedButton1 enabled
    int scaleState = 0;              // Panel2's tag
};

// The live-weight decoder: reads the receive buffer (not changing it but for
// emptying it) and updates the display. `unit` is the unit name; an empty one
// counts as not found. True when the text held a complete reading: a weight
// was taken, or the indicator reports an overload (which carries none but
// shows the indicator is still talking).
bool decodeWeightFrame(QString& buffer, const QString& unit, WeightDisplay& display);
