#include "core/services/shared_object_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "core/platform/base64.h"
#include "support/test_support.h"

namespace {

// A `.sol` file as the engine writes one: header, then the body.
std::string Sol(const std::string& body) {
    const std::string rest = "TCSO" + body;
    std::string b("\x00\xBF", 2);
    for (int shift = 24; shift >= 0; shift -= 8)
        b += static_cast<char>((rest.size() >> shift) & 0xFF);
    return b + rest;
}

}  // namespace

TEST(Base64, RoundTripsAndRefusesWhatIsNotBase64) {
    for (const std::string& bytes :
         std::vector<std::string>{"", "a", "ab", "abc", "abcd", std::string("\0\xFF\x80", 3)})
        EXPECT_EQ(platform::Base64Decode(platform::Base64Encode(bytes)), bytes);
    EXPECT_EQ(platform::Base64Encode("Man"), "TWFu");
    EXPECT_EQ(platform::Base64Encode("Ma"), "TWE=");
    for (const char* bad : {"TWF", "TW=u", "T*Fu", "====", "alW=", "TWG="})
        EXPECT_FALSE(platform::Base64Decode(bad)) << bad;
}

TEST(SharedObjectStore, KeysBecomeFilesThatStayInTheFolder) {
    const SharedObjectStore store("/s");
    const struct {
        const char* key;
        std::optional<std::string> file;
    } cases[] = {
        {"localhost/seams", "/s/localhost/seams.sol"},
        {"localhost/0123abcd/vellmain.swf/score", "/s/localhost/0123abcd/vellmain.swf/score.sol"},
        {"localhost//../x", "/s/localhost/%2E%2E/x.sol"},
        {"localhost/a\\b:c%d", "/s/localhost/a%5Cb%3Ac%25d.sol"},
        {"localhost/书签", "/s/localhost/书签.sol"},
        {"", std::nullopt},
        {"///", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(store.FileFor(c.key), c.file) << c.key;
}

TEST(SharedObjectStore, SavesReadsAndKeepsADamagedFile) {
    test::TempDir dir;
    SharedObjectStore store(dir / "so");
    const std::string sol = Sol(std::string("\0\x04score\0\0\0\0", 11));
    EXPECT_FALSE(store.Get("localhost/score"));
    ASSERT_TRUE(store.Put("localhost/score", platform::Base64Encode(sol)));
    EXPECT_EQ(test::ReadFile(dir / "so/localhost/score.sol"), sol);
    EXPECT_EQ(store.Get("localhost/score"), platform::Base64Encode(sol));
    EXPECT_FALSE(store.Put("localhost/score", "not base64!"));
    EXPECT_EQ(test::ReadFile(dir / "so/localhost/score.sol"), sol);

    // Damaged on the disk: no data for the movie, and the file is never lost.
    test::WriteFile(dir / "so/localhost/score.sol", "damaged");
    EXPECT_FALSE(store.Get("localhost/score"));
    EXPECT_FALSE(store.Remove("localhost/score"));
    ASSERT_TRUE(store.Put("localhost/score", platform::Base64Encode(sol)));
    EXPECT_EQ(test::ReadFile(dir / "so/localhost/score.sol.damaged"), "damaged");
    test::WriteFile(dir / "so/localhost/score.sol", "damaged again");
    ASSERT_TRUE(store.Put("localhost/score", platform::Base64Encode(sol)));
    EXPECT_EQ(test::ReadFile(dir / "so/localhost/score.sol.damaged2"), "damaged again");
    EXPECT_TRUE(store.Remove("localhost/score"));
    EXPECT_FALSE(test::Exists(dir / "so/localhost/score.sol"));
}

// Two Players flushing the same object at once: every reader sees one whole
// version, never a torn file.
TEST(SharedObjectStore, ConcurrentSavesNeverTearAFile) {
    test::TempDir dir;
    const std::string a = platform::Base64Encode(Sol(std::string(5000, 'a'))),
                      b = platform::Base64Encode(Sol(std::string(9000, 'b')));
    std::atomic<bool> torn{false};
    auto writer = [&](const std::string& value) {
        SharedObjectStore store(dir / "so");
        for (int i = 0; i < 200; ++i) {
            store.Put("localhost/x", value);
            const auto got = store.Get("localhost/x");
            if (got && *got != a && *got != b)
                torn = true;
        }
    };
    std::thread one(writer, a), two(writer, b);
    one.join();
    two.join();
    EXPECT_FALSE(torn);
}
