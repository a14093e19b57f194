// The built-in catalogue: a few dozen short pieces the services make themselves, so that a
// machine without music still finds something. Titles, artists and albums are Chinese and
// Latin; every Latin title holds the word "Song" and every Chinese one "之歌", so either query
// gives two pages of results.
#pragma once

#include <string>
#include <vector>

namespace services {

struct CataloguePiece {
  std::string file;  // file name in the catalogue folder
  std::string title, artist, album;
  int seconds = 0;    // length of the piece
  unsigned seed = 0;  // picks key, tempo and tune
};

const std::vector<CataloguePiece>& CataloguePieces();

// Where the catalogue is kept when nothing else is said: $XDG_CACHE_HOME/melvo-services/...
// (default ~/.cache), else a folder of this user's under the temporary folder.
std::string DefaultCatalogueFolder();

// Makes every piece that the folder lacks (MP3 with its tags; each written under a temporary
// name and renamed, so a half-made file never counts). Returns whether every piece is there.
bool MakeCatalogue(const std::string& folder);

// One piece as an MP3 file. False when no MP3 encoder is at hand or the file cannot be written.
bool WritePiece(const std::string& path, const CataloguePiece& piece);

}  // namespace services
