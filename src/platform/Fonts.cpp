#include "platform/Fonts.h"

namespace Fonts {

QFont arialBold(double pointSize) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setBold(true);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace Fonts
