#pragma once

#include <QFont>

// The layouts were drawn for Arial (Liberation Sans stands in through fontconfig).
namespace Fonts {

QFont arialBold(double pointSize);
inline QFont window() {
    return arialBold(9.0);
}
inline QFont pushButton() {
    return arialBold(11.25);
}

} // namespace Fonts
