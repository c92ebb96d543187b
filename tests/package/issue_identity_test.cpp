#include "core/package/issue_identity.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class Bytes : public ByteSource {
public:
    explicit Bytes(std::string b) : m_b(std::move(b)) {}
    int64_t Size() const override { return static_cast<int64_t>(m_b.size()); }
    size_t ReadAt(int64_t offset, void* buffer, size_t size) override {
        if (offset < 0 || offset >= Size())
            return 0;
        const size_t n = std::min(size, m_b.size() - static_cast<size_t>(offset));
        std::memcpy(buffer, m_b.data() + offset, n);
        return n;
    }

private:
    std::string m_b;
};

// The issue's files at `start` in a package whose Player part is `start` bytes.
std::string Identity(int64_t start, const std::string& movie,
                     const std::u16string& second = u"a.txt") {
    PackageContents c;
    c.entries = {{u"loading.swf", start, 3},
                 {u"VellMain.swf", start + 3, static_cast<int64_t>(movie.size())},
                 {second, start + 3 + static_cast<int64_t>(movie.size()), 2}};
    Bytes source(std::string(static_cast<size_t>(start), 'P') + "LDG" + movie + "xy");
    return IssueIdentity(c, source);
}

}  // namespace

TEST(IssueIdentity, NamesTheIssueWhateverPlayerCarriesIt) {
    const std::string id = Identity(100, "MOVIE");
    EXPECT_EQ(id.size(), 16u);
    EXPECT_EQ(id, Identity(5000, "MOVIE"));           // appended to another Player
    EXPECT_NE(id, Identity(100, "MOVIf"));            // another main movie of the same size
    EXPECT_NE(id, Identity(100, "MOVIE", u"b.txt"));  // another file list
}
