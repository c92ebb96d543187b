#pragma once
// The core's UTF-16 texts as the windows' strings.

#include <QString>

#include <string_view>

inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
