#include "bridge/link_policy.h"

#include <array>

#include "platform/ascii_case.h"

namespace {

constexpr std::array<std::u16string_view, 10> kDocuments = {
    u"htm", u"html", u"txt", u"pdf", u"jpg", u"jpeg", u"png", u"gif", u"bmp", u"mht"};

bool IsDocument(std::u16string_view path) {
    const size_t slash = path.find_last_of(u"\\/");
    const std::u16string_view name =
        slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos)
        return false;
    for (const auto ext : kDocuments) {
        if (platform::EqualsIgnoringAsciiCase(name.substr(dot + 1), ext))
            return true;
    }
    return false;
}

}  // namespace

LinkKind ClassifyLink(std::u16string_view scheme, bool insideIssue, std::u16string_view path) {
    using platform::EqualsIgnoringAsciiCase;
    if (EqualsIgnoringAsciiCase(scheme, u"http") || EqualsIgnoringAsciiCase(scheme, u"https") ||
        EqualsIgnoringAsciiCase(scheme, u"mailto")) {
        return LinkKind::Web;
    }
    if (insideIssue && IsDocument(path))
        return LinkKind::IssueDocument;
    return LinkKind::Refused;
}
