// The per-user default-application list (mimeapps.list), edited line by line so that whatever
// else is in it survives.
#pragma once

#include <string>
#include <vector>

namespace shell {

// Returns `text` with `desktopId` first in the "Default Applications" and "Added Associations"
// of every type (other programs stay after it) and taken out of its "Removed Associations".
// Every other line — other types, other groups, comments, blank and malformed lines, line
// endings — is kept as it was. Missing groups and keys are added.
std::string MergeMimeApps(const std::string& text, const std::vector<std::string>& types,
                          const std::string& desktopId);

}  // namespace shell
