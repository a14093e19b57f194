// Start-up order and the single running copy, with real processes of the player.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include "BuildPaths.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <set>

#include "app/EndRequests.h"
#include "library/SQLiteDb.h"
#include "library/dataCtr.h"
#include "shell/HandOff.h"
#include "shell/ShareMemory.h"
#include "window/unitMain.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "melvo_app_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    App().processEvents(QEventLoop::AllEvents, 20);
    usleep(2000);
  }
  return true;
}

bool CanConnect() {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string path = HandOffEndpointPath();
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

// A private desktop for each test: data, config and runtime folders of its own.
class PlayerProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    ASSERT_TRUE(home_.isValid());
    runtime_ = home_.path() + "/run";
    data_ = home_.path() + "/data";
    QDir().mkpath(runtime_);
    QDir().mkpath(data_);
    chmod(runtime_.toUtf8().constData(), 0700);
    // The test process shares the runtime folder so that it can look at the named objects.
    setenv("XDG_RUNTIME_DIR", runtime_.toUtf8().constData(), 1);
    setenv("XDG_DATA_HOME", data_.toUtf8().constData(), 1);
  }

  void TearDown() override {
    for (QProcess* p : running_) {
      p->kill();
      p->waitForFinished(5000);
      delete p;
    }
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_DATA_HOME");
  }

  QProcessEnvironment Env() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime_);
    env.insert("XDG_DATA_HOME", data_);
    env.insert("XDG_CONFIG_HOME", home_.path() + "/config");
    env.insert("HOME", home_.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    if (!statHost_.isEmpty()) env.insert("MELVO_STAT_HOST", statHost_);
    return env;
  }

  QProcess* Start(const QStringList& args) {
    auto* p = new QProcess;
    p->setProcessEnvironment(Env());
    p->start(QString::fromStdString(melvo::build::BinDir()) + "/melvo", args);
    running_.push_back(p);
    return p;
  }

  // Starts a first copy and waits until it listens for others.
  QProcess* StartFirstCopy() {
    QProcess* p = Start({});
    EXPECT_TRUE(WaitFor([&] {
      return QFile::exists(QString::fromStdString(HandOffEndpointPath()));
    })) << "the first copy never listened";
    return p;
  }

  // Runs a copy to its end; returns false when it does not end in time.
  bool RunToEnd(const QStringList& args, int ms = 15000) {
    QProcess* p = Start(args);
    bool ended = WaitFor([&] { return p->state() == QProcess::NotRunning; }, ms);
    if (ended) {
      EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(p->exitCode(), 0);
    }
    return ended;
  }

  QByteArray Area() const {
    QFile f(QString::fromStdString(ShareMemoryPath()));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  static QByteArray Utf16LE(const QString& s) {
    QByteArray out;
    for (QChar c : s) {
      out.append(char(c.unicode() & 0xFF));
      out.append(char(c.unicode() >> 8));
    }
    return out;
  }

  QTemporaryDir home_;
  QString runtime_, data_;
  QString statHost_;
  std::vector<QProcess*> running_;
};

TEST_F(PlayerProcessTest, FirstCopyPreparesTheDatabaseAndKeepsRunning) {
  QProcess* first = StartFirstCopy();
  EXPECT_TRUE(QFile::exists(data_ + "/melvo/melvov5.db3"));
  EXPECT_EQ(Area().size(), int(kShareMemorySize));
  EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(PlayerProcessTest, SecondCopyHandsItsJoinedArgumentsOverAndEnds) {
  // This process plays the running copy by hand, to look at the area while the message is in.
  ASSERT_TRUE(InitDatabase());
  OpenShareMemory();
  int lock = open(InstanceLockPath().c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", HandOffEndpointPath().c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(listener, 4), 0);

  QProcess* second = Start({"/music/my", "song 歌.mp3"});
  pollfd p{listener, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 15000), 1);
  int peer = accept(listener, nullptr, nullptr);
  uint8_t wire[kHandOffMessageBytes];
  ASSERT_EQ(recv(peer, wire, sizeof wire, MSG_WAITALL), ssize_t(sizeof wire));
  HandOffMessage m = DecodeHandOffMessage(wire);
  EXPECT_EQ(m.message, kHandOffMessage);
  EXPECT_EQ(m.wParam, 1u);
  EXPECT_EQ(m.lParam, 1u);
  QByteArray area = Area();
  ASSERT_EQ(area.size(), int(kShareMemorySize));
  QByteArray expected = Utf16LE("/music/my song 歌.mp3");
  EXPECT_EQ(area.mid(0, 2), QByteArray(2, '\0'));
  EXPECT_EQ(area.mid(2, expected.size()), expected);
  EXPECT_EQ(area.mid(2 + expected.size()),
            QByteArray(int(kShareMemorySize) - 2 - expected.size(), '\0'));
  // Until the answer the second copy waits.
  EXPECT_FALSE(second->waitForFinished(200));
  const char reply[8] = {};
  ASSERT_EQ(send(peer, reply, sizeof reply, 0), ssize_t(sizeof reply));
  EXPECT_TRUE(WaitFor([&] { return second->state() == QProcess::NotRunning; }));
  EXPECT_EQ(second->exitCode(), 0);
  close(peer);
  close(listener);
  close(lock);
  CloseShareMemory();
}

TEST_F(PlayerProcessTest, RunningCopyConsumesTheAreaBeforeItAnswers) {
  QProcess* first = StartFirstCopy();
  ASSERT_TRUE(RunToEnd({"/music/a.mp3"}));
  EXPECT_EQ(Area(), QByteArray(int(kShareMemorySize), '\0'));
  EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(PlayerProcessTest, SecondCopyWithoutArgumentsHandsOverEmptyText) {
  StartFirstCopy();
  ASSERT_TRUE(RunToEnd({}));
  EXPECT_EQ(Area(), QByteArray(int(kShareMemorySize), '\0'));
}

TEST_F(PlayerProcessTest, SecondCopyWithNobodyListeningOnlyZeroesTheArea) {
  // Someone holds the instance lock but does not listen (a first copy still starting).
  QFile prefilled(QString::fromStdString(ShareMemoryPath()));
  ASSERT_TRUE(prefilled.open(QIODevice::WriteOnly));
  prefilled.write(QByteArray(int(kShareMemorySize), '\xFF'));
  prefilled.close();
  int lock = open(InstanceLockPath().c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
  EXPECT_TRUE(RunToEnd({"/music/a.mp3"}));
  EXPECT_EQ(Area(), QByteArray(int(kShareMemorySize), '\0'));
  close(lock);
}

TEST_F(PlayerProcessTest, RunningCopyPassesTheHandedTextToItsHandler) {
  // This process plays the first copy: it holds the lock and listens.
  OpenShareMemory();
  int lock = open(InstanceLockPath().c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
  THandOffReceiver receiver;
  std::vector<QString> received;
  receiver.SetHandler([&](const QString& text) { received.push_back(text); });
  ASSERT_TRUE(receiver.Listen());

  ASSERT_TRUE(RunToEnd({"/音乐/a", "b.flac"}));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], QString("/音乐/a b.flac"));
  close(lock);
  CloseShareMemory();
}

// Copies that start together take turns: none wipes or overwrites another's path.
TEST_F(PlayerProcessTest, FiftyCopiesAtOnceHandEveryPathOverExactlyOnceAndIntact) {
  ASSERT_TRUE(InitDatabase());  // made beforehand, as a running copy would have
  OpenShareMemory();
  int lock = open(InstanceLockPath().c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
  THandOffReceiver receiver;
  std::map<QString, int> received;
  receiver.SetHandler([&](const QString& text) { ++received[text]; });
  ASSERT_TRUE(receiver.Listen());

  constexpr int kCopies = 50;
  std::set<QString> sent;
  std::vector<QProcess*> copies;
  for (int i = 0; i < kCopies; ++i) {
    // Lengths differ, so a longer path left behind would show in a shorter one.
    QString path = QString("/音乐/copy %1/").arg(i) + QString(i % 7 + 1, QChar('x')) + ".flac";
    sent.insert(path);
    copies.push_back(Start({path}));
  }
  EXPECT_TRUE(WaitFor(
      [&] {
        return std::all_of(copies.begin(), copies.end(),
                           [](QProcess* p) { return p->state() == QProcess::NotRunning; });
      },
      120000));
  int intact = 0;
  for (const QString& path : sent) intact += received.count(path) ? 1 : 0;
  EXPECT_EQ(intact, kCopies) << "paths received intact";
  for (const auto& [text, times] : received) {
    EXPECT_TRUE(sent.count(text)) << "garbled: " << text.toStdString();
    EXPECT_EQ(times, 1) << text.toStdString();
  }
  for (QProcess* p : copies) EXPECT_EQ(p->exitCode(), 0);
  close(lock);
  CloseShareMemory();
}

// A running copy that accepts the connection but never answers holds nobody for long.
TEST_F(PlayerProcessTest, CopiesGiveUpOnARunningCopyThatNeverAnswers) {
  ASSERT_TRUE(InitDatabase());
  int lock = open(InstanceLockPath().c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
  constexpr int kCopies = 6;
  // How long copies take to start and end on this machine now, when they find nobody to hand to.
  auto runCopies = [&] {
    QElapsedTimer clock;
    clock.start();
    std::vector<QProcess*> copies;
    for (int i = 0; i < kCopies; ++i) copies.push_back(Start({QString("/music/%1.mp3").arg(i)}));
    EXPECT_TRUE(WaitFor(
        [&] {
          return std::all_of(copies.begin(), copies.end(),
                             [](QProcess* p) { return p->state() == QProcess::NotRunning; });
        },
        60000));
    for (QProcess* p : copies) EXPECT_EQ(p->exitCode(), 0);
    return clock.elapsed();
  };
  const qint64 alone = runCopies();

  int deaf = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", HandOffEndpointPath().c_str());
  ASSERT_EQ(bind(deaf, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(deaf, 128), 0);
  const qint64 deafened = runCopies();
  EXPECT_LT(deafened - alone, 6000) << "the copies waited too long: " << deafened << " ms against "
                                    << alone << " ms with nobody to hand to";
  close(deaf);
  close(lock);
}

TEST_F(PlayerProcessTest, DataFolderThatCannotBeMadeEndsBeforeTheInstanceCheck) {
  QFile plain(home_.path() + "/plain");
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  data_ = home_.path() + "/plain/share";
  ASSERT_TRUE(RunToEnd({"/music/a.mp3"}));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(InstanceLockPath())));
}

TEST_F(PlayerProcessTest, FirstCopyThatDiedLeavesNoLockBehind) {
  QProcess* first = StartFirstCopy();
  first->kill();
  first->waitForFinished(5000);
  // The endpoint file of the dead copy is still there, refusing; the next copy must take over.
  EXPECT_TRUE(QFile::exists(QString::fromStdString(HandOffEndpointPath())));
  EXPECT_TRUE(WaitFor([] { return !CanConnect(); }));
  QProcess* next = Start({});
  ASSERT_TRUE(next->waitForStarted(5000));
  EXPECT_TRUE(WaitFor([] { return CanConnect(); }));
  EXPECT_EQ(next->state(), QProcess::Running);
}

// Being told to end closes the player as "退出" does: the close report goes out (within its cap,
// here to a server that never answers) and nothing is left behind.
TEST_F(PlayerProcessTest, TerminationSignalsCloseThePlayerAsItsQuitCommandDoes) {
  QTcpServer stat;
  ASSERT_TRUE(stat.listen(QHostAddress::LocalHost));
  std::vector<QTcpSocket*> peers;
  QByteArray requests;
  QObject::connect(&stat, &QTcpServer::newConnection, [&] {
    while (QTcpSocket* peer = stat.nextPendingConnection()) {
      peers.push_back(peer);
      QObject::connect(peer, &QTcpSocket::readyRead, [&, peer] { requests += peer->readAll(); });
    }
  });
  statHost_ = QString("127.0.0.1:%1").arg(stat.serverPort());
  ASSERT_TRUE(InitDatabase());

  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    requests.clear();
    QProcess* player = StartFirstCopy();
    ASSERT_TRUE(WaitFor([&] { return CanConnect(); }));
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(kill(pid_t(player->processId()), sig), 0);
    ASSERT_TRUE(WaitFor([&] { return player->state() == QProcess::NotRunning; }, 10000));
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_EQ(player->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player->exitCode(), 0);
    EXPECT_TRUE(requests.contains("oper=close")) << requests.toStdString();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(HandOffEndpointPath())));
    // The next copy is a first copy again (the loop's next round starts it).
  }
  QProcess* next = StartFirstCopy();
  EXPECT_EQ(next->state(), QProcess::Running);
}

// A real signal, and a quit of the loop from elsewhere, reach the window and close it as "退出"
// does: the close report, then the configuration written.
TEST_F(PlayerProcessTest, EndRequestsCloseTheWindowAndWriteTheConfiguration) {
  ASSERT_TRUE(InitDatabase());
  std::vector<std::string> reports;
  TunitMain::SetReportSink(
      [&](const std::string& oper, const std::string&) { reports.push_back(oper); });
  const std::vector<std::pair<const char*, std::function<void()>>> requests = {
      {"SIGTERM", [] { raise(SIGTERM); }},
      {"SIGINT", [] { raise(SIGINT); }},
      {"quit", [] { QCoreApplication::quit(); }}};
  for (const auto& [name, request] : requests) {
    SCOPED_TRACE(name);
    {
      // A new file has no skin_path; the close writes the carried value back as text.
      TSQLiteDatabase db(DatabasePath());
      db.ExecSQL("update korvax_config set con_volv=37,skin_path=NULL");
    }
    ReadConfig();  // as the window's configuration step does
    reports.clear();
    {
      TEndRequests endRequests;
      TunitMain w;
      endRequests.Attach(&w);
      w.show();
      QTimer::singleShot(0, &w, request);
      QTimer guard;
      guard.setSingleShot(true);
      QObject::connect(&guard, &QTimer::timeout, [] { QApplication::exit(99); });
      guard.start(10000);
      EXPECT_EQ(App().exec(), 0);
      endRequests.Attach(nullptr);
    }
    EXPECT_EQ(std::count(reports.begin(), reports.end(), "close"), 1);
    TSQLiteDatabase db(DatabasePath());
    TSQLiteTable row = db.GetTable("select con_volv, typeof(skin_path) as t from korvax_config");
    EXPECT_EQ(row.FieldAsString("t"), "text");
    EXPECT_EQ(row.FieldAsInteger("con_volv"), 37);
  }
  TunitMain::SetReportSink(nullptr);
  CurConfig.reset();
}

// Decoding, sound output and the network are opened when first needed; a library linked to the
// program would be loaded, with all it depends on, before the window can be shown.
TEST(Program, LinksNoneOfTheLibrariesItOpensWhenFirstNeeded) {
  QProcess readelf;
  readelf.start("readelf", {"-d", QString::fromStdString(melvo::build::BinDir() + "/melvo")});
  if (!readelf.waitForStarted()) GTEST_SKIP() << "no readelf here";
  ASSERT_TRUE(readelf.waitForFinished(30000));
  const QString out = QString::fromLocal8Bit(readelf.readAllStandardOutput());
  int needed = 0;
  for (const QString& line : out.split('\n')) {
    if (!line.contains("(NEEDED)")) continue;
    ++needed;
    for (const char* late : {"libavformat", "libavcodec", "libavutil", "libavfilter",
                             "libswresample", "libSDL2", "libpulse"})
      EXPECT_FALSE(line.contains(late)) << line.toStdString();
  }
  EXPECT_GT(needed, 0) << out.toStdString();
}

TEST(MainWindow, IsABorderless550By330WindowCaptionedMelvo5) {
  App();
  TunitMain w;
  EXPECT_EQ(w.windowTitle(), "Melvo5");
  EXPECT_EQ(w.size(), QSize(550, 330));
  EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
}

TEST(MainWindow, ClosingItEndsTheLoop) {
  App();
  TunitMain w;
  w.show();
  QTimer::singleShot(0, &w, [&] { w.close(); });
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QApplication::exit(99); });
  guard.start(5000);
  EXPECT_EQ(App().exec(), 0);
}

}  // namespace
