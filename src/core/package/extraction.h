#pragma once
// The extraction worker: copies every file of a package into a folder, unpacks
// nested ".qk" packages, and reports its progress to an ExtractionProgress that
// another thread reads while it runs.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>

#include "core/package/byte_source.h"

// A value written by one thread and read by another, always whole.
template <class T>
class Locked {
public:
    void Set(T value) {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }
    T Get() const {
        std::lock_guard lock(m_mutex);
        return m_value;
    }

private:
    mutable std::mutex m_mutex;
    T m_value{};
};
using LockedString = Locked<std::u16string>;

#include "core/platform/player_texts.h"

// What the finished run found, for the message when the issue cannot open.
enum class ExtractOutcome : int { Complete, NoIssue, Damaged };

// What kept a package, or a nested one, from being written out whole.
enum class ExtractProblem : int {
    None,
    PackageUnopenable,  // the run ends
    ListUnwritten,      // the run ends
    DiskRefused,        // the run ends
    NestedUnopenable,   // the nested package is passed over
    NestedInvalid,      // the nested package is passed over
};

struct ExtractReport {
    ExtractProblem problem = ExtractProblem::None;
    std::u16string where;  // the file or folder concerned
    int error = 0;         // the system's errno, where it gave one

    bool Ok() const { return problem == ExtractProblem::None; }
    bool EndsTheRun() const;
};

// The message box the reader sees for a problem.
ReaderMessage ExtractMessage(const ExtractReport& report);

// What one run publishes: written by the worker, read by the loading window's
// timers (or magpack's progress bar) on another thread, never half-written.
struct ExtractionProgress {
    std::atomic<double> percent{0.0};  // of the packed data written; 1.0 once the list is out
    std::atomic<int> done{0};          // 1 once every file has been closed, stored last
    std::atomic<int> failed{0};        // 1 when the package could not be read or written out
    std::atomic<ExtractOutcome> outcome{ExtractOutcome::Complete};
    Locked<ExtractReport> failure;  // why `failed` is set, stored before it
    LockedString loadingMoviePath;  // the first written file
    // Called on the worker thread once config.xml has been written, each time
    // `percent` changes, and once `done` is set; set before the run starts.
    std::function<void()> configWritten;
    std::function<void(double)> percentChanged;
    std::function<void()> finished;
    // Called on the worker thread for each nested package passed over.
    std::function<void(const ExtractReport&)> passedOver;
};

// Extracts the appended package that `source` ends in into `folder`. Returns
// early, leaving the rest unwritten, once `stop` is requested: the folder may
// then be deleted.
void ExtractPackage(ByteSource& source, std::u16string_view folder, ExtractionProgress& progress,
                    std::stop_token stop = {});

// The same for the package at the end of a file.
void ExtractPackageFile(std::u16string_view packagePath, std::u16string_view folder,
                        ExtractionProgress& progress, std::stop_token stop = {});

// Thread entry of the Player: extracts the issue of g_exePath into g_workspaceDir.
void ExtractPackageThread(std::stop_token stop, ExtractionProgress& progress);

// Creates the folders along `path` (only `\` separates), then the file, and copies
// `size` bytes at `offset` of `source` into it. Stops early when the source ends
// or a stop is requested. False when the disk refused a write (full, read-only,
// failing); a file that cannot be created for another reason is skipped (true).
bool WritePackedFile(std::u16string_view path, ByteSource& source, int64_t offset, int64_t size,
                     std::stop_token stop = {});

// Extracts a nested package into `folder`, and says what kept it from that.
ExtractReport ExtractNestedPackage(std::u16string_view packagePath, std::u16string_view folder,
                                   std::stop_token stop = {});
