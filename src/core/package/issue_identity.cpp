#include "core/package/issue_identity.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/platform/ascii_case.h"

namespace {

// FNV-1a, 64 bits: an identity, not a defence against forgery.
class Fnv64 {
public:
    void Add(const void* data, size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i)
            m_hash = (m_hash ^ p[i]) * 0x100000001B3ull;
    }
    void Add(int64_t value) { Add(&value, sizeof value); }
    uint64_t Value() const { return m_hash; }

private:
    uint64_t m_hash = 0xCBF29CE484222325ull;
};

}  // namespace

std::string IssueIdentity(const PackageContents& contents, ByteSource& source) {
    Fnv64 hash;
    const PackageEntry* mainMovie = nullptr;
    for (const auto& e : contents.entries) {
        hash.Add(e.name.data(), e.name.size() * sizeof(char16_t));
        hash.Add(e.size);
        if (platform::EqualsIgnoringAsciiCase(e.name, u"vellmain.swf"))
            mainMovie = &e;
    }
    if (mainMovie) {
        std::vector<char> buffer(1 << 20);
        for (int64_t done = 0; done < mainMovie->size;) {
            const size_t want =
                static_cast<size_t>(std::min<int64_t>(buffer.size(), mainMovie->size - done));
            const size_t got = source.ReadAt(mainMovie->offset + done, buffer.data(), want);
            if (got == 0)
                break;
            hash.Add(buffer.data(), got);
            done += static_cast<int64_t>(got);
        }
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash.Value()));
    return hex;
}
