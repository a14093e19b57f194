// User feedback through the suggestion popup.
#include "window/unitMain.h"

void TunitMain::btnSuggestClick(TvxObject*) {}
