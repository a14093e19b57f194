// The running copy's receiving side in this process: a raw socket plays the second copy, the
// shared area is written by hand.
#include "shell/HandOff.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/ShareMemory.h"

namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "melvo_shell_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    App().processEvents(QEventLoop::AllEvents, 10);
    usleep(1000);
  }
  return true;
}

std::vector<uint8_t> Message(uint32_t number) {
  std::vector<uint8_t> wire(kHandOffMessageBytes);
  EncodeHandOffMessage({number, 1, 1}, wire.data());
  return wire;
}

// A second copy's end of the endpoint.
class TPeer {
 public:
  TPeer() {
    FFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = HandOffEndpointPath();
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    FConnected = connect(FFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~TPeer() { Close(); }
  TPeer(const TPeer&) = delete;
  TPeer& operator=(const TPeer&) = delete;

  bool Connected() const { return FConnected; }
  void Send(const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(send(FFd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
  }
  // Answer bytes received so far, pumping the receiver's loop until `want` have come or time is up.
  std::size_t AwaitAnswers(std::size_t want, int ms = 5000) {
    PumpUntil(
        [&] {
          uint8_t buf[64];
          ssize_t n;
          while ((n = recv(FFd, buf, sizeof buf, MSG_DONTWAIT)) > 0) FAnswered += std::size_t(n);
          return FAnswered >= want;
        },
        ms);
    return FAnswered;
  }
  void Close() {
    if (FFd >= 0) close(FFd);
    FFd = -1;
  }

 private:
  int FFd = -1;
  bool FConnected = false;
  std::size_t FAnswered = 0;
};

constexpr std::size_t kAnswerBytes = 8;

class HandOffReceiver : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    ASSERT_TRUE(FRuntime.isValid());
    chmod(FRuntime.path().toUtf8().constData(), 0700);
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) FOldRuntime = old;
    setenv("XDG_RUNTIME_DIR", FRuntime.path().toUtf8().constData(), 1);
    OpenShareMemory();
    ASSERT_NE(ShareMemoryView(), nullptr);
    FReceiver.SetHandler([this](const QString& text) { FReceived.push_back(text); });
    ASSERT_TRUE(FReceiver.Listen());
  }

  void TearDown() override {
    CloseShareMemory();
    if (FOldRuntime) {
      setenv("XDG_RUNTIME_DIR", FOldRuntime->c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
  }

  // Writes UTF-16LE units at the text offset, as a second copy does.
  static void WriteArea(const std::u16string& units, std::size_t at = kHandOffTextOffset) {
    uint8_t* out = ShareMemoryView() + at;
    for (char16_t u : units) {
      *out++ = uint8_t(u & 0xFF);
      *out++ = uint8_t(u >> 8);
    }
  }

  static bool AreaIsZero() {
    const uint8_t* area = ShareMemoryView();
    return std::all_of(area, area + kShareMemorySize, [](uint8_t b) { return b == 0; });
  }

  QTemporaryDir FRuntime;
  std::optional<std::string> FOldRuntime;
  THandOffReceiver FReceiver;
  std::vector<QString> FReceived;
};

}  // namespace

TEST_F(HandOffReceiver, HandsTheWrittenPathOverIntactOnceAndConsumesTheArea) {
  // Beyond the first zero: what an earlier, longer path left. It is no part of the text, but the
  // area is wiped whole.
  const std::u16string path = u"/音乐/a b 🎵.flac";
  WriteArea(path + u'\0' + u"leftover of a longer path");
  TPeer peer;
  ASSERT_TRUE(peer.Connected());
  peer.Send(Message(kHandOffMessage));
  EXPECT_EQ(peer.AwaitAnswers(kAnswerBytes), kAnswerBytes);
  ASSERT_EQ(FReceived.size(), 1u);
  EXPECT_EQ(FReceived[0], QString::fromStdU16String(path));
  EXPECT_TRUE(AreaIsZero());
}

TEST_F(HandOffReceiver, ZeroedAreaGivesEmptyTextAndAFullUnterminatedOneStopsAtItsEnd) {
  TPeer empty;
  ASSERT_TRUE(empty.Connected());
  empty.Send(Message(kHandOffMessage));
  EXPECT_EQ(empty.AwaitAnswers(kAnswerBytes), kAnswerBytes);
  ASSERT_EQ(FReceived.size(), 1u);
  EXPECT_TRUE(FReceived[0].isEmpty());

  // Every unit set, no terminator: as much text as the area holds, nothing read past it.
  const std::size_t room = (kShareMemorySize - kHandOffTextOffset) / 2;
  WriteArea(std::u16string(room, u'A'));
  TPeer full;
  ASSERT_TRUE(full.Connected());
  full.Send(Message(kHandOffMessage));
  EXPECT_EQ(full.AwaitAnswers(kAnswerBytes), kAnswerBytes);
  ASSERT_EQ(FReceived.size(), 2u);
  EXPECT_EQ(std::size_t(FReceived[1].size()), room);
  EXPECT_TRUE(AreaIsZero());
}

TEST_F(HandOffReceiver, OnlyAWholeHandOffMessageTakesTheText) {
  WriteArea(u"/a.mp3");
  TPeer peer;
  ASSERT_TRUE(peer.Connected());

  // Another message number is answered but leaves the area to the copy that writes it.
  peer.Send(Message(kHandOffMessage + 1));
  EXPECT_EQ(peer.AwaitAnswers(kAnswerBytes), kAnswerBytes);
  EXPECT_TRUE(FReceived.empty());
  EXPECT_FALSE(AreaIsZero());

  // A message that arrives in pieces counts once it is whole.
  std::vector<uint8_t> wire = Message(kHandOffMessage);
  peer.Send({wire.begin(), wire.begin() + 7});
  EXPECT_EQ(peer.AwaitAnswers(2 * kAnswerBytes, 200), kAnswerBytes);
  EXPECT_TRUE(FReceived.empty());
  peer.Send({wire.begin() + 7, wire.end()});
  EXPECT_EQ(peer.AwaitAnswers(2 * kAnswerBytes), 2 * kAnswerBytes);
  ASSERT_EQ(FReceived.size(), 1u);
  EXPECT_EQ(FReceived[0], QStringLiteral("/a.mp3"));

  // Two at once: each is answered, and the second finds the area already consumed.
  WriteArea(u"/b.mp3");
  std::vector<uint8_t> two = Message(kHandOffMessage);
  two.insert(two.end(), wire.begin(), wire.end());
  peer.Send(two);
  EXPECT_EQ(peer.AwaitAnswers(4 * kAnswerBytes), 4 * kAnswerBytes);
  ASSERT_EQ(FReceived.size(), 3u);
  EXPECT_EQ(FReceived[1], QStringLiteral("/b.mp3"));
  EXPECT_TRUE(FReceived[2].isEmpty());
}

TEST_F(HandOffReceiver, ACopyThatGoesAwayMidMessageDoesNotStopTheNextOne) {
  {
    TPeer gone;
    ASSERT_TRUE(gone.Connected());
    std::vector<uint8_t> wire = Message(kHandOffMessage);
    gone.Send({wire.begin(), wire.begin() + 5});
    PumpUntil([] { return false; }, 50);
  }
  PumpUntil([] { return false; }, 50);
  EXPECT_TRUE(FReceived.empty());

  WriteArea(u"/next.mp3");
  TPeer next;
  ASSERT_TRUE(next.Connected());
  next.Send(Message(kHandOffMessage));
  EXPECT_EQ(next.AwaitAnswers(kAnswerBytes), kAnswerBytes);
  ASSERT_EQ(FReceived.size(), 1u);
  EXPECT_EQ(FReceived[0], QStringLiteral("/next.mp3"));
}
