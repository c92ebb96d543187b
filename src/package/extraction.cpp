#include "package/extraction.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "app/workspace.h"
#include "package/package_format.h"
#include "platform/message_box.h"
#include "platform/path.h"
#include "xml/xml_document.h"

std::atomic<double> g_extractProgress{0.0};
std::atomic<int> g_extractDone{0};
std::atomic<int> g_extractFailed{0};
std::atomic<ExtractOutcome> g_extractOutcome{ExtractOutcome::Complete};
LockedString g_loadingMoviePath;
std::function<void()> g_requestConfigTimer;

namespace {

std::atomic<bool> s_stop{false};
std::atomic<int> s_running{0};

// Counts the runs of ExtractPackage, so that StopExtraction can wait for them.
struct Running {
    Running() { ++s_running; }
    ~Running() { --s_running; }
};

}  // namespace

void LockedString::Set(std::u16string value) {
    std::lock_guard lock(m_mutex);
    m_value = std::move(value);
}

std::u16string LockedString::Get() const {
    std::lock_guard lock(m_mutex);
    return m_value;
}

void ResetExtractionState() {
    g_extractProgress = 0.0;
    g_extractDone = 0;
    g_extractFailed = 0;
    g_extractOutcome = ExtractOutcome::Complete;
    s_stop = false;
    g_loadingMoviePath.Set({});
}

namespace {

constexpr size_t kCopyBufferSize = 1048576;

std::u16string Join(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    path += u'\\';
    path += name;
    return path;
}

// Names that would leave the folder, or pass through a symbolic link, are never written.
bool MayWrite(std::u16string_view folder, std::u16string_view name) {
    return !IsUnsafeEntryName(name) && !platform::PathHasSymlinkBelow(folder, name);
}

// Errors by which the disk refuses the issue's data: the extraction cannot go on.
bool DiskRefused(int error) {
    return error == ENOSPC || error == EDQUOT || error == EROFS || error == EIO || error == EFBIG;
}

bool EndsWithQk(std::u16string_view name) {
    const size_t dot = name.rfind(u'.');
    return dot != std::u16string_view::npos && name.substr(dot) == u".qk";
}

// The early failures end the run: the loading window sees the failure flag with
// the done flag and closes the Player instead of waiting for ever.
void FinishFailed() {
    g_extractFailed = 1;
    g_extractDone = 1;
}

// A half-written issue would start and fail in odd ways: say why it cannot open
// and end the run as failed.
void FinishUnwritable(std::u16string_view folder) {
    platform::MessageBox(
        nullptr, u"无法把本期杂志写入文件夹 " + std::u16string(folder) + u"：磁盘已满或不可写入。",
        std::nullopt, platform::MB_ICONWARNING);
    FinishFailed();
}

}  // namespace

bool WritePackedFile(std::u16string_view path, ByteSource& source, int64_t offset, int64_t size) {
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == u'\\' && i > 0)
            platform::CreateDirectory(path.substr(0, i));
    }
    errno = 0;
    std::FILE* out = platform::OpenFileForWrite(path);
    if (!out)
        return !DiskRefused(errno);
    int64_t remaining = std::max<int64_t>(size, 0);
    // In 1 MiB chunks, copied by the kernel where it can copy between the two files
    // (no pass through user memory), else through one zero-filled 1 MiB buffer.
    // Either way the copy stops early when the package ends.
    bool ok = true;
    while (remaining > 0 && !s_stop) {
        const int64_t chunk = std::min<int64_t>(remaining, kCopyBufferSize);
        errno = 0;
        const int64_t copied = source.CopyToFile(offset, chunk, fileno(out));
        if (copied < 0 && DiskRefused(errno)) {
            ok = false;
            break;
        }
        if (copied < 0)
            break;  // not possible here: fall back to the buffer
        if (copied == 0) {
            remaining = 0;
            break;
        }
        offset += copied;
        remaining -= copied;
    }
    if (ok && remaining > 0 && !s_stop) {
        std::unique_ptr<char[]> buffer(new char[kCopyBufferSize]());
        while (remaining > 0 && !s_stop) {
            const size_t chunk = static_cast<size_t>(std::min<int64_t>(remaining, kCopyBufferSize));
            const size_t got = source.ReadAt(offset, buffer.get(), chunk);
            if (got == 0)
                break;
            if (std::fwrite(buffer.get(), 1, got, out) != got || std::fflush(out) != 0) {
                ok = false;
                break;
            }
            offset += static_cast<int64_t>(got);
            remaining -= static_cast<int64_t>(got);
        }
        std::memset(buffer.get(), 0, kCopyBufferSize);
    }
    if (std::fclose(out) != 0)
        ok = false;
    return ok;
}

void OnFileExtracted(std::u16string_view, std::u16string_view name) {
    if (name == u"config.xml" && g_requestConfigTimer)
        g_requestConfigTimer();
}

int ExtractNestedPackage(std::u16string_view packagePath, std::u16string_view folder) {
    FileByteSource source(packagePath);
    if (!source.IsOpen()) {
        platform::MessageBox(nullptr, u"打开qk工程失败！", u"Error", platform::MB_OK);
        return 0;
    }
    FileListSpan span;
    if (LocateNestedList(source, span) != NestedListResult::Ok) {
        platform::MessageBox(nullptr, u"不是有效的QK文件或文件已经损坏!", u"Brivol",
                             platform::MB_ICONWARNING);
        return 0;
    }
    const std::u16string listPath = Join(folder, u"filelist.xml");
    if (!WritePackedFile(listPath, source, span.offset, span.length))
        return -1;
    XmlDocument list;
    PackageContents contents;
    if (list.LoadFile(listPath) && ReadNestedEntries(list, span, contents)) {
        for (const auto& e : contents.entries) {
            if (s_stop)
                break;
            if (MayWrite(folder, e.name) &&
                !WritePackedFile(Join(folder, e.name), source, e.offset, e.size))
                return -1;
        }
    }
    return 0;
}

void ExtractPackage(std::u16string_view packagePath, std::u16string_view folder) {
    const Running running;
    FileByteSource source(packagePath);
    if (!source.IsOpen()) {
        platform::MessageBox(nullptr, u"无法打开本EXE文件!", u"Error", platform::MB_OK);
        FinishFailed();
        return;
    }
    const FileListSpan span = LocateAppendedList(source);
    const std::u16string listPath = Join(folder, u"filelist.xml");
    if (!WritePackedFile(listPath, source, span.offset, span.length))
        return FinishUnwritable(folder);
    g_extractProgress = 1.0;
    if (!platform::PathFileExists(listPath)) {
        platform::MessageBox(nullptr, u"filelist.xml文件不存在！", u"Brivol Error",
                             platform::MB_OK);
        FinishFailed();
        return;
    }
    XmlDocument list;
    PackageContents contents;
    if (!list.LoadFile(listPath) || !ReadAppendedEntries(list, span, contents))
        g_extractOutcome = ExtractOutcome::NoIssue;  // no file list: not an issue at all
    for (const auto& e : contents.entries) {
        if (e.offset < 0 || e.offset + e.size > span.offset)
            g_extractOutcome = ExtractOutcome::Damaged;  // data the file does not hold
    }
    bool first = true;
    for (const auto& e : contents.entries) {
        if (s_stop)
            break;  // the Player is ending: its workspace is about to go
        if (!MayWrite(folder, e.name))
            continue;  // its bytes are still passed over
        const std::u16string fullPath = Join(folder, e.name);
        if (!WritePackedFile(fullPath, source, e.offset, e.size))
            return FinishUnwritable(folder);
        if (s_stop)
            break;
        OnFileExtracted(fullPath, e.name);
        if (EndsWithQk(e.name)) {
            const std::u16string nested = Join(folder, e.name.substr(0, e.name.size() - 3));
            platform::CreateDirectory(nested);
            if (ExtractNestedPackage(fullPath, nested) != 0)
                return FinishUnwritable(folder);
        }
        if (first) {
            first = false;
            g_loadingMoviePath.Set(fullPath);
        }
        // Progress counts the packed data written so far, on the data's own base.
        if (contents.dataLength > 0) {
            const double done = static_cast<double>(e.offset + e.size - contents.dataStart);
            g_extractProgress = std::clamp(done / contents.dataLength * 100.0, 0.0, 100.0);
        }
    }
    g_extractDone = 1;
}

void StopExtraction() {
    s_stop = true;
    while (s_running > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int ExtractPackageThread(void*) {
    ExtractPackage(g_exePath, g_workspaceDir);
    return 0;
}
