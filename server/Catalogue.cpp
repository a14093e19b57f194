#include "Catalogue.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace services {
namespace {

namespace fs = std::filesystem;

// The two halves of the catalogue name the same places; they share artists and albums.
constexpr const char* kLatinTitles[] = {
    "Song of the Harbour",   "Morning Song",          "Paper Boat Song",
    "Song for a Rainy Day",  "Lantern Song",          "Song of Small Hours",
    "Orchard Song",          "Song of the Long Road", "Tea House Song",
    "Night Train Song",      "Song of the Kite",      "Winter Window Song",
    "Song of Blue Tiles",    "Bicycle Song",          "Song of the Quiet River",
    "Firefly Song",          "Song Without Words",    "Balcony Song",
    "Song of the Salt Wind", "Last Ferry Song",       "Song of Copper Bells",
    "Sunday Market Song"};
constexpr const char* kChineseTitles[] = {
    "海港之歌", "清晨之歌",     "纸船之歌", "雨天之歌", "灯笼之歌", "夜半之歌",
    "果园之歌", "长路之歌",     "茶馆之歌", "夜车之歌", "风筝之歌", "冬窗之歌",
    "青瓦之歌", "单车之歌",     "静河之歌", "萤火之歌", "无词之歌", "阳台之歌",
    "海风之歌", "末班渡轮之歌", "铜铃之歌", "集市之歌"};
constexpr const char* kArtists[] = {"Clara Wen", "林晓风", "The Lantern Trio",   "青石乐队",
                                    "Milo Hart", "苏念",   "Northbound Strings", "白鹭合唱团"};
constexpr const char* kAlbums[] = {"Harbour Lights", "四季小调",    "Paper Boats",
                                   "夜行",           "Small Hours", "纸船"};

std::vector<CataloguePiece> MakePieces() {
  std::vector<CataloguePiece> pieces;
  constexpr size_t kCount = std::size(kLatinTitles);
  static_assert(kCount == std::size(kChineseTitles));
  for (size_t i = 0; i < 2 * kCount; ++i) {
    CataloguePiece p;
    const bool latin = i % 2 == 0;
    p.title = latin ? kLatinTitles[i / 2] : kChineseTitles[i / 2];
    p.artist = kArtists[(i * 3 + i / 2) % std::size(kArtists)];
    p.album = kAlbums[(i / 4) % std::size(kAlbums)];
    p.seconds = 6 + static_cast<int>((i * 7) % 9);  // 6 to 14 s
    p.seed = 1000 + static_cast<unsigned>(i) * 7919;
    char name[32];
    std::snprintf(name, sizeof name, "piece%02zu.mp3", i + 1);
    p.file = name;
    pieces.push_back(std::move(p));
  }
  return pieces;
}

}  // namespace

const std::vector<CataloguePiece>& CataloguePieces() {
  static const std::vector<CataloguePiece> pieces = MakePieces();
  return pieces;
}

std::string DefaultCatalogueFolder() {
  constexpr const char* kLeaf = "/melvo-services/catalogue-1";
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
    return std::string(xdg) + kLeaf;
  if (const char* home = std::getenv("HOME"); home && *home == '/')
    return std::string(home) + "/.cache" + kLeaf;
  return (fs::temp_directory_path() / ("melvo-services-" + std::to_string(getuid()))).string() +
         kLeaf;
}

bool MakeCatalogue(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) return false;
  bool all = true;
  for (const auto& piece : CataloguePieces()) {
    const fs::path path = fs::path(folder) / piece.file;
    if (fs::is_regular_file(path, ec)) continue;
    const fs::path part = fs::path(folder) / (piece.file + ".part" + std::to_string(getpid()));
    if (WritePiece(part.string(), piece)) {
      fs::rename(part, path, ec);
      all = all && !ec;
    } else {
      all = false;
    }
    fs::remove(part, ec);
  }
  return all;
}

}  // namespace services
