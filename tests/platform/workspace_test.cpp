#include "core/platform/workspace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "core/platform/path.h"
#include "support/test_support.h"

TEST(Guid, FormatHasLowerCaseThirdGroupOnly) {
    platform::Guid g;
    g.data1 = 0xABCDEF01;
    g.data2 = 0xBEEF;
    g.data3 = 0x4ABC;
    const uint8_t tail[8] = {0xDE, 0xAD, 0x0B, 0x1C, 0x2D, 0x3E, 0x4F, 0xA0};
    std::copy(tail, tail + 8, g.data4);
    EXPECT_EQ(FormatGuid(g), u"{ABCDEF01-BEEF-4abc-DEAD-0B1C2D3E4FA0}");
    EXPECT_EQ(FormatGuid(platform::Guid{}), u"{00000000-0000-0000-0000-000000000000}");
}

TEST(Guid, AllZeroGuidCreatesNothingAndShowsNothingItself) {
    test::MessageBoxRecorder boxes;
    platform::Guid g;
    EXPECT_EQ(CreateWorkspaceGuid(g, [](platform::Guid&) { return false; }), 0);
    EXPECT_TRUE(boxes.boxes.empty());  // the Player shows kNoGuidText
    g_workspaceDir.clear();
    EXPECT_FALSE(CreateWorkspace([](platform::Guid&) { return false; }));
    EXPECT_TRUE(g_workspaceDir.empty());
}

TEST(Workspace, IsAPrivateGuidFolderUnderTheTemporaryFolder) {
    test::TempDir tmp;
    {
        const test::ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());
        ASSERT_TRUE(CreateWorkspace());
    }
    const std::string ws = test::U8(g_workspaceDir);
    EXPECT_TRUE(std::regex_match(
        ws, std::regex(tmp.path() +
                       "/\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9a-f]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}")));
    struct stat st {};
    ASSERT_EQ(stat(ws.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(g_exePath.empty());
    DeleteWorkspace();
    EXPECT_FALSE(test::Exists(ws));
    DeleteWorkspace();  // a second attempt is harmless
}

TEST(FolderTree, DeletesTwoLevelsButNeverFollowsLinks) {
    test::TempDir dir;
    test::TempDir outside;
    test::WriteFile(outside / "keep.txt", "precious");
    const std::string root = dir / "ws";
    platform::CreateDirectoryChain(test::U16(root + "/a/b"));
    test::WriteFile(root + "/f1", "1");
    test::WriteFile(root + "/a/f2", "2");
    test::WriteFile(root + "/a/b/f3", "3");
    chmod((root + "/a/b/f3").c_str(), 0400);  // read-only files go too
    ASSERT_EQ(symlink(outside.path().c_str(), (root + "/a/link").c_str()), 0);
    DeleteFolderTree(test::U16(root));
    EXPECT_FALSE(test::Exists(root));
    EXPECT_EQ(test::ReadFile(outside / "keep.txt"), "precious");
}

namespace {

constexpr char kDead[] = "{11111111-2222-3333-4444-555555555555}";
constexpr char kLive[] = "{AAAAAAAA-BBBB-cccc-DDDD-EEEEEEEEEEEE}";

// A workspace as a Player makes one, with its mark; `locked`: the mark's lock,
// held as a running Player holds it.
int MakeWorkspace(const test::TempDir& tmp, const std::string& name, bool marked) {
    std::filesystem::create_directories(tmp / (name + "/data"));
    test::WriteFile(tmp / (name + "/data/b.txt"), "x");
    if (!marked)
        return -1;
    const int fd = open((tmp / name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return fd;
}

}  // namespace

// What a Player's start removes of what other Players left in its temporary
// folder: only the workspaces of Players that are gone.
TEST(Workspace, OnlyDeadPlayersWorkspacesAreRemoved) {
    test::TempDir tmp, outside;
    close(MakeWorkspace(tmp, kDead, true));            // killed: mark not held
    const int live = MakeWorkspace(tmp, kLive, true);  // another Player, running
    ASSERT_EQ(flock(live, LOCK_EX | LOCK_NB), 0);
    MakeWorkspace(tmp, "{22222222-2222-3333-4444-555555555555}",
                  false);                                // a Player older than the mark
    close(MakeWorkspace(tmp, "not-a-workspace", true));  // a mark, but not a workspace's name
    test::WriteFile(tmp / "{33333333-2222-3333-4444-555555555555}.lock", "");  // a mark alone
    // A link named like a dead workspace, to a folder that must stay.
    test::WriteFile(outside / "keep.txt", "precious");
    const std::string link = "{44444444-2222-3333-4444-555555555555}";
    ASSERT_EQ(symlink(outside.path().c_str(), (tmp / link).c_str()), 0);
    test::WriteFile(tmp / link + ".lock", "");
    // Another user's workspace (only root can make one).
    const std::string foreign = "{55555555-2222-3333-4444-555555555555}";
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        close(MakeWorkspace(tmp, foreign, true));
        ASSERT_EQ(chown((tmp / foreign).c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown((tmp / foreign + ".lock").c_str(), 65534, 65534), 0);
    }

    EXPECT_EQ(RemoveDeadWorkspaces(test::U16(tmp.path() + "/")), 1);
    EXPECT_FALSE(test::Exists(tmp / kDead));
    EXPECT_FALSE(test::Exists(tmp / kDead + ".lock"));
    EXPECT_FALSE(test::Exists(tmp / "{33333333-2222-3333-4444-555555555555}.lock"));
    EXPECT_TRUE(test::Exists(tmp / kLive + "/data/b.txt"));
    EXPECT_TRUE(test::Exists(tmp / "{22222222-2222-3333-4444-555555555555}/data/b.txt"));
    EXPECT_TRUE(test::Exists(tmp / "not-a-workspace/data/b.txt"));
    EXPECT_TRUE(test::Exists(tmp / link));
    EXPECT_EQ(test::ReadFile(outside / "keep.txt"), "precious");
    if (asRoot) {
        EXPECT_TRUE(test::Exists(tmp / foreign + "/data/b.txt"));
    }
    close(live);  // that Player ends without its clean-up: now it is left behind
    EXPECT_EQ(RemoveDeadWorkspaces(test::U16(tmp.path())), 1);
    EXPECT_FALSE(test::Exists(tmp / kLive));
}

// A Player's own workspace is marked live for its whole run, and the mark goes
// with the workspace; its descriptor is never inherited by programs it starts.
TEST(Workspace, IsMarkedLiveWhileItsPlayerRuns) {
    test::TempDir tmp;
    const test::ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());
    ASSERT_TRUE(CreateWorkspace());
    const std::string mark = test::U8(g_workspaceDir) + ".lock";
    const int probe = open(mark.c_str(), O_RDWR);
    ASSERT_GE(probe, 0);
    EXPECT_NE(flock(probe, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(RemoveDeadWorkspaces(tmp.u16()), 0);
    EXPECT_TRUE(test::Exists(test::U8(g_workspaceDir)));
    bool inherited = false;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(fd.path(), ec) == mark) {
            const int n = std::stoi(fd.path().filename().string());
            inherited = inherited || (n != probe && !(fcntl(n, F_GETFD) & FD_CLOEXEC));
        }
    }
    EXPECT_FALSE(inherited);
    close(probe);
    DeleteWorkspace();
    EXPECT_FALSE(test::Exists(mark));
}
