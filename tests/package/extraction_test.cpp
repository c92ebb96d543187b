#include "core/package/extraction.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

#include "support/package_builder.h"
#include "support/test_support.h"

using test::ListEntry;

namespace {

class Extraction : public ::testing::Test {
protected:
    void SetUp() override {
        progress.configWritten = [this] { ++timerRequests; };
        ws = dir / "ws";
        mkdir(ws.c_str(), 0700);
    }

    void Run(const std::string& package) {
        test::WriteFile(dir / "issue.bin", package);
        ExtractFile(dir / "issue.bin");
    }
    void ExtractFile(const std::string& path, std::stop_token stop = {}) {
        ExtractPackageFile(test::U16(path), test::U16(ws), progress, stop);
    }
    std::string Out(const std::string& name) { return test::ReadFile(ws + "/" + name); }

    test::TempDir dir;
    test::MessageBoxRecorder boxes;
    std::string ws;
    int timerRequests = 0;
    ExtractionProgress progress;
};

// A source with a bad region: a read that reaches into [badFrom, badTo) returns
// only the bytes before it, as a disk going bad under the worker would.
class FailingSource : public ByteSource {
public:
    FailingSource(std::string bytes, int64_t badFrom, int64_t badTo)
        : m_bytes(std::move(bytes)), m_memory(m_bytes), m_badFrom(badFrom), m_badTo(badTo) {}
    int64_t Size() const override { return m_memory.Size(); }
    size_t ReadAt(int64_t offset, void* buffer, size_t size) override {
        const int64_t end = offset + static_cast<int64_t>(size);
        if (end > m_badFrom && offset < m_badTo)
            size = offset < m_badFrom ? static_cast<size_t>(m_badFrom - offset) : 0;
        return size == 0 ? 0 : m_memory.ReadAt(offset, buffer, size);
    }

private:
    std::string m_bytes;
    MemoryByteSource m_memory;
    int64_t m_badFrom, m_badTo;
};

}  // namespace

TEST_F(Extraction, LoadingMovieFirstAndConfigSecond) {
    const std::string prefix = "PLAYER";
    const auto list = test::FileListXml({{"load.swf", "4", "6"},
                                         {"config.xml", "7", "6"},
                                         {"sub\\a.swf", "3", "6"},
                                         {"中文.txt", "3", "6"}});
    Run(test::AppendedPackage(prefix, "LOAD<MSG/>xAAA中", list));
    EXPECT_EQ(Out("load.swf"), "LOAD");
    EXPECT_EQ(Out("config.xml"), "<MSG/>x");
    EXPECT_EQ(Out("sub/a.swf"), "AAA");
    EXPECT_EQ(Out("中文.txt"), "中");
    EXPECT_EQ(Out("filelist.xml"), list);
    EXPECT_EQ(test::U8(progress.loadingMoviePath.Get()), ws + "\\load.swf");
    EXPECT_EQ(timerRequests, 1);
    EXPECT_EQ(progress.done, 1);
    EXPECT_EQ(progress.failed, 0);
    EXPECT_DOUBLE_EQ(progress.percent, 100.0);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Extraction, EmptyNamesBetweenFilesDoNotShiftData) {
    const auto list = test::FileListXml(
        {{"a", "2", "1"}, {"", "5"}, {"", "9"}, {"b", "3"}, {"c", ""}, {"d", "1"}});
    Run(test::AppendedPackage("P", "AABBBD", list));
    EXPECT_EQ(Out("a"), "AA");
    EXPECT_EQ(Out("b"), "BBB");
    EXPECT_EQ(Out("d"), "D");
    EXPECT_FALSE(test::Exists(ws + "/c"));
}

TEST_F(Extraction, NestedQkIsUnpackedBesideItself) {
    const auto inner = test::NestedPackage(
        "vellmainIMG", test::FileListXml({{"vellmain.swf", "8"}, {"img\\p.jpg", "3"}}));
    const auto list = test::FileListXml(
        {{"x.qk", std::to_string(inner.size()), "0"}, {"X.QK", std::to_string(inner.size())}});
    Run(test::AppendedPackage("", inner + inner, list));
    EXPECT_EQ(Out("x.qk"), inner);
    EXPECT_EQ(Out("x/vellmain.swf"), "vellmain");
    EXPECT_EQ(Out("x/img/p.jpg"), "IMG");
    EXPECT_TRUE(test::Exists(ws + "/x/filelist.xml"));
    EXPECT_EQ(Out("X.QK"), inner);  // upper case: a plain file
    EXPECT_FALSE(test::Exists(ws + "/X"));
}

TEST_F(Extraction, ProgressStartsAtOneThenFollowsTheDataOnItsOwnBase) {
    // Observe the value after each file through the config timer hook of later files.
    std::vector<double> seen;
    progress.configWritten = [&] { seen.push_back(progress.percent); };
    const auto list =
        test::FileListXml({{"config.xml", "4", "100"}, {"config.xml", "4"}, {"config.xml", "2"}});
    Run(test::AppendedPackage(std::string(100, 'P'), "aaaabbbbcc", list));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_DOUBLE_EQ(seen[0], 1.0);   // right after the list was copied
    EXPECT_DOUBLE_EQ(seen[1], 40.0);  // after the first file: 4 of 10 bytes
    EXPECT_DOUBLE_EQ(seen[2], 80.0);
    EXPECT_DOUBLE_EQ(progress.percent, 100.0);
}

TEST_F(Extraction, ProgressNeverPassesOneHundred) {
    const auto list = test::FileListXml({{"a", "50", "0"}, {"b", "50"}});
    Run(test::AppendedPackage("", "0123456789", list));  // sizes claim far more than exists
    EXPECT_LE(progress.percent, 100.0);
    EXPECT_GE(progress.percent, 0.0);
    EXPECT_EQ(progress.done, 1);
}

TEST_F(Extraction, ShortDataWritesWhatExistsAndNegativeSizesNothing) {
    const auto list = test::FileListXml({{"neg", "-3", "0"}, {"short", "1000000"}});
    const std::string package = test::AppendedPackage("", "abc", list);
    Run(package);
    EXPECT_EQ(Out("neg"), "");
    // The copy stops at the end of the file: the data, the list and the trailer.
    EXPECT_EQ(Out("short"), package);
}

TEST_F(Extraction, UnsafeNamesWriteNothingOutsideAndKeepTheOffsets) {
    test::TempDir outside;
    const std::string evil = outside.path();
    const auto list = test::FileListXml({{"a", "1", "0"},
                                         {"..\\..\\escape", "1"},
                                         {evil + "/abs", "1"},
                                         {"C:\\drive", "1"},
                                         {"sub\\..\\..\\up", "1"},
                                         {"b", "1"}});
    Run(test::AppendedPackage("", "AXYZWB", list));
    EXPECT_EQ(Out("a"), "A");
    EXPECT_EQ(Out("b"), "B");
    EXPECT_FALSE(test::Exists(dir / "escape"));
    EXPECT_FALSE(test::Exists(evil + "/abs"));
    EXPECT_FALSE(test::Exists("/drive"));
    EXPECT_FALSE(test::Exists(dir / "up"));
}

TEST_F(Extraction, UnsafeNamesInsideNestedPackagesAndSymlinksAreRefused) {
    test::TempDir outside;
    ASSERT_EQ(symlink(outside.path().c_str(), (ws + "/link").c_str()), 0);
    const auto inner =
        test::NestedPackage("12", test::FileListXml({{"..\\..\\..\\n1", "1"}, {"ok", "1"}}));
    const auto list =
        test::FileListXml({{"link\\thru", "1", "0"}, {"m.qk", std::to_string(inner.size())}});
    Run(test::AppendedPackage("", "T" + inner, list));
    EXPECT_FALSE(test::Exists(outside / "thru"));
    EXPECT_EQ(Out("m/ok"), "2");
    EXPECT_FALSE(test::Exists(dir / "n1"));
}

TEST_F(Extraction, DamagedFileListsCountAsFinishedWithNothing) {
    for (const char* list : {"garbage", "<Files/>", ""}) {
        progress.done = 0;
        Run(test::AppendedPackage("P", "data", list));
        EXPECT_EQ(progress.done, 1);
        EXPECT_EQ(progress.failed, 0);
        EXPECT_TRUE(progress.loadingMoviePath.Get().empty());
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

// The worker shows nothing: it says what went wrong and where, and the window
// that started it tells the reader in the message the problem calls for.
TEST_F(Extraction, ProblemsAreReportedWithWhereAndWhyAndTheirMessage) {
    test::WriteFile(dir / "issue.bin", test::AppendedPackage("P", "", test::FileListXml({})));
    test::WriteFile(dir / "bad.qk", "no trailer here");
    const std::u16string below = test::U16(dir / "issue.bin") + u"\\ws";
    struct Case {
        const char* what;
        std::function<ExtractReport()> run;
        ExtractProblem problem;
        std::u16string where;
        int error;
        ReaderMessage message;
    };
    const Case cases[] = {
        {"an issue that cannot be opened ends the run",
         [&] {
             ExtractFile(dir / "missing.exe");
             return progress.failure.Get();
         },
         ExtractProblem::PackageUnopenable,
         test::U16(dir / "missing.exe"),
         ENOENT,
         {u"无法打开本EXE文件!", u"Error", platform::MB_OK}},
        // A folder below a plain file can never be created, so the list cannot be copied out.
        {"a file list that cannot be written ends the run",
         [&] {
             ExtractPackageFile(test::U16(dir / "issue.bin"), below, progress);
             return progress.failure.Get();
         },
         ExtractProblem::ListUnwritten,
         below + u"\\filelist.xml",
         ENOTDIR,
         {u"filelist.xml文件不存在！", u"Brivol Error", platform::MB_OK}},
        {"a nested package without its trailer is passed over",
         [&] { return ExtractNestedPackage(test::U16(dir / "bad.qk"), test::U16(ws)); },
         ExtractProblem::NestedInvalid,
         test::U16(dir / "bad.qk"),
         0,
         {u"不是有效的QK文件或文件已经损坏!", u"Brivol", platform::MB_ICONWARNING}},
        {"a nested package that cannot be opened is passed over",
         [&] { return ExtractNestedPackage(test::U16(dir / "none.qk"), test::U16(ws)); },
         ExtractProblem::NestedUnopenable,
         test::U16(dir / "none.qk"),
         ENOENT,
         {u"打开qk工程失败！", u"Error", platform::MB_OK}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        progress.failed = 0;
        const ExtractReport report = c.run();
        EXPECT_EQ(report.problem, c.problem);
        EXPECT_EQ(test::U8(report.where), test::U8(c.where));
        EXPECT_EQ(report.error, c.error);
        EXPECT_EQ(progress.failed, report.EndsTheRun() ? 1 : 0);
        const ReaderMessage message = ExtractMessage(report);
        EXPECT_EQ(message.text, c.message.text);
        EXPECT_EQ(message.caption, c.message.caption);
        EXPECT_EQ(message.style, c.message.style);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

// A bad nested package is told and passed over; the rest of the issue is written.
TEST_F(Extraction, ABadNestedPackageIsPassedOverAndTheRestWritten) {
    std::vector<ExtractReport> passed;
    progress.passedOver = [&](const ExtractReport& r) { passed.push_back(r); };
    Run(test::AppendedPackage(
        "", "LOADjunkDATA",
        test::FileListXml(
            {{"load.swf", "4", "0"}, {"part.qk", "4", "-"}, {"after.bin", "4", "-"}})));
    EXPECT_EQ(progress.failed, 0);
    ASSERT_EQ(passed.size(), 1u);
    EXPECT_EQ(passed[0].problem, ExtractProblem::NestedInvalid);
    EXPECT_EQ(Out("after.bin"), "DATA");
}

TEST_F(Extraction, PublishedValuesCanBeReadFromAnotherThread) {
    std::string data;
    std::vector<ListEntry> entries;
    for (int i = 0; i < 200; ++i) {
        entries.push_back({"f" + std::to_string(i), "1000", i == 0 ? "0" : "-"});
        data += std::string(1000, static_cast<char>('a' + i % 26));
    }
    test::WriteFile(dir / "issue.bin", test::AppendedPackage("", data, test::FileListXml(entries)));
    std::jthread worker([&] { ExtractFile(dir / "issue.bin"); });
    double last = 0;
    bool monotonic = true;
    while (!progress.done) {
        const double p = progress.percent;
        const std::u16string path = progress.loadingMoviePath.Get();
        if (!path.empty()) {
            EXPECT_EQ(test::U8(path), ws + "\\f0");
        }
        if (p < last && last > 1.0)
            monotonic = false;
        last = p;
    }
    worker.join();
    EXPECT_TRUE(monotonic);
    // Once done is seen, every file is complete.
    EXPECT_EQ(test::ReadFile(ws + "/f199"), std::string(1000, 'a' + 199 % 26));
}

TEST_F(Extraction, SourcesThatCannotCopyInTheKernelGoThroughTheBuffer) {
    const std::string data = std::string(3 << 20, 'q') + "tail";
    MemoryByteSource source(data);
    WritePackedFile(test::U16(ws) + u"\\a\\b.bin", source, 1, static_cast<int64_t>(data.size()));
    EXPECT_EQ(Out("a/b.bin"), data.substr(1));  // the declared size runs one byte past the end
    WritePackedFile(test::U16(ws) + u"\\neg.bin", source, 0, -1);
    EXPECT_EQ(Out("neg.bin"), "");
}

// A write that fails is reported, whether the kernel copies or the buffer does.
TEST_F(Extraction, AFailedWriteIsReported) {
    const std::string data = std::string(2 << 20, 'q');
    MemoryByteSource memory(data);
    EXPECT_FALSE(WritePackedFile(u"/dev/full", memory, 0, static_cast<int64_t>(data.size())));
    test::WriteFile(dir / "data.bin", data);
    FileByteSource file(test::U16(dir / "data.bin"));
    EXPECT_FALSE(WritePackedFile(u"/dev/full", file, 0, static_cast<int64_t>(data.size())));
    EXPECT_TRUE(WritePackedFile(test::U16(ws) + u"\\ok.bin", file, 0, 10));
}

// On a disk that fills up, the run ends with a message naming the folder and
// the failure flag set, instead of an issue that starts half written.
TEST_F(Extraction, AFullDiskEndsTheRunWithAMessage) {
    const std::string small = dir / "small";
    mkdir(small.c_str(), 0700);
    if (std::system(("mount -t tmpfs -o size=256k tmpfs " + small + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    const auto list = test::FileListXml(
        {{"load.swf", "4", "0"}, {"config.xml", "6", "-"}, {"big.bin", "1048576", "-"}});
    test::WriteFile(dir / "issue.bin",
                    test::AppendedPackage("", "LOAD<MSG/>" + std::string(1 << 20, 'b'), list));
    ExtractPackageFile(test::U16(dir / "issue.bin"), test::U16(small), progress);
    std::system(("umount " + small).c_str());
    EXPECT_EQ(progress.done, 1);
    EXPECT_EQ(progress.failed, 1);
    const ExtractReport failure = progress.failure.Get();
    EXPECT_EQ(failure.problem, ExtractProblem::DiskRefused);
    EXPECT_EQ(failure.error, ENOSPC);
    const ReaderMessage message = ExtractMessage(failure);
    EXPECT_NE(message.text.find(test::U16(small)), std::u16string::npos);
    EXPECT_NE(message.text.find(u"磁盘已满"), std::u16string::npos);
}

// A Player that ends while its issue is still being extracted stops the worker
// before the workspace goes: asked to stop, it finishes at most the file it is
// writing, and ends.
TEST_F(Extraction, StoppingTheWorkerEndsItBeforeTheWorkspaceGoes) {
    std::vector<ListEntry> entries;
    for (int i = 0; i < 400; ++i)
        entries.push_back({"f" + std::to_string(i), "262144", i == 0 ? "0" : "-"});
    test::WriteFile(dir / "issue.bin", test::AppendedPackage("", std::string(400 << 18, 'z'),
                                                             test::FileListXml(entries)));
    std::jthread worker([&](std::stop_token stop) { ExtractFile(dir / "issue.bin", stop); });
    while (progress.loadingMoviePath.Get().empty())
        std::this_thread::yield();
    const auto filesIn = [&] {
        namespace fs = std::filesystem;
        return std::distance(fs::directory_iterator(ws), fs::directory_iterator());
    };
    worker.request_stop();
    const auto atStop = filesIn();
    worker.join();
    EXPECT_EQ(progress.done, 1);
    // The one being written, and one being created as the folder was counted.
    EXPECT_LE(filesIn(), atStop + 2) << "the worker went on after it was asked to stop";
    EXPECT_FALSE(test::Exists(ws + "/f399")) << "the worker did not stop";
}

// A source that fails in the middle of the data (a disk going bad, a file cut
// under the reader) ends the run: what was read is written, nothing hangs.
TEST_F(Extraction, ASourceFailingMidwayEndsTheRun) {
    const auto list = test::FileListXml({{"load.swf", "4", "0"}, {"big", "3000000"}, {"c", "2"}});
    FailingSource source(test::AppendedPackage("", "LOAD" + std::string(3000000, 'b') + "CC", list),
                         1500000, 3000004);
    ExtractPackage(source, test::U16(ws), progress);
    EXPECT_EQ(progress.done, 1);
    EXPECT_EQ(Out("load.swf"), "LOAD");
    const std::string big = Out("big");
    EXPECT_LT(big.size(), 3000000u);
    EXPECT_EQ(big, std::string(big.size(), 'b'));
    EXPECT_EQ(Out("c"), "CC");  // past the bad region the disk reads again
}
