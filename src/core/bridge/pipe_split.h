#pragma once
#include <string>
#include <string_view>
#include <utility>

// The text before the first "|" and the text after it; without a "|", the
// whole text and an empty rest. The separator belongs to neither.
inline std::pair<std::u16string, std::u16string> SplitFirst(std::u16string_view text) {
    const size_t bar = text.find(u'|');
    if (bar == std::u16string_view::npos)
        return {std::u16string(text), {}};
    return {std::u16string(text.substr(0, bar)), std::u16string(text.substr(bar + 1))};
}
