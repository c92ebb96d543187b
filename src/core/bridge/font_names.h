#pragma once
// Reads the names a font file gives its faces, so that the movie engine can be
// told the name under which it registers a CJK font: the face's first full name
// (name id 4) in a Unicode record. Handles single fonts and font collections.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One entry per face, in file order; empty strings for faces without such a name.
std::vector<std::u16string> UnicodeFullNames(std::string_view fontFile);

// A CJK font for the movie engine's device text: the file and its faces' names.
struct CjkFont {
    std::string path;
    std::vector<std::u16string> faces;
};

// The first of $PLAYER_CJK_FONT and the CJK fonts Debian installs whose file
// reads and names its faces; nothing when there is none.
std::optional<CjkFont> FindCjkFont();
