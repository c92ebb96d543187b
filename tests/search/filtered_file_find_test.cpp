#include "core/search/filtered_file_find.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/test_support.h"

namespace {

// Runs the calling protocol and returns the names of the non-directory entries,
// and the pattern errors the search met.
std::vector<std::u16string> errors;
std::vector<std::string> Find(const std::u16string& folder, std::u16string_view include,
                              std::u16string_view exclude, bool useRegex = false) {
    FilteredFileFind finder;
    errors.clear();
    std::vector<std::string> names;
    bool more = finder.FindFile(folder, include, exclude, useRegex);
    while (more) {
        more = finder.FindNextFile();
        if (!finder.IsDirectory())
            names.push_back(test::U8(finder.GetFileName()));
    }
    errors = finder.PatternErrors();
    return names;
}

using Names = std::vector<std::string>;

class Finder : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.txt", "B.TXT", "README", "ab.txt", "aab.txt", "a+b.txt", "x.h",
                                 "x.cpp", "data.tmp", ".hidden", "我的 文件.log"}) {
            test::WriteFile(dir / name, name);
        }
        mkdir((dir / "sub").c_str(), 0700);
        test::WriteFile(dir / "sub/inner.txt", "");
    }
    test::TempDir dir;
    test::MessageBoxRecorder boxes;
};

}  // namespace

TEST(MaskToPattern, ConvertsOnlyStarsDotsAndQuestionMarks) {
    EXPECT_EQ(FilteredFileFind::MaskToPattern(u"*.*"), u"^.*?\\..*?$");
    EXPECT_EQ(FilteredFileFind::MaskToPattern(u"a?b+(.txt"), u"^a.b+(\\.txt$");
    EXPECT_EQ(FilteredFileFind::ErrorText(3), u"Paren expected");
    EXPECT_EQ(FilteredFileFind::ErrorText(42), u"Unknown error");
}

TEST_F(Finder, MasksFollowTheEngineNotTheShell) {
    EXPECT_EQ(Find(dir.u16(), u"*.*", u""),
              (Names{".hidden", "B.TXT", "a+b.txt", "a.txt", "aab.txt", "ab.txt", "data.tmp",
                     "x.cpp", "x.h", "我的 文件.log"}));  // README has no dot; sub is a folder
    EXPECT_EQ(Find(dir.u16(), u"*.TXT", u""),
              (Names{"B.TXT", "a+b.txt", "a.txt", "aab.txt", "ab.txt"}));
    EXPECT_EQ(Find(dir.u16(), u"a+b.txt", u""), (Names{"aab.txt", "ab.txt"}));
    EXPECT_EQ(Find(dir.u16(), u"我的*", u""), (Names{"我的 文件.log"}));
}

TEST_F(Finder, ListItemsAreNotTrimmedAndEndAtTheFirstEmptyOne) {
    EXPECT_EQ(Find(dir.u16(), u"*.cpp | *.h", u""),
              (Names{}));  // " *.h" and "*.cpp " match nothing
    EXPECT_EQ(Find(dir.u16(), u"*.cpp|*.h", u""), (Names{"x.cpp", "x.h"}));
    EXPECT_EQ(Find(dir.u16(), u"*.cpp||*.h", u""), (Names{"x.cpp"}));
    FilteredFileFind f;
    f.FindFile(dir.u16(), u"|*.h", u"", false);
    EXPECT_TRUE(f.IncludePatterns().empty());
}

TEST_F(Finder, ExcludeWinsAndAnEmptyIncludePassesEverythingElse) {
    EXPECT_EQ(Find(dir.u16(), u"", u"*.*"), (Names{"README"}));
    EXPECT_EQ(Find(dir.u16(), u"*.txt|*.log|a*", u"*tmp*|b*|*+*"),
              (Names{"a.txt", "aab.txt", "ab.txt", "我的 文件.log"}));
}

TEST_F(Finder, RegularExpressionsAreUnanchored) {
    EXPECT_EQ(Find(dir.u16(), u"b\\.", u"", true),
              (Names{"B.TXT", "a+b.txt", "aab.txt", "ab.txt"}));
    // The bar separates list items even in a regular expression: here "^x\.(cpp)"
    // and "(h)$".
    EXPECT_EQ(Find(dir.u16(), u"^x\\.(cpp)|(h)$", u"", true), (Names{"x.cpp", "x.h"}));
    // "^x\.((cpp)" does not compile; "(h))$" is "(h)" with the rest ignored.
    EXPECT_EQ(Find(dir.u16(), u"^x\\.((cpp)|(h))$", u"", true), (Names{".hidden", "x.h"}));
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(Finder, ABadPatternIsReportedOncePerSearchNotOncePerFile) {
    for (int i = 0; i < 200; ++i)
        test::WriteFile(dir / ("many" + std::to_string(i) + ".h"), "");
    const Names found = Find(dir.u16(), u"(*.txt|*.h", u"[*.tmp", false);
    EXPECT_EQ(found.size(), 201u);  // x.h and the 200; the bad items match nothing
    ASSERT_EQ(errors.size(), 2u);   // one for each bad item, not 211 each
    EXPECT_EQ(errors[0], u"Error on regex ^(.*?\\.txt$:Paren expected");
    EXPECT_NE(errors[1].find(u"Error on regex ^[.*?\\.tmp$:"), std::u16string::npos);
    Find(dir.u16(), u"(*.txt", u"", false);
    EXPECT_EQ(errors.size(), 1u);      // a new search tells it again
    EXPECT_TRUE(boxes.boxes.empty());  // the finder shows nothing itself
}

TEST_F(Finder, BothListsEmptySearchTheFolderItself) {
    FilteredFileFind f;
    ASSERT_TRUE(f.FindFile(dir.u16(), u"", u"", false));
    EXPECT_FALSE(f.FindNextFile());
    EXPECT_TRUE(f.IsDirectory());  // only the folder's own entry, which the dialog skips
    EXPECT_EQ(Find(dir.u16(), u"", u""), (Names{}));
}

TEST_F(Finder, AMaskPathIsSearchedUnchangedWithoutFiltering) {
    EXPECT_EQ(Find(dir.u16() + u"/*.txt", u"zzz", u""),
              (Names{"B.TXT", "a+b.txt", "a.txt", "aab.txt", "ab.txt"}));
    EXPECT_EQ(Find(dir.u16() + u"/missing", u"*", u""), (Names{}));
    EXPECT_EQ(Find(u"", u"*", u""), (Names{}));
    EXPECT_EQ(Find(dir.u16() + u"/" + std::u16string(300, u'x'), u"*", u""), (Names{}));
}

TEST_F(Finder, ReportsPathsLengthsAndTimes) {
    const std::string big = dir / "big.bin";
    const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 5'000'000'000LL), 0);  // sparse, beyond 32 bits
    close(fd);
    FilteredFileFind f;
    bool more = f.FindFile(dir.u16(), u"big.*", u"", false);
    ASSERT_TRUE(more);
    more = f.FindNextFile();
    EXPECT_TRUE(more);  // the folder "sub" follows: folders are never filtered out here
    EXPECT_EQ(f.GetFileName(), u"big.bin");
    EXPECT_EQ(test::U8(f.GetFilePath()), dir.path() + "/big.bin");
    EXPECT_EQ(f.GetLength(), 5'000'000'000ULL);
    EXPECT_GT(f.GetCreationTime(), 1'600'000'000);
}

TEST_F(Finder, SubFoldersAreListedButNotSearched) {
    FilteredFileFind f;
    std::vector<std::string> dirs;
    bool more = f.FindFile(dir.u16(), u"*.txt", u"", false);
    while (more) {
        more = f.FindNextFile();
        if (f.IsDirectory())
            dirs.push_back(test::U8(f.GetFileName()));
        EXPECT_NE(f.GetFileName(), u"inner.txt");
    }
    EXPECT_EQ(dirs, (Names{"sub"}));
}
