#include "package_builder.h"

#include "core/package/package_writer.h"
#include "core/platform/text.h"

namespace test {

std::string FileListXml(const std::vector<ListEntry>& entries) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<FileList>";
    for (const auto& e : entries) {
        xml += "<File name=\"" + e.name + "\"";
        if (e.size != "-")
            xml += " size=\"" + e.size + "\"";
        if (e.startpos != "-")
            xml += " startpos=\"" + e.startpos + "\"";
        xml += "/>";
    }
    return xml + "</FileList>\r\n";
}

std::string AppendedPackage(const std::string& prefix, const std::string& data,
                            const std::string& listXml) {
    return prefix + data + listXml + BuildAppendedTrailer(static_cast<uint32_t>(listXml.size()));
}

std::string NestedPackage(const std::string& data, const std::string& listXml) {
    return data + listXml + BuildNestedTrailer(static_cast<uint32_t>(listXml.size()));
}

std::string WindowsIssue(const PackedFiles& files, const std::string& prefix) {
    std::string data;
    std::vector<WrittenEntry> entries;
    for (const auto& [name, bytes] : files) {
        entries.push_back({platform::Utf8ToUtf16(name), static_cast<int64_t>(bytes.size()), {}});
        data += bytes;
    }
    const std::string list = BuildFileListXml(entries, static_cast<int64_t>(prefix.size()));
    return prefix + data + list + BuildAppendedTrailer(static_cast<uint32_t>(list.size()));
}

}  // namespace test
