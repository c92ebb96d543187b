#pragma once
// Colours read back from screenshots and images: equal within what scaling and
// a compositor's rounding change.

#include <QColor>

#include <cstdlib>

namespace test {

inline bool IsColour(QRgb pixel, QRgb colour, int by = 8) {
    return std::abs(qRed(pixel) - qRed(colour)) <= by &&
           std::abs(qGreen(pixel) - qGreen(colour)) <= by &&
           std::abs(qBlue(pixel) - qBlue(colour)) <= by;
}

}  // namespace test
