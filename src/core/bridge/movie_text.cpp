#include "core/bridge/movie_text.h"

#include <cstdlib>

#include "core/platform/ascii_case.h"
#include "core/platform/path.h"
#include "core/platform/text.h"

namespace {

bool HasByteOrderMark(std::string_view b) {
    return b.starts_with("\xEF\xBB\xBF") || b.starts_with("\xFF\xFE") || b.starts_with("\xFE\xFF");
}

// Text has no control characters but layout ones; a binary file almost always has.
bool LooksLikeText(std::string_view bytes) {
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
            return false;
        if (c == 0x7F)
            return false;
    }
    return true;
}

}  // namespace

MovieFileKind KindOfMovieFile(std::u16string_view name) {
    using platform::EqualsAnyIgnoringAsciiCase;
    const std::u16string_view ext = platform::FileExtension(name);
    if (ext.empty())
        return MovieFileKind::Unknown;
    if (EqualsAnyIgnoringAsciiCase(
            ext, {u"swf", u"jpg", u"jpeg", u"png", u"gif", u"bmp", u"mp3",  u"wav", u"flv",
                  u"f4v", u"mp4", u"m4a",  u"ttf", u"otf", u"ttc", u"woff", u"zip", u"rar",
                  u"exe", u"dll", u"qk",   u"ico", u"pdf", u"doc", u"bin"})) {
        return MovieFileKind::Bytes;
    }
    if (EqualsAnyIgnoringAsciiCase(ext, {u"txt", u"xml",  u"htm", u"html", u"css", u"ini", u"inf",
                                         u"asp", u"aspx", u"php", u"jsp",  u"cgi", u"js",  u"as",
                                         u"csv", u"log",  u"cfg", u"lrc",  u"srt", u"json"})) {
        return MovieFileKind::Text;
    }
    return MovieFileKind::Unknown;
}

std::string MovieCodePage() {
    const char* named = std::getenv("PLAYER_CODEPAGE");
    return named && *named ? named : "GB18030";
}

std::optional<std::string> MovieTextAsUtf8(std::string_view bytes, MovieFileKind kind,
                                           const std::string& codePage) {
    if (kind == MovieFileKind::Bytes || bytes.empty() || HasByteOrderMark(bytes) ||
        platform::IsValidUtf8(bytes)) {
        return std::nullopt;
    }
    if (kind == MovieFileKind::Unknown && !LooksLikeText(bytes))
        return std::nullopt;
    return platform::ToUtf8Strictly(bytes, codePage);
}
