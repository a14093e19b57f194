// The taskbar buttons and the desktop media controls.
#include "window/unitMain.h"

void TunitMain::CreateTaskbar() {}

void TunitMain::initTaskbar() {}

void TunitMain::ThumbButtonClicked(int) {}
