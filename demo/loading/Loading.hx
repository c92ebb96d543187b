import flash.display.Sprite;
import flash.external.ExternalInterface;

// The loading movie: a progress bar fed by the host's wmanum calls.
class Loading extends Sprite {
    static function main() flash.Lib.current.addChild(new Loading());

    var bar:Sprite;
    var percent:flash.text.TextField;
    var reported = false;
    var phase = 0.0;

    function new() {
        super();
        Ui.panel(this, 0, 0, 431, 168, 0x1d5fa8);
        Ui.label(this, "示例杂志 · Demo Magazine", 24, 22, 20, 0xffffff);
        Ui.label(this, "正在打开本期杂志… Opening the issue…", 24, 60, 13, 0xdbe7f7);
        Ui.panel(this, 24, 104, 383, 18, 0x0f3d73);
        bar = Ui.panel(this, 26, 106, 0, 14, 0xf0c419);
        percent = Ui.label(this, "0%", 24, 128, 12, 0xffffff);
        if (ExternalInterface.available) ExternalInterface.addCallback("wmanum", progress);
        // Until the Player reports progress (a small issue may be extracted before
        // this movie has even started), a segment runs along the bar.
        addEventListener(flash.events.Event.ENTER_FRAME, function(_) {
            if (reported) return;
            phase = (phase + 6) % 379;
            bar.graphics.clear();
            bar.graphics.beginFill(0xf0c419);
            bar.graphics.drawRect(phase, 0, Math.min(80, 379 - phase), 14);
            bar.graphics.endFill();
            percent.text = "";
        });
    }

    function progress(value:String):String {
        reported = true;
        var p = Math.max(0, Math.min(100, Std.parseFloat(value)));
        bar.graphics.clear();
        bar.graphics.beginFill(0xf0c419);
        bar.graphics.drawRect(0, 0, 379 * p / 100, 14);
        bar.graphics.endFill();
        percent.text = Std.int(p) + "%";
        return "ok";
    }
}
