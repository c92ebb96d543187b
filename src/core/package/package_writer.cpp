#include "core/package/package_writer.h"

#include <cstring>

#include "core/package/package_format.h"
#include "core/platform/file_io.h"
#include "core/platform/text.h"

namespace {

std::string EscapeAttribute(const std::u16string& value) {
    return platform::EscapeMarkup(platform::Utf16ToUtf8(value));
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

std::string BuildAppendedTrailer(uint32_t listLength, std::string_view rest) {
    constexpr size_t kRest = kAppendedTrailerSize - 4;
    std::string t = Uint32Le(listLength);
    if (rest.size() == kRest) {
        t += rest;
    } else {
        t += "MAGPACK ISSUE PACKAGE VERSION 01";  // 32 ASCII characters, not interpreted
        t += Uint32Le(0);
    }
    return t;
}

std::string BuildNestedTrailer(uint32_t listLength) {
    return Uint32Le(listLength) + '\0' + "QK";
}

bool SetFirstStartpos(std::string& list, int64_t startpos) {
    size_t file = list.find("<File");
    while (file != std::string::npos && list.compare(file, 9, "<FileList") == 0)
        file = list.find("<File", file + 1);
    if (file == std::string::npos)
        return false;
    const std::string value = std::to_string(startpos);
    const size_t close = list.find('>', file);
    const size_t any = list.find("startpos", file);
    if (any == std::string::npos || any > close) {
        list.insert(file + 5, " startpos=\"" + value + "\"");
        return true;
    }
    const size_t attr = list.find(" startpos=\"", file);
    const size_t end = attr == std::string::npos ? attr : list.find('"', attr + 11);
    if (attr != any - 1 || end == std::string::npos || end > close)
        return false;  // written in a form this edit does not know
    list.replace(attr + 11, end - attr - 11, value);
    return true;
}

PackageWriter::PackageWriter(std::FILE* out, Kind kind, int64_t startpos)
    : m_out(out), m_kind(kind), m_startpos(startpos) {}

bool PackageWriter::AddBytes(std::u16string name, std::string_view data) {
    m_ok = m_ok && std::fwrite(data.data(), 1, data.size(), m_out) == data.size();
    m_entries.push_back({std::move(name), static_cast<int64_t>(data.size()), {}});
    return m_ok;
}

bool PackageWriter::AddFile(std::u16string name, const std::string& nativePath,
                            const std::function<void(int64_t)>& progress) {
    std::FILE* in = std::fopen(nativePath.c_str(), "rb");
    if (!in)
        return m_ok = false;
    AddStream(std::move(name), in, platform::Utf8ToUtf16(nativePath), progress);
    std::fclose(in);
    return m_ok;
}

bool PackageWriter::AddStream(std::u16string name, std::FILE* in, std::u16string sourcePath,
                              const std::function<void(int64_t)>& progress) {
    int64_t copied = 0;
    m_ok = platform::CopyStream(in, m_out, copied, progress) && m_ok;
    m_entries.push_back({std::move(name), copied, std::move(sourcePath)});
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
