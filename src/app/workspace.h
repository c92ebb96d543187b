#pragma once
// The per-run workspace folder: a fresh folder under the temporary folder named
// by a new GUID, into which the package is extracted and which is deleted when
// the Player ends.

#include <string>
#include <string_view>

#include "platform/guid.h"

// Written once at start-up, before any other thread exists; read-only afterwards.
extern std::u16string g_workspaceDir;
extern std::u16string g_exePath;  // the file the issue is read from: the Player's own,
                                  // or the one its command line names

// A file of the workspace by its name in the issue (`\` separators).
std::u16string WorkspacePath(std::u16string_view name);

// "{XXXXXXXX-XXXX-xxxx-XXXX-XXXXXXXXXXXX}": the third group in lower case.
std::u16string FormatGuid(const platform::Guid& guid);

using GuidGenerator = bool (*)(platform::Guid&);

// 1 when a non-zero GUID was made; 0 after the "Unable to create new GUID." box.
int CreateWorkspaceGuid(platform::Guid& guid, GuidGenerator generate = platform::CreateGuid);

// Deletes everything below the folder, then the folder. Symbolic links are
// removed themselves, never followed. Errors are ignored.
void DeleteFolderTree(std::u16string_view path);

// Sets g_workspaceDir and g_exePath and creates the folder (mode 0700).
// False when no GUID could be made: then nothing is created.
bool CreateWorkspace(GuidGenerator generate = platform::CreateGuid);

// Deletes the workspace if it still exists.
void DeleteWorkspace();
