#pragma once
// A file magpack writes: made under a temporary name beside its target and
// renamed onto it only once complete, so that a failed run leaves neither a
// partial file nor a damaged earlier one.

#include <cstdio>
#include <string>

namespace magpack {

class OutputFile {
public:
    explicit OutputFile(std::string path);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* Get() const { return m_file; }
    // Closes the file and renames it onto the target; false when either fails.
    bool Commit();

private:
    std::string m_path, m_temp;
    std::FILE* m_file = nullptr;
    bool m_committed = false;
};

}  // namespace magpack
