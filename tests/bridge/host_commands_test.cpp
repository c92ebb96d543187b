#include <gtest/gtest.h>

#include "core/bridge/player_host.h"
#include "recording_host.h"
#include "support/invoke_builder.h"
#include "support/test_support.h"

namespace {

using Calls = std::vector<std::string>;

using test::Invoke;
using test::Num;
using test::Str;

class HostCommands : public ::testing::Test {
protected:
    Calls Run(const std::u16string& request) {
        host.calls.clear();
        OnFlashCall(host, request);
        return host.calls;
    }
    RecordingHost host;
    test::MessageBoxRecorder boxes;
};

}  // namespace

TEST_F(HostCommands, DispatchIsCaseSensitiveAndNeedsArguments) {
    EXPECT_EQ(Run(Invoke(u"brivol_quit")), (Calls{"PostClose"}));
    EXPECT_EQ(Run(u"<invoke name=\"brivol_quit\"><arguments/></invoke>"), (Calls{"PostClose"}));
    EXPECT_EQ(Run(u"<invoke name=\"brivol_quit\"></invoke>"), (Calls{}));
    EXPECT_EQ(Run(Invoke(u"brivol_QUIT")), (Calls{}));
    EXPECT_EQ(Run(Invoke(u"brivol_quit ")), (Calls{}));
    EXPECT_EQ(Run(Invoke(u"unknown_function", Str(u"x"))), (Calls{}));
    EXPECT_EQ(Run(u"not xml"), (Calls{}));
    EXPECT_EQ(Run(Invoke(u"brivol_openexe", Str(u"a.exe"))), (Calls{}));
    EXPECT_EQ(Run(Invoke(u"brivol_callfunction")), (Calls{}));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(HostCommands, WindowStates) {
    EXPECT_EQ(Run(Invoke(u"brivol_showwindow")), (Calls{"ShowPlayerWindow(full)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_minimize")), (Calls{"ShowWindow(minimized)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_restore")), (Calls{"ShowWindow(restore)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_hidewindow")), (Calls{"Tray(add)", "ShowWindow(hide)"}));
    EXPECT_EQ(host.state.m_trayShown, 1);
    EXPECT_EQ(Run(Invoke(u"brivol_hidewindow")),
              (Calls{"ShowWindow(hide)"}));  // the second only hides
}

TEST_F(HostCommands, TrayFlag) {
    EXPECT_EQ(Run(Invoke(u"brivol_systray", Num(u"1"))), (Calls{"Tray(add)"}));
    EXPECT_EQ(host.state.m_trayShown, 1);
    EXPECT_EQ(Run(Invoke(u"brivol_systray", Num(u"2"))), (Calls{"Tray(delete)"}));
    EXPECT_EQ(host.state.m_trayShown, 0);
    EXPECT_EQ(Run(Invoke(u"brivol_systray", Str(u"1"))), (Calls{}));  // needs a number
}

TEST_F(HostCommands, CaptionChangesOnlyTheDrawnTitle) {
    host.state.m_title = u"Old";
    EXPECT_EQ(Run(Invoke(u"brivol_windowcaption", Str(u"新标题"))), (Calls{"Repaint(新标题)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_windowcaption", Str(u""))), (Calls{"Repaint(新标题)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_windowcaption")), (Calls{}));
}

TEST_F(HostCommands, WindowSizeNeedsExactlyTwoNumbers) {
    EXPECT_EQ(Run(Invoke(u"brivol_windowsize", Num(u"300") + Str(u"x") + Num(u"  200px"))),
              (Calls{"MoveWindow(0,0,300,200)"}));
    EXPECT_EQ(host.state.m_width, 600);  // the windowed size is not changed
    for (const auto& args : {Num(u"1"), Num(u"1") + Num(u"2") + Num(u"3"), std::u16string()}) {
        boxes.boxes.clear();
        EXPECT_EQ(Run(Invoke(u"brivol_windowsize", args)), (Calls{}));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, u"参数不对齐");
        EXPECT_EQ(boxes.boxes[0].style, platform::MB_OK);
        EXPECT_EQ(boxes.boxes[0].owner, &host);
    }
}

TEST_F(HostCommands, AlphaIsClamped) {
    EXPECT_EQ(Run(Invoke(u"brivol_windowalpha", Num(u"0"))), (Calls{"Alpha(1)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_windowalpha", Num(u"-3"))), (Calls{"Alpha(1)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_windowalpha", Num(u"1000"))), (Calls{"Alpha(255)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_windowalpha", Num(u"12.7"))), (Calls{"Alpha(12)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_windowalpha", Num(u"abc"))), (Calls{"Alpha(1)"}));
}

TEST_F(HostCommands, AlertShowsTheInformationBox) {
    Run(Invoke(u"brivol_alert", Str(u"你好")));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"你好");
    EXPECT_EQ(boxes.boxes[0].caption, u"信息");
    EXPECT_EQ(boxes.boxes[0].style, 0x41u);
}

TEST_F(HostCommands, FileAndFolderTests) {
    test::TempDir dir;
    test::WriteFile(dir / "f.txt", "x");
    const std::u16string folder = dir.u16(), file = test::U16(dir / "f.txt");
    EXPECT_EQ(Run(Invoke(u"brivol_fileexists", Str(folder))), (Calls{"Return(<true/>)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_fileexists", Str(file))), (Calls{"Return(<true/>)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_fileexists", Str(folder + u"/none"))),
              (Calls{"Return(<false/>)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_folderexists", Str(file))), (Calls{"Return(<false/>)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_folderexists", Str(folder))), (Calls{"Return(<true/>)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_fileexists")), (Calls{}));
}

TEST_F(HostCommands, Dialogs) {
    EXPECT_EQ(Run(Invoke(u"brivol_opendialog", Str(u"Text files|*.txt||"))),
              (Calls{"OpenFileDialog(Text files|*.txt||)"}));  // cancelled: no reply
    host.openFileAnswer = u"/home/u/a&b.txt";
    EXPECT_EQ(Run(Invoke(u"brivol_opendialog", Str(u"*.*"))),
              (Calls{"OpenFileDialog(*.*)", "Return(<string>/home/u/a&b.txt</string>)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_opendialog")), (Calls{}));
    EXPECT_EQ(Run(Invoke(u"brivol_openfolder")), (Calls{"FolderDialog(请选择文件夹,c:\\)"}));
    host.folderAnswer = u"/home/u";
    EXPECT_EQ(Run(Invoke(u"brivol_openfolder")),
              (Calls{"FolderDialog(请选择文件夹,c:\\)", "Return(<string>/home/u</string>)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_savetextfile", Str(u"text"))), (Calls{"SaveTextDialog(text)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_savetextfile")), (Calls{}));
    EXPECT_EQ(Run(Invoke(u"brivol_findfile")), (Calls{"FileSearchDialog"}));
}

TEST_F(HostCommands, SecondaryWindows) {
    const auto open = [&](const std::u16string& name, const std::u16string& create,
                          const std::u16string& id) {
        return Run(Invoke(name, Str(u"p.swf") + Num(create) + Num(u"300") + Num(u"200") + Num(id)));
    };
    EXPECT_EQ(open(u"brivol_openflashwindow", u"0", u"7"),
              (Calls{"CreateWindow(300,200,p.swf)", "Return(<number>0</number>)"}));
    EXPECT_EQ(open(u"brivol_openiewindow", u"1", u"0"),
              (Calls{"CreateWindow(300,200,p.swf)", "Return(<number>1</number>)"}));
    EXPECT_EQ(open(u"brivol_openflashwindow", u"0", u"0"),
              (Calls{"ReuseWindow(0,300,200,p.swf)", "Return(<number>0</number>)"}));
    EXPECT_EQ(open(u"brivol_openflashwindow", u"0", u"2"), (Calls{"Return(<false/>)"}));
    EXPECT_EQ(open(u"brivol_openflashwindow", u"0", u"-1"), (Calls{"Return(<false/>)"}));
    EXPECT_EQ(Run(Invoke(u"brivol_clearallwindow")), (Calls{"ClearWindows"}));
    EXPECT_EQ(open(u"brivol_openflashwindow", u"1", u"0"),
              (Calls{"CreateWindow(300,200,p.swf)", "Return(<number>0</number>)"}));
    // Without a string every number counts: four numbers are one short.
    EXPECT_EQ(Run(Invoke(u"brivol_openflashwindow", Num(u"1") + Num(u"3") + Num(u"2") + Num(u"0"))),
              (Calls{}));
    EXPECT_EQ(Run(Invoke(u"brivol_openflashwindow",
                         Str(u"a") + Num(u"1") + Num(u"3") + Num(u"2") + Num(u"0") + Num(u"9"))),
              (Calls{}));
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].text, u"参数不对齐");
    host.createFails = true;
    EXPECT_EQ(open(u"brivol_openflashwindow", u"1", u"0"), (Calls{"CreateWindow(300,200,p.swf)"}));
}

TEST_F(HostCommands, ExtractFileCopiesRealFilesAndOverwrites) {
    test::TempDir dir;
    test::WriteFile(dir / "src.txt", "new");
    test::WriteFile(dir / "dst.txt", "old old");
    EXPECT_EQ(Run(Invoke(u"brivol_extractfile",
                         Str(test::U16(dir / "src.txt")) + Str(test::U16(dir / "dst.txt")))),
              (Calls{}));
    EXPECT_EQ(test::ReadFile(dir / "dst.txt"), "new");
    EXPECT_TRUE(boxes.boxes.empty());
    Run(Invoke(u"brivol_extractfile", Str(test::U16(dir / "none")) + Str(test::U16(dir / "x"))));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"所提取的源文件不存在");
    EXPECT_FALSE(test::Exists(dir / "x"));
    Run(Invoke(u"brivol_extractfile", Str(test::U16(dir / "src.txt"))));
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].text, u"参数不对齐");
}
