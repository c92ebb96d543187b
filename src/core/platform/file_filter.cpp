#include "core/platform/file_filter.h"

namespace platform {

std::vector<std::u16string> ConvertFileFilter(std::u16string_view filter) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t bar = filter.find(u'|', start);
        if (bar == std::u16string_view::npos)
            bar = filter.size();
        parts.emplace_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<std::u16string> out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        const std::u16string& description = parts[i];
        std::u16string patterns = parts[i + 1];
        if (description.empty() && patterns.empty())
            break;  // the "||" that ends the list
        for (auto& c : patterns) {
            if (c == u';')
                c = u' ';
        }
        if (description.find(u'(' + patterns + u')') != std::u16string::npos) {
            out.push_back(description);
        } else {
            out.push_back(description + u" (" + patterns + u")");
        }
    }
    return out;
}

}  // namespace platform
