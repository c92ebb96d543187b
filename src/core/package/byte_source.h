#pragma once
// Random-access bytes a package is read from. The file source reads by seeking,
// never loading the file whole; tests substitute short or failing sources.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int64_t Size() const = 0;
    // Reads up to `size` bytes at `offset`; returns how many were read (0 at the end,
    // on a bad offset or on an error).
    virtual size_t ReadAt(int64_t offset, void* buffer, size_t size) = 0;
    // Copies up to `size` bytes at `offset` straight into the open file `fd` at its
    // current position, inside the kernel; -1 when this source cannot do that.
    virtual int64_t CopyToFile(int64_t offset, int64_t size, int fd) {
        (void)offset, (void)size, (void)fd;
        return -1;
    }
};

class FileByteSource : public ByteSource {
public:
    explicit FileByteSource(std::u16string_view path);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int64_t Size() const override { return m_size; }
    size_t ReadAt(int64_t offset, void* buffer, size_t size) override;
    int64_t CopyToFile(int64_t offset, int64_t size, int fd) override;

private:
    int m_fd = -1;
    int64_t m_size = 0;
};

class MemoryByteSource : public ByteSource {
public:
    explicit MemoryByteSource(std::string_view bytes) : m_bytes(bytes) {}
    int64_t Size() const override { return static_cast<int64_t>(m_bytes.size()); }
    size_t ReadAt(int64_t offset, void* buffer, size_t size) override;

private:
    std::string_view m_bytes;
};

// Copies the bytes of `source` in [from, to) onto `out`. False when the source
// holds fewer or a write fails.
bool CopyRange(ByteSource& source, int64_t from, int64_t to, std::FILE* out);
