// The play list: its items, loading, the list's mouse handling, deleting, clearing, sorting and
// the local search box.
#include "window/unitMain.h"

void TunitMain::AddSongItem(TvxListBox*, int, const QString&, const QString&, const QString&) {}

void TunitMain::LoadSongList(TvxListBox*) {}

void TunitMain::GetSongInfo(TSL, int) {}

void TunitMain::musicListBoxMouseUp(TvxObject*, TvxMouseButton, unsigned, float, float) {}

void TunitMain::musicListBoxMouseMove(TvxObject*, unsigned, float, float, float, float) {}

void TunitMain::NAddClick(TvxObject*) {}

void TunitMain::NDeleteClick(TvxObject*) {}

void TunitMain::btnClearlistClick(TvxObject*) {}

void TunitMain::NTimeSortClick(TvxObject*) {}

void TunitMain::NSingerSortClick(TvxObject*) {}

void TunitMain::hudtextSearchKeyUp(TvxObject*, int&, QString&, unsigned) {}

void TunitMain::hudtextSearchMouseUp(TvxObject*, TvxMouseButton, unsigned, float, float) {}

void TunitMain::StringListBoxSearchMouseUp(TvxObject*, TvxMouseButton, unsigned, float, float) {}

void TunitMain::StringListBoxSearchMouseLeave(TvxObject*) {}
