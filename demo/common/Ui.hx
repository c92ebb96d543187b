import flash.display.Sprite;
import flash.events.MouseEvent;
import flash.text.TextField;
import flash.text.TextFieldAutoSize;
import flash.text.TextFormat;

// Small drawing helpers shared by the demo movies.
class Ui {
    // How far a page's backdrop reaches beyond its stage (the stage is aligned
    // top left, so only the right and the bottom can show more).
    public static inline var BLEED = 600;

    public static function label(parent:Sprite, text:String, x:Float, y:Float, size:Int = 14, color:Int = 0x222222,
            width:Float = 0):TextField {
        var t = new TextField();
        t.defaultTextFormat = new TextFormat("_sans", size, color);
        t.selectable = false;
        t.multiline = width > 0;
        t.wordWrap = width > 0;
        if (width > 0) t.width = width else t.autoSize = TextFieldAutoSize.LEFT;
        t.text = text;
        t.x = x;
        t.y = y;
        parent.addChild(t);
        return t;
    }

    public static function button(parent:Sprite, text:String, x:Float, y:Float, w:Float, onClick:Void->Void):Sprite {
        var b = new Sprite();
        b.graphics.lineStyle(1, 0x1d5fa8);
        b.graphics.beginFill(0xe8f0fb);
        b.graphics.drawRoundRect(0, 0, w, 26, 8, 8);
        b.graphics.endFill();
        b.x = x;
        b.y = y;
        b.buttonMode = true;
        b.mouseChildren = false;
        var t = label(b, text, 8, 4, 13, 0x1d3f70);
        t.mouseEnabled = false;
        b.addEventListener(MouseEvent.CLICK, function(_) onClick());
        parent.addChild(b);
        return b;
    }

    public static function panel(parent:Sprite, x:Float, y:Float, w:Float, h:Float, color:Int):Sprite {
        var p = new Sprite();
        p.graphics.beginFill(color);
        p.graphics.drawRect(0, 0, w, h);
        p.graphics.endFill();
        p.x = x;
        p.y = y;
        parent.addChild(p);
        return p;
    }
}
