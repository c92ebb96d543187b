import flash.display.Sprite;
import flash.events.Event;
import flash.events.IOErrorEvent;
import flash.external.ExternalInterface;
import flash.net.URLLoader;
import flash.net.URLRequest;
import flash.Lib;

// A main movie for end-to-end tests. It reads script.txt (the colour probe:
// colour.txt) from its own folder and runs it one line per tick; fields are
// separated by tabs:
//   log PATH              the file results are appended to (with writelog)
//   fs COMMAND ARGS       an FSCommand
//   ei NAME ARG...        an ExternalInterface call; the result is logged
//   note TEXT             logs TEXT
//   wait MS               pauses
//   stopif PATH           ends the script when PATH exists
//   await PATH            pauses until PATH exists (the test's signal to go on)
//   fill RRGGBB           paints the stage and far around it with one colour, as a
//                         movie made to fill any screen does
//   beat MS               from now on logs "beat" every MS, as music would play on
class Probe extends Sprite {
    static function main() Lib.current.addChild(new Probe());

    var lines:Array<String> = [];
    var logPath = "";

    function new() {
        super();
        graphics.beginFill(0x2b6cb0);
        graphics.drawRect(0, 0, 200, 100);
        graphics.endFill();
        var loader = new URLLoader();
        loader.addEventListener(IOErrorEvent.IO_ERROR, function(_) {});  // no script: nothing to do
        loader.addEventListener(Event.COMPLETE, function(_) {
            lines = StringTools.replace(loader.data, "\r", "").split("\n");
            step();
        });
        // The colour probe, the loading movie of many tests, keeps out of the
        // main movie's script: its own is colour.txt, which tests rarely write.
        loader.load(new URLRequest(#if colour_probe "colour.txt" #else "script.txt" #end));
    }

    function log(text:String) {
        if (logPath != "") Lib.fscommand("writelog", logPath + "|" + text + "\n");
    }

    function step() {
        while (lines.length > 0) {
            var f = lines.shift().split("\t");
            switch (f[0]) {
                case "log": logPath = f[1];
                case "fs": Lib.fscommand(f[1], f.length > 2 ? f[2] : "");
                case "note": log(f[1]);
                case "ei":
                    var args:Array<Dynamic> = [f[1]];
                    for (i in 2...f.length) {
                        var n = Std.parseInt(f[i]);
                        args.push(n != null && Std.string(n) == f[i] ? n : f[i]);
                    }
                    var r:Dynamic = Reflect.callMethod(ExternalInterface, Reflect.field(ExternalInterface, "call"), args);
                    log(f[1] + "=" + Std.string(r));
                case "stopif":
                    if (ExternalInterface.call("brivol_fileexists", f[1]) == true) return;
                case "beat":
                    new haxe.Timer(Std.parseInt(f[1])).run = function() log("beat");
                case "await":
                    if (ExternalInterface.call("brivol_fileexists", f[1]) != true) {
                        lines.unshift(f.join("\t"));
                        haxe.Timer.delay(step, 100);
                        return;
                    }
                case "fill":
                    graphics.clear();
                    graphics.beginFill(Std.parseInt("0x" + f[1]));
                    graphics.drawRect(-4000, -4000, 8000, 8000);
                    graphics.endFill();
                case "wait":
                    haxe.Timer.delay(step, Std.parseInt(f[1]));
                    return;
                default:
            }
        }
    }
}
