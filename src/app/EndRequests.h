// Requests to end the program from outside the window (SIGTERM, SIGINT, SIGHUP, the session's
// end, a quit of the event loop from elsewhere) close the main window the way the tray menu's
// "退出" does: the close report goes out within its cap and the configuration is written.
#pragma once

#include <QObject>

#include "shell/TerminationSignals.h"

class TunitMain;

class TEndRequests : public QObject {
 public:
  // Takes the signals at once, before the window exists: a signal that comes while the window is
  // being made waits until the event loop runs.
  TEndRequests();
  // The window to close; nullptr detaches it (before the window goes).
  void Attach(TunitMain* window);

 private:
  void CloseAsQuit();

  TunitMain* FWindow = nullptr;
  TTerminationSignals FSignals;
};
