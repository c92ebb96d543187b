#pragma once
// Builds the ExternalInterface requests a movie sends, for the tests of the
// command sets.

#include <string>

namespace test {

inline std::u16string Invoke(const std::u16string& name, const std::u16string& args = u"") {
    return u"<invoke name=\"" + name + u"\" returntype=\"xml\"><arguments>" + args +
           u"</arguments></invoke>";
}
inline std::u16string Str(const std::u16string& s) {
    return u"<string>" + s + u"</string>";
}
inline std::u16string Num(const std::u16string& s) {
    return u"<number>" + s + u"</number>";
}

}  // namespace test
