import flash.display.Sprite;
import flash.Lib;

// The main movie of the second magazine, packed as a nested package.
class Second extends Sprite {
    static function main() Lib.current.addChild(new Second());

    function new() {
        super();
        Ui.panel(this, 0, 0, 800 + Ui.BLEED, 584 + Ui.BLEED, 0xfff7e0);
        Ui.label(this, "第二本杂志", 40, 40, 34, 0x8a5a00);
        Ui.label(this, "The second magazine, opened from a nested package", 42, 96, 16, 0x6b4a10);
        Ui.button(this, "回到第一本 Back to the first", 40, 160, 240, function() Lib.fscommand("openothermag", "0"));
        Ui.button(this, "退出 Quit", 40, 200, 240, function() Lib.fscommand("quit", ""));
        Lib.fscommand("start", "");
    }
}
