#include "output_file.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>

namespace magpack {

OutputFile::OutputFile(std::string path) : m_path(std::move(path)), m_temp(m_path + ".tmp-XXXXXX") {
    const int fd = mkstemp(m_temp.data());
    if (fd < 0)
        return;
    // The modes a plain fopen would have given, not mkstemp's private 0600.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    m_file = fdopen(fd, "wb");
    if (!m_file) {
        close(fd);
        unlink(m_temp.c_str());
    }
}

OutputFile::~OutputFile() {
    if (m_file)
        std::fclose(m_file);
    if (!m_committed)
        unlink(m_temp.c_str());
}

bool OutputFile::Commit() {
    if (!m_file)
        return false;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    m_committed = closed && std::rename(m_temp.c_str(), m_path.c_str()) == 0;
    return m_committed;
}

}  // namespace magpack
