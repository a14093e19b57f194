#include "shell/ShareMemory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <vector>

TEST(JoinCommandLine, JoinsWithSingleSpacesAndTrims) {
  EXPECT_EQ(JoinCommandLine({}), "");
  EXPECT_EQ(JoinCommandLine({"/music/a b/c.mp3"}), "/music/a b/c.mp3");
  // A path with spaces passed without quotes arrives split and is put back together.
  EXPECT_EQ(JoinCommandLine({"/music/my", "song.mp3"}), "/music/my song.mp3");
  EXPECT_EQ(JoinCommandLine({"  \t/a.mp3\r\n", ""}), "/a.mp3");
  EXPECT_EQ(JoinCommandLine({"/音乐/歌.mp3"}), "/音乐/歌.mp3");
}

// The running copy works in its own folder, so a relative path is completed by the sender.
TEST(HandOffCommandLine, MakesARelativePathAbsoluteAgainstTheSendersFolder) {
  char before[4096];
  ASSERT_NE(getcwd(before, sizeof before), nullptr);
  char scratch[] = "/tmp/melvo-handoff-XXXXXX";
  ASSERT_NE(mkdtemp(scratch), nullptr);
  ASSERT_EQ(chdir(scratch), 0);
  char here[4096];  // the resolved name of the folder (/tmp may be a link)
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(HandOffCommandLine({"my", "song.mp3"}), std::string(here) + "/my song.mp3");
  EXPECT_EQ(HandOffCommandLine({" /music/a.mp3"}), "/music/a.mp3");
  EXPECT_EQ(HandOffCommandLine({}), "");  // a plain start still only brings the window forward
  ASSERT_EQ(chdir(before), 0);
  rmdir(scratch);
}

TEST(HandOffMessage, RoundTripsLittleEndian) {
  uint8_t wire[kHandOffMessageBytes];
  EncodeHandOffMessage({kHandOffMessage, 1, 1}, wire);
  EXPECT_EQ(wire[0], 0x12);
  EXPECT_EQ(wire[1], 0x0B);
  HandOffMessage m = DecodeHandOffMessage(wire);
  EXPECT_EQ(m.message, kHandOffMessage);
  EXPECT_EQ(m.wParam, 1u);
  EXPECT_EQ(m.lParam, 1u);
}

TEST(ReadHandOffText, StopsAtTheFirstZeroUnitAndAtTheEnd) {
  std::vector<uint8_t> area(16, 0);
  EXPECT_EQ(ReadHandOffText(area.data(), area.size()), u"");
  const char16_t text[] = u"a歌";
  for (int i = 0; i < 2; ++i) {
    area[2 + 2 * i] = uint8_t(text[i] & 0xFF);
    area[3 + 2 * i] = uint8_t(text[i] >> 8);
  }
  EXPECT_EQ(ReadHandOffText(area.data(), area.size()), u"a歌");
  // A full area has no terminator: reading stops at its end.
  std::fill(area.begin() + 2, area.end(), 0x41);
  EXPECT_EQ(ReadHandOffText(area.data(), area.size()).size(), 7u);
  EXPECT_EQ(ReadHandOffText(nullptr, 0), u"");
  // Areas too small for the offset, or ending in half a unit, are read up to their last whole
  // unit and no further.
  for (std::size_t size : {0u, 1u, 2u, 3u, 5u}) {
    std::vector<uint8_t> small(size, 0x41);
    EXPECT_EQ(ReadHandOffText(small.data(), size).size(), size < 4 ? 0u : (size - 2) / 2);
  }
}
