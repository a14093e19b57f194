// Registration with the desktop: the player's file types at every start, and starting with the
// session from the settings face.
#include "base/UserFolders.h"
#include "shell/DesktopFiles.h"
#include "window/unitMain.h"

void TunitMain::AssociateFileTypes() {
  const std::vector<std::string> extensions(AssociatedExtensions.begin(),
                                            AssociatedExtensions.end());
  shell::RegisterFileTypes(extensions, base::ProgramFile());
}

// The box is never set from the desktop at start: it starts unticked, and the handler, which
// runs before the click toggles it, acts on the state it had.
void TunitMain::checkAutoStartClick(TvxObject*) {
  ReportClick("checkAutoStart");
  shell::ToggleAutoStart(checkAutoStart->IsChecked(), base::ProgramFile());
}
