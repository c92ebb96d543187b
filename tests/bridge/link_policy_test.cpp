#include "core/bridge/link_policy.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

TEST(LinkPolicy, OnlyTheWebMailAndTheIssuesDocumentsOpen) {
    const struct {
        std::u16string scheme;
        bool insideIssue;
        std::u16string path;
        LinkKind kind;
    } cases[] = {
        {u"http", false, u"", LinkKind::Web},
        {u"HTTPS", false, u"", LinkKind::Web},
        {u"mailto", false, u"", LinkKind::Web},
        {u"player", true, u"/ws/docs/ReadMe.HTM", LinkKind::IssueDocument},
        {u"player", true, u"/ws/a.pdf", LinkKind::IssueDocument},
        {u"player", true, u"/ws/pics/p.JPG", LinkKind::IssueDocument},
        {u"player", true, u"/ws/run.sh", LinkKind::Refused},
        {u"player", true, u"/ws/app.desktop", LinkKind::Refused},
        {u"player", true, u"/ws/setup.exe", LinkKind::Refused},
        {u"player", true, u"/ws/noext", LinkKind::Refused},
        {u"player", false, u"/etc/x.htm", LinkKind::Refused},
        {u"file", false, u"/etc/passwd", LinkKind::Refused},
        {u"javascript", false, u"", LinkKind::Refused},
        {u"data", false, u"", LinkKind::Refused},
        {u"ftp", false, u"", LinkKind::Refused},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyLink(c.scheme, c.insideIssue, c.path), c.kind)
            << test::U8(c.scheme) << " " << test::U8(c.path);
    }
}
