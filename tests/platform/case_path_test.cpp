#include "core/platform/case_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/platform/path.h"
#include "support/test_support.h"

using namespace platform;

namespace {

std::optional<std::string> Resolve(const test::TempDir& dir, const std::u16string& relative) {
    auto found = ResolveInFolder(dir.path(), relative);
    if (found)
        found = found->substr(dir.path().size());
    return found;
}

}  // namespace

// Names as a Windows-made issue's movies write them, against the files as the
// package laid them out.
TEST(CasePath, FindsFilesAsWindowsDid) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "data");
    std::filesystem::create_directories(dir / "图片");
    std::filesystem::create_directories(dir / "pages");
    test::WriteFile(dir / "data/b.txt", "");
    test::WriteFile(dir / "图片/说明.txt", "");
    test::WriteFile(dir / "pages/page2.swf", "");
    test::WriteFile(dir / "Both.txt", "");  // two names that differ only in case
    test::WriteFile(dir / "both.TXT", "");
    test::WriteFile(dir / "BOTH.txt", "");
    const struct {
        std::u16string asked;
        std::optional<std::string> found;
    } cases[] = {
        {u"data/b.txt", "/data/b.txt"},
        {u"DATA/B.TXT", "/data/b.txt"},
        {u"Data\\B.txt", "/data/b.txt"},
        {u"./pages/../PAGES\\Page2.SWF", "/pages/page2.swf"},
        {u"图片/说明.TXT", "/图片/说明.txt"},
        {u"data//b.txt", "/data/b.txt"},
        {u"both.TXT", "/both.TXT"},  // the exact name wins
        {u"BoTh.TxT", "/BOTH.txt"},  // else the least in code-unit order, whatever the listing
        {u"data", "/data"},
        {u"../outside", std::nullopt},
        {u"data/../../x", std::nullopt},
        {u"missing.txt", std::nullopt},
        {u"data/b.txt/more", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Resolve(dir, c.asked), c.found) << test::U8(c.asked);
}

// Inside the case-folding root the platform calls find names as Windows did;
// outside it, as the file system does. A file to be made keeps its name.
TEST(CasePath, PlatformCallsFoldOnlyInsideTheRoot) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "ws/data");
    std::filesystem::create_directories(dir / "other");
    test::WriteFile(dir / "ws/data/b.txt", "b");
    test::WriteFile(dir / "other/c.txt", "c");
    SetCaseFoldingRoot(dir / "ws");
    EXPECT_TRUE(PathFileExists(test::U16(dir / "ws/DATA/B.TXT")));
    EXPECT_TRUE(PathIsDirectory(test::U16(dir / "ws\\Data")));
    EXPECT_FALSE(PathFileExists(test::U16(dir / "other/C.TXT")));
    EXPECT_EQ(FoldedNativePath(test::U16(dir / "ws/DATA/New.txt")), dir / "ws/data/New.txt");
    EXPECT_TRUE(
        CopyFile(test::U16(dir / "ws/Data/B.txt"), test::U16(dir / "ws/DATA/copy.txt"), true));
    EXPECT_EQ(test::ReadFile(dir / "ws/data/copy.txt"), "b");
    SetCaseFoldingRoot("");
    EXPECT_FALSE(PathFileExists(test::U16(dir / "ws/DATA/B.TXT")));
}
