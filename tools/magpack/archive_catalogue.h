#pragma once
// What an archive lists about each issue, and the catalogue written from it:
// index.html for readers, catalogue.json for other tools.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace magpack {

struct ArchivedIssue {
    std::string source;  // the issue's file; the archive keeps only its ContentId
    uintmax_t size = 0;
    int64_t mtime = 0;  // nanoseconds; only to skip reading an unchanged file again
    std::string hash;   // of the file's bytes
    std::string key;    // its folder under issues/
    std::string title;
    std::string date;   // YYYY-MM, or empty when the issue names none
    std::string cover;  // relative to its folder; empty for none
    uintmax_t bytes = 0;
    size_t files = 0;
    std::string mainMovie;
};

// The month an issue is of, as its title or file name writes it ("2008年3月",
// "2008-03", "200803"); its file's time would change with every copy.
std::string IssueDate(const std::string& title, const std::string& fileStem);

// Newest first; undated issues last, by title.
void SortForCatalogue(std::vector<ArchivedIssue>& issues);

std::string CatalogueJson(const std::vector<ArchivedIssue>& issues);
// `sharedId` names the folder under shared/ that holds the page's script and style.
std::string CatalogueHtml(const std::vector<ArchivedIssue>& issues, const std::string& sharedId);

}  // namespace magpack
