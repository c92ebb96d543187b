#include "ui/player_app.h"

#include <QEventLoop>

#include <memory>

#include "core/package/issue_identity.h"
#include "core/platform/message_box.h"
#include "core/platform/path.h"
#include "core/platform/text.h"
#include "core/platform/workspace.h"
#include "ui/engine/player_scheme.h"
#include "ui/player_dlg.h"

namespace {

// Read from the package's list and main movie only: a few milliseconds.
std::string Identity(const std::u16string& packagePath) {
    FileByteSource source(packagePath);
    const PackageReading reading = ReadPackage(source, PackageLayout::Appended);
    return reading ? IssueIdentity(reading.contents, source) : "issue";
}

}  // namespace

bool CPlayerApp::InitInstance() {
    if (!CreateWorkspace()) {
        platform::MessageBox(nullptr, kNoGuidText, kNoGuidCaption, platform::MB_OK);
        m_exitCode = 1;
        return false;
    }
    m_sweeper = std::jthread([] { RemoveDeadWorkspaces(platform::TempPath()); });
    if (!m_issue.empty())
        g_exePath = platform::Utf8ToUtf16(m_issue);  // the issue is read from there instead
    PlayerSchemeHandler::Instance().SetWorkspace(
        QString::fromStdString(platform::NativePath(g_workspaceDir)),
        QString::fromStdString(Identity(g_exePath)));
    auto dlg = std::make_unique<CPlayerDlg>();
    std::optional<CoverShot> cover;
    if (m_cover)
        cover.emplace(*dlg, *m_cover);
    // The main window is not run as a modal dialog: a modal loop ends as soon as
    // its window hides (hiding to the tray would end the Player), and it takes
    // input away from every other window, the tray icon's among them. It shows
    // itself once its movie has drawn; the Player runs until its dialog ends.
    QEventLoop loop;
    QObject::connect(dlg.get(), &QDialog::finished, &loop, &QEventLoop::quit);
    if (!dlg->Ended())
        loop.exec();
    m_exitCode = dlg->ExitCode();
    if (cover && !cover->Written())
        m_exitCode = 1;
    dlg.reset();  // its destructor takes the secondary windows with it
    return false;
}

int CPlayerApp::ExitInstance() {
    DeleteWorkspace();  // the main window, gone by now, stopped the extraction
    return m_exitCode;
}
