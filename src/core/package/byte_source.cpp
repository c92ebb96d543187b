#include "core/package/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "core/platform/path.h"

FileByteSource::FileByteSource(std::u16string_view path) {
    m_fd = open(platform::NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (m_fd >= 0 && (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(m_fd);
        m_fd = -1;
    }
    if (m_fd >= 0)
        m_size = st.st_size;
}

FileByteSource::~FileByteSource() {
    if (m_fd >= 0)
        close(m_fd);
}

size_t FileByteSource::ReadAt(int64_t offset, void* buffer, size_t size) {
    if (m_fd < 0 || offset < 0)
        return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(m_fd, static_cast<char*>(buffer) + done, size - done,
                                static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

int64_t FileByteSource::CopyToFile(int64_t offset, int64_t size, int fd) {
    if (m_fd < 0 || offset < 0)
        return -1;
    loff_t in = offset;
    const ssize_t n = copy_file_range(m_fd, &in, fd, nullptr, static_cast<size_t>(size), 0);
    return n < 0 ? -1 : n;
}

size_t MemoryByteSource::ReadAt(int64_t offset, void* buffer, size_t size) {
    if (offset < 0 || offset >= Size())
        return 0;
    const size_t n = std::min(size, m_bytes.size() - static_cast<size_t>(offset));
    std::memcpy(buffer, m_bytes.data() + offset, n);
    return n;
}

bool CopyRange(ByteSource& source, int64_t from, int64_t to, std::FILE* out) {
    constexpr int64_t kChunk = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (int64_t at = from; at < to;) {
        const auto want = static_cast<size_t>(std::min(kChunk, to - at));
        const size_t got = source.ReadAt(at, buffer.get(), want);
        if (got != want || std::fwrite(buffer.get(), 1, got, out) != got)
            return false;
        at += static_cast<int64_t>(got);
    }
    return true;
}
