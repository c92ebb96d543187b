#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include "core/bridge/external_interface.h"
#include "core/package/window_config.h"
#include "support/qt_invoke.h"
#include "ui/flash_player_dlg.h"
#include "ui/tray_icon.h"
#include "ui_fixture.h"

namespace {

QRect Screen() {
    return QGuiApplication::primaryScreen()->geometry();
}

using test::Invoke;

}  // namespace

TEST_F(WindowsTest, StartUpSequence) {
    StandardIssue();
    HoldExtraction();  // a large issue: its loading movie plays while it is extracted
    dlg = std::make_unique<CPlayerDlg>();
    EXPECT_EQ(dlg->windowTitle(), "Loading...");
    EXPECT_EQ(dlg->geometry(), QRect(0, 0, 0, 0));
    ASSERT_TRUE(WaitFor([&] { return dlg->Loading() && dlg->Loading()->FlashActive() == 1; }));
    const WindowRect r = LoadingWindowRect(Screen().width(), Screen().height(), 431, 168);
    auto* loading = static_cast<ScriptedFlashEngine*>(dlg->Loading()->Flash().Engine());
    // In its centred place, and shown once its movie has drawn.
    EXPECT_EQ(dlg->Loading()->geometry(), QRect(r.left, r.top, 431, 168));
    EXPECT_FALSE(dlg->Loading()->isVisible());
    loading->RaiseFirstFrame();
    EXPECT_TRUE(dlg->Loading()->isVisible());
    EXPECT_EQ(loading->movie, QString::fromStdString(ws + "/loading.swf"));

    ReleaseExtraction();
    ASSERT_TRUE(WaitFor([&] { return dlg->Flash().IsCreated(); }));
    // The loading movie got the progress, the last time with the end value.
    ASSERT_FALSE(loading->calls.filter("CallFunction").isEmpty());
    EXPECT_EQ(loading->calls.filter("CallFunction").last(),
              "CallFunction(<invoke name=\"wmanum\" >  "
              "<arguments><string>100.000000</string></arguments></invoke>)");
    EXPECT_EQ(MainEngine()->calls,
              (QStringList{"SetMovie(" + QString::fromStdString(ws) + "/vellmain.swf)", "Play"}));
    PumpFor(300);  // a second ready message would create nothing new
    EXPECT_EQ(ScriptedFlashEngine::All().size(), 2u);
    EXPECT_EQ(dlg->geometry().size(), QSize(0, 0));  // still hidden until the movie is ready

    MainEngine()->RaiseFSCommand("start", "");
    EXPECT_EQ(dlg->size(), QSize(800, 600));
    EXPECT_EQ(dlg->pos(), QPoint((Screen().width() - 800) / 2, (Screen().height() - 600) / 2));
    // "start" comes from the movie's first frame, before it is drawn.
    EXPECT_FALSE(dlg->isVisible());
    MainEngine()->RaiseFirstFrame();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->windowTitle(), "杂志");
    EXPECT_EQ(dlg->Flash().Window()->geometry(), QRect(0, 16, 800, 584));
    EXPECT_EQ(dlg->Loading(), nullptr);
    EXPECT_FALSE(dlg->TitleBitmap().isNull());  // the built-in bitmap
}

// The main movie's engine starts beside the loading movie's, but the main movie
// is held until the loading movie has had its turn: it has drawn (and shows),
// it failed, or it has had as long as a loading movie could take.
TEST_F(WindowsTest, TheMainMovieIsHeldUntilTheLoadingMovieHasHadItsTurn) {
    enum class Loading { Draws, Fails, NeverDraws };
    for (const Loading turn : {Loading::Draws, Loading::Fails, Loading::NeverDraws}) {
        StandardIssue();
        dlg = std::make_unique<CPlayerDlg>();
        dlg->show();
        ASSERT_TRUE(WaitFor([&] { return !MainEngine()->calls.isEmpty(); }));
        auto* loading = static_cast<ScriptedFlashEngine*>(dlg->Loading()->Flash().Engine());
        const QStringList held{"Hold", "SetMovie(" + QString::fromStdString(ws) + "/vellmain.swf)",
                               "Play"};
        EXPECT_EQ(MainEngine()->calls, held);
        if (turn == Loading::Fails)
            loading->RaiseMovieFailed("Invalid SWF");
        if (turn == Loading::Draws)
            loading->RaiseFirstFrame();
        if (turn == Loading::NeverDraws) {  // otherwise let go at once, not at the limit
            EXPECT_TRUE(WaitFor([&] { return MainEngine()->calls.size() > held.size(); }));
        }
        EXPECT_EQ(MainEngine()->calls, held + QStringList{"Release"});
        dlg.reset();
    }
}

TEST_F(WindowsTest, Layouts) {
    StandardIssue("<MSG><Wnd Width='1024' Height='768' bShowTitle='TRUE'/></MSG>");
    Start();
    MainEngine()->RaiseFSCommand("start", "");
    EXPECT_EQ(dlg->Flash().Window()->geometry(), QRect(0, 16, 1024, 752));  // (0,16) to (1024,768)
    MainEngine()->RaiseFSCommand("MAX_WINDOW", "");
    EXPECT_EQ(dlg->geometry(), QRect(0, 0, Screen().width(), Screen().height()));
    EXPECT_EQ(dlg->Flash().Window()->geometry(), QRect(0, 0, Screen().width(), Screen().height()));
    MainEngine()->RaiseFSCommand("set_window", "");
    EXPECT_EQ(dlg->size(), QSize(1024, 768));
    MainEngine()->RaiseFlashCall(
        Invoke("brivol_windowsize", "<number>300</number><number>200</number>"));
    EXPECT_EQ(dlg->geometry(), QRect(0, 0, 300, 200));
    EXPECT_EQ(dlg->Flash().Window()->geometry(),
              QRect(0, 16, 1024, 752));  // the movie keeps its place
}

TEST_F(WindowsTest, NoTitleStripAndACustomBitmap) {
    QImage bmp(4, 4, QImage::Format_RGB888);
    bmp.fill(Qt::red);
    const QString path = QString::fromStdString(tmp / "t.bmp");
    ASSERT_TRUE(bmp.save(path, "BMP"));
    Package({{"l.swf", "L"},
             {"config.xml", "<MSG><Wnd TBKbmp='t.bmp' bShowTitle='no'/></MSG>"},
             {"vellmain.swf", "M"},
             {"t.bmp", test::ReadFile(path.toStdString())}});
    Start();
    MainEngine()->RaiseFSCommand("start", "");
    EXPECT_EQ(dlg->Flash().Window()->geometry(), QRect(0, 0, 600, 500));
    EXPECT_EQ(dlg->TitleBitmap().toImage().pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(WindowsTest, EnterNeverClosesAndRightClicksAreSwallowed) {
    StandardIssue();
    Start();
    MainEngine()->RaiseFSCommand("start", "");
    QTest::keyClick(dlg.get(), Qt::Key_Return);
    QTest::keyClick(dlg.get(), Qt::Key_Enter);
    EXPECT_TRUE(dlg->isVisible());
    struct Counter : QObject {
        int presses = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MouseButtonPress)
                ++presses;
            return false;
        }
    } counter;
    QWidget* movie = dlg->Flash().Window();
    movie->installEventFilter(&counter);
    QTest::mouseClick(movie, Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(counter.presses, 0);
    QTest::mouseClick(movie, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(counter.presses, 1);
}

TEST_F(WindowsTest, CloseDeletesTheWorkspace) {
    StandardIssue();
    Start();
    ASSERT_TRUE(test::Exists(ws + "/vellmain.swf"));
    dlg->close();
    EXPECT_FALSE(test::Exists(ws));
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(WindowsTest, QuitFromTheMovieEndsTheDialog) {
    StandardIssue();
    Start();
    MainEngine()->RaiseFlashCall(Invoke("brivol_quit"));
    ASSERT_TRUE(WaitFor([&] { return !dlg->isVisible(); }));
    EXPECT_FALSE(test::Exists(ws));
}

TEST_F(WindowsTest, TrayMenuFollowsTheWindow) {
    StandardIssue();
    Start();
    MainEngine()->RaiseFSCommand("start", "");
    auto texts = [&] {
        QStringList t;
        for (QAction* a : dlg->Tray().BuildMenu()->actions())
            t << a->text();
        return t;
    };
    EXPECT_EQ(texts(), (QStringList{"隐藏主窗口", "退出"}));
    MainEngine()->RaiseFlashCall(Invoke("brivol_systray", "<number>1</number>"));
    EXPECT_EQ(dlg->State().m_trayShown, 1);
    EXPECT_TRUE(dlg->Tray().IsShown());
    EXPECT_EQ(dlg->Tray().ToolTip(), "点击右键弹出菜单!");
    // With no tray host to draw the icon (none here) the window waits on the task
    // bar rather than hidden for good; the movie still sees its icon kept.
    EXPECT_FALSE(dlg->Tray().OnScreen());
    MainEngine()->RaiseFSCommand("min_window", "");
    EXPECT_TRUE(dlg->isMinimized());
    EXPECT_EQ(dlg->State().m_trayShown, 1);
    EXPECT_EQ(texts(), (QStringList{"显示主窗口", "退出"}));
    dlg->Tray().OnActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(dlg->isVisible() && !dlg->isMinimized());
    EXPECT_TRUE(dlg->Tray().IsShown());
    MainEngine()->RaiseFlashCall(Invoke("brivol_hidewindow"));
    EXPECT_TRUE(dlg->isMinimized());
    MainEngine()->RaiseFlashCall(Invoke("brivol_systray", "<number>0</number>"));
    EXPECT_FALSE(dlg->Tray().IsShown());
    dlg->Tray().OnCommand(TrayIcon::ID_TRAY_EXIT);
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(WindowsTest, ControlThatCannotBeCreated) {
    StandardIssue();
    UseScriptedEngines(false);
    dlg = std::make_unique<CPlayerDlg>();
    dlg->show();
    ASSERT_TRUE(WaitFor([&] { return !boxes.boxes.empty(); }));
    EXPECT_EQ(boxes.boxes[0].text, u"创建flash播放器失败!\r\n请注册高于8.0版本的flash控件");
    EXPECT_EQ(boxes.boxes[0].caption, u"提示");
    EXPECT_EQ(boxes.boxes[0].style, platform::MB_ICONWARNING);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(WindowsTest, DamagedPackagesEndThePlayer) {
    // A file list that does not parse extracts nothing: no main movie, so the
    // Player says so and ends instead of staying hidden.
    test::WriteFile(tmp / "issue", test::AppendedPackage("EXE", "data", "<FileList"));
    g_exePath = test::U16(tmp / "issue");
    dlg = std::make_unique<CPlayerDlg>();
    dlg->show();
    ASSERT_TRUE(WaitFor([&] { return !dlg->isVisible(); }));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"这个文件里没有杂志，无法打开。");
    EXPECT_EQ(dlg->ExitCode(), 1);
}

TEST_F(WindowsTest, EachReasonAnIssueCannotOpenHasItsMessage) {
    // Opens the issue in g_exePath and expects it to end with `message`.
    const auto failsWith = [&](const std::u16string& message) {
        boxes.boxes.clear();
        dlg = std::make_unique<CPlayerDlg>();
        dlg->show();
        ASSERT_TRUE(WaitFor([&] { return dlg->Ended(); }));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, message);
        EXPECT_EQ(dlg->ExitCode(), 1);
        dlg.reset();
    };
    // Data the file does not hold: damaged.
    test::WriteFile(tmp / "issue", test::AppendedPackage(
                                       "EXE!", "ab", test::FileListXml({{"a.swf", "900", "4"}})));
    g_exePath = test::U16(tmp / "issue");
    failsWith(u"本期杂志已损坏，无法打开。");
    // A sound package without its main movie.
    Package({{"loading.swf", "LOAD"}, {"config.xml", "<MSG/>"}});
    failsWith(u"本期杂志缺少主影片 vellmain.swf，无法打开。");
}

TEST_F(WindowsTest, AnUnreadablePackageEndsThePlayerAfterItsMessage) {
    g_exePath = test::U16(tmp / "no-such-file");
    dlg = std::make_unique<CPlayerDlg>();
    dlg->show();
    ASSERT_TRUE(WaitFor([&] { return !dlg->isVisible(); }));
    ASSERT_GE(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"无法打开本EXE文件!");
}

TEST_F(WindowsTest, APackageWithoutConfigStillStartsItsMovie) {
    Package({{"loading.swf", "L"}, {"vellmain.swf", "M"}});
    Start();
    EXPECT_EQ(dlg->Loading()->FlashActive(), 0);
    MainEngine()->RaiseFSCommand("start", "");
    EXPECT_EQ(dlg->size(), QSize(600, 500));  // the defaults
    // Named by the issue's file, not "Loading..." for ever.
    EXPECT_EQ(dlg->windowTitle().toStdU16String(), platform::AppName());
}

TEST_F(WindowsTest, SecondaryWindowIds) {
    StandardIssue();
    Package({{"loading.swf", "L"},
             {"config.xml", "<MSG><Wnd/></MSG>"},
             {"vellmain.swf", "M"},
             {"p.swf", "P"}});
    Start();
    MainEngine()->RaiseFSCommand("start", "");
    const auto open = [&](const QString& create, const QString& id, const QString& path = "p.swf") {
        return MainEngine()->RaiseFlashCall(
            Invoke("brivol_openflashwindow", "<string>" + path + "</string><number>" + create +
                                                 "</number><number>300</number><number>200</number>"
                                                 "<number>" +
                                                 id + "</number>"));
    };
    EXPECT_EQ(open("1", "0"), "<number>0</number>");
    EXPECT_EQ(open("1", "0"), "<number>1</number>");
    ASSERT_EQ(dlg->SecondaryWindows().size(), 2u);
    CFlashPlayerDlg* first = dlg->SecondaryWindows()[0].get();
    // A new window shows once its movie has drawn, or after its limit at most.
    EXPECT_FALSE(first->isVisible());
    static_cast<ScriptedFlashEngine*>(first->Flash().Engine())->RaiseFirstFrame();
    EXPECT_TRUE(first->isVisible());
    CFlashPlayerDlg* second = dlg->SecondaryWindows()[1].get();
    EXPECT_FALSE(second->isVisible());
    EXPECT_TRUE(WaitFor([&] { return second->isVisible(); }, 1000));
    EXPECT_EQ(first->geometry(),
              QRect(dlg->frameGeometry().left() + 30, dlg->frameGeometry().top() + 40, 300, 200));
    EXPECT_EQ(static_cast<ScriptedFlashEngine*>(first->Flash().Engine())->movie,
              QString::fromStdString(ws + "/p.swf"));
    first->close();  // only hidden: keeps its id
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(static_cast<ScriptedFlashEngine*>(first->Flash().Engine())->calls.mid(2),
              (QStringList{"SetMovie( )", "Stop"}));
    EXPECT_EQ(open("0", "0"), "<number>0</number>");
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->geometry(), QRect(0, 0, 300, 200));
    EXPECT_EQ(open("0", "5"), "<false/>");
    EXPECT_EQ(first->LoadMovie(), 1);
    first->SetMoviePath("/nonexistent.swf");
    EXPECT_EQ(first->LoadMovie(), 0);
    dlg->OnSizing(QRect(10, 20, 400, 300));
    EXPECT_EQ(dlg->SecondaryWindows()[1]->geometry(), QRect(10, 20, 400, 300));
    MainEngine()->RaiseFlashCall(Invoke("brivol_clearallwindow"));
    EXPECT_TRUE(dlg->SecondaryWindows().empty());
    EXPECT_EQ(open("0", "0"), "<number>0</number>");
}

// A window closed before its movie has drawn stays closed.
TEST_F(WindowsTest, ASecondaryWindowClosedBeforeItsFirstFrameStaysClosed) {
    Package({{"loading.swf", "L"},
             {"config.xml", "<MSG><Wnd Width='640' Height='480'/></MSG>"},
             {"vellmain.swf", "M"},
             {"p.swf", "P"}});
    Start();
    MainEngine()->RaiseFSCommand("start", "");
    MainEngine()->RaiseFlashCall(Invoke("brivol_openflashwindow",
                                        "<string>p.swf</string><number>1</number><number>300"
                                        "</number><number>200</number><number>0</number>"));
    ASSERT_EQ(dlg->SecondaryWindows().size(), 1u);
    CFlashPlayerDlg* window = dlg->SecondaryWindows()[0].get();
    window->close();
    PumpFor(100);  // past the time a window waits for its first frame
    EXPECT_FALSE(window->isVisible());
    static_cast<ScriptedFlashEngine*>(window->Flash().Engine())->RaiseFirstFrame();
    EXPECT_FALSE(window->isVisible());
}
