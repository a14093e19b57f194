// The window's taskbar buttons as on Windows 7 (a recording taskbar object), and its desktop
// media controls on a bus daemon of the test's own.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QProcess>
#include <QStandardPaths>

#include "WindowTestSupport.h"
#include "shell/MediaControlsFakes.h"

namespace {

using TCall = shell::TRecordingTaskbarList::TCall;

class MediaControls : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    TunitMain::SetMediaBusForTesting(false);
    TunitMain::SetHandlerProbe([this](const char* name) { handlers_.push_back(name); });
  }
  void TearDown() override {
    WindowTest::TearDown();
    TunitMain::SetTaskbarForTesting(nullptr, nullptr);
    TunitMain::SetMediaBusForTesting(std::nullopt);
  }

  // The window believes it runs on `version` and gets a recording taskbar object.
  void PretendVersion(const std::string& version) {
    version_ = version;
    TunitMain::SetTaskbarForTesting([this] { return version_; },
                                    [this] {
                                      ++made_;
                                      auto list = std::make_unique<shell::TRecordingTaskbarList>();
                                      list_ = list.get();
                                      return list;
                                    });
  }

  std::vector<std::string> HandlersNamed(std::initializer_list<const char*> names) const {
    std::vector<std::string> r;
    for (const std::string& h : handlers_)
      for (const char* n : names)
        if (h == n) r.push_back(h);
    return r;
  }

  std::string version_;
  int made_ = 0;
  shell::TRecordingTaskbarList* list_ = nullptr;
  std::vector<std::string> handlers_;
};

TEST_F(MediaControls, OnWindows7TheButtonsAreAddedUpdatedAndAddedAgainAfterTheTray) {
  PretendVersion("Windows 7");
  TunitMain& w = Open();
  w.FormActivate(nullptr);
  ASSERT_NE(list_, nullptr);
  ASSERT_FALSE(list_->Calls.empty());
  EXPECT_EQ(list_->Calls.front().kind, TCall::Add);
  EXPECT_EQ(list_->Calls.front().count, 3u);
  EXPECT_FALSE(w.IFLAG);
  const shell::THandle play = list_->Calls.front().buttons[1].hIcon;

  // Playing: the controller sets PSTATUS, then the taskbar follows.
  w.PSTATUS = 2;
  w.MediaStateChanged(1002);
  EXPECT_EQ(list_->Calls.back().kind, TCall::Update);
  EXPECT_NE(list_->Calls.back().buttons[1].hIcon, play);
  w.PSTATUS = 1;
  w.MediaStateChanged(1003);
  EXPECT_EQ(list_->Calls.back().buttons[1].hIcon, play);

  // Hidden to the tray and back: the three buttons are added again.
  w.btnCloseClick(nullptr);
  w.TrayIcon1DblClick(nullptr);
  EXPECT_EQ(list_->Calls.back().kind, TCall::Add);
  EXPECT_FALSE(w.IFLAG);

  w.MediaProgress(1234.4f, 5000.0f);
  EXPECT_EQ(list_->Calls.back().kind, TCall::Progress);
  EXPECT_EQ(list_->Calls.back().completed, 1234u);
  EXPECT_EQ(list_->Calls.back().total, 5000u);
  EXPECT_EQ(made_, 1);
}

TEST_F(MediaControls, ElsewhereNoTaskbarObjectIsMadeAndTheWindowWorks) {
  PretendVersion("Windows 8");
  TunitMain& w = Open();
  w.FormActivate(nullptr);
  w.MediaStateChanged(1002);
  w.MediaProgress(10, 20);
  w.btnCloseClick(nullptr);
  w.TrayIcon1DblClick(nullptr);
  EXPECT_EQ(made_, 0);
  EXPECT_TRUE(w.isVisible());
  // The real version test on this system says no.
  TunitMain::SetTaskbarForTesting(nullptr, nullptr);
  EXPECT_FALSE(TunitMain::IsWindows7());
}

TEST_F(MediaControls, ThumbnailCommandsRunTheOnScreenButtonsHandlers) {
  TunitMain& w = Open();
  CurConfig = std::make_unique<TTSC>();
  CurConfig->circle = 1003;
  std::vector<int> modes;
  for (int i = 0; i < 3; ++i) {
    w.ThumbButtonClicked(0);
    modes.push_back(CurConfig->circle);
  }
  EXPECT_EQ(modes, (std::vector<int>{1001, 1002, 1003}));
  w.ThumbButtonClicked(1);
  w.ThumbButtonClicked(2);
  w.ThumbButtonClicked(3);
  EXPECT_EQ(HandlersNamed({"btnOrderClick", "btnRandomClick", "btnSingleClick", "btnPlayClick",
                           "btnNextClick"}),
            (std::vector<std::string>{"btnOrderClick", "btnRandomClick", "btnSingleClick",
                                      "btnPlayClick", "btnNextClick"}));
}

// A session bus daemon for one test, ended by its process id.
class TPrivateBus {
 public:
  TPrivateBus() {
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) return;
    FDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (!FDaemon.waitForStarted(5000)) return;
    while (FAddress.isEmpty() && FDaemon.waitForReadyRead(5000))
      FAddress = QString::fromUtf8(FDaemon.readLine()).trimmed();
  }
  ~TPrivateBus() {
    if (FDaemon.state() != QProcess::NotRunning) {
      FDaemon.kill();
      FDaemon.waitForFinished(5000);
    }
  }
  const QString& Address() const { return FAddress; }

 private:
  QProcess FDaemon;
  QString FAddress;
};

class MediaControlsOnTheBus : public MediaControls {
 protected:
  void SetUp() override {
    MediaControls::SetUp();
    if (bus_.Address().isEmpty()) GTEST_SKIP() << "no dbus-daemon";
    savedAddress_ = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.Address().toUtf8());
    TunitMain::SetMediaBusForTesting(true);
    client_ = QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("panel"));
    ASSERT_TRUE(client_.isConnected());
  }
  void TearDown() override {
    MediaControls::TearDown();
    QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
    if (savedAddress_.isNull())
      qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
      qputenv("DBUS_SESSION_BUS_ADDRESS", savedAddress_);
  }

  QDBusMessage Call(const QString& interface, const QString& method,
                    const QVariantList& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(QStringLiteral("org.mpris.MediaPlayer2.melvo"),
                                                    QStringLiteral("/org/mpris/MediaPlayer2"),
                                                    interface, method);
    m.setArguments(args);
    QDBusPendingCall pending = client_.asyncCall(m);
    QElapsedTimer t;
    t.start();
    while (!pending.isFinished() && t.elapsed() < 5000) QApplication::processEvents();
    return pending.reply();
  }
  QDBusMessage SetProperty(const QString& name, const QVariant& value) {
    return Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                {QStringLiteral("org.mpris.MediaPlayer2.Player"), name,
                 QVariant::fromValue(QDBusVariant(value))});
  }
  QVariant Property(const QString& name) {
    QDBusMessage r = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                          {QStringLiteral("org.mpris.MediaPlayer2.Player"), name});
    return r.arguments().isEmpty() ? QVariant()
                                   : r.arguments().first().value<QDBusVariant>().variant();
  }

  TPrivateBus bus_;
  QByteArray savedAddress_;
  QDBusConnection client_{QString()};
};

TEST_F(MediaControlsOnTheBus, CommandsReachTheControllersHandlers) {
  TunitMain& w = Open();
  CurConfig = std::make_unique<TTSC>();
  w.btnOrderClick(nullptr);  // list order, as the media controls are told
  const QString player = QStringLiteral("org.mpris.MediaPlayer2.Player");
  Call(player, QStringLiteral("PlayPause"));
  Call(player, QStringLiteral("Next"));
  ASSERT_EQ(Call(player, QStringLiteral("Play")).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(HandlersNamed({"btnPlayClick", "btnNextClick"}),
            (std::vector<std::string>{"btnPlayClick", "btnNextClick", "btnPlayClick"}));

  // Volume moves the slider (upside down), whose change handler sets the engine and con_volv.
  const std::size_t changes = HandlersNamed({"soundTrackBarChange"}).size();
  SetProperty(QStringLiteral("Volume"), 0.3);
  EXPECT_NEAR(w.soundTrackBar->Value(), 70.0, 0.01);
  EXPECT_EQ(HandlersNamed({"soundTrackBarChange"}).size(), changes + 1);

  SetProperty(QStringLiteral("LoopStatus"), QStringLiteral("Track"));
  EXPECT_EQ(CurConfig->circle, 1003);
  SetProperty(QStringLiteral("Shuffle"), true);
  EXPECT_EQ(CurConfig->circle, 1002);
  EXPECT_EQ(HandlersNamed({"btnSingleClick", "btnRandomClick"}),
            (std::vector<std::string>{"btnSingleClick", "btnRandomClick"}));

  // What the controller reports is what panels read.
  w.MediaModeChanged(1003);
  EXPECT_EQ(Property(QStringLiteral("LoopStatus")).toString(), QStringLiteral("Track"));
  w.MediaStateChanged(1002);
  EXPECT_EQ(Property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
  w.MediaSongChanged(3, QStringLiteral("晴天"), QStringLiteral("周杰伦"), QString(),
                     QStringLiteral("/m/a.mp3"), 1000);
  w.MediaProgress(250, 1000);
  EXPECT_EQ(Property(QStringLiteral("Position")).toLongLong(), 250000);
}

TEST_F(MediaControlsOnTheBus, RaiseBringsTheHiddenWindowBackAndQuitCloses) {
  TunitMain& w = Open();
  w.btnCloseClick(nullptr);
  ASSERT_FALSE(w.isVisible());
  Call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Raise"));
  EXPECT_TRUE(w.isVisible());
  Call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit"));
  EXPECT_EQ(HandlersNamed({"N4Click"}).size(), 1u);
  Pump(50);
  EXPECT_TRUE(w.FormClosed());
}

TEST_F(MediaControlsOnTheBus, TheWindowLeavesTheBusWhenItGoes) {
  Open();
  auto registered = [this] {
    return client_.interface()
        ->isServiceRegistered(QStringLiteral("org.mpris.MediaPlayer2.melvo"))
        .value();
  };
  EXPECT_TRUE(registered());
  window.reset();
  EXPECT_FALSE(registered());
  // A new window takes the name again.
  Open();
  EXPECT_TRUE(registered());
}

}  // namespace
