import flash.display.Sprite;
import flash.media.Sound;
import flash.Lib;

// A movie that plays a tone (tone.wav, a 441 Hz sine) over and over, for the
// test that sound still reaches the audio output.
@:sound("tone.wav") class ToneSound extends Sound {}

class Tone extends Sprite {
    static function main() Lib.current.addChild(new Tone());

    function new() {
        super();
        var channel = new ToneSound().play(0, 100000);
        Lib.trace(channel != null ? "playing" : "no channel");
    }
}
