#pragma once
// swfkit: a small writer of SWF movies with ActionScript 2 (AVM1) code, for
// the demo issue and for test movies. It writes what old magazine issues are
// made of: a header, rectangles, text fields, frames and DoAction code.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace swfkit {

// AVM1 byte code, built one action at a time. Values are pushed, then an
// action consumes them, as the virtual machine does.
class Avm1 {
public:
    Avm1& Push(const std::string& utf8);
    Avm1& Push(const char* utf8) { return Push(std::string(utf8)); }
    Avm1& Push(double number);
    Avm1& Push(int number);
    Avm1& Push(bool value);
    Avm1& PushNull();
    Avm1& PushUndefined();
    Avm1& GetVariable();  // name -> value
    Avm1& SetVariable();  // name, value ->
    Avm1& GetMember();    // object, name -> value
    Avm1& SetMember();    // object, name, value ->
    // args (last first), count, object, method name -> result
    Avm1& CallMethod();
    // args (last first), count, function name -> result
    Avm1& CallFunction();
    Avm1& Pop();
    Avm1& Trace();
    Avm1& Add2();
    Avm1& Return();
    Avm1& Stop();
    Avm1& JumpToSelf();  // a loop that never ends: a script that hangs
    Avm1& InitObject();  // value, name pairs, count -> object
    Avm1& InitArray();   // values (last first), count -> array
    Avm1& NewObject();   // args (last first), count, class name -> object
    Avm1& NewMethod();   // args (last first), count, object, class member name -> object
    // GetURL with a constant URL and target: "FSCommand:cmd" sends an FSCommand.
    Avm1& GetUrl(const std::string& url, const std::string& target);
    // url, target -> : getURL with the timeline's variables sent by `method`; with
    // `loadVariables`, loadVariables into the clip `target` names instead.
    enum class Send { None = 0, Get = 1, Post = 2 };
    Avm1& GetUrl2(Send method, bool loadVariables = false);
    // function name(params) { body } (an empty name leaves the function on the stack).
    Avm1& DefineFunction(const std::string& name, std::initializer_list<std::string> params,
                         const Avm1& body);

    // Convenience: the value of a dotted path ("flash.external.ExternalInterface").
    Avm1& GetPath(const std::string& dotted);
    // object.method(args...) with the arguments already pushed, last first.
    Avm1& Call(const std::string& objectPath, const std::string& method, int argCount);

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    Avm1& Action(uint8_t code, const std::vector<uint8_t>& payload = {});
    Avm1& PushRaw(const std::vector<uint8_t>& value);
    std::vector<uint8_t> m_bytes;
};

class Movie {
public:
    Movie(int version, int width, int height, double frameRate);

    Movie& Background(uint32_t rgb);
    // A filled rectangle as a shape character placed at `depth`.
    Movie& Rectangle(int x, int y, int width, int height, uint32_t rgb, int depth);
    Movie& DoAction(const Avm1& code);
    Movie& ShowFrame();
    // The whole file, with the End tag.
    std::vector<uint8_t> Bytes() const;
    bool WriteTo(const std::string& path) const;

private:
    void Tag(int code, const std::vector<uint8_t>& body);

    int m_version;
    int m_width, m_height;
    double m_frameRate;
    int m_frames = 0;
    int m_nextId = 1;
    std::vector<uint8_t> m_tags;
};

// AS2 code that makes a text field on _root with the device font ("_sans").
Avm1 TextField(const std::string& name, int depth, int x, int y, int width, int height,
               const std::string& text, int size, uint32_t rgb);

}  // namespace swfkit
