#include "platform/formfont.h"

namespace {

QFont formFont() {
    return QFont(QStringLiteral("MS Sans Serif"));
}

} // namespace

QFont formFontPoints(int points, bool bold) {
    QFont f = formFont();
    f.setPointSize(points);
    f.setBold(bold);
    return f;
}

QFont formFontPixels(int pixels, bool bold) {
    QFont f = formFont();
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}
