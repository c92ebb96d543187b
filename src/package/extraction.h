#pragma once
// The extraction worker: copies every file of the package into the workspace on
// a thread of its own, unpacks nested ".qk" packages, and publishes its progress
// for the loading window.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "package/byte_source.h"

// A string written by one thread and read by another, always whole.
class LockedString {
public:
    void Set(std::u16string value);
    std::u16string Get() const;

private:
    mutable std::mutex m_mutex;
    std::u16string m_value;
};

// Published by the worker, read by the loading window.
extern std::atomic<double> g_extractProgress;  // percent of the packed data written
extern std::atomic<int> g_extractDone;         // 1 once every file has been closed
extern std::atomic<int> g_extractFailed;       // 1 when the package could not be read at all
// What the finished run found, for the message when the issue cannot open.
enum class ExtractOutcome : int { Complete, NoIssue, Damaged };
extern std::atomic<ExtractOutcome> g_extractOutcome;
extern LockedString g_loadingMoviePath;  // the first written file
// Asks the loading window to start its configuration timer; called on the worker
// thread when config.xml has been written. Set before the worker starts.
extern std::function<void()> g_requestConfigTimer;

// Clears the published values (and a stop request) before a run.
void ResetExtractionState();

// Asks a running worker to stop between two chunks and waits until it has
// returned, so that the workspace can be deleted under it. Returns at once when
// none runs.
void StopExtraction();

// Thread entry: extracts the package of g_exePath into g_workspaceDir. Returns 0.
int ExtractPackageThread(void* unused);

// The same for any appended package and folder.
void ExtractPackage(std::u16string_view packagePath, std::u16string_view folder);

// Creates the folders along `path` (only `\` separates), then the file, and copies
// `size` bytes at `offset` of `source` into it. Stops early when the source ends
// or a stop is asked for. False when the disk refused a write (full, read-only,
// failing); a file that cannot be created for another reason is skipped (true).
bool WritePackedFile(std::u16string_view path, ByteSource& source, int64_t offset, int64_t size);

// Extracts a nested package into `folder`. Returns 0, or -1 when the disk
// refused a write.
int ExtractNestedPackage(std::u16string_view packagePath, std::u16string_view folder);

// Called after each file of the appended package has been written.
void OnFileExtracted(std::u16string_view fullPath, std::u16string_view name);
