#include "bridge/movie_text.h"

#include <array>
#include <cstdlib>

#include "platform/ascii_case.h"
#include "platform/text.h"

namespace {

constexpr std::array<std::u16string_view, 25> kBytes = {
    u"swf", u"jpg", u"jpeg", u"png", u"gif", u"bmp", u"mp3",  u"wav", u"flv",
    u"f4v", u"mp4", u"m4a",  u"ttf", u"otf", u"ttc", u"woff", u"zip", u"rar",
    u"exe", u"dll", u"qk",   u"ico", u"pdf", u"doc", u"bin"};
constexpr std::array<std::u16string_view, 20> kText = {
    u"txt", u"xml", u"htm", u"html", u"css", u"ini", u"inf", u"asp", u"aspx", u"php",
    u"jsp", u"cgi", u"js",  u"as",   u"csv", u"log", u"cfg", u"lrc", u"srt",  u"json"};

template <size_t N>
bool Among(std::u16string_view ext, const std::array<std::u16string_view, N>& list) {
    for (const auto e : list) {
        if (platform::EqualsIgnoringAsciiCase(ext, e))
            return true;
    }
    return false;
}

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
    const size_t slash = name.find_last_of(u"\\/");
    const std::u16string_view base =
        slash == std::u16string_view::npos ? name : name.substr(slash + 1);
    const size_t dot = base.rfind(u'.');
    if (dot == std::u16string_view::npos)
        return MovieFileKind::Unknown;
    const std::u16string_view ext = base.substr(dot + 1);
    if (Among(ext, kBytes))
        return MovieFileKind::Bytes;
    if (Among(ext, kText))
        return MovieFileKind::Text;
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
