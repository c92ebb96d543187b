import flash.external.ExternalInterface;
import flash.Lib;

// Movie side of the bridge benchmark: calls the host n times in a row on request.
class BridgeBench extends flash.display.Sprite {
    static function main() Lib.current.addChild(new BridgeBench());

    function new() {
        super();
        ExternalInterface.addCallback("run", function(n:Int) {
            for (i in 0...n) ExternalInterface.call("ping", i);
            return n;
        });
        ExternalInterface.addCallback("echo", function(v:Dynamic) return v);
        Lib.fscommand("ready", "");
    }
}
