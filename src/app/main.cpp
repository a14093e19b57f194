// Program entry: the start-up order matters (see each step).
#include <QApplication>
#include <QStringList>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/EndRequests.h"
#include "library/dataCtr.h"
#include "shell/HandOff.h"
#include "shell/ShareMemory.h"
#include "window/unitMain.h"

namespace {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

// The area is mapped before anything else and unmapped however the process ends.
struct TShareMemoryScope {
  TShareMemoryScope() { OpenShareMemory(); }
  ~TShareMemoryScope() { CloseShareMemory(); }
};

// A database that cannot be prepared ends the start-up silently, as a missing folder does.
bool PrepareDatabase() {
  try {
    return InitDatabase();
  } catch (const EDatabaseError&) {
    return false;
  }
}

// The window's updates while playing are small (the turning disc, the progress), and an X
// shared-memory upload answers each one with a completion event that wakes two threads: about
// 110 wake-ups a second more and a quarter more processor time than sending the pixels on the
// socket. Read by Qt's X connection, so it is set before the application exists.
void KeepWindowUpdatesOffSharedMemory() {
  if (qEnvironmentVariableIsEmpty("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
}

}  // namespace

int main(int argc, char** argv) {
  TShareMemoryScope shareMemory;
  // Taken before Qt sees argv: Qt removes the options it knows (-platform …) from it.
  const std::vector<std::string> args = CommandLineArguments(argc, argv);

  KeepWindowUpdatesOffSharedMemory();
  QApplication app(argc, argv);
  if (!PrepareDatabase()) return 0;
  if (!CheckSingleInstance(args)) return 0;
  QApplication::setApplicationName(QStringLiteral("Melvo5"));
  QApplication::setApplicationDisplayName(QStringLiteral("Melvo5"));

  int result = 0;
  {
    TEndRequests endRequests;
    QStringList params;
    for (const std::string& arg : args) params << QString::fromStdString(arg);
    TunitMain mainWindow(params);
    endRequests.Attach(&mainWindow);
    THandOffReceiver handOff;
    handOff.SetHandler([&mainWindow](const QString& text) { mainWindow.HandOffReceived(text); });
    handOff.Listen();
    mainWindow.show();
    result = app.exec();
    endRequests.Attach(nullptr);
  }
  ReleaseSingleInstance();
  return result;
}
