#pragma once
// Letter case as Windows ignores it in names, keywords and flags: A-Z and a-z
// only, every other character compared as it is.

#include <initializer_list>
#include <string_view>

namespace platform {

constexpr char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}
constexpr char16_t AsciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);
bool EqualsAnyIgnoringAsciiCase(std::u16string_view text,
                                std::initializer_list<std::u16string_view> words);
bool ContainsIgnoringAsciiCase(std::u16string_view text, std::u16string_view needle);
// Orders as the registry lists keys: by upper-case letters, so "_" sorts after
// every letter.
bool LessIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

}  // namespace platform
