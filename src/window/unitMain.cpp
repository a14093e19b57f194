#include "window/unitMain.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

#include "base/UserFolders.h"
#include "online/Workers.h"
#include "online/common.h"
#include "shell/ShareMemory.h"

namespace {

TunitMain::TReportSink& ReportSink() {
  static TunitMain::TReportSink sink;
  return sink;
}

std::function<void(int)>& CreateProbe() {
  static std::function<void(int)> probe;
  return probe;
}

std::function<void(const char*)>& HandlerProbe() {
  static std::function<void(const char*)> probe;
  return probe;
}

std::vector<std::string> ToStd(const QStringList& list) {
  std::vector<std::string> out;
  for (const QString& s : list) out.push_back(s.toStdString());
  return out;
}

}  // namespace

TunitMain::TunitMain(const QStringList& params, QWidget* parent)
    : TForm(), TdxSceneHost(mainBs, parent), FParams(params) {
  setWindowTitle(QStringLiteral("Melvo5"));
  setFixedSize(550, 330);
  setWindowIcon(TrayIcon1->icon());
  // The desktop finds our entry, icon and name through this id (Wayland app id, X11 class).
  QGuiApplication::setDesktopFileName(QStringLiteral("melvo"));
  // Hiding to the tray or closing a menu must not end the program; only FormClose does.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  BindHandlers();
  CreateTray();
  Guarded("FormCreate", [this] { FormCreate(this->mainBs); });
  Timer1->start();
}

TunitMain::~TunitMain() {
  gAudioEngine = gAudioEngine == FEngine.get() ? nullptr : gAudioEngine;
}

void TunitMain::SetReportSink(TReportSink sink) {
  ReportSink() = std::move(sink);
}

void TunitMain::SetCreateProbe(std::function<void(int)> probe) {
  CreateProbe() = std::move(probe);
}

void TunitMain::SetHandlerProbe(std::function<void(const char*)> probe) {
  HandlerProbe() = std::move(probe);
}

void TunitMain::ReportClick(const char* btnName) {
  ReportUsage("click", btnName);
}

void TunitMain::ReportUsage(const char* oper, const char* btnName) {
  if (ReportSink()) {
    ReportSink()(oper, btnName);
    return;
  }
  online::TSendTjMsg(oper, btnName);
}

namespace {
TunitMain::TListeningSink& ListeningSink() {
  static TunitMain::TListeningSink sink;
  return sink;
}
}  // namespace

void TunitMain::SetListeningSinkForTesting(TListeningSink sink) {
  ListeningSink() = std::move(sink);
}

void TunitMain::ReportListening(const QString& song, const QString& singer, const char* status) {
  if (ListeningSink()) {
    ListeningSink()(song.toStdString(), singer.toStdString(), status);
    return;
  }
  if (ReportSink()) return;  // reports are caught before the network
  online::TSendLSStatus(song.toStdString(), singer.toStdString(), status);
}

void TunitMain::ReportClose() {
  if (ReportSink())
    ReportSink()("close", "");
  else
    online::PostCloseStatistic();
}

void TunitMain::StartRegistration() {
  if (ReportSink())
    ReportSink()("register", "");
  else
    online::TSendTJMessage();
}

void TunitMain::Guarded(const char* handler, const std::function<void()>& fn) {
  try {
    if (HandlerProbe()) HandlerProbe()(handler);
    fn();
  } catch (...) {
    if (FOnException) {
      FOnException(std::current_exception());
    } else {
      ++FIgnoredExceptions;  // before the handler is installed: dropped all the same
    }
  }
}

void TunitMain::Post(std::function<void()> fn) {
  QTimer::singleShot(0, this, [this, call = std::move(fn)] { Guarded("Post", call); });
}

void TunitMain::BindHandlers() {
  BindFormHandlers(*this);
  auto menu = [this](QAction* action, const char* name, void (TunitMain::*handler)(TvxObject*)) {
    QObject::connect(action, &QAction::triggered, this,
                     [this, name, handler] { Guarded(name, [&] { (this->*handler)(nullptr); }); });
  };
  menu(N4, "N4Click", &TunitMain::N4Click);
  menu(N1, "btnOrderClick", &TunitMain::btnOrderClick);
  menu(N2, "btnRandomClick", &TunitMain::btnRandomClick);
  menu(N3, "btnSingleClick", &TunitMain::btnSingleClick);
  menu(NAdd, "NAddClick", &TunitMain::NAddClick);
  menu(NDelete, "NDeleteClick", &TunitMain::NDeleteClick);
  menu(NTimeSort, "NTimeSortClick", &TunitMain::NTimeSortClick);
  menu(NSingerSort, "NSingerSortClick", &TunitMain::NSingerSortClick);
  QObject::connect(Timer1.get(), &QTimer::timeout, this,
                   [this] { Guarded("Timer1Timer", [this] { Timer1Timer(nullptr); }); });
}

void TunitMain::CreationStep(int step) {
  if (CreateProbe()) CreateProbe()(step);
}

// The creation sequence. An exception ends it at the step that raised it (the caller's guard
// drops it); the window opens with what was done so far.
void TunitMain::FormCreate(TvxObject*) {
  CreationStep(1);
  PlayAgainPending = false;
  CreationStep(2);
  FOnException = [this](std::exception_ptr e) { IgnoreException(e); };
  CreationStep(3);
  _ptam = nullptr;
  CreationStep(4);
  StartRegistration();
  CreationStep(5);
  CreateImportList();
  CreationStep(6);
  CreateTaskbar();
  CreationStep(7);
  ReportUsage("open", "");
  CreationStep(8);
  AssociateFileTypes();
  CreationStep(9);
  ApplyConfig();
  CreationStep(10);
  FPlaced = false;  // centred on the screen when first shown
  CreationStep(11);
  LoadSongList(musicListBox);
  CheckStartIndex();
  CreationStep(12);
  // The engine serialises its openings itself; there is no lock to make here.
  CreationStep(13);
  CreateAudioEngine();
  CreationStep(14);
  // Minimise and restore reach AppMinimize and AppRestore through changeEvent.
  CreationStep(15);
  ConnectAudioEngine();
  CreationStep(16);
  SetStartVolume();
  CreationStep(17);
  SetDialogFilters();
  CreationStep(18);
  const QString text = QString::fromStdString(JoinCommandLine(ToStd(FParams)));
  if (!text.isEmpty()) ImportCommandLine(text);
}

void TunitMain::CreateAudioEngine() {
  FEngine = std::make_unique<TAudioEngine>(0, base::ProgramDir() + "/");
  if (gAudioEngine == nullptr) gAudioEngine = FEngine.get();
}

void TunitMain::ConnectAudioEngine() {
  FEngine->SetOnAudioEvent(
      [this](int32_t state) { Guarded("PlayerStateChanged", [&] { PlayerStateChanged(state); }); });
  FEngine->SetOnAudioFinish(
      [this](int32_t state) { Guarded("SongFinished", [&] { SongFinished(state); }); });
  FEngine->SetOnAudioProcess([this](int32_t state, float maxPos, float curPos, const TFFTData& fft,
                                    const TWaveData& wave) {
    Guarded("UpdatePlayProgress", [&] { UpdatePlayProgress(state, maxPos, curPos, fft, wave); });
  });
  FEngine->SetOnAudioFail([this](int32_t state, int32_t code) {
    Guarded("AudioFailed", [&] { AudioFailed(state, code); });
  });
}

void TunitMain::SetStartVolume() {
  const int percent = CurConfig ? CurConfig->con_volv : 100;
  FEngine->SetVolume(float(percent) / 100);
  soundTrackBar->SetValue(100 - FEngine->Volume() * 100);
}

void TunitMain::SetDialogFilters() {
  dlgOpen1.Filter = QString::fromStdString(FEngine->Exts());
  dlgOpen2.Filter = QStringLiteral("所有图片|*.bmp;*.png;*.jpg");
}
