#include "swf_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace swfkit {
namespace {

void U16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void U32(std::vector<uint8_t>& out, uint32_t v) {
    U16(out, v & 0xFFFF);
    U16(out, v >> 16);
}

void Str(std::vector<uint8_t>& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

// Bit-packed fields of RECT and shape records, most significant bit first.
class Bits {
public:
    void Put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (m_used == 0)
                m_bytes.push_back(0);
            if ((value >> i) & 1)
                m_bytes.back() |= static_cast<uint8_t>(0x80 >> m_used);
            m_used = (m_used + 1) % 8;
        }
    }
    void PutSigned(int32_t value, int count) {
        Put(static_cast<uint32_t>(value) & ((1u << count) - 1), count);
    }
    std::vector<uint8_t> Take() {
        m_used = 0;
        return std::move(m_bytes);
    }

private:
    std::vector<uint8_t> m_bytes;
    int m_used = 0;
};

int SignedBits(int32_t v) {
    int n = 1;
    while (v < -(1 << (n - 1)) || v >= (1 << (n - 1)))
        ++n;
    return n;
}

std::vector<uint8_t> Rect(int xMin, int xMax, int yMin, int yMax) {
    int n = 1;
    for (int v : {xMin, xMax, yMin, yMax})
        n = std::max(n, SignedBits(v));
    Bits b;
    b.Put(static_cast<uint32_t>(n), 5);
    for (int v : {xMin, xMax, yMin, yMax})
        b.PutSigned(v, n);
    return b.Take();
}

}  // namespace

Avm1& Avm1::Action(uint8_t code, const std::vector<uint8_t>& payload) {
    m_bytes.push_back(code);
    if (code >= 0x80) {
        U16(m_bytes, static_cast<uint32_t>(payload.size()));
        m_bytes.insert(m_bytes.end(), payload.begin(), payload.end());
    }
    return *this;
}

Avm1& Avm1::PushRaw(const std::vector<uint8_t>& value) {
    return Action(0x96, value);
}

Avm1& Avm1::Push(const std::string& utf8) {
    std::vector<uint8_t> v{0};
    Str(v, utf8);
    return PushRaw(v);
}

Avm1& Avm1::Push(double number) {
    std::vector<uint8_t> v{6};
    uint64_t bits;
    std::memcpy(&bits, &number, 8);
    // AVM1 doubles are stored as two little-endian 32-bit halves, high half first.
    U32(v, static_cast<uint32_t>(bits >> 32));
    U32(v, static_cast<uint32_t>(bits));
    return PushRaw(v);
}

Avm1& Avm1::Push(int number) {
    std::vector<uint8_t> v{7};
    U32(v, static_cast<uint32_t>(number));
    return PushRaw(v);
}

Avm1& Avm1::Push(bool value) {
    return PushRaw({5, static_cast<uint8_t>(value ? 1 : 0)});
}
Avm1& Avm1::PushNull() {
    return PushRaw({2});
}
Avm1& Avm1::PushUndefined() {
    return PushRaw({3});
}
Avm1& Avm1::GetVariable() {
    return Action(0x1C);
}
Avm1& Avm1::SetVariable() {
    return Action(0x1D);
}
Avm1& Avm1::GetMember() {
    return Action(0x4E);
}
Avm1& Avm1::SetMember() {
    return Action(0x4F);
}
Avm1& Avm1::CallMethod() {
    return Action(0x52);
}
Avm1& Avm1::CallFunction() {
    return Action(0x3D);
}
Avm1& Avm1::Pop() {
    return Action(0x17);
}
Avm1& Avm1::Trace() {
    return Action(0x26);
}
Avm1& Avm1::Add2() {
    return Action(0x47);
}
Avm1& Avm1::Return() {
    return Action(0x3E);
}
Avm1& Avm1::Stop() {
    return Action(0x07);
}
Avm1& Avm1::JumpToSelf() {
    // ActionJump's offset counts from the next action: back over its own 5 bytes.
    return Action(0x99, {0xFB, 0xFF});
}
Avm1& Avm1::InitObject() {
    return Action(0x43);
}
Avm1& Avm1::InitArray() {
    return Action(0x42);
}
Avm1& Avm1::NewMethod() {
    return Action(0x53);
}

Avm1& Avm1::NewObject() {
    return Action(0x40);
}

Avm1& Avm1::GetUrl(const std::string& url, const std::string& target) {
    std::vector<uint8_t> v;
    Str(v, url);
    Str(v, target);
    return Action(0x83, v);
}

Avm1& Avm1::GetUrl2(Send method, bool loadVariables) {
    // The method is the flag byte's low two bits, as players read them; 0x40 makes
    // the target a clip, 0x80 the load one of variables.
    const int flags = static_cast<int>(method) | (loadVariables ? 0xC0 : 0);
    return Action(0x9A, {static_cast<uint8_t>(flags)});
}

Avm1& Avm1::DefineFunction(const std::string& name, std::initializer_list<std::string> params,
                           const Avm1& body) {
    std::vector<uint8_t> v;
    Str(v, name);
    U16(v, static_cast<uint32_t>(params.size()));
    for (const auto& p : params)
        Str(v, p);
    U16(v, static_cast<uint32_t>(body.Bytes().size()));
    Action(0x9B, v);
    m_bytes.insert(m_bytes.end(), body.Bytes().begin(), body.Bytes().end());
    return *this;
}

Avm1& Avm1::GetPath(const std::string& dotted) {
    size_t start = 0;
    bool first = true;
    while (start <= dotted.size()) {
        size_t dot = dotted.find('.', start);
        if (dot == std::string::npos)
            dot = dotted.size();
        Push(dotted.substr(start, dot - start));
        if (first) {
            GetVariable();
        } else {
            GetMember();
        }
        first = false;
        start = dot + 1;
    }
    return *this;
}

Avm1& Avm1::Call(const std::string& objectPath, const std::string& method, int argCount) {
    Push(argCount);
    GetPath(objectPath);
    Push(method);
    return CallMethod();
}

Movie::Movie(int version, int width, int height, double frameRate)
    : m_version(version), m_width(width), m_height(height), m_frameRate(frameRate) {}

void Movie::Tag(int code, const std::vector<uint8_t>& body) {
    if (body.size() < 0x3F) {
        U16(m_tags, static_cast<uint32_t>((code << 6) | body.size()));
    } else {
        U16(m_tags, static_cast<uint32_t>((code << 6) | 0x3F));
        U32(m_tags, static_cast<uint32_t>(body.size()));
    }
    m_tags.insert(m_tags.end(), body.begin(), body.end());
}

Movie& Movie::Background(uint32_t rgb) {
    Tag(9, {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
            static_cast<uint8_t>(rgb)});
    return *this;
}

Movie& Movie::Rectangle(int x, int y, int width, int height, uint32_t rgb, int depth) {
    const int id = m_nextId++;
    const int tw = width * 20, th = height * 20;
    std::vector<uint8_t> body;
    U16(body, static_cast<uint32_t>(id));
    const auto bounds = Rect(0, tw, 0, th);
    body.insert(body.end(), bounds.begin(), bounds.end());
    // One solid fill style, no line style.
    body.insert(body.end(), {1, 0x00, static_cast<uint8_t>(rgb >> 16),
                             static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 0});
    Bits b;
    b.Put(1, 4);  // fill index bits
    b.Put(0, 4);  // line index bits
    // Style change: move to (0,0) and select fill 1 on the left... of the path.
    b.Put(0, 1);
    b.Put(0, 1);  // new styles
    b.Put(0, 1);  // line style
    b.Put(1, 1);  // fill style 1
    b.Put(0, 1);  // fill style 0
    b.Put(1, 1);  // move to
    const int mb = std::max(SignedBits(0), 1);
    b.Put(static_cast<uint32_t>(mb), 5);
    b.PutSigned(0, mb);
    b.PutSigned(0, mb);
    b.Put(1, 1);  // fill style 1
    auto line = [&](int dx, int dy) {
        const int n = std::max({SignedBits(dx), SignedBits(dy), 2});
        b.Put(1, 1);  // edge
        b.Put(1, 1);  // straight
        b.Put(static_cast<uint32_t>(n - 2), 4);
        if (dx != 0 && dy != 0) {
            b.Put(1, 1);
            b.PutSigned(dx, n);
            b.PutSigned(dy, n);
        } else {
            b.Put(0, 1);
            b.Put(dx == 0 ? 1 : 0, 1);  // vertical line?
            b.PutSigned(dx == 0 ? dy : dx, n);
        }
    };
    line(tw, 0);
    line(0, th);
    line(-tw, 0);
    line(0, -th);
    b.Put(0, 6);  // end of shape
    const auto records = b.Take();
    body.insert(body.end(), records.begin(), records.end());
    Tag(2, body);  // DefineShape
    // PlaceObject2 with a translation matrix.
    std::vector<uint8_t> place{0x06};  // has matrix, has character
    U16(place, static_cast<uint32_t>(depth));
    U16(place, static_cast<uint32_t>(id));
    Bits m;
    m.Put(0, 1);  // no scale
    m.Put(0, 1);  // no rotate
    const int n = std::max({SignedBits(x * 20), SignedBits(y * 20), 1});
    m.Put(static_cast<uint32_t>(n), 5);
    m.PutSigned(x * 20, n);
    m.PutSigned(y * 20, n);
    const auto matrix = m.Take();
    place.insert(place.end(), matrix.begin(), matrix.end());
    Tag(26, place);
    return *this;
}

Movie& Movie::DoAction(const Avm1& code) {
    std::vector<uint8_t> body = code.Bytes();
    body.push_back(0);  // ActionEndFlag
    Tag(12, body);
    return *this;
}

Movie& Movie::ShowFrame() {
    Tag(1, {});
    ++m_frames;
    return *this;
}

std::vector<uint8_t> Movie::Bytes() const {
    std::vector<uint8_t> body = Rect(0, m_width * 20, 0, m_height * 20);
    U16(body, static_cast<uint32_t>(m_frameRate * 256) & 0xFFFF);
    U16(body, static_cast<uint32_t>(std::max(m_frames, 1)));
    body.insert(body.end(), m_tags.begin(), m_tags.end());
    U16(body, 0);  // End
    std::vector<uint8_t> file{'F', 'W', 'S', static_cast<uint8_t>(m_version)};
    U32(file, static_cast<uint32_t>(body.size() + 8));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

bool Movie::WriteTo(const std::string& path) const {
    const auto bytes = Bytes();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

Avm1 TextField(const std::string& name, int depth, int x, int y, int width, int height,
               const std::string& text, int size, uint32_t rgb) {
    Avm1 a;
    // _root.createTextField(name, depth, x, y, width, height)
    a.Push(height)
        .Push(width)
        .Push(y)
        .Push(x)
        .Push(depth)
        .Push(name)
        .Call("_root", "createTextField", 6)
        .Pop();
    // var f = new TextFormat("_sans", size, rgb); _root[name].setNewTextFormat(f); _root[name].text
    // = text
    a.Push("f")
        .Push(static_cast<int>(rgb))
        .Push(size)
        .Push("_sans")
        .Push(3)
        .Push("TextFormat")
        .NewObject();
    a.SetVariable();
    a.Push("f")
        .GetVariable()
        .Push(1)
        .GetPath("_root." + name)
        .Push("setNewTextFormat")
        .CallMethod()
        .Pop();
    a.GetPath("_root." + name).Push("text").Push(text).SetMember();
    return a;
}

}  // namespace swfkit
