#include "archive_catalogue.h"

#include <gtest/gtest.h>

namespace magpack {
namespace {

TEST(ArchiveCatalogue, TheMonthIsReadFromTheTitleThenTheFileName) {
    struct Case {
        const char *title, *stem, *date;
    } cases[] = {
        {"电脑爱好者 2008年3月", "", "2008-03"},
        {"2008 年 12 月号", "", "2008-12"},
        {"Issue 2006-02", "", "2006-02"},
        {"Vol 2005.7", "", "2005-07"},
        {"", "mag_200411", "2004-11"},
        {"", "mag-2004_11-extra", "2004-11"},
        {"第3期", "2001年1月", "2001-01"},      // the title names none: the file does
        {"2009年5月", "2001年1月", "2009-05"},  // the title wins
        {"No 12345678", "", ""},                // digits that are no month
        {"2008年13月", "", ""},
        {"1890-03", "", ""},
        {"20081", "", ""},
        {"", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IssueDate(c.title, c.stem), c.date) << c.title << " / " << c.stem;
}

TEST(ArchiveCatalogue, NewestFirstThenByTitleAndTheTextIsEscaped) {
    std::vector<ArchivedIssue> issues(4);
    issues[0].key = "undated", issues[0].title = "<b>&\"";
    issues[1].key = "old", issues[1].date = "2001-01", issues[1].title = "Old";
    issues[2].key = "new", issues[2].date = "2009-05", issues[2].cover = "issue/子 a.bmp";
    issues[3].key = "same", issues[3].date = "2009-05", issues[3].title = "A";
    SortForCatalogue(issues);
    std::vector<std::string> keys;
    for (const ArchivedIssue& issue : issues)
        keys.push_back(issue.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"new", "same", "old", "undated"}));

    const std::string html = CatalogueHtml(issues, "abc");
    EXPECT_NE(html.find("data-title=\"&lt;b&gt;&amp;&quot;\""), std::string::npos);
    EXPECT_EQ(html.find("<b>&"), std::string::npos);
    EXPECT_NE(html.find("src=\"issues/new/issue/%E5%AD%90%20a.bmp\""), std::string::npos);
    EXPECT_NE(html.find("href=\"shared/abc/catalogue.css\""), std::string::npos);
    EXPECT_NE(CatalogueJson(issues).find("\"title\": \"<b>&\\\"\""), std::string::npos);
}

}  // namespace
}  // namespace magpack
