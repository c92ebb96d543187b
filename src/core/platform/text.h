#pragma once
// Text conversion between the program's UTF-16 strings and the byte encodings
// of the outside world: UTF-8 (file names, libxml2) and the user's locale
// charset (log files, sockets, the registry, ANSI text files).

#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// The charset of the user's locale (after setlocale(LC_ALL, "")), e.g. "UTF-8" or "GBK".
std::string AnsiCharset();

// Converts to a named charset; a character the charset cannot represent becomes '?'.
std::string FromUtf16(std::u16string_view text, const std::string& charset);
std::u16string ToUtf16(std::string_view bytes, const std::string& charset);

bool IsValidUtf8(std::string_view bytes);
// The bytes of a text in `charset` as UTF-8; nothing when some sequence is not
// valid in that charset (or iconv does not know it).
std::optional<std::string> ToUtf8Strictly(std::string_view bytes, const std::string& charset);

// The same in the locale charset ("the system ANSI code page").
inline std::string ToAnsi(std::u16string_view text) {
    return FromUtf16(text, AnsiCharset());
}
inline std::u16string FromAnsi(std::string_view bytes) {
    return ToUtf16(bytes, AnsiCharset());
}

// The UTF-16LE bytes of a text (no byte-order mark), and back; an odd last
// byte is dropped.
std::string Utf16LeBytes(std::u16string_view text);
std::u16string FromUtf16LeBytes(std::string_view bytes);

// What a text file is saved as: the locale charset, UTF-16LE with its byte-order
// mark ("Unicode" on Windows), or UTF-8 with its byte-order mark.
enum class TextFileEncoding { Ansi, Unicode, Utf8 };
std::string EncodeTextFile(std::u16string_view text, TextFileEncoding encoding);

// Lenient decimal parsing used wherever numbers arrive as text: leading blanks
// and a sign, then digits up to the first other character; no digits gives 0.
// Values beyond the 32-bit range saturate.
int ParseInt(std::u16string_view text);

// UTF-8 text made safe inside XML or HTML, as an attribute's value or as text:
// & < > and " escaped, every other byte as it is.
std::string EscapeMarkup(std::string_view utf8);

// Plain ASCII helper for literals assembled at run time.
std::u16string Widen(std::string_view ascii);

}  // namespace platform
