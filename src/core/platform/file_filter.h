#pragma once
// File-type filters as movies and the original dialogs give them, "Text files|*.txt||"
// (pairs of description and patterns separated by "|", patterns by ";"), in the
// form a Qt file dialog takes: "Text files (*.txt)", one entry per pair.

#include <string>
#include <string_view>
#include <vector>

namespace platform {

std::vector<std::u16string> ConvertFileFilter(std::u16string_view filter);

}  // namespace platform
