#include "core/package/extraction.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/package/package_format.h"
#include "core/platform/message_box.h"
#include "core/platform/path.h"
#include "core/platform/workspace.h"
#include "core/xml/xml_document.h"

namespace {

constexpr size_t kCopyBufferSize = 1048576;

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
void Finish(ExtractionProgress& progress) {
    progress.done = 1;
    if (progress.finished)
        progress.finished();
}

void FinishFailed(ExtractionProgress& progress, const ExtractReport& report) {
    progress.failure.Set(report);
    progress.failed = 1;
    Finish(progress);
}

// A half-written issue would start and fail in odd ways: the run ends as failed,
// naming the folder.
void FinishUnwritable(std::u16string_view folder, int error, ExtractionProgress& progress) {
    FinishFailed(progress, {ExtractProblem::DiskRefused, std::u16string(folder), error});
}

void SetPercent(ExtractionProgress& progress, double percent) {
    progress.percent = percent;
    if (progress.percentChanged)
        progress.percentChanged(percent);
}

// Called after each file of the appended package has been written.
void OnFileExtracted(ExtractionProgress& progress, std::u16string_view name) {
    if (name == u"config.xml" && progress.configWritten)
        progress.configWritten();
}

}  // namespace

bool WritePackedFile(std::u16string_view path, ByteSource& source, int64_t offset, int64_t size,
                     std::stop_token stop) {
    const size_t slash = path.rfind(u'\\');
    if (slash != std::u16string_view::npos && slash > 0)
        platform::CreateDirectoryChain(path.substr(0, slash));
    errno = 0;
    std::FILE* out = platform::OpenFileForWrite(path);
    if (!out)
        return !DiskRefused(errno);
    int64_t remaining = std::max<int64_t>(size, 0);
    // In 1 MiB chunks, copied by the kernel where it can copy between the two files
    // (no pass through user memory), else through one zero-filled 1 MiB buffer.
    // Either way the copy stops early when the package ends.
    bool ok = true;
    while (remaining > 0 && !stop.stop_requested()) {
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
    if (ok && remaining > 0 && !stop.stop_requested()) {
        std::unique_ptr<char[]> buffer(new char[kCopyBufferSize]());
        while (remaining > 0 && !stop.stop_requested()) {
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

bool ExtractReport::EndsTheRun() const {
    return problem == ExtractProblem::PackageUnopenable ||
           problem == ExtractProblem::ListUnwritten || problem == ExtractProblem::DiskRefused;
}

ReaderMessage ExtractMessage(const ExtractReport& report) {
    switch (report.problem) {
        case ExtractProblem::None:
            break;
        case ExtractProblem::PackageUnopenable:
            return {std::u16string(texts::kExeUnreadable), u"Error", platform::MB_OK};
        case ExtractProblem::ListUnwritten:
            return {std::u16string(texts::kFileListMissing), u"Brivol Error", platform::MB_OK};
        case ExtractProblem::DiskRefused:
            return {std::u16string(texts::kFolderUnwritableBefore) + report.where +
                        std::u16string(texts::kFolderUnwritableAfter),
                    std::nullopt, platform::MB_ICONWARNING};
        case ExtractProblem::NestedUnopenable:
            return {std::u16string(texts::kNestedUnopenable), u"Error", platform::MB_OK};
        case ExtractProblem::NestedInvalid:
            return {std::u16string(texts::kNestedInvalid), u"Brivol", platform::MB_ICONWARNING};
    }
    return {};
}

ExtractReport ExtractNestedPackage(std::u16string_view packagePath, std::u16string_view folder,
                                   std::stop_token stop) {
    const std::u16string package(packagePath);
    errno = 0;
    FileByteSource source(packagePath);
    if (!source.IsOpen())
        return {ExtractProblem::NestedUnopenable, package, errno};
    FileListSpan span;
    if (LocateNestedList(source, span) != NestedListResult::Ok)
        return {ExtractProblem::NestedInvalid, package};
    const std::u16string listPath = platform::JoinPath(folder, u"filelist.xml");
    errno = 0;
    if (!WritePackedFile(listPath, source, span.offset, span.length, stop))
        return {ExtractProblem::DiskRefused, std::u16string(folder), errno};
    XmlDocument list;
    PackageContents contents;
    if (list.LoadFile(listPath) && ReadNestedEntries(list, span, contents)) {
        for (const auto& e : contents.entries) {
            if (stop.stop_requested())
                break;
            errno = 0;
            if (MayWrite(folder, e.name) && !WritePackedFile(platform::JoinPath(folder, e.name),
                                                             source, e.offset, e.size, stop))
                return {ExtractProblem::DiskRefused, std::u16string(folder), errno};
        }
    }
    return {};
}

void ExtractPackage(ByteSource& source, std::u16string_view folder, ExtractionProgress& progress,
                    std::stop_token stop) {
    const FileListSpan span = LocateAppendedList(source);
    const std::u16string listPath = platform::JoinPath(folder, u"filelist.xml");
    errno = 0;
    if (!WritePackedFile(listPath, source, span.offset, span.length, stop))
        return FinishUnwritable(folder, errno, progress);
    const int listError = errno;  // why it could not be created, if it was not
    SetPercent(progress, 1.0);
    if (!platform::PathFileExists(listPath))
        return FinishFailed(progress, {ExtractProblem::ListUnwritten, listPath, listError});
    XmlDocument list;
    PackageContents contents;
    if (!list.LoadFile(listPath) || !ReadAppendedEntries(list, span, contents))
        progress.outcome = ExtractOutcome::NoIssue;  // no file list: not an issue at all
    for (const auto& e : contents.entries) {
        if (e.offset < 0 || e.offset + e.size > span.offset)
            progress.outcome = ExtractOutcome::Damaged;  // data the file does not hold
    }
    bool first = true;
    for (const auto& e : contents.entries) {
        if (stop.stop_requested())
            break;  // the Player is ending: its workspace is about to go
        if (!MayWrite(folder, e.name))
            continue;  // its bytes are still passed over
        const std::u16string fullPath = platform::JoinPath(folder, e.name);
        errno = 0;
        if (!WritePackedFile(fullPath, source, e.offset, e.size, stop))
            return FinishUnwritable(folder, errno, progress);
        if (stop.stop_requested())
            break;
        OnFileExtracted(progress, e.name);
        if (EndsWithQk(e.name)) {
            const std::u16string nested =
                platform::JoinPath(folder, e.name.substr(0, e.name.size() - 3));
            platform::CreateDirectory(nested);
            const ExtractReport report = ExtractNestedPackage(fullPath, nested, stop);
            if (report.EndsTheRun())
                return FinishFailed(progress, report);
            if (!report.Ok() && progress.passedOver)
                progress.passedOver(report);  // the rest of the issue is still written
        }
        if (first) {
            first = false;
            progress.loadingMoviePath.Set(fullPath);
        }
        // Progress counts the packed data written so far, on the data's own base.
        if (contents.dataLength > 0) {
            const double done = static_cast<double>(e.offset + e.size - contents.dataStart);
            SetPercent(progress, std::clamp(done / contents.dataLength * 100.0, 0.0, 100.0));
        }
    }
    Finish(progress);
}

void ExtractPackageFile(std::u16string_view packagePath, std::u16string_view folder,
                        ExtractionProgress& progress, std::stop_token stop) {
    errno = 0;
    FileByteSource source(packagePath);
    if (!source.IsOpen())
        return FinishFailed(
            progress, {ExtractProblem::PackageUnopenable, std::u16string(packagePath), errno});
    ExtractPackage(source, folder, progress, stop);
}

void ExtractPackageThread(std::stop_token stop, ExtractionProgress& progress) {
    ExtractPackageFile(g_exePath, g_workspaceDir, progress, stop);
}
