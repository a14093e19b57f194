// Files and folders dropped on the player, and the path its command line names. The fuzzer's
// bytes build a small folder tree (odd bytes in names, nested and hidden folders, links to a
// parent, to the tree's top, to earlier entries, to nowhere and to themselves, pipes), pick what
// is dropped, and the real search lists the audio files. It must end, list no file twice (by
// path or by the file behind it), list only readable regular audio files below what was
// dropped, and list every audio file reachable without links from the first dropped folder under
// exactly that link-free path. Every listed path, split at its spaces as a desktop hands it over,
// joins back into the one path to import.
//
// Input: a run of steps. Each step is one byte: the low three bits the kind, the high five the
// length of the name that follows (0 to 31 bytes; "/" and NUL become "_"). Some kinds take one
// more byte after the name.
//   0 folder (entered)    1 back to the parent folder   2 file (+ extension byte)
//   3 link to ".."        4 link to the tree's top      5 link to an earlier entry (+ byte)
//   6 link to itself, to nowhere, or a pipe (+ byte)    7 drop the current folder or last entry
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "library/AudioFiles.h"
#include "shell/ShareMemory.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kExtensions = AudioExtensionsOf("Audio|*.mp3;*.flac;*.WAV|All|*.*");
const char* const kSuffixes[] = {".mp3", ".MP3", ".flac", ".wAv", ".txt", "", ".mp3.txt", ".mp3 "};

struct TReader {
  const uint8_t* Data;
  size_t Size;
  size_t At = 0;
  bool More() const { return At < Size; }
  uint8_t Byte() { return At < Size ? Data[At++] : 0; }
  std::string Name(size_t length) {
    std::string name;
    for (size_t i = 0; i < length && More(); ++i) {
      const char c = char(Byte());
      name += c == '/' || c == '\0' ? '_' : c;
    }
    if (name.empty() || name == "." || name == "..") name = "n" + name;
    return name;
  }
};

bool Hidden(const fs::path& relative) {
  for (const fs::path& part : relative)
    if (!part.empty() && part.native()[0] == '.') return true;
  return false;
}

// Every audio file below the folder reached without following a link, none hidden: its path.
std::vector<std::string> LinkFreeAudioFiles(const fs::path& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    if (it->path().filename().native()[0] == '.') {
      if (it->is_directory(ec) && !it->is_symlink(ec)) it.disable_recursion_pending();
      continue;
    }
    std::error_code e2;
    if (it->is_symlink(e2) || !it->is_regular_file(e2)) continue;
    if (HasAudioExtension(it->path().native(), kExtensions)) files.push_back(it->path().native());
  }
  return files;
}

std::vector<std::string> SplitAtSpaces(const std::string& path) {
  std::vector<std::string> args(1);
  for (char c : path) {
    if (c == ' ')
      args.emplace_back();
    else
      args.back() += c;
  }
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path top = fs::path(fuzz::ScratchFolder()) / "tree";
  std::error_code ec;
  fs::remove_all(top, ec);
  FUZZ_CHECK(!ec);
  fs::create_directory(top, ec);
  FUZZ_CHECK(!ec);
  static const std::string topCanonical = fs::canonical(top).native() + "/";

  // The tree.
  TReader in{data, size};
  std::vector<fs::path> folders{top};
  std::vector<fs::path> entries;
  std::vector<std::string> dropped;
  for (int steps = 0; in.More() && steps < 96; ++steps) {
    const uint8_t step = in.Byte();
    const fs::path here = folders.back();
    const auto named = [&] { return here / in.Name(step >> 3); };
    switch (step & 7) {
      case 0: {
        const fs::path folder = named();
        if (fs::create_directory(folder, ec)) {
          folders.push_back(folder);
          entries.push_back(folder);
        }
        break;
      }
      case 1:
        if (folders.size() > 1) folders.pop_back();
        break;
      case 2: {
        const fs::path file = named().native() + kSuffixes[in.Byte() % 8];
        if (!fs::exists(fs::symlink_status(file, ec))) {
          fuzz::WriteFile(file, data, std::min<size_t>(size, 16));
          entries.push_back(file);
        }
        break;
      }
      case 3:
      case 4: {
        const fs::path link = named();
        fs::create_directory_symlink((step & 7) == 3 ? fs::path("..") : top, link, ec);
        if (!ec) entries.push_back(link);
        break;
      }
      case 5: {
        const fs::path link = named();
        const uint8_t which = in.Byte();
        if (entries.empty()) break;
        const fs::path& target = entries[which % entries.size()];
        // Relative to the link's folder, or absolute.
        const fs::path to = which & 0x80 ? target.lexically_relative(here) : target;
        fs::create_symlink(to, link, ec);
        if (!ec) entries.push_back(link);
        break;
      }
      case 6: {
        const fs::path link = named().native() + ".mp3";
        const uint8_t how = in.Byte() % 3;
        if (how == 0) fs::create_symlink(link.filename(), link, ec);
        if (how == 1) fs::create_symlink(top / "nowhere", link, ec);
        if (how == 2 && mkfifo(link.c_str(), 0600) != 0) break;
        if (!ec) entries.push_back(link);
        break;
      }
      case 7:
        dropped.push_back(step & 8 || entries.empty() ? here.native() : entries.back().native());
        break;
    }
  }
  if (dropped.empty()) dropped.push_back(top.native());

  const std::vector<std::string> files = FindAudioFiles(dropped, kExtensions);

  std::set<std::string> paths, canonicals;
  for (const std::string& file : files) {
    FUZZ_CHECK(paths.insert(file).second);
    const fs::path canonical = fs::canonical(file, ec);
    FUZZ_CHECK(!ec);
    FUZZ_CHECK(canonicals.insert(canonical.native()).second);
    FUZZ_CHECK(fs::is_regular_file(fs::status(file, ec)));
    FUZZ_CHECK(HasAudioExtension(file, kExtensions));
    const bool below = std::any_of(dropped.begin(), dropped.end(), [&](const std::string& d) {
      return file == d ||
             (file.size() > d.size() && file.compare(0, d.size(), d) == 0 && file[d.size()] == '/');
    });
    FUZZ_CHECK(below);
    // Nothing outside the tree is reached: its links all point into it.
    FUZZ_CHECK(canonical.native().compare(0, topCanonical.size(), topCanonical) == 0);

    // Split at its spaces and joined again, the path is the one to import.
    const std::vector<std::string> imported =
        CommandLineImportPaths(JoinCommandLine(SplitAtSpaces(file)));
    FUZZ_CHECK(imported.size() == 1);
    if (static_cast<unsigned char>(file.back()) > ' ') {
      FUZZ_CHECK(imported[0] == file);
    } else {
      const size_t kept = file.find_last_not_of(" ") + 1;
      FUZZ_CHECK(imported[0] == file.substr(0, kept));
    }
  }

  // The first dropped folder: every link-free audio file of it, under its link-free path.
  if (fs::is_directory(fs::status(dropped[0], ec)) && !ec) {
    for (const std::string& file : LinkFreeAudioFiles(dropped[0])) {
      const fs::path relative = fs::path(file).lexically_relative(dropped[0]);
      if (Hidden(relative)) continue;
      FUZZ_CHECK(paths.count(file) == 1);
    }
  }
  return 0;
}
