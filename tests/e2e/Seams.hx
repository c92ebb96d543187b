import flash.display.Loader;
import flash.events.Event;
import flash.events.FullScreenEvent;
import flash.events.MouseEvent;
import flash.display.StageDisplayState;
import flash.net.SharedObject;
import flash.net.URLLoader;
import flash.net.URLLoaderDataFormat;
import flash.net.URLRequest;
import flash.utils.ByteArray;
import flash.Lib;

// An AS3 main movie of the kind old issues hold: it reports through trace()
// where it is, what it saved last time, the text and bytes it loads by names in
// another letter case, and its full-screen state when clicked.
class Seams {
    static function load(name:String, binary:Bool, report:Dynamic->Void) {
        var loader = new URLLoader();
        if (binary) loader.dataFormat = URLLoaderDataFormat.BINARY;
        loader.addEventListener(Event.COMPLETE, function(_) report(loader.data));
        loader.addEventListener("ioError", function(_) Lib.trace("failed " + name));
        loader.load(new URLRequest(name));
    }

    static function main() {
        #if codepage
        flash.system.System.useCodePage = true;
        #end
        var stage = Lib.current.stage;
        Lib.current.graphics.beginFill(0x3080f0);
        Lib.current.graphics.drawRect(0, 0, 640, 480);
        Lib.current.graphics.endFill();
        Lib.trace("url3 " + Lib.current.loaderInfo.url);
        var own = SharedObject.getLocal("seams3");
        Lib.trace("own3 " + own.data.n);
        own.data.n = "kept";
        own.flush();
        var shared = SharedObject.getLocal("seams", "/");
        Lib.trace("shared3 " + shared.data.n);
        load("DATA/B.TXT", false, function(d) Lib.trace("text3 " + d));
        load("Data\\U.Txt", false, function(d) Lib.trace("utf3 " + d));
        load("DATA/BLOB.DAT", true, function(d:ByteArray) {
            var sum = 0;
            for (i in 0...d.length) sum = (sum * 31 + d[i]) % 1000003;
            Lib.trace("bin3 " + d.length + " " + sum);
        });
        var page = new Loader();
        page.contentLoaderInfo.addEventListener(Event.COMPLETE, function(_) Lib.trace("page3 " + page.contentLoaderInfo.url));
        page.load(new URLRequest("PAGES\\Page2.SWF"));
        stage.addEventListener(FullScreenEvent.FULL_SCREEN, function(e:FullScreenEvent) Lib.trace("fullscreen3 " + e.fullScreen));
        stage.addEventListener(MouseEvent.MOUSE_DOWN, function(_) {
            stage.displayState = stage.displayState == StageDisplayState.NORMAL ? StageDisplayState.FULL_SCREEN : StageDisplayState.NORMAL;
        });
        Lib.fscommand("start");
        Lib.trace("ready3");
    }
}
