import flash.display.Sprite;
import flash.external.ExternalInterface;
import flash.Lib;

// The demo issue's main movie: three pages, and buttons for what a movie can
// ask of the Player.
class Main extends Sprite {
    static function main() Lib.current.addChild(new Main());

    var page:Sprite;
    var status:flash.text.TextField;
    var opacity = 255;
    var lastFile:String = null;

    function new() {
        super();
        // The backdrop runs on past the stage: full screen shows the stage scaled to
        // the screen's width, and a screen of another shape shows what lies below it.
        Ui.panel(this, 0, 0, 800 + Ui.BLEED, 584 + Ui.BLEED, 0xfafafa);
        Ui.panel(this, 0, 0, 150, 584 + Ui.BLEED, 0x1d5fa8);
        Ui.label(this, "示例杂志", 18, 18, 22, 0xffffff);
        Ui.label(this, "Demo Magazine", 18, 50, 12, 0xdbe7f7);
        Ui.button(this, "封面 Cover", 14, 100, 122, function() show(0));
        Ui.button(this, "文章 Article", 14, 134, 122, function() show(1));
        Ui.button(this, "工具 Tools", 14, 168, 122, function() show(2));
        Ui.button(this, "退出 Quit", 14, 530, 122, function() Lib.fscommand("quit", ""));
        status = Ui.label(this, "", 166, 556, 12, 0x555555, 620);
        if (ExternalInterface.available) {
            ExternalInterface.addCallback("hdgetreg", function(v:String) {
                say("hdgetreg → " + (v == "" ? "(empty)" : v));
                return "ok";
            });
            ExternalInterface.addCallback("cisonline", function(v:String) {
                say("cisonline → " + v);
                return "ok";
            });
        }
        show(0);
        // Ready: the Player lays out its window from config.xml and shows it.
        Lib.fscommand("start", "");
    }

    // Shown in the status line, and traced for whoever watches the movie's output.
    function say(text:String) {
        status.text = text;
        flash.Lib.trace(text);
    }

    function call(name:String, ?args:Array<Dynamic>):Dynamic {
        if (!ExternalInterface.available) return null;
        var all:Array<Dynamic> = [name];
        return Reflect.callMethod(ExternalInterface, Reflect.field(ExternalInterface, "call"),
            args == null ? all : all.concat(args));
    }

    function show(index:Int) {
        if (page != null) removeChild(page);
        page = new Sprite();
        page.x = 166;
        page.y = 16;
        addChild(page);
        switch (index) {
            case 0: cover();
            case 1: article();
            default: tools();
        }
    }

    function cover() {
        Ui.panel(page, 0, 0, 618, 220, 0x2b6cb0);
        Ui.label(page, "欢迎阅读本期杂志", 24, 40, 34, 0xffffff);
        Ui.label(page, "Welcome to this issue", 26, 96, 20, 0xdbe7f7);
        Ui.label(page, "第 1 期 · Issue 1 · 2026", 26, 170, 14, 0xf0c419);
        Ui.label(page, "这是一本为 Linux 上的杂志播放器制作的演示杂志。左侧的按钮翻页，"
            + "“工具”一页的按钮调用播放器的各项功能。", 0, 240, 15, 0x222222, 600);
        Ui.label(page, "This demo issue was made for the magazine Player on Linux. The buttons on the left "
            + "turn the pages; those on the Tools page call the Player.", 0, 300, 14, 0x444444, 600);
    }

    function article() {
        Ui.label(page, "春天的来信 · A Letter in Spring", 0, 0, 24, 0x1d3f70);
        Ui.label(page, "窗外的柳枝又绿了。每到这个时候，总想给远方的朋友写一封信，"
            + "说说城里的新鲜事：街角新开了一家书店，楼下的樱花开得正好，"
            + "傍晚的风里带着一点青草的味道。", 0, 48, 15, 0x222222, 600);
        Ui.label(page, "The willows outside the window are green again. Every year at this time I want to "
            + "write to a friend far away about the news of the town: a bookshop has opened on the "
            + "corner, the cherry trees downstairs are in bloom, and the evening wind smells of grass.",
            0, 170, 14, 0x444444, 600);
        Ui.button(page, "保存这段文字 Save this text", 0, 300, 220, function() {
            call("brivol_savetextfile", ["春天的来信\r\nA Letter in Spring\r\n窗外的柳枝又绿了。"]);
        });
    }

    function tools() {
        var x = 0, y = 0;
        function add(text:String, action:Void->Void) {
            Ui.button(page, text, x, y, 196, action);
            y += 34;
            if (y > 440) { y = 0; x += 208; }
        }
        add("全屏 Full screen", function() Lib.fscommand("max_window", ""));
        add("窗口 Windowed", function() Lib.fscommand("set_window", ""));
        add("最小化 Minimise", function() call("brivol_minimize"));
        add("托盘 Hide to tray", function() call("brivol_hidewindow"));
        add("透明度 Opacity", function() {
            opacity = opacity == 255 ? 180 : 255;
            call("brivol_windowalpha", [opacity]);
        });
        add("改标题 Caption", function() call("brivol_windowcaption", ["示例杂志 · 已修改 Changed"]));
        add("新窗口 New window", function() {
            var r = call("brivol_openflashwindow", ["page2.swf", 1, 360, 240, 0]);
            say("openflashwindow → " + r);
        });
        add("关闭窗口 Close windows", function() call("brivol_clearallwindow"));
        add("保存文本 Save a text", function() call("brivol_savetextfile", ["来自示例杂志的问候\r\nGreetings from the demo issue"]));
        add("查找文件 Find files", function() {
            var r:Dynamic = call("brivol_findfile");
            say("findfile → " + (r == null ? "(no search)" : r.length + " files"));
        });
        add("打开文件 Open a file", function() {
            lastFile = call("brivol_opendialog", ["Text files (*.txt)|*.txt|All files (*.*)|*.*||"]);
            say("opendialog → " + lastFile);
        });
        add("打开文件夹 Open a folder", function() say("openfolder → " + call("brivol_openfolder")));
        add("写日志 Append to the file", function() {
            if (lastFile == null) say("先用“打开文件”选一个文件 Pick a file first");
            else Lib.fscommand("writelog", lastFile + "|示例杂志 demo " + Date.now().toString() + "\n");
        });
        add("读注册表 Read registry", function()
            Lib.fscommand("readreg", "HKEY_CURRENT_USER|Software\\MagazinePlayer\\Demo|Greeting"));
        add("是否在线 Online?", function() Lib.fscommand("isonline", ""));
        add("文件存在? /tmp exists?", function() say("fileexists /tmp → " + call("brivol_fileexists", ["/tmp"])));
        add("提示框 Alert", function() call("brivol_alert", ["这是来自杂志的提示。\nA message from the issue."]));
        add("另一本杂志 Second issue", function() Lib.fscommand("openothermag", "second"));
        add("托盘图标 Tray icon on", function() call("brivol_systray", [1]));
    }
}
