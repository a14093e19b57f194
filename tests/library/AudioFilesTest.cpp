// Which files an import takes from dropped files and folders, and from the command line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "library/AudioFiles.h"

namespace {

using TPaths = std::vector<std::string>;
const TPaths kExts = {"mp3", "flac", "wav"};

class AudioFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/melvo-audiofiles-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  std::string At(const std::string& relative) const { return root_ + "/" + relative; }
  std::string File(const std::string& relative) {
    const std::string path = At(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr) << path;
    if (f) std::fclose(f);
    return path;
  }
  void Folder(const std::string& relative) { std::filesystem::create_directories(At(relative)); }
  void Link(const std::string& target, const std::string& relative) {
    ASSERT_EQ(symlink(target.c_str(), At(relative).c_str()), 0) << relative;
  }
  TPaths Find(const TPaths& paths) const { return FindAudioFiles(paths, kExts); }

  std::string root_;
};

TEST(AudioExtensions, AreTheFiltersPatternsLowerCasedOnceEach) {
  EXPECT_EQ(AudioExtensionsOf("Audio|*.mp3;*.FLAC;*.Mp3|Wave|*.wav|All|*.*"),
            (TPaths{"mp3", "flac", "wav"}));
  EXPECT_EQ(AudioExtensionsOf("*.m4a;*.mp3-x;*.;*"), (TPaths{"m4a", "mp3"}));
  EXPECT_EQ(AudioExtensionsOf(""), TPaths{});

  EXPECT_TRUE(HasAudioExtension("/m/a.MP3", kExts));
  EXPECT_TRUE(HasAudioExtension("/m/live.2013.flac", kExts));
  EXPECT_TRUE(HasAudioExtension("/m/.mp3", kExts));
  EXPECT_FALSE(HasAudioExtension("/m/a.mp3.txt", kExts));
  EXPECT_FALSE(HasAudioExtension("/m/mp3", kExts));
  EXPECT_FALSE(HasAudioExtension("/m.mp3/song", kExts));
  EXPECT_FALSE(HasAudioExtension("/m/a.", kExts));
  EXPECT_FALSE(HasAudioExtension("/m/a.mp3", {}));
}

TEST_F(AudioFiles, AFolderGivesItsAudioFilesSortedThroughEverySubfolder) {
  File("b/two.mp3");
  File("a/c/one.WAV");
  File("a/zero.flac");
  File("notes.txt");
  File(".hidden/ghost.mp3");
  File("a/.ghost.mp3");
  const std::string loose = File("loose.mp3");
  EXPECT_EQ(Find({loose, root_ + "/", At("missing.mp3"), At("notes.txt")}),
            (TPaths{loose, At("a/c/one.WAV"), At("a/zero.flac"), At("b/two.mp3")}));
  // A hidden file named on its own counts; a file named twice, or found again in a folder
  // named later, is listed once.
  const std::string hidden = At("a/.ghost.mp3");
  EXPECT_EQ(Find({hidden, At("a/zero.flac"), At("a"), hidden}),
            (TPaths{hidden, At("a/zero.flac"), At("a/c/one.WAV")}));
  EXPECT_EQ(Find({}), TPaths{});
  EXPECT_EQ(Find({""}), TPaths{});
}

TEST_F(AudioFiles, AFolderLinkingToItsParentListsEveryFileOnceAndEnds) {
  File("a.mp3");
  File("sub/b.mp3");
  Link("..", "sub/up");
  Link(root_, "sub/root");
  Link(".", "self");
  Link("sub", "again");
  EXPECT_EQ(Find({root_}), (TPaths{At("a.mp3"), At("sub/b.mp3")}));
  // Started below the loop, the files above come once, through the link.
  EXPECT_EQ(Find({At("sub")}), (TPaths{At("sub/b.mp3"), At("sub/root/a.mp3")}));
}

TEST_F(AudioFiles, LinkedFilesAndFoldersAreFollowedAndTheRealPathIsPreferred) {
  const std::string outside = At("outside");
  Folder("outside/deep");
  File("outside/deep/far.mp3");
  const std::string real = File("tree/z/real.mp3");
  Link(outside, "tree/elsewhere");
  Link(real, "tree/a-link.mp3");        // sorts before the real file
  Link(At("tree/z"), "tree/a-folder");  // so does the linked folder
  Link(At("tree/nowhere.mp3"), "tree/broken.mp3");
  Link(At("tree/loop2.mp3"), "tree/loop1.mp3");  // a link cycle
  Link(At("tree/loop1.mp3"), "tree/loop2.mp3");
  Link(At("tree/z/real.mp3"), "single.mp3");
  EXPECT_EQ(Find({At("tree")}), (TPaths{At("tree/elsewhere/deep/far.mp3"), real}));
  // A dropped link is listed as dropped; the same file later is not listed again.
  EXPECT_EQ(Find({At("single.mp3"), At("tree")}),
            (TPaths{At("single.mp3"), At("tree/elsewhere/deep/far.mp3")}));
}

TEST_F(AudioFiles, OnlyReadableRegularFilesCount) {
  ASSERT_EQ(mkfifo(At("pipe.mp3").c_str(), 0600), 0);
  Folder("folder.mp3");
  const std::string song = File("song.mp3");
  EXPECT_EQ(Find({root_}), TPaths{song});
  EXPECT_EQ(Find({At("pipe.mp3"), At("folder.mp3")}), TPaths{});
  if (geteuid() != 0) {  // root reads everything
    ASSERT_EQ(chmod(song.c_str(), 0), 0);
    EXPECT_EQ(Find({root_, song}), TPaths{});
  }
}

TEST_F(AudioFiles, NamesAreKeptByteForByte) {
  const std::string odd[] = {"\xff\xfe latin1 \xe9.mp3", "line\nbreak.mp3", "back\\slash.flac",
                             "晴天 (live).mp3", " lead and trail .wav"};
  TPaths expected;
  for (const std::string& name : odd) expected.push_back(File("odd/" + name));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Find({At("odd")}), expected);
}

TEST(CommandLine, TheTrimmedTextIsOnePath) {
  EXPECT_EQ(CommandLineImportPaths("/my music/a song.mp3"), TPaths{"/my music/a song.mp3"});
  EXPECT_EQ(CommandLineImportPaths(" \t/a  b.mp3 \r\n\x01"), TPaths{"/a  b.mp3"});
  EXPECT_EQ(CommandLineImportPaths("/a.mp3 /b.mp3"), TPaths{"/a.mp3 /b.mp3"});
  EXPECT_EQ(CommandLineImportPaths("/m/晴天\xe3\x80\x80.mp3\xe3\x80\x80"),
            TPaths{"/m/晴天\xe3\x80\x80.mp3\xe3\x80\x80"});  // ideographic spaces are no blanks
  EXPECT_EQ(CommandLineImportPaths(" \t\n "), TPaths{});
  EXPECT_EQ(CommandLineImportPaths(""), TPaths{});
}

TEST_F(AudioFiles, ARelativeCommandLinePathIsMadeAbsolute) {
  namespace fs = std::filesystem;
  const fs::path before = fs::current_path();
  Folder("odd");
  fs::current_path(At("odd"));
  const std::string here = fs::current_path();
  EXPECT_EQ(CommandLineImportPaths(" my song.mp3"), TPaths{here + "/my song.mp3"});
  EXPECT_EQ(CommandLineImportPaths("../a.mp3"), TPaths{here + "/../a.mp3"});
  fs::current_path(before);
}

}  // namespace
