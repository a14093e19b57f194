// Registration with the desktop: the player's desktop entry and file types, and autostart.
// Nothing here reports failures to the user; a folder that cannot be written changes nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace shell {

// Writes or refreshes the desktop entry naming `programFile` with the MIME types of
// `extensions` (in list order), a MIME package for the extensions without a standard type (and
// rebuilds the per-user MIME database when it changed), and makes the entry the default for
// those types in the per-user mimeapps.list, keeping everything else in it. An extension that
// cannot be registered is skipped. Called at every start.
void RegisterFileTypes(const std::vector<std::string>& extensions, const std::string& programFile);

// Full paths of the files written above.
std::string DesktopEntryPath();
std::string MimePackagePath();
std::string MimeAppsPath();
std::string AutoStartPath();

// The autostart check box's work: the state of the box before the click decides. Unticked (it
// is being ticked): write the autostart entry for `programFile`; ticked: remove it. True when
// the entry is as wanted afterwards.
bool ToggleAutoStart(bool wasChecked, const std::string& programFile);

// Small file helpers, also for tests.
// The whole file, or nothing when it is missing, not a regular file or unreadable.
std::optional<std::string> ReadWholeFile(const std::string& path);
// Replaces the file through a temporary file in its folder and a rename, so that a reader sees
// the old or the new content, never a part. A link is followed and its target replaced; the
// target keeps its permissions. Missing parent folders are created.
bool ReplaceFile(const std::string& path, const std::string& content);

}  // namespace shell
