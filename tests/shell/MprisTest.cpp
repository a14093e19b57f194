// The player on a private session bus (the test is started by dbus-run-session), driven by
// playerctl and by a second bus connection as a desktop panel would.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <functional>

#include "shell/Mpris.h"

using namespace shell;

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kProps = QStringLiteral("org.freedesktop.DBus.Properties");

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "melvo_shell_mpris_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    App().processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace

// Readable failures.
void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

// Collects the PropertiesChanged signals a panel would see.
class TSignalLog : public QObject {
  Q_OBJECT
 public:
  QList<QVariantMap> Changes;
  QList<qlonglong> Seeks;
 public Q_SLOTS:
  void PropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
    if (interface == kPlayer) Changes << changed;
  }
  void Seeked(qlonglong position) { Seeks << position; }
};

namespace {

class MprisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
      GTEST_SKIP() << "no session bus: run under dbus-run-session";
    client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("panel"));
    ASSERT_TRUE(client_.isConnected());
    client_.connect(QString(), kPath, kProps, QStringLiteral("PropertiesChanged"), &log_,
                    SLOT(PropertiesChanged(QString, QVariantMap, QStringList)));
    client_.connect(QString(), kPath, kPlayer, QStringLiteral("Seeked"), &log_,
                    SLOT(Seeked(qlonglong)));

    TMediaControlsHandler h;
    h.OnPlayPause = [this] { actions_ << "playpause"; };
    h.OnNext = [this] { actions_ << "next"; };
    h.OnStop = [this] { actions_ << "stop"; };
    h.OnRaise = [this] { actions_ << "raise"; };
    h.OnQuit = [this] { actions_ << "quit"; };
    h.OnSetMode = [this](int mode) { actions_ << QStringLiteral("mode %1").arg(mode); };
    h.OnSetVolume = [this](double v) { actions_ << QStringLiteral("volume %1").arg(v); };
    h.OnSeek = [this](double ms) { actions_ << QStringLiteral("seek %1").arg(ms); };
    mpris_ = std::make_unique<TMprisControls>();
    mpris_->SetHandler(h);
    ASSERT_TRUE(mpris_->Start());
    ASSERT_EQ(mpris_->ServiceName(), QStringLiteral("org.mpris.MediaPlayer2.melvo"));
  }

  void TearDown() override {
    mpris_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
  }

  QDBusMessage Call(const QString& interface, const QString& method,
                    const QVariantList& args = {}) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(mpris_->ServiceName(), kPath, interface, method);
    m.setArguments(args);
    QDBusPendingCall pending = client_.asyncCall(m);
    WaitFor([&] { return pending.isFinished(); });
    return pending.reply();
  }

  QVariant Get(const QString& property, const QString& interface = kPlayer) {
    QDBusMessage reply = Call(kProps, QStringLiteral("Get"), {interface, property});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
  }

  QDBusMessage Set(const QString& property, const QVariant& value) {
    return Call(kProps, QStringLiteral("Set"),
                {kPlayer, property, QVariant::fromValue(QDBusVariant(value))});
  }

  // playerctl as a user runs it; the event loop keeps serving the bus meanwhile.
  QString Playerctl(const QStringList& args) {
    if (QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty()) return "<none>";
    QProcess p;
    p.start(QStringLiteral("playerctl"), QStringList{QStringLiteral("--player=melvo")} + args);
    WaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  }

  // Waits until the bus has delivered everything sent so far.
  void Settle() {
    Get(QStringLiteral("PlaybackStatus"));
    App().processEvents();
  }

  QDBusConnection client_{QString()};
  TSignalLog log_;
  std::unique_ptr<TMprisControls> mpris_;
  QStringList actions_;
};

TEST_F(MprisTest, NamesThePlayerAndItsDesktopEntry) {
  if (Playerctl({"-l"}) != "<none>") {
    EXPECT_TRUE(Playerctl({"-l"}).split('\n').contains("melvo"));
  }
  EXPECT_EQ(Get("DesktopEntry", kRoot).toString(), "melvo");
  EXPECT_EQ(Get("Identity", kRoot).toString(), "Melvo5");
  EXPECT_TRUE(Get("CanRaise", kRoot).toBool());
  EXPECT_FALSE(Get("HasTrackList", kRoot).toBool());
  EXPECT_TRUE(Get("CanControl").toBool());
  EXPECT_TRUE(Get("CanGoNext").toBool());
  EXPECT_FALSE(Get("CanGoPrevious").toBool());
  Call(kRoot, "Raise");
  Call(kRoot, "Quit");
  EXPECT_EQ(actions_, (QStringList{"raise", "quit"}));
}

TEST_F(MprisTest, PlayerctlCommandsReachThePlayer) {
  if (Playerctl({"-l"}) == "<none>") GTEST_SKIP() << "playerctl is not installed";
  Playerctl({"play-pause"});
  Playerctl({"next"});
  Playerctl({"stop"});
  Playerctl({"previous"});  // there is no previous: nothing
  // Play only when not playing, pause only when playing.
  Playerctl({"pause"});
  Playerctl({"play"});
  mpris_->SetEngineState(1002);
  EXPECT_EQ(Playerctl({"status"}), "Playing");
  Playerctl({"play"});
  Playerctl({"pause"});
  EXPECT_EQ(actions_, (QStringList{"playpause", "next", "stop", "playpause", "playpause"}));
}

TEST_F(MprisTest, PlaybackStatusFollowsTheEngine) {
  EXPECT_EQ(Get("PlaybackStatus").toString(), "Stopped");
  const std::pair<int, const char*> steps[] = {
      {1005, "Stopped"}, {1002, "Playing"}, {1005, "Playing"}, {1003, "Paused"},
      {1002, "Playing"}, {1004, "Stopped"}, {1002, "Playing"}, {1006, "Stopped"},
      {1002, "Playing"}, {1001, "Stopped"}};
  for (const auto& [state, status] : steps) {
    mpris_->SetEngineState(state);
    EXPECT_EQ(Get("PlaybackStatus").toString(), status) << state;
  }
  Settle();
  // One signal per real change; the connecting state changes nothing.
  QStringList announced;
  for (const QVariantMap& c : log_.Changes) announced << c.value("PlaybackStatus").toString();
  EXPECT_EQ(announced, (QStringList{"Playing", "Paused", "Playing", "Stopped", "Playing", "Stopped",
                                    "Playing", "Stopped"}));
}

TEST_F(MprisTest, MetadataOfALocalFileAndOfAStream) {
  mpris_->SetMetadata({42, "晴天", "周杰伦", "叶惠美", "/home/u/My Music/晴天 #1.mp3", 269500});
  if (Playerctl({"-l"}) != "<none>") {
    EXPECT_EQ(Playerctl({"metadata", "--format",
                         "{{title}}|{{artist}}|{{album}}|{{mpris:length}}|{{xesam:url}}"}),
              "晴天|周杰伦|叶惠美|269500000|"
              "file:///home/u/My%20Music/%E6%99%B4%E5%A4%A9%20%231.mp3");
  }
  QVariantMap m = qdbus_cast<QVariantMap>(Get("Metadata"));
  EXPECT_EQ(qdbus_cast<QDBusObjectPath>(m.value("mpris:trackid")).path(),
            "/org/mpris/MediaPlayer2/melvo/track/42");
  EXPECT_EQ(m.value("xesam:artist").toStringList(), QStringList{"周杰伦"});

  // A stream keeps its address; a song without a known length gets it from the first tick.
  mpris_->SetMetadata({43, "Song", "", "", "http://127.0.0.1:1/a.mp3?x=1", 0});
  m = qdbus_cast<QVariantMap>(Get("Metadata"));
  EXPECT_EQ(m.value("xesam:url").toString(), "http://127.0.0.1:1/a.mp3?x=1");
  EXPECT_FALSE(m.contains("xesam:artist"));
  EXPECT_FALSE(m.contains("mpris:length"));
  EXPECT_FALSE(Get("CanSeek").toBool());
  mpris_->SetProgress(1000, 5000);
  m = qdbus_cast<QVariantMap>(Get("Metadata"));
  EXPECT_EQ(m.value("mpris:length").toLongLong(), 5000000);
  EXPECT_TRUE(Get("CanSeek").toBool());
  EXPECT_EQ(Get("Position").toLongLong(), 1000000);

  // Nothing loaded: only the no-track id.
  mpris_->SetMetadata({});
  m = qdbus_cast<QVariantMap>(Get("Metadata"));
  EXPECT_EQ(m.keys(), QStringList{"mpris:trackid"});
  EXPECT_EQ(qdbus_cast<QDBusObjectPath>(m.value("mpris:trackid")).path(),
            "/org/mpris/MediaPlayer2/TrackList/NoTrack");
  Settle();
  EXPECT_GE(log_.Changes.size(), 4);
  EXPECT_TRUE(log_.Changes.last().contains("Metadata"));
  EXPECT_EQ(log_.Changes.last().value("CanSeek"), QVariant(false));
}

TEST_F(MprisTest, VolumeWritesReachThePlayerClampedAndAreAnnounced) {
  mpris_->SetVolume(0.5);
  EXPECT_DOUBLE_EQ(Get("Volume").toDouble(), 0.5);
  Set("Volume", 0.25);
  Set("Volume", 1.7);
  Set("Volume", -3.0);
  EXPECT_EQ(actions_, (QStringList{"volume 0.25", "volume 1", "volume 0"}));
  EXPECT_DOUBLE_EQ(Get("Volume").toDouble(), 0.0);
  mpris_->SetVolume(0.0);  // the player's echo changes nothing
  Settle();
  QList<double> announced;
  for (const QVariantMap& c : log_.Changes) announced << c.value("Volume").toDouble();
  EXPECT_EQ(announced, (QList<double>{0.5, 0.25, 1.0, 0.0}));
  if (Playerctl({"-l"}) != "<none>") {
    Playerctl({"volume", "0.75"});
    EXPECT_EQ(actions_.last(), "volume 0.75");
  }
}

TEST(MprisModes, EachModeReadsAsLoopAndShuffleAndWritesBack) {
  struct Row {
    int mode;
    const char* loop;
    bool shuffle;
  };
  for (const Row& r :
       {Row{1001, "Playlist", false}, Row{1002, "Playlist", true}, Row{1003, "Track", false}}) {
    TLoopShuffle s = LoopShuffleForMode(r.mode);
    EXPECT_EQ(s.loopStatus, r.loop);
    EXPECT_EQ(s.shuffle, r.shuffle);
    // What a client reads, written back from any mode, gives the mode again.
    for (int from : {1001, 1002, 1003}) {
      int mode = ModeForShuffle(s.shuffle, ModeForLoopStatus(s.loopStatus, from));
      EXPECT_EQ(mode, r.mode) << "from " << from;
    }
  }
  EXPECT_EQ(ModeForLoopStatus("Track", 1002), 1003);
  EXPECT_EQ(ModeForLoopStatus("None", 1003), 1001);
  EXPECT_EQ(ModeForLoopStatus("None", 1002), 1002);
  EXPECT_EQ(ModeForLoopStatus("track", 1001), 1001);  // not a loop status
  EXPECT_EQ(ModeForShuffle(false, 1003), 1003);
  EXPECT_EQ(ModeForShuffle(false, 1002), 1001);
  EXPECT_EQ(ModeForShuffle(true, 1003), 1002);
}

TEST_F(MprisTest, LoopAndShuffleOnTheBusFollowAndSetTheMode) {
  mpris_->SetMode(1003);
  EXPECT_EQ(Get("LoopStatus").toString(), "Track");
  EXPECT_FALSE(Get("Shuffle").toBool());
  mpris_->SetMode(1002);
  EXPECT_EQ(Get("LoopStatus").toString(), "Playlist");
  EXPECT_TRUE(Get("Shuffle").toBool());
  Settle();
  ASSERT_EQ(log_.Changes.size(), 2);
  EXPECT_EQ(log_.Changes[0], (QVariantMap{{"LoopStatus", "Track"}}));
  EXPECT_EQ(log_.Changes[1], (QVariantMap{{"LoopStatus", "Playlist"}, {"Shuffle", true}}));

  Set("LoopStatus", "Track");
  Set("Shuffle", true);
  Set("Shuffle", false);
  Set("LoopStatus", "Playlist");  // already list loop: no request
  EXPECT_EQ(actions_, (QStringList{"mode 1003", "mode 1002", "mode 1001"}));
  if (Playerctl({"-l"}) != "<none>") {
    Playerctl({"loop", "Track"});
    Playerctl({"shuffle", "On"});
    EXPECT_EQ(actions_.mid(3), (QStringList{"mode 1003", "mode 1002"}));
    EXPECT_EQ(Playerctl({"loop"}), "Playlist");
    EXPECT_EQ(Playerctl({"shuffle"}), "On");
  }
}

TEST_F(MprisTest, SeekAndSetPosition) {
  // Nothing to seek in yet.
  Call(kPlayer, "Seek", {qlonglong(1000000)});
  EXPECT_TRUE(actions_.isEmpty());

  mpris_->SetMetadata({5, "t", "a", "b", "/m/t.flac", 200000});
  mpris_->SetProgress(50000, 200000);
  EXPECT_TRUE(Get("CanSeek").toBool());
  Call(kPlayer, "Seek", {qlonglong(10000000)});  // +10 s
  EXPECT_EQ(Get("Position").toLongLong(), 60000000);
  Call(kPlayer, "Seek", {qlonglong(-100000000)});  // before the start: the start
  Call(kPlayer, "Seek", {qlonglong(500000000)});   // past the end: the next song
  const QString track = "/org/mpris/MediaPlayer2/melvo/track/5";
  Call(kPlayer, "SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), qlonglong(123456000)});
  // Another track or a position outside the song is ignored.
  Call(kPlayer, "SetPosition",
       {QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/melvo/track/6")),
        qlonglong(1000)});
  Call(kPlayer, "SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), qlonglong(-1)});
  Call(kPlayer, "SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), qlonglong(200000001)});
  EXPECT_EQ(actions_, (QStringList{"seek 60000", "seek 0", "next", "seek 123456"}));

  // The window's own seek is announced as well.
  mpris_->Seeked(30000);
  Settle();
  EXPECT_EQ(log_.Seeks, (QList<qlonglong>{60000000, 0, 123456000, 30000000}));
  if (Playerctl({"-l"}) != "<none>") {
    mpris_->SetEngineState(1002);  // playerctl shows 0 for a stopped player
    EXPECT_NEAR(Playerctl({"position"}).toDouble(), 30.0, 0.5);
    Playerctl({"position", "40"});
    EXPECT_EQ(actions_.last(), "seek 40000");
  }
}

TEST_F(MprisTest, ASecondPlayerOnTheBusGetsAnInstanceName) {
  TMprisControls second;
  // A second object on the same connection cannot take the same path.
  EXPECT_FALSE(second.Start());
  QDBusConnection other =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("other"));
  {
    TMprisControls third;
    ASSERT_TRUE(third.Start(other));
    EXPECT_TRUE(third.ServiceName().startsWith("org.mpris.MediaPlayer2.melvo.instance"));
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("other"));
}

}  // namespace

#include "MprisTest.moc"
