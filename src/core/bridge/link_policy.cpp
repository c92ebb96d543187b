#include "core/bridge/link_policy.h"

#include "core/platform/ascii_case.h"
#include "core/platform/path.h"

LinkKind ClassifyLink(std::u16string_view scheme, bool insideIssue, std::u16string_view path) {
    using platform::EqualsAnyIgnoringAsciiCase;
    if (EqualsAnyIgnoringAsciiCase(scheme, {u"http", u"https", u"mailto"}))
        return LinkKind::Web;
    if (insideIssue && EqualsAnyIgnoringAsciiCase(platform::FileExtension(path),
                                                  {u"htm", u"html", u"mht", u"txt", u"pdf", u"jpg",
                                                   u"jpeg", u"png", u"gif", u"bmp"})) {
        return LinkKind::IssueDocument;
    }
    return LinkKind::Refused;
}
