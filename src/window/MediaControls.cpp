// The taskbar buttons and the desktop media controls. Both reach the player through the same
// handlers as the on-screen buttons.
#include <QDBusConnection>
#include <QFileInfo>

#include "base/UserFolders.h"
#include "shell/Mpris.h"
#include "shell/Taskbar.h"
#include "shell/WinVerUtils.h"
#include "window/Pictures.h"
#include "window/unitMain.h"

namespace {

struct TTaskbarSeam {
  std::function<std::string()> versionName;
  std::function<std::unique_ptr<shell::ITaskbarList>()> factory;
};

TTaskbarSeam& TaskbarSeam() {
  static TTaskbarSeam seam;
  return seam;
}

std::optional<bool>& MediaBusOverride() {
  static std::optional<bool> on;
  return on;
}

std::string VersionName() {
  if (TaskbarSeam().versionName) return TaskbarSeam().versionName();
  std::string name;
  GetWindowsVersionName(name);
  return name;
}

// The system's taskbar object exists on Windows only; here only tests provide one.
std::unique_ptr<shell::ITaskbarList> MakeTaskbarList() {
  return TaskbarSeam().factory ? TaskbarSeam().factory() : nullptr;
}

// A bus that is there. Without one, nothing is tried: the bus library would otherwise start a
// bus daemon of its own for an X11 display.
bool MediaBusWanted() {
  if (MediaBusOverride()) return *MediaBusOverride();
  if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) return true;
  const std::string runtime = base::SessionRuntimeDir();
  return !runtime.empty() && QFileInfo::exists(QString::fromStdString(runtime + "/bus"));
}

// The icons of the thumbnail buttons, named by their pictures (there are no icon handles here).
shell::TThumbIcons ThumbIcons() {
  auto handle = [](TPicture p) { return shell::THandle(int(p) + 1); };
  return {handle(TPicture::ThumbPlay), handle(TPicture::ThumbPause), handle(TPicture::ThumbNext),
          handle(TPicture::ThumbRandom)};
}

// The mode button's handler, which sets the mode and its on-screen state.
void RunModeButton(TunitMain& w, int mode) {
  if (mode == shell::kModeListLoop)
    w.Guarded("btnOrderClick", [&w] { w.btnOrderClick(nullptr); });
  else if (mode == shell::kModeRandom)
    w.Guarded("btnRandomClick", [&w] { w.btnRandomClick(nullptr); });
  else if (mode == shell::kModeSingle)
    w.Guarded("btnSingleClick", [&w] { w.btnSingleClick(nullptr); });
}

// The session bus the desktop gave us. By address when there is one: the bus library reads the
// variable only once per process.
QDBusConnection ConnectToSessionBus(const QString& name) {
  const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  if (!address.isEmpty()) return QDBusConnection::connectToBus(address, name);
  return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

}  // namespace

bool TunitMain::IsWindows7() {
  return VersionName() == "Windows 7";
}

void TunitMain::SetTaskbarForTesting(
    std::function<std::string()> versionName,
    std::function<std::unique_ptr<shell::ITaskbarList>()> factory) {
  TaskbarSeam() = {std::move(versionName), std::move(factory)};
}

void TunitMain::SetMediaBusForTesting(std::optional<bool> on) {
  MediaBusOverride() = on;
}

void TunitMain::CreateTaskbar() {
  // The window's identity for the taskbar calls. (Its native handle would make the platform
  // window now, before the form has set how it is to be made.)
  FTaskBarList = std::make_shared<shell::TTaskbarButtons>(
      shell::THandle(quintptr(this)), ThumbIcons(), MakeTaskbarList, VersionName);

  shell::TMediaControlsHandler h;
  h.OnPlayPause = [this] { ThumbButtonClicked(1); };
  h.OnNext = [this] { ThumbButtonClicked(2); };
  h.OnStop = [this] {
    Guarded("MediaStop", [this] {
      if (FEngine) FEngine->Stop();
    });
  };
  h.OnRaise = [this] { Guarded("BringToFront", [this] { BringToFront(); }); };
  h.OnQuit = [this] { Guarded("N4Click", [this] { N4Click(nullptr); }); };
  h.OnSetMode = [this](int mode) {
    Guarded("MediaSetMode", [this, mode] {
      if (!CurConfig) return;
      CurConfig->circle = mode;
      RunModeButton(*this, mode);
    });
  };
  // As a drag of the volume slider (upside down: 0 at the top is full volume).
  h.OnSetVolume = [this](double volume) {
    Guarded("MediaSetVolume",
            [this, volume] { soundTrackBar->SetValue(float(100 - volume * 100)); });
  };
  h.OnSeek = [this](double positionMs) {
    Guarded("MediaSeek", [this, positionMs] {
      if (FEngine) FEngine->SetSongPos(float(positionMs));
    });
  };

  if (!MediaBusWanted()) return;
  // A connection of this window's own, so that it ends with the window.
  const QString connection = QStringLiteral("melvo-media-%1").arg(quintptr(this), 0, 16);
  FMediaControls = std::shared_ptr<shell::TMprisControls>(
      new shell::TMprisControls(), [connection](shell::TMprisControls* controls) {
        delete controls;
        QDBusConnection::disconnectFromBus(connection);
      });
  FMediaControls->SetHandler(h);
  FMediaControls->Start(ConnectToSessionBus(connection));
}

void TunitMain::initTaskbar() {
  if (!FTaskBarList) return;
  if (IFLAG) FTaskBarList->ResetButtons();
  FTaskBarList->SetPlayStatus(PSTATUS);
  FTaskBarList->initTaskbar();
  IFLAG = FTaskBarList->AddPending();
}

void TunitMain::ThumbButtonClicked(int id) {
  switch (id) {
    case 0:
      Guarded("ThumbModeClick", [this] {
        if (!CurConfig) return;
        CurConfig->circle = shell::NextThumbnailMode(CurConfig->circle);
        RunModeButton(*this, CurConfig->circle);
      });
      break;
    case 1:
      Guarded("btnPlayClick", [this] { btnPlayClick(nullptr); });
      break;
    case 2:
      Guarded("btnNextClick", [this] { btnNextClick(nullptr); });
      break;
    default:
      break;
  }
}

void TunitMain::MediaStateChanged(int32_t state) {
  if (IsWindows7()) initTaskbar();
  if (FMediaControls) FMediaControls->SetEngineState(state);
}

void TunitMain::MediaProgress(float curPos, float maxPos) {
  if (FTaskBarList) FTaskBarList->SetProgress(curPos, maxPos);
  if (FMediaControls) FMediaControls->SetProgress(curPos, maxPos);
}

void TunitMain::MediaSongChanged(int id, const QString& title, const QString& singer,
                                 const QString& album, const QString& location, double lengthMs) {
  if (FMediaControls) FMediaControls->SetMetadata({id, title, singer, album, location, lengthMs});
}

void TunitMain::MediaModeChanged(int mode) {
  if (FTaskBarList) FTaskBarList->SetMode(mode);
  if (FMediaControls) FMediaControls->SetMode(mode);
}

void TunitMain::MediaVolumeChanged(double volume) {
  if (FMediaControls) FMediaControls->SetVolume(volume);
}

void TunitMain::MediaSeeked(double positionMs) {
  if (FMediaControls) FMediaControls->Seeked(positionMs);
}
