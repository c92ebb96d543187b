#pragma once
// Lists the entries of one folder whose names match an include list and no
// entry of an exclude list. Lists are "|"-separated wildcard masks, or regular
// expressions as typed; every test runs on the program's own engine,
// case-insensitively, against the name without its folder.
//
// Calling protocol: FindFile once; while it (and then FindNextFile) returns true,
// call FindNextFile and read the current entry. The result of each call says
// whether another accepted entry follows the one it makes current.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/path.h"
#include "core/search/regex.h"

class FilteredFileFind {
public:
    bool FindFile(std::u16string_view folder, std::u16string_view include,
                  std::u16string_view exclude, bool useRegex);
    bool FindNextFile();

    // The current entry.
    std::u16string GetFileName() const;
    std::u16string GetFilePath() const;
    uint64_t GetLength() const;
    int64_t GetCreationTime() const;  // seconds since the epoch
    bool IsDirectory() const;

    // "^", then `*` -> ".*?", `.` -> "\.", `?` -> ".", anything else as it is, then "$".
    static std::u16string MaskToPattern(std::u16string_view mask);
    static std::u16string ErrorText(int32_t code);

    // "Error on regex PATTERN:WHY" for each pattern of this search that does not
    // compile, once each, as the search first tests a name against it: the
    // caller tells the reader.
    const std::vector<std::u16string>& PatternErrors() const { return m_patternErrors; }

    // The include and exclude patterns after conversion, for inspection.
    const std::vector<std::u16string>& IncludePatterns() const { return m_includePatterns; }
    const std::vector<std::u16string>& ExcludePatterns() const { return m_excludePatterns; }

private:
    struct Compiled {
        std::u16string pattern;
        Regex regex;
        RegexError error = RegexOk;
        bool reported = false;  // a bad pattern is told once per search, not once per file
    };

    void BuildPatternLists();
    std::u16string FirstListItem(std::u16string_view text);
    std::u16string NextListItem();
    bool IsAcceptedEntry(size_t index);
    bool MatchesAny(std::vector<Compiled>& patterns, std::u16string_view name);
    size_t NextAccepted(size_t from);
    bool Enumerate(std::u16string_view spec);

    std::u16string m_includeText;
    std::u16string m_excludeText;
    std::u16string m_splitText;
    int m_splitPosition = -1;
    bool m_useRegex = false;
    bool m_filtering = false;
    std::vector<std::u16string> m_includePatterns;
    std::vector<std::u16string> m_excludePatterns;
    std::vector<Compiled> m_include;
    std::vector<Compiled> m_exclude;
    std::vector<std::u16string> m_patternErrors;

    std::u16string m_root;  // the search specification's folder part, with its separator
    std::vector<platform::DirEntry> m_entries;
    size_t m_current = SIZE_MAX;
    size_t m_next = SIZE_MAX;  // the look-ahead: the next accepted entry
};
