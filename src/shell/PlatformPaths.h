// Per-user folders of the desktop, resolved on every call (the environment may change in tests).
#pragma once

#include <string>

namespace shell {

// $XDG_RUNTIME_DIR when it is an absolute path to a folder; otherwise a private folder
// "<temp>/melvo-<uid>" (mode 0700, owned by this user), created when missing. Empty when neither
// can be had.
std::string RuntimeDir();
// $XDG_CONFIG_HOME, default ~/.config.
std::string ConfigHome();
// $XDG_DATA_HOME, default ~/.local/share.
std::string DataHome();
// The folder of the running program file.
std::string ProgramDir();

}  // namespace shell
