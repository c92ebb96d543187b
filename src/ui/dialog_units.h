#pragma once
#include <QRect>

// Dialog units of the original templates in pixels, for their 8-point shell
// font: a horizontal unit is a quarter of the average character width (6 px),
// a vertical one an eighth of the character height (13 px).
inline QRect DialogUnits(int x, int y, int w, int h) {
    auto px = [](int v) { return (v * 6 + 2) / 4; };
    auto py = [](int v) { return (v * 13 + 4) / 8; };
    return QRect(px(x), py(y), px(w), py(h));
}
