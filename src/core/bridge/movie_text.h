#pragma once
// Text files as the movies of old issues expect to read them. Their authors
// wrote them in the code page of a Chinese Windows (GBK) and the Flash of the
// time read them so; the engine we play them with reads text as UTF-8. The
// Player hands the engine such files already converted, and every other file
// byte for byte.

#include <optional>
#include <string>
#include <string_view>

enum class MovieFileKind {
    Bytes,    // movies, pictures, sound, video, fonts, archives: never converted
    Text,     // text, XML, style sheets, pages, form answers
    Unknown,  // converted only when its bytes read as text
};

// By the name's extension, ignoring case.
MovieFileKind KindOfMovieFile(std::u16string_view name);

// The code page of text that is neither UTF-8 nor marked by a byte-order mark:
// PLAYER_CODEPAGE when set (issues from elsewhere), else GB18030, the superset
// of GBK and GB2312.
std::string MovieCodePage();

// The UTF-8 form the engine is given, when it differs from the file: nothing
// for bytes, for UTF-8 and for BOM-marked files, and for a file the code page
// does not decode (served as it is).
std::optional<std::string> MovieTextAsUtf8(std::string_view bytes, MovieFileKind kind,
                                           const std::string& codePage);
