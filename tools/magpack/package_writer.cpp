#include "package_writer.h"

#include <cstring>
#include <memory>

#include "platform/text.h"

namespace {

std::string EscapeAttribute(const std::u16string& value) {
    std::string out;
    for (char c : platform::Utf16ToUtf8(value)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Uint32Le(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

}  // namespace

std::string BuildFileListXml(const std::vector<WrittenEntry>& entries, int64_t startpos) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<FileList>";
    for (const auto& e : entries) {
        xml += "<File name=\"" + EscapeAttribute(e.name) + "\" size=\"" + std::to_string(e.size) +
               "\"";
        if (startpos >= 0)
            xml += " startpos=\"" + std::to_string(startpos) + "\"";
        xml += " path=\"" + EscapeAttribute(e.sourcePath) + "\"/>";
    }
    xml += "</FileList>\r\n";
    return xml;
}

std::string BuildAppendedTrailer(uint32_t listLength) {
    std::string t = Uint32Le(listLength);
    t += "MAGPACK ISSUE PACKAGE VERSION 01";  // 32 ASCII characters, not interpreted
    t += Uint32Le(0);
    return t;
}

std::string BuildNestedTrailer(uint32_t listLength) {
    return Uint32Le(listLength) + '\0' + "QK";
}

PackageWriter::PackageWriter(std::FILE* out, Kind kind, int64_t startpos)
    : m_out(out), m_kind(kind), m_startpos(startpos) {}

bool PackageWriter::AddBytes(std::u16string name, std::string_view data) {
    m_ok = m_ok && std::fwrite(data.data(), 1, data.size(), m_out) == data.size();
    m_entries.push_back({std::move(name), static_cast<int64_t>(data.size()), {}});
    return m_ok;
}

bool PackageWriter::AddFile(std::u16string name, const std::string& nativePath,
                            void (*progress)(int64_t, void*), void* context) {
    std::FILE* in = std::fopen(nativePath.c_str(), "rb");
    if (!in)
        return m_ok = false;
    const size_t kChunk = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    int64_t total = 0;
    size_t n;
    while ((n = std::fread(buffer.get(), 1, kChunk, in)) > 0) {
        if (std::fwrite(buffer.get(), 1, n, m_out) != n) {
            m_ok = false;
            break;
        }
        total += static_cast<int64_t>(n);
        if (progress)
            progress(total, context);
    }
    if (std::ferror(in))
        m_ok = false;
    std::fclose(in);
    m_entries.push_back({std::move(name), total, platform::Utf8ToUtf16(nativePath)});
    return m_ok;
}

bool PackageWriter::Finish() {
    const bool appended = m_kind == Kind::Appended;
    const std::string list = BuildFileListXml(m_entries, appended ? m_startpos : -1);
    const auto length = static_cast<uint32_t>(list.size());
    const std::string trailer =
        appended ? BuildAppendedTrailer(length) : BuildNestedTrailer(length);
    m_ok = m_ok && std::fwrite(list.data(), 1, list.size(), m_out) == list.size();
    m_ok = m_ok && std::fwrite(trailer.data(), 1, trailer.size(), m_out) == trailer.size();
    m_ok = m_ok && std::fflush(m_out) == 0;
    return m_ok;
}
