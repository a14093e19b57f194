// Registration with the desktop: file associations and start with the session.
#include "window/unitMain.h"

void TunitMain::AssociateFileTypes() {}

void TunitMain::checkAutoStartClick(TvxObject*) {}
