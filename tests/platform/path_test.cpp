#include "core/platform/path.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

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

namespace {

// Runs `job` in a child process; false when it has not finished within 5 s
// (the child is then killed), so that a hang fails the test instead of
// stopping it.
bool FinishesSoon(const std::function<bool()>& job, bool& result) {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(job() ? 0 : 1);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return true;
}

}  // namespace

// A copy whose destination is its own source (by any name) would truncate the
// file before reading it: it fails and the file keeps its bytes.
TEST(FileCalls, ACopyOntoItselfKeepsTheFile) {
    test::TempDir dir;
    test::WriteFile(dir / "a", "precious");
    mkdir((dir / "sub").c_str(), 0700);
    ASSERT_EQ(link((dir / "a").c_str(), (dir / "hard").c_str()), 0);
    ASSERT_EQ(symlink((dir / "a").c_str(), (dir / "soft").c_str()), 0);
    for (const std::string& same : {dir / "a", dir / "sub/../a", dir / "hard", dir / "soft"}) {
        SCOPED_TRACE(same);
        EXPECT_FALSE(CopyFile(test::U16(dir / "a"), test::U16(same), false));
        EXPECT_EQ(test::ReadFile(dir / "a"), "precious");
    }
}

// Only regular files are copied or appended to: a named pipe or a device would
// block for ever or never end.
TEST(FileCalls, PipesAndDevicesAreNotFiles) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    test::WriteFile(dir / "f", "x");
    const std::pair<std::string, std::string> copies[] = {
        {dir / "fifo", dir / "out"}, {"/dev/zero", "/dev/null"}, {dir / "f", dir / "fifo"}};
    for (const auto& copy : copies) {
        SCOPED_TRACE(copy.first + " -> " + copy.second);
        bool copied = true;
        ASSERT_TRUE(FinishesSoon(
            [&] { return CopyFile(test::U16(copy.first), test::U16(copy.second), false); },
            copied));
        EXPECT_FALSE(copied);
    }
    EXPECT_FALSE(test::Exists(dir / "out"));
    bool opened = true;
    ASSERT_TRUE(FinishesSoon(
        [&] { return OpenExistingForUpdate(test::U16(dir / "fifo")) != nullptr; }, opened));
    EXPECT_FALSE(opened);
    EXPECT_EQ(OpenExistingForUpdate(u"/dev/null"), nullptr);
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

TEST(DirectoryChain, CreatesEveryFolderWithEitherSeparator) {
    test::TempDir dir;
    platform::CreateDirectoryChain(dir.u16() + u"\\a\\b\\c");
    EXPECT_TRUE(platform::PathIsDirectory(dir.u16() + u"/a/b/c"));
    platform::CreateDirectoryChain(dir.u16() + u"/x/y/");
    EXPECT_TRUE(platform::PathIsDirectory(dir.u16() + u"/x/y"));
    test::WriteFile(dir / "a/b/c/kept", "k");
    platform::CreateDirectoryChain(dir.u16() + u"\\a\\b\\c");  // all existing: nothing changes
    EXPECT_EQ(test::ReadFile(dir / "a/b/c/kept"), "k");
    // An empty path names no folder: nothing is made where the process stands.
    test::TempDir cwd;
    const std::string before = std::filesystem::current_path();
    std::filesystem::current_path(cwd.path());
    platform::CreateDirectoryChain(u"");
    std::filesystem::current_path(before);
    EXPECT_TRUE(std::filesystem::is_empty(cwd.path()));
}

TEST(DirectoryChain, ASeparatorAfterAColonCreatesNothing) {
    test::TempDir dir;
    // The prefix ending in "d:" is never created, so the last folder cannot be either.
    platform::CreateDirectoryChain(dir.u16() + u"/d:\\e");
    EXPECT_FALSE(test::Exists(dir / "d:"));
    platform::CreateDirectoryChain(dir.u16() + u"/a:b\\c");
    EXPECT_TRUE(test::Exists(dir / "a:b/c"));
}
