// The online search view: search, pages and playing a result.
#include "window/unitMain.h"

void TunitMain::btnOLClick(TvxObject*) {}

void TunitMain::btnOLnextClick(TvxObject*) {}

void TunitMain::btnOLperClick(TvxObject*) {}

void TunitMain::textSearchKeyUp(TvxObject*, int&, QString&, unsigned) {}

void TunitMain::textSearchMouseUp(TvxObject*, TvxMouseButton, unsigned, float, float) {}

void TunitMain::SearchOnline(const QString&) {}

void TunitMain::AddOnlineResultItem(const QString&, const QString&, const QString&, const QString&,
                                    const QString&, const QString&) {}

void TunitMain::OLListBoxMouseMove(TvxObject*, unsigned, float, float, float, float) {}

void TunitMain::OLListBoxMouseUp(TvxObject*, TvxMouseButton, unsigned, float, float) {}
