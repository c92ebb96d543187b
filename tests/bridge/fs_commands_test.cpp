#include <gtest/gtest.h>

#include <filesystem>

#include "core/bridge/player_host.h"
#include "core/platform/text.h"
#include "core/platform/workspace.h"
#include "recording_host.h"
#include "support/test_support.h"

namespace {

using Calls = std::vector<std::string>;

class FsCommands : public ::testing::Test {
protected:
    Calls Run(const std::u16string& command, const std::u16string& args = u"") {
        host.calls.clear();
        OnFSCommand(host, command, args);
        return host.calls;
    }
    RecordingHost host;
    test::MessageBoxRecorder boxes;
    test::TempDir dir;
};

}  // namespace

TEST_F(FsCommands, NamesIgnoreCase) {
    EXPECT_EQ(Run(u"SET_WINDOW"), (Calls{"ShowPlayerWindow(windowed)"}));
    EXPECT_EQ(Run(u"Max_Window", u"ignored"), (Calls{"ShowPlayerWindow(full)"}));
    EXPECT_EQ(Run(u"quit"), (Calls{"OnCancel"}));
    EXPECT_EQ(Run(u"quit2"), (Calls{}));
    EXPECT_EQ(Run(u""), (Calls{}));
}

TEST_F(FsCommands, MinWindowHidesWhenInTheTray) {
    EXPECT_EQ(Run(u"min_window"), (Calls{"ShowWindow(minimized)"}));
    host.state.m_trayShown = 1;
    EXPECT_EQ(Run(u"min_window"), (Calls{"ShowWindow(hide)"}));
}

TEST_F(FsCommands, ReadRegAnswersHdgetregAlways) {
    host.registryValue = u"v<&>";
    EXPECT_EQ(Run(u"readreg", u"HKEY_CURRENT_USER|Software\\X|Name|with|bars"),
              (Calls{"ReadReg(1,Software\\X,Name|with|bars)",
                     "Call(<invoke name=\"hdgetreg\" > "
                     "<arguments><string>v<&></string></arguments></invoke>)"}));
    // Two fields read the default value.
    EXPECT_EQ(Run(u"readreg", u"HKEY_LOCAL_MACHINE|Software")[0], "ReadReg(3,Software,)");
    // A lower-case root maps to no root: an empty answer.
    EXPECT_EQ(
        Run(u"readreg", u"hkey_current_user|Software|x")[1],
        "Call(<invoke name=\"hdgetreg\" > <arguments><string></string></arguments></invoke>)");
    EXPECT_EQ(Run(u"readreg", u"HKEY_USERS")[0], "ReadReg(4,,)");
    EXPECT_EQ(Run(u"readreg", u"HKEY_CURRENT_CONFIG|a|b")[0], "ReadReg(5,a,b)");
    EXPECT_EQ(Run(u"readreg", u"HKEY_CLASSES_ROOT|a|b")[0], "ReadReg(2,a,b)");
}

TEST_F(FsCommands, AddRegStringKeepsBarsInTheData) {
    EXPECT_EQ(Run(u"addregstring", u"HKEY_CURRENT_USER|Software\\X|Name|a|b|c"),
              (Calls{"WriteReg(1,Software\\X,Name,a|b|c)"}));
    EXPECT_EQ(Run(u"addregstring", u"HKEY_CURRENT_USER|K"), (Calls{"WriteReg(1,K,,)"}));
}

TEST_F(FsCommands, CopyFileAsksBeforeOverwriting) {
    g_workspaceDir = dir.u16();
    test::WriteFile(dir / "packed.txt", "from the issue");
    const std::u16string dest = test::U16(dir / "out.txt");
    Run(u"copyfile", u"packed.txt|" + dest);
    EXPECT_EQ(test::ReadFile(dir / "out.txt"), "from the issue");
    EXPECT_TRUE(boxes.boxes.empty());

    test::WriteFile(dir / "out.txt", "mine");
    boxes.answers = {platform::IDNO};
    Run(u"copyfile", u"packed.txt|" + dest);
    EXPECT_EQ(test::ReadFile(dir / "out.txt"), "mine");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, dest + u"已存在,是否覆盖?");
    EXPECT_EQ(boxes.boxes[0].caption, u"提示");
    EXPECT_EQ(boxes.boxes[0].style, 0x24u);
    EXPECT_EQ(boxes.boxes[0].owner, nullptr);

    boxes.answers = {platform::IDYES};
    Run(u"copyfile", u"packed.txt|" + dest);
    EXPECT_EQ(test::ReadFile(dir / "out.txt"), "from the issue");

    Run(u"copyfile", u"packed.txt");  // no destination: fails silently
    EXPECT_EQ(boxes.boxes.size(), 2u);
    g_workspaceDir.clear();
}

TEST_F(FsCommands, WriteLogAppendsToExistingFilesOnly) {
    const std::string log = dir / "log.txt";
    test::WriteFile(log, "start:");
    Run(u"writelog", test::U16(log) + u"|one|two");
    Run(u"writelog", test::U16(log) + u"|three");
    EXPECT_EQ(test::ReadFile(log), "start:one|twothree");
    Run(u"writelog", test::U16(dir / "missing.txt") + u"|x");
    EXPECT_FALSE(test::Exists(dir / "missing.txt"));
    // A path longer than the original's buffer is refused, even when the file exists.
    const std::string folder = dir.path() + "/" + std::string(200, 'd');
    const std::string longPath = folder + "/" + std::string(100, 'x');
    ASSERT_GT(longPath.size(), 259u);
    std::filesystem::create_directories(folder);
    test::WriteFile(longPath, "kept");
    Run(u"writelog", test::U16(longPath) + u"|x");
    EXPECT_EQ(test::ReadFile(longPath), "kept");
}

TEST_F(FsCommands, WriteLogUsesTheLocaleCharset) {
    const std::string log = dir / "zh.txt";
    test::WriteFile(log, "");
    Run(u"writelog", test::U16(log) + u"|中文");
    EXPECT_EQ(test::ReadFile(log), platform::FromUtf16(u"中文", platform::AnsiCharset()));
}

TEST_F(FsCommands, StartShowsTheWindowOnceReady) {
    EXPECT_EQ(Run(u"start"), (Calls{"ApplyWindowConfig", "DestroyLoadingWindow"}));
    EXPECT_EQ(Run(u"start"), (Calls{"ApplyWindowConfig", "DestroyLoadingWindow"}));
    host.state.m_companionReady = 1;
    host.state.m_otherMagazine = 1;
    EXPECT_EQ(
        Run(u"START"),
        (Calls{
            "CompanionQuery(subscribe)",
            "Call(<invoke name=\"vellbook\" > <arguments><string>R</string></arguments></invoke>)",
            "ShowWindow(restore)"}));
    EXPECT_EQ(host.state.m_otherMagazine, 0);
}

TEST_F(FsCommands, OpenOtherMagazine) {
    g_workspaceDir = u"/tmp/{W}";
    EXPECT_EQ(Run(u"openothermag", u"0"),
              (Calls{"Stop", "ShowWindow(minimized)", "SetMovie(/tmp/{W}\\vellmain.swf)", "Play"}));
    EXPECT_EQ(host.state.m_otherMagazine, 1);
    EXPECT_EQ(Run(u"openothermag", u"second")[2], "SetMovie(/tmp/{W}\\second\\vellmain.swf)");
    g_workspaceDir.clear();
}

TEST_F(FsCommands, SubscribeWithoutTheCompanionOffersTheDownload) {
    boxes.answers = {platform::IDNO};
    EXPECT_EQ(Run(u"subscribe", u"x"), (Calls{}));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              u"您未安装 "
              u"VELL娱乐空间或Vell杂志订阅器\r\n故不支持杂志订阅\r\n\r\n马上下载VELL娱乐空间或Vell"
              u"杂志订阅器");
    EXPECT_EQ(boxes.boxes[0].caption, u"订阅提示");
    EXPECT_EQ(boxes.boxes[0].style, 0x24u);
    boxes.answers = {platform::IDYES};
    const Calls calls = Run(u"subscribe", u"x");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].rfind("OpenWebPage(http", 0), 0u);
    host.state.m_companionReady = 1;
    EXPECT_EQ(Run(u"subscribe", u"id1"), (Calls{"Companion(subscribe,a,,id1,)"}));
}

TEST_F(FsCommands, MailAndOnline) {
    EXPECT_EQ(Run(u"sendmails", u"s|u|p|f|t|subj|body|x"),
              (Calls{"SendMail(s|u|p|f|t|subj|body|x)"}));
    EXPECT_EQ(Run(u"isonline"), (Calls{"Call(<invoke name=\"cisonline\" > "
                                       "<arguments><string>1</string></arguments></invoke>)"}));
}
