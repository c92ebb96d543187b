#include "app/workspace.h"

#include <cstdio>

#include "platform/case_path.h"
#include "platform/message_box.h"
#include "platform/path.h"
#include "platform/text.h"

std::u16string g_workspaceDir;
std::u16string g_exePath;

std::u16string WorkspacePath(std::u16string_view name) {
    return platform::JoinPath(g_workspaceDir, name);
}

std::u16string FormatGuid(const platform::Guid& g) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1],
                  g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return platform::Widen(buffer);
}

int CreateWorkspaceGuid(platform::Guid& guid, GuidGenerator generate) {
    guid = platform::Guid{};
    generate(guid);
    bool zero = guid.data1 == 0 && guid.data2 == 0 && guid.data3 == 0;
    for (unsigned char b : guid.data4)
        zero = zero && b == 0;
    if (zero) {
        platform::MessageBox(nullptr, u"Unable to create new GUID.", u"GUIDGen", platform::MB_OK);
        return 0;
    }
    return 1;
}

void DeleteFolderTree(std::u16string_view path) {
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(path, entries);
    for (const auto& e : entries) {
        const std::u16string full = platform::JoinPath(path, e.name);
        if (e.isDirectory) {
            DeleteFolderTree(full);
        } else {
            platform::DeleteFile(full);
        }
    }
    platform::RemoveDirectory(path);
}

bool CreateWorkspace(GuidGenerator generate) {
    platform::Guid guid;
    if (!CreateWorkspaceGuid(guid, generate))
        return false;
    g_workspaceDir = platform::TempPath() + FormatGuid(guid);
    platform::CreateDirectoryChain(g_workspaceDir);
    // The issue was written where names ignore case; its movies and commands
    // find the workspace's files so.
    platform::SetCaseFoldingRoot(platform::NativePath(g_workspaceDir));
    g_exePath = platform::ExePath();
    return true;
}

void DeleteWorkspace() {
    if (!g_workspaceDir.empty() && platform::PathFileExists(g_workspaceDir)) {
        DeleteFolderTree(g_workspaceDir);
    }
}
