#include "app/player_app.h"

#include <memory>

#include "app/player_dlg.h"
#include "app/workspace.h"
#include "bridge/player_scheme.h"
#include "platform/path.h"

bool CPlayerApp::InitInstance() {
    if (!CreateWorkspace())
        return false;
    PlayerSchemeHandler::Instance().SetWorkspace(
        QString::fromStdString(platform::NativePath(g_workspaceDir)));
    auto dlg = std::make_unique<CPlayerDlg>();
    dlg->exec();
    dlg.reset();  // its destructor takes the secondary windows with it
    return false;
}

int CPlayerApp::ExitInstance() {
    DeleteWorkspace();
    return 0;
}
