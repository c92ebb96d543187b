#include "app/workspace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "platform/path.h"
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

TEST(Guid, AllZeroGuidShowsTheMessageAndCreatesNothing) {
    test::MessageBoxRecorder boxes;
    platform::Guid g;
    EXPECT_EQ(CreateWorkspaceGuid(g, [](platform::Guid&) { return false; }), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"Unable to create new GUID.");
    EXPECT_EQ(boxes.boxes[0].caption, u"GUIDGen");
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
