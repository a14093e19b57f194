// The library's own readers of title, artist and album: ID3v2 in all three versions and every
// text encoding, ID3v1, Vorbis comments in FLAC, INFO and ID3 chunks in WAV. Whatever they read
// must be what TagLib reads from the same file; whatever they decline is read by TagLib.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "audiolib/TagReaders.h"
#include "audiolib/Tags.h"

using namespace audiolib_test;
using namespace melvo::audiolib;
namespace fs = std::filesystem;

namespace {

using Tags = std::map<std::string, std::string>;

std::string be(uint32_t v, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += char((v >> (8 * i)) & 0xFF);
  return out;
}
std::string le(uint32_t v, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 0xFF);
  return out;
}
size_t le32At(const std::string& s, size_t at) {
  return size_t(uint8_t(s[at])) | size_t(uint8_t(s[at + 1])) << 8 |
         size_t(uint8_t(s[at + 2])) << 16 | size_t(uint8_t(s[at + 3])) << 24;
}
std::string syncsafe(uint32_t v) {
  std::string out;
  for (int shift : {21, 14, 7, 0}) out += char((v >> shift) & 0x7F);
  return out;
}

// One ID3v2 frame of the given version (2, 3 or 4); `flags` are the two flag bytes of 2.3/2.4.
std::string frame(int version, const std::string& id, const std::string& body, uint16_t flags = 0) {
  if (version == 2) return id + be(uint32_t(body.size()), 3) + body;
  return id + (version == 3 ? be(uint32_t(body.size()), 4) : syncsafe(uint32_t(body.size()))) +
         be(flags, 2) + body;
}
// An ID3v2 tag of `frames` followed by `padding` zero bytes.
std::string tag(int version, const std::string& frames, size_t padding = 64,
                unsigned char flags = 0) {
  return std::string("ID3") + char(version) + char(0) + char(flags) +
         syncsafe(uint32_t(frames.size() + padding)) + frames + std::string(padding, '\0');
}
std::string text(unsigned char encoding, const std::string& bytes) {
  return std::string(1, char(encoding)) + bytes;
}
std::string utf16le(const std::u16string& s, bool bom = true) {
  std::string out = bom ? "\xFF\xFE" : "";
  for (char16_t c : s) out += le(c, 2);
  return out;
}
std::string utf16be(const std::u16string& s, bool bom) {
  std::string out = bom ? "\xFE\xFF" : "";
  for (char16_t c : s) out += be(c, 2);
  return out;
}
std::string id3v1(const std::string& title, const std::string& artist, const std::string& album) {
  auto field = [](std::string s, size_t n) {
    s.resize(n, '\0');
    return s;
  };
  return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + std::string(35, '\0');
}

class TagReadersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initDevice();
    dir_ = fs::temp_directory_path() / ("melvo-tagreaders-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    mp3_ = readFile(fixture("tone.mp3"));
    ASSERT_FALSE(mp3_.empty());
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return p.string();
  }

  // Reads `path` with both; when the own readers give a result it must equal TagLib's. Returns
  // the own result.
  std::optional<Tags> readBoth(const std::string& path) {
    std::optional<Tags> own = readCommonTags(path);
    if (own) {
      Tags full = readFileTags(path);
      EXPECT_EQ((*own)["title"], full["title"]) << path;
      EXPECT_EQ((*own)["artist"], full["artist"]) << path;
      EXPECT_EQ((*own)["album"], full["album"]) << path;
      EXPECT_EQ(own->size(), 3u) << path;
    }
    return own;
  }
  // An MP3 file of `head` (tags) and the tone; the own readers must read it.
  Tags mp3(const std::string& name, const std::string& head, const std::string& tail = "") {
    const std::string path = write(name + ".mp3", head + mp3_ + tail);
    std::optional<Tags> t = readBoth(path);
    EXPECT_TRUE(t) << name << " was left to TagLib";
    return t ? *t : Tags{};
  }

  fs::path dir_;
  std::string mp3_;
};

TEST_F(TagReadersTest, EveryId3v2VersionAndTextEncodingReadsAsTagLibDoes) {
  const std::string gbk = "\xC7\xE0\xBB\xA8\xB4\xC9";  // 青花瓷 in the legacy code page
  for (int v : {3, 4}) {
    std::string n = "v";  // appended: GCC 12 warns -Wrestrict on "v" + string (a false alarm)
    n += std::to_string(v);
    Tags t = mp3(n + "latin",
                 tag(v, frame(v, "TIT2", text(0, " Caf\xE9 \t")) + frame(v, "TPE1", text(0, gbk)) +
                            frame(v, "TALB", text(0, std::string("Plain\0", 6)))));
    EXPECT_EQ(t["title"], "Café");  // Latin-1 bytes that are no legacy Chinese text
    EXPECT_EQ(t["artist"], "青花瓷");
    EXPECT_EQ(t["album"], "Plain");
    t = mp3(n + "utf16", tag(v, frame(v, "TIT2", text(1, utf16le(u"晴天") + std::string(2, '\0'))) +
                                    frame(v, "TPE1", text(1, utf16be(u"周杰伦", true))) +
                                    frame(v, "TALB", text(2, utf16be(u"叶惠美", false)))));
    EXPECT_EQ(t["title"], "晴天");
    EXPECT_EQ(t["artist"], "周杰伦");
    EXPECT_EQ(t["album"], "叶惠美");
    // Several values in one frame are joined; a later value may rely on the first's byte order
    // mark; a value without any has none to go by.
    t = mp3(n + "multi",
            tag(v, frame(v, "TIT2",
                         text(1, utf16le(u"A") + std::string(2, '\0') + utf16le(u"B", false))) +
                       frame(v, "TPE1", text(3, std::string("X\0Y\0\0", 5))) +
                       frame(v, "TALB", text(1, utf16le(u"No mark", false)))));
    EXPECT_EQ(t["title"], "A B");
    EXPECT_EQ(t["artist"], "X Y");
    EXPECT_EQ(t["album"], "");
    // 8-bit bytes that pass for UTF-8 but encode a surrogate are no text at all to TagLib.
    t = mp3(n + "surrogate",
            tag(v, frame(v, "TIT2", text(0, std::string("a\0\xED\xBD\xBD\0b", 7)))));
    EXPECT_EQ(t["title"], "a  b");
    // Characters outside the basic plane, as surrogate pairs and in UTF-8.
    t = mp3(n + "astral", tag(v, frame(v, "TIT2", text(1, utf16le(u"\U0001F3B5"))) +
                                     frame(v, "TPE1", text(3, "\xF0\x9F\x8E\xB5"))));
    EXPECT_EQ(t["title"], "\U0001F3B5");
    EXPECT_EQ(t["artist"], "\U0001F3B5");
  }
  Tags t =
      mp3("v2", tag(2, frame(2, "TT2", text(0, "Old")) + frame(2, "TP1", text(1, utf16le(u"旧"))) +
                           frame(2, "TAL", text(0, gbk))));
  EXPECT_EQ(t["title"], "Old");
  EXPECT_EQ(t["artist"], "旧");
  EXPECT_EQ(t["album"], "青花瓷");
}

TEST_F(TagReadersTest, UnsynchronisedTagsAndFramesAreDecoded) {
  // A title holding 0xFF bytes (ÿ in Latin-1, then UTF-16 ÿ whose low byte is 0xFF).
  auto escaped = [](const std::string& s) {
    std::string out;
    for (char c : s) {
      out += c;
      if (static_cast<unsigned char>(c) == 0xFF) out += '\0';
    }
    return out;
  };
  const std::string frames3 =
      frame(3, "TIT2", text(1, utf16le(u"\u00FF\u00FFx"))) + frame(3, "TPE1", text(0, "\xFF\xFF"));
  // 2.3: the whole tag is unsynchronised, frame sizes count the decoded bytes.
  Tags t = mp3("unsync3", std::string("ID3\x03\x00\x80", 6) +
                              syncsafe(uint32_t(escaped(frames3).size() + 20)) + escaped(frames3) +
                              std::string(20, '\0'));
  EXPECT_EQ(t["title"], "ÿÿx");
  // 2.4: each frame says so itself, and its size counts the bytes as stored.
  const std::string body = escaped(text(1, utf16le(u"\u00FFy")));
  t = mp3("unsync4", tag(4, frame(4, "TIT2", body, 0x0002) + frame(4, "TALB", text(3, "ok"))));
  EXPECT_EQ(t["title"], "ÿy");
  EXPECT_EQ(t["album"], "ok");
}

TEST_F(TagReadersTest, MissingTagsFallBackToId3v1AndDamagedFramesEndTheTag) {
  // Only padding in the tag; the ID3v1 tag at the end (legacy text) gives what is missing.
  Tags t = mp3("padding", tag(3, "", 500), id3v1("\xC7\xE0\xBB\xA8\xB4\xC9", "Art  ", ""));
  EXPECT_EQ(t["title"], "青花瓷");
  EXPECT_EQ(t["artist"], "Art");
  EXPECT_EQ(t["album"], "");
  t = mp3("both", tag(3, frame(3, "TIT2", text(0, "Two"))), id3v1("One", "V1 artist", "V1 album"));
  EXPECT_EQ(t["title"], "Two");
  EXPECT_EQ(t["artist"], "V1 artist");
  // A frame with a bad name, an empty frame or one running past the tag ends the reading.
  for (const std::string& bad : {std::string("TI-2") + be(3, 4) + be(0, 2) + text(0, "ab"),
                                 std::string("TXXX") + be(0, 4) + be(0, 2),
                                 std::string("TALB") + be(5000, 4) + be(0, 2) + text(0, "ab")}) {
    t = mp3("bad" + std::to_string(bad.size()),
            tag(3, frame(3, "TIT2", text(0, "Kept")) + bad + frame(3, "TPE1", text(0, "Lost")), 0));
    EXPECT_EQ(t["title"], "Kept");
    EXPECT_EQ(t["artist"], "");
  }
  // Frames with one byte or none after the encoding, and a 2.4 tag written with plain sizes.
  t = mp3("short", tag(3, frame(3, "TIT2", std::string(1, '\x01')) + frame(3, "TPE1", "\x03") +
                              frame(3, "TALB", text(0, "A"))));
  EXPECT_EQ(t["album"], "A");
  const std::string longTitle(300, 't');  // no frame name can be read into it
  const std::string plain = std::string("TIT2") + be(uint32_t(longTitle.size() + 1), 4) + be(0, 2) +
                            text(0, longTitle) + frame(4, "TPE1", text(0, "After"));
  t = mp3("itunes", tag(4, plain));
  EXPECT_EQ(t["title"], longTitle);
  EXPECT_EQ(t["artist"], "After");
  // A 2.4 size with a byte that is not sync-safe is a plain size: here one past the tag's end,
  // then one that fits.
  t = mp3("not_syncsafe", tag(4, std::string("TIT2\0\0\0\x98\0\0", 10) + text(0, "x"), 40));
  EXPECT_EQ(t["title"], "");
  const std::string fits(0x84, 'f');
  t = mp3("plain_fits", tag(4, std::string("TIT2\0\0\0\x85\0\0", 10) + text(0, fits)));
  EXPECT_EQ(t["title"], fits);
}

TEST_F(TagReadersTest, WhatTheReadersAreNotSureOfIsLeftToTagLib) {
  const std::string title = frame(3, "TIT2", text(0, "T"));
  auto declined = [&](const std::string& name, const std::string& bytes) {
    const std::string path = write(name, bytes);
    EXPECT_FALSE(readCommonTags(path)) << name;
    // TagLib and opening the file cope with it too.
    readFileTags(path);
    HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_UNICODE);
    StreamGuard g(h);
    if (h) {
      EXPECT_NE(TAGS_Read(h, "%TITL"), nullptr) << name;
    }
  };
  declined("ape.mp3", tag(3, title) + mp3_ + "APETAGEX" + std::string(24, '\0'));
  declined("extended.mp3",
           std::string("ID3\x03\x00\x40", 6) + syncsafe(100) + std::string(100, '\0') + mp3_);
  declined("compressed.mp3", tag(3, frame(3, "TIT2", text(0, "T"), 0x0080)) + mp3_);
  declined("bad_utf8.mp3", tag(3, frame(3, "TIT2", text(3, "\xC3\x28"))) + mp3_);
  declined("lone_surrogate.mp3", tag(3, frame(3, "TIT2", text(1, utf16le(u"\xD800x")))) + mp3_);
  declined("v5.mp3", "ID3\x05" + tag(3, title).substr(4) + mp3_);
  // A tag claiming more than the file holds.
  declined("huge_tag.mp3", std::string("ID3\x03\x00\x00", 6) + syncsafe(50000000) + title + mp3_);
  declined("truncated_tag.mp3", tag(3, title + frame(3, "TPE1", text(0, "A"))).substr(0, 20));
  declined("untagged.mp3", mp3_);               // TagLib looks further for tags in these
  declined("other.ogg", tag(3, title) + mp3_);  // not a type these readers know
  declined("nothing.flac", "fLaC");
}

// FLAC: the comment block wherever it stands among the metadata blocks; a damaged block after
// it makes the file one TagLib cannot read, so it is declined too.
TEST_F(TagReadersTest, FlacVorbisCommentsReadAsTagLibDoes) {
  loadPlugin();
  std::optional<Tags> t = readBoth(fixture("tagged.flac"));
  ASSERT_TRUE(t);
  EXPECT_EQ((*t)["title"], "晴天");
  const std::string flac = readFile(fixture("tone.flac"));
  ASSERT_EQ(flac.substr(0, 4), "fLaC");
  const std::string streamInfo = flac.substr(4, 38);
  ASSERT_EQ(streamInfo[0] & 0x7F, 0);
  // The audio frames of tone.flac: after its last metadata block.
  size_t pos = 4;
  for (bool last = false; !last;) {
    last = flac[pos] & 0x80;
    pos += 4 + (uint32_t(uint8_t(flac[pos + 1])) << 16 | uint32_t(uint8_t(flac[pos + 2])) << 8 |
                uint8_t(flac[pos + 3]));
  }
  const std::string audio = flac.substr(pos);
  auto block = [](int type, const std::string& data, bool last = false) {
    return std::string(1, char(type | (last ? 0x80 : 0))) + be(uint32_t(data.size()), 3) + data;
  };
  auto comment = [](const std::vector<std::string>& fields) {
    std::string c = le(6, 4) + "vendor" + le(uint32_t(fields.size()), 4);
    for (const std::string& f : fields) c += le(uint32_t(f.size()), 4) + f;
    return c;
  };
  const std::string info = std::string(1, char(0)) + streamInfo.substr(1);
  const std::string picture(3000, 'p');
  const std::string good =
      "fLaC" + info +
      block(4, comment({"title=One", "TITLE=Two", "Artist=Ärtist", "ALBUM=", "COMMENT=x"})) +
      block(6, picture) + block(1, std::string(100, '\0'), true) + audio;
  t = readBoth(write("comments.flac", good));
  ASSERT_TRUE(t);
  EXPECT_EQ((*t)["title"], "One Two");
  EXPECT_EQ((*t)["artist"], "Ärtist");
  EXPECT_EQ((*t)["album"], "");
  // No comment block at all.
  t = readBoth(write("bare.flac", "fLaC" + info + block(1, std::string(10, '\0'), true) + audio));
  ASSERT_TRUE(t);
  EXPECT_EQ((*t)["title"], "");
  // A later block that runs past the end of the file, or a block of no bytes.
  for (const std::string& bad :
       {"fLaC" + info + block(4, comment({"TITLE=x"})) + "\x86\x10\x00\x00",
        "fLaC" + info + block(4, comment({"TITLE=x"})) + block(2, "", true)}) {
    const std::string path = write("bad.flac", bad);
    EXPECT_FALSE(readCommonTags(path));
    readFileTags(path);
  }
}

TEST_F(TagReadersTest, WavInfoAndId3ChunksReadAsTagLibDoes) {
  const std::string wav = readFile(fixture("tone.wav"));
  ASSERT_EQ(wav.substr(0, 4), "RIFF");
  // Its fmt and data chunks (without the LIST chunk FFmpeg writes).
  std::string chunks;
  for (size_t pos = 12; pos + 8 <= wav.size();) {
    const size_t size = le32At(wav, pos + 4);
    if (wav.compare(pos, 4, "LIST") != 0) chunks += wav.substr(pos, 8 + size + size % 2);
    pos += 8 + size + size % 2;
  }
  auto riff = [](const std::string& body) {
    return "RIFF" + le(uint32_t(4 + body.size()), 4) + "WAVE" + body;
  };
  auto chunk = [](const std::string& id, const std::string& data) {
    return id + le(uint32_t(data.size()), 4) + data + (data.size() % 2 ? std::string(1, '\0') : "");
  };
  auto info = [&](const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string list = "INFO";
    for (const auto& [id, value] : entries) list += chunk(id, value);
    return chunk("LIST", list);
  };
  std::optional<Tags> t =
      readBoth(write("info.wav", riff(chunks + info({{"INAM", "\xC7\xE0\xBB\xA8\xB4\xC9"},
                                                     {"IART", "Odd"},
                                                     {"IART", "Later "},
                                                     {"ICMT", "c"}}))));
  ASSERT_TRUE(t);
  EXPECT_EQ((*t)["title"], "青花瓷");
  EXPECT_EQ((*t)["artist"], "Later");
  // An ID3 chunk comes first, the INFO list fills in what it lacks.
  const std::string id3 = tag(3, frame(3, "TIT2", text(1, utf16le(u"晴天"))), 10);
  t = readBoth(write("both.wav", riff(chunks + chunk("id3 ", id3) +
                                      info({{"INAM", "Info title"}, {"IPRD", "Info album"}}))));
  ASSERT_TRUE(t);
  EXPECT_EQ((*t)["title"], "晴天");
  EXPECT_EQ((*t)["album"], "Info album");
  t = readBoth(write("plain.wav", wav));
  ASSERT_TRUE(t);
  EXPECT_EQ((*t)["title"], "");
  // An ID3 chunk whose tag claims more than the chunk holds is left to TagLib.
  const std::string path = write(
      "long_id3.wav",
      riff(chunks + chunk("ID3 ", std::string("ID3\x03\x00\x00", 6) + syncsafe(5000) + "TIT2")));
  EXPECT_FALSE(readCommonTags(path));
}

// The stream keeps the three texts the readers gave, and reads the rest with TagLib when asked.
TEST_F(TagReadersTest, OtherTagsAreStillReadThroughTheLibrary) {
  EXPECT_TRUE(asksOnlyCommonTags("%TITL"));
  EXPECT_TRUE(asksOnlyCommonTags("%ARTI - %ALBM (100%%)"));
  EXPECT_FALSE(asksOnlyCommonTags("%TITL %YEAR"));
  EXPECT_FALSE(asksOnlyCommonTags("%GNRE"));
  const std::string path = write(
      "genre.mp3", tag(3, frame(3, "TIT2", text(0, "Song")) + frame(3, "TCON", text(0, "Jazz")) +
                              frame(3, "TYER", text(0, "1999"))) +
                       mp3_);
  HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_UNICODE);
  StreamGuard g(h);
  ASSERT_NE(h, 0u);
  EXPECT_STREQ(TAGS_Read(h, "%TITL"), "Song");
  EXPECT_STREQ(TAGS_Read(h, "%GNRE/%YEAR"), "Jazz/1999");
  EXPECT_STREQ(TAGS_Read(h, "%TITL"), "Song");
}

}  // namespace
