// melvo-desktop-files entry PROGRAM [FILE]: the desktop entry that starts PROGRAM, for the
//   application menu of an installation.
// melvo-desktop-files mime-package [FILE]: the MIME package for the extensions without a
//   standard type.
// Both come from the code and the extension list the player itself uses at every start.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "shell/DesktopEntry.h"

namespace {

int Write(const std::string& text, const char* file) {
  FILE* out = file != nullptr ? std::fopen(file, "wb") : stdout;
  if (out == nullptr) {
    std::perror(file);
    return 1;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (file != nullptr) ok = std::fclose(out) == 0 && ok;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> extensions(AssociatedExtensions.begin(),
                                            AssociatedExtensions.end());
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "entry" && (argc == 3 || argc == 4)) {
    std::optional<std::string> entry = shell::PlayerDesktopEntry(extensions, argv[2]);
    if (!entry) {
      std::fprintf(stderr, "melvo-desktop-files: a desktop entry cannot name %s\n", argv[2]);
      return 1;
    }
    return Write(*entry, argc == 4 ? argv[3] : nullptr);
  }
  if (command == "mime-package" && (argc == 2 || argc == 3))
    return Write(shell::MimePackage(extensions), argc == 3 ? argv[2] : nullptr);
  std::fputs(
      "usage: melvo-desktop-files entry PROGRAM [FILE]   the desktop entry that starts PROGRAM\n"
      "       melvo-desktop-files mime-package [FILE]    the MIME package of the player's own "
      "types\n",
      stderr);
  return 2;
}
