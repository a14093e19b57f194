// Tags through TAGS_Read, including legacy GB18030 text of older MP3s.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace audiolib_test;

namespace {

class TagsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initDevice();
    loadPlugin();
  }
  struct Tags {
    std::string title, artist, album;
  };
  Tags read(const std::string& file) {
    HSTREAM h = BASS_StreamCreateFile(FALSE, fixture(file).c_str(), 0, 0, BASS_UNICODE);
    StreamGuard g(h);
    EXPECT_NE(h, 0u) << file << " error " << BASS_ErrorGetCode();
    if (!h) return {};
    return {TAGS_Read(h, "%TITL"), TAGS_Read(h, "%ARTI"), TAGS_Read(h, "%ALBM")};
  }
};

TEST_F(TagsTest, UnicodeTagsOfEveryContainerReadAsUtf8) {
  for (const char* file : {"tagged_utf16.mp3", "中文歌曲.mp3", "tagged.ogg", "tagged.flac",
                           "tagged.opus", "tagged.m4a", "tagged.wma", "tagged.wv"}) {
    Tags t = read(file);
    EXPECT_EQ(t.title, "晴天") << file;
    EXPECT_EQ(t.artist, "周杰伦") << file;
    EXPECT_EQ(t.album, "叶惠美") << file;
  }
}

TEST_F(TagsTest, LegacyEightBitTagsAreDecodedAsGb18030) {
  for (const char* file : {"legacy_id3v1.mp3", "legacy_id3v2.mp3"}) {
    Tags t = read(file);
    EXPECT_EQ(t.title, "青花瓷") << file;
    EXPECT_EQ(t.artist, "周杰伦") << file;
    EXPECT_EQ(t.album, "我很忙") << file;
  }
  // 8-bit text that already is UTF-8 is kept as it is.
  Tags t = read("utf8_id3v1.mp3");
  EXPECT_EQ(t.title, "Café");
  EXPECT_EQ(t.album, "日本");
}

TEST_F(TagsTest, MissingTagsAreEmptyAndFormatsCombine) {
  Tags t = read("tone.mp3");
  EXPECT_EQ(t.title, "");
  EXPECT_EQ(t.artist, "");
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tagged.ogg").c_str(), 0, 0, 0);
  StreamGuard g(h);
  const char* first = TAGS_Read(h, "%ARTI - %TITL (100%%)");
  EXPECT_STREQ(first, "周杰伦 - 晴天 (100%)");
  const char* second = TAGS_Read(h, "%ALBM");
  EXPECT_STREQ(first, "周杰伦 - 晴天 (100%)");  // still valid after another call
  EXPECT_STREQ(second, "叶惠美");
  EXPECT_STREQ(TAGS_Read(h, "%XXXX"), "%XXXX");
}

}  // namespace
