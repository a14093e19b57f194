// Adding songs: the add dialog, the command-line and hand-off import.
#include "window/unitMain.h"

void TunitMain::btnAddClick(TvxObject*) {}

void TunitMain::CreateImportList() {}

void TunitMain::ImportCommandLine(const QString&) {}

void TunitMain::HandOffReceived(const QString&) {}
