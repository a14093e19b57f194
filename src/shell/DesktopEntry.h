// Texts of the desktop files the player writes: its desktop entry (the Linux form of the file
// associations), the autostart entry and the MIME package for extensions without a standard type.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace shell {

// The desktop file id the associations name.
constexpr const char* kDesktopEntryName = "melvo.desktop";
// The autostart entry; its name keeps the program's old autostart value name.
constexpr const char* kAutoStartEntryName = "korvax.desktop";
// The MIME package under <data>/mime/packages.
constexpr const char* kMimePackageName = "melvo.xml";
// The verb the file manager shows for the player.
constexpr const char* kOpenVerb = "用Melvo 播放";

// MIME types for one extension (any letter case, no dot): the standard types where there is one
// (a few extensions have two that file managers report), else "audio/x-" + the extension in
// lower case. Empty for a text that cannot be an extension (empty, too long, not letters and
// digits).
std::vector<std::string> MimeTypesForExtension(const std::string& extension);
// True when the type is one this player defines itself (no standard type exists).
bool IsOwnMimeType(const std::string& extension);

// The MIME types of all extensions in list order, each once.
std::vector<std::string> MimeTypesForExtensions(const std::vector<std::string>& extensions);

// One argument of an Exec line: quoted when it holds a reserved character, with the four
// characters that need it escaped inside the quotes, and "%" doubled. Not yet escaped for the
// key file (see EscapeDesktopString). Empty result for text that has no place in a desktop file
// (not UTF-8, control characters other than tab, newline and carriage return).
std::optional<std::string> QuoteExecArgument(const std::string& argument);
// The key-file escapes of a string value: backslash, newline, tab, carriage return, and a
// leading space.
std::string EscapeDesktopString(const std::string& value);

// The whole desktop entry naming `program` (absolute path of the program file, or a command name
// found on PATH) with "%f" as its file argument, for the given extensions. Empty when the program
// path cannot be written into a desktop file.
std::optional<std::string> PlayerDesktopEntry(const std::vector<std::string>& extensions,
                                              const std::string& program);
// The autostart entry that starts `program` without arguments.
std::optional<std::string> AutoStartEntry(const std::string& program);
// The shared-mime-info package for the extensions that have no standard type; empty when none
// of them needs one.
std::string MimePackage(const std::vector<std::string>& extensions);

}  // namespace shell
