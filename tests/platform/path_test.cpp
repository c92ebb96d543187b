#include "platform/path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/test_support.h"

using namespace platform;

TEST(NativePath, TurnsWindowsPathsIntoNativeOnes) {
    EXPECT_EQ(NativePath(u"C:\\a\\b.txt"), "/a/b.txt");
    EXPECT_EQ(NativePath(u"d:/x"), "/x");
    EXPECT_EQ(NativePath(u"/tmp/{G}\\sub\\中.swf"), "/tmp/{G}/sub/中.swf");
    EXPECT_EQ(NativePath(u"C:"), "/");
    EXPECT_EQ(NativePath(u"rel\\x"), "rel/x");
}

TEST(FileCalls, ExistenceAndDirectoryTests) {
    test::TempDir dir;
    test::WriteFile(dir / "f", "x");
    EXPECT_TRUE(PathFileExists(test::U16(dir / "f")));
    EXPECT_TRUE(PathFileExists(dir.u16()));
    EXPECT_FALSE(PathFileExists(test::U16(dir / "missing")));
    EXPECT_FALSE(PathFileExists(u""));
    EXPECT_TRUE(PathIsDirectory(dir.u16()));
    EXPECT_FALSE(PathIsDirectory(test::U16(dir / "f")));
}

TEST(FileCalls, CopyFileOverwritesOnlyWhenAllowed) {
    test::TempDir dir;
    test::WriteFile(dir / "a", "new contents");
    test::WriteFile(dir / "b", "old contents that are longer");
    EXPECT_FALSE(CopyFile(test::U16(dir / "a"), test::U16(dir / "b"), true));
    EXPECT_EQ(test::ReadFile(dir / "b"), "old contents that are longer");
    EXPECT_TRUE(CopyFile(test::U16(dir / "a"), test::U16(dir / "b"), false));
    EXPECT_EQ(test::ReadFile(dir / "b"), "new contents");
    EXPECT_FALSE(CopyFile(test::U16(dir / "none"), test::U16(dir / "c"), false));
    EXPECT_FALSE(test::Exists(dir / "c"));
    EXPECT_FALSE(CopyFile(test::U16(dir / "a"), u"", false));
}

TEST(FileCalls, ListDirectoryIsSortedAndKeepsLinksApart) {
    test::TempDir dir;
    test::WriteFile(dir / "b", "12345");
    test::WriteFile(dir / ".hidden", "");
    mkdir((dir / "sub").c_str(), 0700);
    ASSERT_EQ(symlink((dir / "sub").c_str(), (dir / "link").c_str()), 0);
    std::vector<DirEntry> entries;
    ASSERT_TRUE(ListDirectory(dir.u16(), entries));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, u".hidden");
    EXPECT_EQ(entries[1].name, u"b");
    EXPECT_EQ(entries[1].size, 5u);
    EXPECT_GT(entries[1].creationTime, 0);
    EXPECT_EQ(entries[2].name, u"link");
    EXPECT_TRUE(entries[2].isSymlink);
    EXPECT_FALSE(entries[2].isDirectory);
    EXPECT_TRUE(entries[3].isDirectory);
    EXPECT_FALSE(ListDirectory(test::U16(dir / "nope"), entries));
}

TEST(FileCalls, SymlinksBelowARootAreDetected) {
    test::TempDir dir;
    mkdir((dir / "real").c_str(), 0700);
    ASSERT_EQ(symlink("/", (dir / "out").c_str()), 0);
    EXPECT_FALSE(PathHasSymlinkBelow(dir.u16(), u"real\\x\\y"));
    EXPECT_TRUE(PathHasSymlinkBelow(dir.u16(), u"out\\etc\\passwd"));
    EXPECT_TRUE(PathHasSymlinkBelow(dir.u16(), u"out"));
    EXPECT_EQ(OpenFileForWrite(test::U16(dir / "out")), nullptr);
}
