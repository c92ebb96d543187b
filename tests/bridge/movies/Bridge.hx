import flash.display.Sprite;
import flash.events.Event;
import flash.external.ExternalInterface;
import flash.text.TextField;
import flash.text.TextFormat;
import flash.Lib;

// A movie for the Flash control's tests: every kind of call between movie and
// host, in a fixed order, reported through trace().
class Bridge extends Sprite {
    static function main() Lib.current.addChild(new Bridge());

    var frames = 0;

    function describe(v:Dynamic):String {
        if (v == null) return "null";
        if (Std.isOfType(v, Array)) return "array[" + [for (x in (v : Array<Dynamic>)) describe(x)].join(",") + "]";
        return switch (Type.typeof(v)) {
            case TBool: "bool:" + v;
            case TInt, TFloat: "number:" + v;
            case TClass(String): "string:" + v;
            case TObject: "object{" + [for (f in Reflect.fields(v)) f + "=" + describe(Reflect.field(v, f))].join(",") + "}";
            default: "other:" + Std.string(v);
        }
    }

    function new() {
        super();
        graphics.beginFill(0xff0000);
        graphics.drawRect(0, 0, 100, 50);
        graphics.endFill();
        graphics.beginFill(0x0000ff);
        graphics.drawRect(100, 0, 100, 50);
        graphics.endFill();
        var t = new TextField();
        t.defaultTextFormat = new TextFormat("_sans", 24, 0x000000);
        t.text = "中文字 Latin";
        t.width = 300;
        t.y = 60;
        addChild(t);
        addEventListener(Event.ENTER_FRAME, function(_) frames++);
        ExternalInterface.addCallback("echo", function(a:Dynamic) {
            Lib.trace("echo " + describe(a));
            return "echo:" + Std.string(a);
        });
        ExternalInterface.addCallback("order", function(n:Dynamic) {
            Lib.trace("order " + n);
            return n;
        });
        ExternalInterface.addCallback("frames", function() return frames);
        ExternalInterface.addCallback("modal", function() {
            var r:Dynamic = ExternalInterface.call("modal");
            Lib.trace("after modal " + describe(r));
            return true;
        });
        Lib.fscommand("命令 cmd", "参数|args 中文");
        Lib.trace("args " + describe(ExternalInterface.call("brivol_args", "s<&>\"'", 12.5, -3, true, false, null,
            [1, "a"], {k: "v"})));
        for (name in ["reply_string", "reply_number", "reply_true", "reply_false", "reply_array", "reply_null",
                      "reply_none", "reply_unescaped"]) {
            Lib.trace(name + " " + describe(ExternalInterface.call(name)));
        }
        Lib.trace("reentrant " + describe(ExternalInterface.call("reentrant")));
        Lib.fscommand("queue", "");
        Lib.trace("after queue");
    }
}
