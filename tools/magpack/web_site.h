#pragma once
// The pieces of a web export that a single issue's site and an archive of
// many share: one issue's folder with its site.json, the font, JSON text.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/bridge/font_names.h"

namespace magpack {

// What every issue of a site points at: the page's files (a relative URL
// ending in '/', empty when they stand beside the issue) and the font and
// registry entries of site.json as JSON text.
struct SiteShared {
    std::string assets;
    std::string fontJson = "null";
    std::string registryJson = "null";
};

// What an exported issue tells its catalogue.
struct IssueSite {
    std::string title;
    std::string titleBitmap;  // relative to the issue's folder; empty when the issue has none
    std::string mainMovie;
    size_t files = 0;
    uintmax_t bytes = 0;
};

// Extracts the issue at `issuePath` into folder/issue and writes folder/site.json;
// `error` says why not, without naming the issue's file (the caller does).
std::optional<IssueSite> WriteIssueSite(const std::string& issuePath,
                                        const std::filesystem::path& folder,
                                        const SiteShared& shared, std::string& error);

// Copies the CJK font into site/folderInSite and answers its site.json entry
// with URLs starting with `base`; "null" when there is none.
std::string CopyFont(const std::optional<CjkFont>& cjk, const std::filesystem::path& site,
                     const std::string& folderInSite, const std::string& base);

std::filesystem::path AssetsFolder(const std::string& given);
bool HoldsPageFiles(const std::filesystem::path& assets);
bool WriteWhole(const std::string& path, std::string_view bytes);
// A short name for some bytes that changes whenever they do (not a secret:
// it names shared files and tells changed issues apart).
class ContentHash {
public:
    void Add(std::string_view bytes);
    std::string Id() const;

private:
    uint64_t m_hash = 14695981039346656037ull;  // FNV-1a
};
std::string ContentId(std::string_view bytes);
std::string Json(std::string_view utf8);
std::string Json(std::u16string_view text);

}  // namespace magpack
