#pragma once
// The per-run workspace folder: a fresh folder under the temporary folder named
// by a new GUID, into which the package is extracted and which is deleted when
// the Player ends. While its Player runs, the workspace carries a live mark: an
// advisory lock held on `{GUID}.lock` beside it (not inside, where movies would
// see it). A Player that dies lets go of the lock with its descriptors, so the
// next Player knows the workspace as left behind and removes it.

#include <string>
#include <string_view>

#include "core/platform/guid.h"

// Written once at start-up, before any other thread exists; read-only afterwards.
extern std::u16string g_workspaceDir;
extern std::u16string g_exePath;  // the file the issue is read from: the Player's own,
                                  // or the one its command line names

// A file of the workspace by its name in the issue (`\` separators).
std::u16string WorkspacePath(std::u16string_view name);

// "{XXXXXXXX-XXXX-xxxx-XXXX-XXXXXXXXXXXX}": the third group in lower case.
std::u16string FormatGuid(const platform::Guid& guid);

using GuidGenerator = bool (*)(platform::Guid&);

// What the Player shows when no GUID can be made.
inline constexpr char16_t kNoGuidText[] = u"Unable to create new GUID.";
inline constexpr char16_t kNoGuidCaption[] = u"GUIDGen";

// 1 when a non-zero GUID was made; else 0 (the caller shows kNoGuidText).
int CreateWorkspaceGuid(platform::Guid& guid, GuidGenerator generate = platform::CreateGuid);

// Deletes everything below the folder, then the folder. Symbolic links are
// removed themselves, never followed. Errors are ignored.
void DeleteFolderTree(std::u16string_view path);

// Sets g_workspaceDir and g_exePath, marks the workspace live and creates the
// folder (mode 0700). False when no GUID could be made: then nothing is created.
bool CreateWorkspace(GuidGenerator generate = platform::CreateGuid);

// Deletes the workspace if it still exists, then its live mark.
void DeleteWorkspace();

// Removes what Players that are no longer running left in `tempFolder`: folders
// named as workspaces are, owned by this user, that carry a live mark nobody
// holds (and such marks without their folder). A folder without a mark (a
// Player older than the mark, or not a Player's), a symbolic link, another
// user's folder and a running Player's workspace are left alone. Returns how
// many workspaces were removed.
int RemoveDeadWorkspaces(std::u16string_view tempFolder);
