#include "core/search/filtered_file_find.h"

#include "core/platform/ascii_case.h"
#include "core/platform/text.h"

namespace {

constexpr size_t kMaxPath = 260;

// The file system's own wildcard matching of a search specification: `*` and
// `?`, letter case ignored, and "*.*" matching every name.
bool WildcardMatch(std::u16string_view mask, std::u16string_view name) {
    if (mask == u"*.*" || mask == u"*")
        return true;
    size_t m = 0, n = 0, starM = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() &&
            (mask[m] == u'?' || platform::AsciiLower(mask[m]) == platform::AsciiLower(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == u'*') {
            starM = m++;
            starN = n;
        } else if (starM != std::u16string_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

size_t LastSeparator(std::u16string_view path) {
    return path.find_last_of(u"\\/");
}

}  // namespace

std::u16string FilteredFileFind::MaskToPattern(std::u16string_view mask) {
    std::u16string pattern = u"^";
    for (char16_t c : mask) {
        if (c == u'*') {
            pattern += u".*?";
        } else if (c == u'.') {
            pattern += u"\\.";
        } else if (c == u'?') {
            pattern += u'.';
        } else {
            pattern += c;
        }
    }
    return pattern + u"$";
}

std::u16string FilteredFileFind::ErrorText(int32_t code) {
    return platform::Widen(RegexErrorText(code));
}

std::u16string FilteredFileFind::FirstListItem(std::u16string_view text) {
    m_splitText.assign(text);
    const size_t bar = m_splitText.find(u'|');
    if (bar == std::u16string::npos) {
        m_splitPosition = -1;
        return m_splitText;
    }
    m_splitPosition = static_cast<int>(bar + 1);
    return m_splitText.substr(0, bar);
}

std::u16string FilteredFileFind::NextListItem() {
    if (m_splitPosition < 0)
        return {};
    const std::u16string rest = m_splitText.substr(static_cast<size_t>(m_splitPosition));
    const size_t bar = rest.find(u'|');
    if (bar == std::u16string::npos) {
        m_splitPosition = -1;
        return rest;
    }
    m_splitPosition += static_cast<int>(bar + 1);
    return rest.substr(0, bar);
}

void FilteredFileFind::BuildPatternLists() {
    auto build = [this](const std::u16string& text, std::vector<std::u16string>& patterns,
                        std::vector<Compiled>& compiled) {
        patterns.clear();
        compiled.clear();
        if (text.empty())
            return;
        for (std::u16string item = FirstListItem(text); !item.empty(); item = NextListItem()) {
            patterns.push_back(m_useRegex ? item : MaskToPattern(item));
        }
        // Each pattern is compiled once for the whole search; the outcome of every
        // test is the same as compiling it anew for each entry.
        compiled = std::vector<Compiled>(patterns.size());
        for (size_t i = 0; i < patterns.size(); ++i) {
            compiled[i].pattern = patterns[i];
            compiled[i].error = compiled[i].regex.Parse(patterns[i], false);
        }
    };
    m_patternErrors.clear();
    build(m_includeText, m_includePatterns, m_include);
    build(m_excludeText, m_excludePatterns, m_exclude);
}

bool FilteredFileFind::MatchesAny(std::vector<Compiled>& patterns, std::u16string_view name) {
    RegexMatchContext context(256);
    for (auto& p : patterns) {
        if (p.error != RegexOk) {
            // Told for every file examined, a folder of ten thousand files would
            // be ten thousand boxes to click away.
            if (!p.reported) {
                p.reported = true;
                m_patternErrors.push_back(u"Error on regex " + p.pattern + u":" +
                                          ErrorText(p.error));
            }
            continue;
        }
        if (p.regex.Match(name, &context))
            return true;
    }
    return false;
}

bool FilteredFileFind::IsAcceptedEntry(size_t index) {
    const platform::DirEntry& e = m_entries[index];
    if (!m_filtering || e.isDirectory)
        return true;
    bool accepted = m_include.empty();
    if (!accepted)
        accepted = MatchesAny(m_include, e.name);
    if (MatchesAny(m_exclude, e.name))
        accepted = false;
    return accepted;
}

size_t FilteredFileFind::NextAccepted(size_t from) {
    for (size_t i = from; i < m_entries.size(); ++i) {
        if (IsAcceptedEntry(i))
            return i;
    }
    return SIZE_MAX;
}

bool FilteredFileFind::Enumerate(std::u16string_view spec) {
    m_entries.clear();
    const size_t sep = LastSeparator(spec);
    m_root = sep == std::u16string_view::npos ? std::u16string()
                                              : std::u16string(spec.substr(0, sep + 1));
    const std::u16string_view last = sep == std::u16string_view::npos ? spec : spec.substr(sep + 1);
    if (last.find_first_of(u"*?") != std::u16string_view::npos) {
        std::vector<platform::DirEntry> all;
        if (!platform::ListDirectory(m_root.empty() ? u"." : m_root, all))
            return false;
        for (auto& e : all) {
            if (WildcardMatch(last, e.name))
                m_entries.push_back(std::move(e));
        }
        return !m_entries.empty();
    }
    // A specification without wildcards names one entry: the file or folder itself.
    platform::DirEntry e;
    if (last.empty() || !platform::GetEntry(spec, e))
        return false;
    m_entries.push_back(std::move(e));
    return true;
}

bool FilteredFileFind::FindFile(std::u16string_view folder, std::u16string_view include,
                                std::u16string_view exclude, bool useRegex) {
    m_current = m_next = SIZE_MAX;
    m_entries.clear();
    if (folder.empty())
        return false;
    m_includeText.assign(include);
    m_excludeText.assign(exclude);
    m_useRegex = useRegex;
    std::u16string spec(folder);
    m_filtering = !(include.empty() && exclude.empty()) && platform::PathIsDirectory(folder);
    if (m_filtering) {
        if (spec.find_first_of(u"?*") != std::u16string::npos) {
            const size_t sep = LastSeparator(spec);
            spec.erase(sep == std::u16string::npos ? 0 : sep);
        }
        if (spec.empty() || (spec.back() != u'\\' && spec.back() != u'/')) {
            // A folder written with native separators keeps them.
            const bool native =
                spec.find(u'\\') == std::u16string::npos && spec.find(u'/') != std::u16string::npos;
            spec += native ? u'/' : u'\\';
        }
        spec += u"*.*";
        if (spec.size() >= kMaxPath)
            return false;  // too long for the search specification
    }
    BuildPatternLists();
    if (!Enumerate(spec))
        return false;
    m_next = NextAccepted(0);
    return m_next != SIZE_MAX;
}

bool FilteredFileFind::FindNextFile() {
    m_current = m_next;
    m_next = m_current == SIZE_MAX ? SIZE_MAX : NextAccepted(m_current + 1);
    return m_next != SIZE_MAX;
}

std::u16string FilteredFileFind::GetFileName() const {
    return m_current < m_entries.size() ? m_entries[m_current].name : std::u16string();
}

std::u16string FilteredFileFind::GetFilePath() const {
    return m_current < m_entries.size() ? m_root + m_entries[m_current].name : std::u16string();
}

uint64_t FilteredFileFind::GetLength() const {
    return m_current < m_entries.size() ? m_entries[m_current].size : 0;
}

int64_t FilteredFileFind::GetCreationTime() const {
    return m_current < m_entries.size() ? m_entries[m_current].creationTime : 0;
}

bool FilteredFileFind::IsDirectory() const {
    return m_current < m_entries.size() && m_entries[m_current].isDirectory;
}
