#pragma once

#include <QFont>

// "MS Sans Serif", the face every window of the station was designed in
// (substituted by a metric-compatible one, see WeighApplication). Sizes are
// given as the designs give them: points, or a character height in pixels.
QFont formFontPoints(int points, bool bold = false);
QFont formFontPixels(int pixels, bool bold = false);
