// Start-up order and the single running copy, with real processes of the player.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "shell/HandOff.h"
#include "shell/ShareMemory.h"
#include "window/unitMain.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "startup_tests";
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
    usleep(10000);
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
    return env;
  }

  QProcess* Start(const QStringList& args) {
    auto* p = new QProcess;
    p->setProcessEnvironment(Env());
    p->start(QString(MELVO_BIN_DIR) + "/melvo", args);
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
  std::vector<QProcess*> running_;
};

TEST_F(PlayerProcessTest, FirstCopyPreparesTheDatabaseAndKeepsRunning) {
  QProcess* first = StartFirstCopy();
  EXPECT_TRUE(QFile::exists(data_ + "/melvo/melvov5.db3"));
  EXPECT_EQ(Area().size(), int(kShareMemorySize));
  EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(PlayerProcessTest, SecondCopyHandsItsJoinedArgumentsOverAndEnds) {
  QProcess* first = StartFirstCopy();
  ASSERT_TRUE(RunToEnd({"/music/my", "song 歌.mp3"}));
  QByteArray area = Area();
  ASSERT_EQ(area.size(), int(kShareMemorySize));
  QByteArray expected = Utf16LE("/music/my song 歌.mp3");
  EXPECT_EQ(area.mid(0, 2), QByteArray(2, '\0'));
  EXPECT_EQ(area.mid(2, expected.size()), expected);
  EXPECT_EQ(area.at(2 + expected.size()), '\0');
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
