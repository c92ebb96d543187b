#include "core/bridge/bridge_protocol.h"

#include <gtest/gtest.h>

#include <string>

#include "core/package/window_config.h"
#include "support/test_support.h"

using namespace bridge_protocol;

// The page's script and the host name the protocol's parts each in their own
// language; a value changed on one side only would break every call silently.
TEST(BridgeProtocol, ThePageScriptUsesTheHostsValues) {
    const std::string js = test::ReadFile(BRIDGE_JS);
    const size_t block = js.find("const PROTOCOL = {");
    ASSERT_NE(block, std::string::npos);
    const std::string protocol = js.substr(block, js.find("};", block) - block);
    const std::pair<const char*, std::string> pairs[] = {
        {"callUrl", kCallUrl},
        {"storageUrl", kStorageUrl},
        {"kindFlashCall", kKindFlashCall},
        {"kindFsCommand", kKindFsCommand},
        {"kindCallResult", kKindCallResult},
        {"kindDrawn", kKindDrawn},
        {"kindMovieFailed", kKindMovieFailed},
        {"opReturn", kOpReturn},
        {"opCall", kOpCall},
    };
    for (const auto& [name, value] : pairs) {
        EXPECT_NE(protocol.find(std::string(name) + ": \"" + value + "\","), std::string::npos)
            << name << " should be \"" << value << "\"";
    }
    EXPECT_NE(protocol.find("hiddenFrameMs: " + std::to_string(kHiddenFrameMs) + ","),
              std::string::npos);
    EXPECT_EQ(std::string(kCallUrl), std::string(kScheme) + "://" + kAppHost + kCallPath);
    EXPECT_EQ(std::string(kStorageUrl), std::string(kScheme) + "://" + kAppHost + kStoragePath);
    EXPECT_EQ(std::string(kFontUrl), std::string(kScheme) + "://" + kAppHost + kFontPath);
    EXPECT_EQ(
        std::string(kHostPageUrl).rfind(std::string(kScheme) + "://" + kAppHost + kPagePrefix, 0),
        0u);
}

// The web page gives the loading movie the Player's head start.
TEST(BridgeProtocol, TheWebPageGivesTheLoadingMovieTheHostsHeadStart) {
    const std::string js = test::ReadFile(SITE_JS);
    EXPECT_NE(js.find("const LOADING_HEAD_START_MS = " + std::to_string(kLoadingHeadStartMs) + ";"),
              std::string::npos);
}
