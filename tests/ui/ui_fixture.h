#pragma once
// Runs the real windows over a package built by the test, with scripted
// Flash engines standing in for the movies.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/package/extraction.h"
#include "core/platform/path.h"
#include "core/platform/workspace.h"
#include "support/package_builder.h"
#include "support/qt_wait.h"
#include "support/scripted_flash_engine.h"
#include "support/test_support.h"
#include "ui/engine/player_scheme.h"
#include "ui/flash_player_dlg.h"
#include "ui/loading_dlg.h"
#include "ui/player_dlg.h"

class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseScriptedEngines();
        // A secondary window waits this long for its movie, not seconds.
        CFlashPlayerDlg::SetShowLimit(std::chrono::milliseconds(50));
        CPlayerDlg::SetLoadingHeadStart(std::chrono::milliseconds(50));
        const test::ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());
        ASSERT_TRUE(CreateWorkspace());
        ws = test::U8(g_workspaceDir);
    }
    void TearDown() override {
        CFlashPlayerDlg::SetShowLimit(std::chrono::milliseconds(3000));
        CPlayerDlg::SetLoadingHeadStart(std::chrono::milliseconds(kLoadingHeadStartMs));
        m_released = true;
        dlg.reset();
        SetExtractionWorker(nullptr);
        DeleteWorkspace();
    }

    // From now on the extraction writes every file but holds its end back until
    // ReleaseExtraction(), as a large issue keeps its loading movie on.
    void HoldExtraction() {
        SetExtractionWorker([this](std::stop_token stop, ExtractionProgress& progress) {
            ExtractionProgress inner;
            inner.configWritten = progress.configWritten;
            ExtractPackageThread(stop, inner);
            progress.percent = inner.percent.load();
            progress.outcome = inner.outcome.load();
            progress.loadingMoviePath.Set(inner.loadingMoviePath.Get());
            while (!m_released && !stop.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            progress.failed = inner.failed.load();
            progress.done = 1;
            if (progress.finished)
                progress.finished();
        });
    }
    void ReleaseExtraction() { m_released = true; }

    // Packs the files (name, bytes) as an issue and points the Player at it.
    void Package(const std::vector<std::pair<std::string, std::string>>& files) {
        std::vector<test::ListEntry> entries;
        std::string data;
        for (const auto& [name, bytes] : files) {
            entries.push_back({name, std::to_string(bytes.size()), entries.empty() ? "4" : "-"});
            data += bytes;
        }
        test::WriteFile(tmp / "issue",
                        test::AppendedPackage("EXE!", data, test::FileListXml(entries)));
        g_exePath = test::U16(tmp / "issue");
    }

    void StandardIssue(const std::string& config =
                           "<MSG><Wnd Width='800' Height='600' Title='杂志' bShowTitle='true' "
                           "bShowLoading='TRUE' LoadX='431' LoadY='168'/></MSG>") {
        Package({{"loading.swf", "LOAD"}, {"config.xml", config}, {"vellmain.swf", "MAIN"}});
    }

    // Starts the Player's main window and waits until the main movie plays.
    void Start() {
        dlg = std::make_unique<CPlayerDlg>();
        dlg->show();
        ASSERT_TRUE(WaitFor([&] { return dlg->Flash().IsCreated(); }));
    }

    ScriptedFlashEngine* MainEngine() {
        return static_cast<ScriptedFlashEngine*>(dlg->Flash().Engine());
    }

    test::TempDir tmp;
    test::MessageBoxRecorder boxes;
    std::string ws;
    std::unique_ptr<CPlayerDlg> dlg;
    std::atomic<bool> m_released{false};
};
