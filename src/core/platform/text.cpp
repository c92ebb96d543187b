#include "core/platform/text.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <climits>
#include <cstdint>

namespace platform {

std::u16string Utf8ToUtf16(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        const auto c = static_cast<unsigned char>(in[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6) {
            len = 2;
        } else if ((c >> 4) == 0xE) {
            len = 3;
        } else if ((c >> 3) == 0x1E) {
            len = 4;
        }
        if (len > 1) {
            if (i + len > in.size()) {
                len = 1;
            } else {
                cp = c & (0xFF >> (len + 1));
                for (size_t k = 1; k < len; ++k) {
                    const auto cc = static_cast<unsigned char>(in[i + k]);
                    if ((cc >> 6) != 0x2) {
                        cp = 0xFFFD;
                        len = k;
                        break;
                    }
                    cp = (cp << 6) | (cc & 0x3F);
                }
                if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                    cp = 0xFFFD;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
            in[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string AnsiCharset() {
    const char* cs = nl_langinfo(CODESET);
    return cs && *cs ? cs : "ANSI_X3.4-1968";
}

namespace {

// Runs iconv over the whole input. On an input sequence that cannot be
// converted, `skip` bytes of input are dropped and `replacement` is written.
std::string RunIconv(const char* from, const char* to, const char* data, size_t size, size_t unit,
                     std::string_view replacement) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return out;
    out.resize(size * 2 + 16);
    char* in = const_cast<char*>(data);
    size_t inLeft = size;
    size_t used = 0;
    while (inLeft > 0) {
        char* dst = out.data() + used;
        size_t outLeft = out.size() - used;
        const size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
        used = out.size() - outLeft;
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else {
            // EILSEQ or EINVAL: replace one unit (a surrogate pair counts as one character).
            size_t skip = std::min(unit, inLeft);
            if (unit == 2 && inLeft >= 4) {
                const auto lead = static_cast<unsigned char>(in[1]);
                if (lead >= 0xD8 && lead <= 0xDB)
                    skip = 4;
            }
            in += skip;
            inLeft -= skip;
            if (out.size() - used < replacement.size())
                out.resize(out.size() * 2 + 8);
            out.replace(used, replacement.size(), replacement);
            used += replacement.size();
        }
    }
    // Flush any shift state.
    char* dst = out.data() + used;
    size_t outLeft = out.size() - used;
    iconv(cd, nullptr, nullptr, &dst, &outLeft);
    used = out.size() - outLeft;
    iconv_close(cd);
    out.resize(used);
    return out;
}

}  // namespace

std::string FromUtf16(std::u16string_view text, const std::string& charset) {
    return RunIconv("UTF-16LE", charset.c_str(), reinterpret_cast<const char*>(text.data()),
                    text.size() * 2, 2, "?");
}

std::u16string ToUtf16(std::string_view bytes, const std::string& charset) {
    const std::string raw = RunIconv(charset.c_str(), "UTF-16LE", bytes.data(), bytes.size(), 1,
                                     std::string_view("?\0", 2));
    return FromUtf16LeBytes(raw);
}

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        size_t len = 0;
        char32_t min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4, min = 0x10000;
        } else {
            return false;
        }
        if (i + len > bytes.size())
            return false;
        char32_t cp = c & (0x7F >> len);
        for (size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::optional<std::string> ToUtf8Strictly(std::string_view bytes, const std::string& charset) {
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(bytes.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    size_t used = 0;
    bool ok = true;
    for (;;) {
        char* dst = out.data() + used;
        size_t outLeft = out.size() - used;
        const size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
        used = out.size() - outLeft;
        if (r != static_cast<size_t>(-1))
            break;
        if (errno != E2BIG) {
            ok = false;  // EILSEQ, or EINVAL: the text ends inside a sequence
            break;
        }
        out.resize(out.size() * 2);
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(used);
    return out;
}

std::string Utf16LeBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::u16string FromUtf16LeBytes(std::string_view bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return text;
}

std::string EncodeTextFile(std::u16string_view text, TextFileEncoding encoding) {
    switch (encoding) {
        case TextFileEncoding::Ansi:
            return ToAnsi(text);
        case TextFileEncoding::Unicode:
            return "\xFF\xFE" + Utf16LeBytes(text);
        case TextFileEncoding::Utf8:
            break;
    }
    return "\xEF\xBB\xBF" + Utf16ToUtf8(text);
}

int ParseInt(std::u16string_view text) {
    size_t i = 0;
    auto blank = [](char16_t c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
    };
    while (i < text.size() && blank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > static_cast<int64_t>(INT_MAX) + 1)
            value = static_cast<int64_t>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    if (value < INT_MIN)
        value = INT_MIN;
    return static_cast<int>(value);
}

std::u16string Widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::string EscapeMarkup(std::string_view utf8) {
    std::string out;
    for (const char c : utf8) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace platform
