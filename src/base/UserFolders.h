// The per-user folders of the desktop and the program's own file, resolved on every call (the
// environment may change, in tests for instance).
//
// A folder named by the environment counts only when it is an absolute path: a relative
// XDG_* value is ignored, as the base directory convention asks, and a relative or empty HOME
// gives way to the home folder of the account. Where no folder can be had the answer is empty,
// never a path relative to wherever the program happens to run.
#pragma once

#include <string>

namespace base {

// $HOME, else the account's home folder; empty when neither is an absolute path.
std::string HomeFolder();
// $XDG_DATA_HOME, else <home>/.local/share.
std::string DataHome();
// $XDG_CONFIG_HOME, else <home>/.config.
std::string ConfigHome();
// $XDG_CACHE_HOME, else <home>/.cache.
std::string CacheHome();
// $XDG_RUNTIME_DIR when it is an absolute path to a folder (the session's own, where its bus and
// sockets live); empty otherwise.
std::string SessionRuntimeDir();
// SessionRuntimeDir() when there is one; otherwise a private folder
// "<temp>/melvo-<uid>" (mode 0700, owned by this user), created when missing. Empty when neither
// can be had.
std::string RuntimeDir();

// The running program file with every link resolved; empty when it cannot be read.
std::string ProgramFile();
// The folder of the running program file; "." when the file cannot be read.
std::string ProgramDir();

}  // namespace base
