// Compiles arbitrary patterns and runs them over arbitrary names: neither the
// compiler nor the machine may crash, read out of bounds or run unbounded.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/search/regex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const bool caseSensitive = data[0] & 1;
    // Bytes after the first: the pattern, then a NUL byte, then the text; each byte
    // is one character, with 0x80..0xFF mapped above ASCII to reach other code units.
    std::u16string pattern, text;
    std::u16string* into = &pattern;
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0 && into == &pattern) {
            into = &text;
            continue;
        }
        into->push_back(data[i] < 0x80 ? data[i] : static_cast<char16_t>(0x4E00 + data[i]));
    }
    // A file name, and a pattern of the length a search item has: what the
    // Player's search runs on. The budget is cut so that no input costs more
    // than a millisecond; the full budget's bound is the regex tests'.
    if (text.size() > 260)
        text.resize(260);
    if (pattern.size() > 256)
        pattern.resize(256);
    Regex re;
    re.SetStepBudget(100'000);
    if (re.Parse(pattern, caseSensitive) == RegexOk) {
        RegexMatchContext ctx(4);
        uint32_t end = 0;
        re.Match(text, &ctx, &end);
    }
    return 0;
}
