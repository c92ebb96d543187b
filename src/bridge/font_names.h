#pragma once
// Reads the names a font file gives its faces, so that the movie engine can be
// told the name under which it registers a CJK font: the face's first full name
// (name id 4) in a Unicode record. Handles single fonts and font collections.

#include <string>
#include <string_view>
#include <vector>

// One entry per face, in file order; empty strings for faces without such a name.
std::vector<std::u16string> UnicodeFullNames(std::string_view fontFile);
