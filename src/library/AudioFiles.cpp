#include "library/AudioFiles.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool IsAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool Readable(const fs::path& path) {
  return access(path.c_str(), R_OK) == 0;
}

// A regular file (through links) with an audio extension that can be read: its canonical path,
// else empty.
std::string CanonicalAudioFile(const fs::path& path, const std::vector<std::string>& extensions) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::status(path, ec)) || ec) return {};
  if (!HasAudioExtension(path.native(), extensions) || !Readable(path)) return {};
  const fs::path canonical = fs::canonical(path, ec);
  return ec ? std::string() : canonical.native();
}

struct TFound {
  std::string Path;
  bool ThroughLink = false;
};

// Every audio file below one folder, each once. Folders reached without a link are searched
// before any reached through one, so that a file has the path without links where it has one;
// those through links go by path, so that the same tree always gives the same paths. A folder
// already searched (in `searched`, by canonical path) is not searched again.
std::map<std::string, TFound> SearchFolder(const fs::path& root,
                                           const std::vector<std::string>& extensions,
                                           std::set<std::string>& searched) {
  std::map<std::string, TFound> found;  // by canonical path
  std::vector<fs::path> direct{root};
  std::set<fs::path> linked;
  while (!direct.empty() || !linked.empty()) {
    const bool throughLink = direct.empty();
    fs::path folder;
    if (throughLink) {
      folder = *linked.begin();
      linked.erase(linked.begin());
    } else {
      folder = std::move(direct.back());
      direct.pop_back();
    }
    std::error_code ec;
    const fs::path canonical = fs::canonical(folder, ec);
    if (ec || !searched.insert(canonical.native()).second) continue;

    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      const fs::path& path = it->path();
      const std::string name = path.filename().native();
      if (name.empty() || name[0] == '.') continue;
      std::error_code entryEc;
      const bool link = it->is_symlink(entryEc);
      if (entryEc) continue;
      const fs::file_status status = fs::status(path, entryEc);
      if (entryEc) continue;  // a broken link, or gone
      if (fs::is_directory(status)) {
        if (link || throughLink)
          linked.insert(path);
        else
          direct.push_back(path);
        continue;
      }
      const std::string file = CanonicalAudioFile(path, extensions);
      if (file.empty()) continue;
      TFound candidate{path.native(), link || throughLink};
      auto [at, added] = found.try_emplace(file, candidate);
      if (added) continue;
      TFound& kept = at->second;
      if (std::pair(candidate.ThroughLink, candidate.Path) < std::pair(kept.ThroughLink, kept.Path))
        kept = std::move(candidate);
    }
  }
  return found;
}

}  // namespace

std::vector<std::string> AudioExtensionsOf(const std::string& filter) {
  std::vector<std::string> extensions;
  for (std::size_t at = filter.find("*."); at != std::string::npos; at = filter.find("*.", at)) {
    at += 2;
    std::string ext;
    while (at < filter.size() && IsAlnum(filter[at])) ext += Lower(filter[at++]);
    if (!ext.empty() && std::find(extensions.begin(), extensions.end(), ext) == extensions.end())
      extensions.push_back(std::move(ext));
  }
  return extensions;
}

bool HasAudioExtension(const std::string& path, const std::vector<std::string>& extensions) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), Lower);
  return std::find(extensions.begin(), extensions.end(), ext) != extensions.end();
}

std::vector<std::string> FindAudioFiles(const std::vector<std::string>& paths,
                                        const std::vector<std::string>& extensions) {
  std::vector<std::string> files;
  std::set<std::string> listed;    // canonical paths of the files in `files`
  std::set<std::string> searched;  // canonical paths of the folders searched
  for (const std::string& given : paths) {
    if (given.empty()) continue;
    std::error_code ec;
    const fs::path path = fs::absolute(given, ec);
    if (ec) continue;
    if (fs::is_directory(fs::status(path, ec)) && !ec) {
      std::vector<std::string> group;
      for (auto& [canonical, found] : SearchFolder(path, extensions, searched))
        if (listed.insert(canonical).second) group.push_back(std::move(found.Path));
      std::sort(group.begin(), group.end());
      files.insert(files.end(), group.begin(), group.end());
    } else {
      const std::string canonical = CanonicalAudioFile(path, extensions);
      if (!canonical.empty() && listed.insert(canonical).second) files.push_back(path.native());
    }
  }
  return files;
}

std::vector<std::string> CommandLineImportPaths(const std::string& text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t begin = 0, end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  if (begin == end) return {};
  std::string path = text.substr(begin, end - begin);
  // Stored as given, a relative path would name another file, or none, once the player is
  // started from another folder.
  std::error_code ec;
  if (path[0] != '/') {
    const fs::path absolute = fs::absolute(path, ec);
    if (!ec) path = absolute.native();
  }
  return {path};
}
