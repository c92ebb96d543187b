#include "archive_catalogue.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "core/platform/text.h"
#include "web_site.h"

namespace magpack {
namespace {

// The number of `length` digits at `at`, or -1.
int DigitsAt(std::string_view text, size_t at, size_t length) {
    if (at + length > text.size())
        return -1;
    int value = 0;
    for (size_t i = at; i < at + length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool IsDigit(std::string_view text, size_t at) {
    return at < text.size() && text[at] >= '0' && text[at] <= '9';
}

std::string DateIn(std::string_view text) {
    for (size_t at = 0; at + 4 <= text.size(); ++at) {
        if ((at > 0 && IsDigit(text, at - 1)))
            continue;
        const int year = DigitsAt(text, at, 4);
        if (year < 1990 || year > 2099)
            continue;
        size_t next = at + 4;
        while (next < text.size() && text[next] == ' ')
            ++next;
        // A separator of one character, or 年, or none when two digits follow.
        const std::string_view rest = text.substr(next);
        size_t month = next;
        if (rest.rfind("年", 0) == 0)
            month += std::string_view("年").size();
        else if (!rest.empty() &&
                 (rest[0] == '-' || rest[0] == '.' || rest[0] == '/' || rest[0] == '_'))
            ++month;
        else if (!(DigitsAt(text, next, 2) >= 0 && !IsDigit(text, next + 2)))
            continue;
        while (month < text.size() && text[month] == ' ')
            ++month;
        const bool two = IsDigit(text, month + 1);
        const int value = DigitsAt(text, month, two ? 2 : 1);
        if (value < 1 || value > 12 || IsDigit(text, month + (two ? 2 : 1)))
            continue;
        char date[8];
        std::snprintf(date, sizeof date, "%04d-%02d", year, value);
        return date;
    }
    return {};
}

// A path of the site as a URL: each byte that is not plainly safe escaped.
std::string Url(std::string_view path) {
    std::string out;
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", u);
            out += escape;
        }
    }
    return out;
}

std::string Size(uintmax_t bytes) {
    char text[32];
    if (bytes >= 1000000)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    else
        std::snprintf(text, sizeof text, "%.0f kB", static_cast<double>(bytes) / 1e3);
    return text;
}

std::string CoverUrl(const ArchivedIssue& issue) {
    return issue.cover.empty() ? std::string() : Url("issues/" + issue.key + "/" + issue.cover);
}

}  // namespace

std::string IssueDate(const std::string& title, const std::string& fileStem) {
    const std::string fromTitle = DateIn(title);
    return fromTitle.empty() ? DateIn(fileStem) : fromTitle;
}

void SortForCatalogue(std::vector<ArchivedIssue>& issues) {
    std::sort(issues.begin(), issues.end(), [](const ArchivedIssue& a, const ArchivedIssue& b) {
        if (a.date.empty() != b.date.empty())
            return b.date.empty();
        if (a.date != b.date)
            return a.date > b.date;
        if (a.title != b.title)
            return a.title < b.title;
        return a.key < b.key;
    });
}

std::string CatalogueJson(const std::vector<ArchivedIssue>& issues) {
    std::string json = "{\n  \"issues\": [";
    for (size_t i = 0; i < issues.size(); ++i) {
        const ArchivedIssue& issue = issues[i];
        json += std::string(i ? "," : "") + "\n    {\"id\": " + Json(issue.key) +
                ", \"title\": " + Json(issue.title) +
                ", \"date\": " + (issue.date.empty() ? "null" : Json(issue.date)) +
                ", \"bytes\": " + std::to_string(issue.bytes) +
                ", \"files\": " + std::to_string(issue.files) +
                ", \"href\": " + Json(Url("issues/" + issue.key + "/index.html")) +
                ", \"cover\": " + (issue.cover.empty() ? "null" : Json(CoverUrl(issue))) + "}";
    }
    json += issues.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return json;
}

std::string CatalogueHtml(const std::vector<ArchivedIssue>& issues, const std::string& sharedId) {
    const std::string shared = "shared/" + sharedId + "/";
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"zh\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'self'; "
        "object-src 'none'; base-uri 'none'; form-action 'none'\">\n"
        "<title>杂志</title>\n<link rel=\"icon\" href=\"data:,\">\n"
        "<link rel=\"stylesheet\" href=\"" +
        shared +
        "catalogue.css\">\n"
        "<script src=\"" +
        shared +
        "catalogue.js\" defer></script>\n</head>\n<body>\n"
        "<header><h1>杂志</h1><input id=\"search\" type=\"search\" placeholder=\"按标题搜索\" "
        "aria-label=\"按标题搜索\" autocomplete=\"off\"><span id=\"count\">" +
        std::to_string(issues.size()) + " 期</span></header>\n<ul id=\"issues\">\n";
    for (const ArchivedIssue& issue : issues) {
        const std::string title = issue.title.empty() ? issue.key : issue.title;
        html += "<li data-title=\"" + platform::EscapeMarkup(title) + "\"><a href=\"" +
                Url("issues/" + issue.key + "/index.html") + "\">";
        if (issue.cover.empty()) {
            html += "<span class=\"cover\" aria-hidden=\"true\">?</span>";
        } else {
            html += "<img class=\"cover\" src=\"" + CoverUrl(issue) +
                    "\" alt=\"\" loading=\"lazy\" decoding=\"async\">";
        }
        html += "<span class=\"title\">" + platform::EscapeMarkup(title) +
                "</span><span class=\"meta\">" + (issue.date.empty() ? "" : issue.date + " · ") +
                Size(issue.bytes) + "</span></a></li>\n";
    }
    html += "</ul>\n<p id=\"none\" hidden>没有找到这样的杂志。</p>\n</body>\n</html>\n";
    return html;
}

}  // namespace magpack
