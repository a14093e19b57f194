// The desktop entry, MIME package, defaults and autostart entry, written into private XDG
// folders and checked with the desktop's own tools where they are installed.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "shell/DesktopEntry.h"
#include "shell/DesktopFiles.h"
#include "shell/MimeApps.h"

namespace fs = std::filesystem;
using namespace shell;

namespace {

const std::vector<std::string> kAssociated{"AAC", "AC3", "ape", "CDA", "CUE", "dks", "FLAC", "lrcx",
                                           "M4A", "MP1", "MP2", "MP3", "OGG", "TTA", "WAV",  "wma"};

std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  while (std::size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  int rc = pclose(p);
  if (status) *status = rc;
  return out;
}

bool HaveTool(const char* name) {
  int status = 0;
  Shell(std::string("command -v ") + name + " >/dev/null 2>&1", &status);
  return status == 0;
}

// Single quotes for /bin/sh.
std::string ShellQuote(const std::string& s) {
  std::string r = "'";
  for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string KeyLine(const std::string& text, const std::string& key) {
  std::size_t at = text.find("\n" + key + "=");
  if (at == std::string::npos) return {};
  at += 1;
  return text.substr(at, text.find('\n', at) - at);
}

class DesktopFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/melvo-desktop-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    data_ = root_ / "data";
    config_ = root_ / "config";
    setenv("XDG_DATA_HOME", data_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }

  // A program that writes the arguments it gets, NUL-separated, next to itself.
  std::string MakeRecordingProgram(const std::string& folderName) {
    fs::path folder = root_ / folderName;
    fs::create_directories(folder);
    fs::path program = folder / "melvo";
    argsFile_ = root_ / "args";
    WriteText(program, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\000' \"$a\"; done > " +
                           ShellQuote(argsFile_.string() + ".part") + "\nmv " +
                           ShellQuote(argsFile_.string() + ".part") + " " +
                           ShellQuote(argsFile_.string()) + "\n");
    fs::permissions(program, fs::perms::owner_all);
    return program.string();
  }

  std::vector<std::string> WaitForArgs() {
    for (int i = 0; i < 500 && !fs::exists(argsFile_); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<std::string> args;
    std::optional<std::string> raw = ReadWholeFile(argsFile_.string());
    if (!raw) return args;
    std::size_t start = 0;
    for (std::size_t i = 0; i < raw->size(); ++i)
      if ((*raw)[i] == '\0') {
        args.push_back(raw->substr(start, i - start));
        start = i + 1;
      }
    return args;
  }

  std::string Env() const {
    return "env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION XDG_DATA_HOME=" +
           ShellQuote(data_.string()) + " XDG_CONFIG_HOME=" + ShellQuote(config_.string()) +
           " XDG_DATA_DIRS=" + ShellQuote((root_ / "nodata").string()) + " ";
  }

  fs::path root_, data_, config_, argsFile_;
};

TEST_F(DesktopFilesTest, EntryListsEveryTypeInOrderAndBecomesTheDefault) {
  const std::string program = MakeRecordingProgram("Program Files/melvo 5");
  RegisterFileTypes(kAssociated, program);

  std::optional<std::string> entry = ReadWholeFile(DesktopEntryPath());
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(DesktopEntryPath(), (data_ / "applications/melvo.desktop").string());
  EXPECT_EQ(KeyLine(*entry, "MimeType"),
            "MimeType=audio/aac;audio/ac3;audio/x-ape;audio/x-cda;application/x-cue;audio/x-dks;"
            "audio/flac;audio/x-lrcx;audio/mp4;audio/x-mp1;audio/mp2;audio/mpeg;audio/ogg;"
            "audio/x-vorbis+ogg;audio/x-tta;audio/x-wav;audio/x-ms-wma;");
  EXPECT_EQ(KeyLine(*entry, "Comment"), "Comment=用Melvo 播放");
  EXPECT_EQ(KeyLine(*entry, "Exec"), "Exec=\"" + program + "\" %f");

  if (HaveTool("desktop-file-validate")) {
    int status = -1;
    std::string out =
        Shell("desktop-file-validate " + ShellQuote(DesktopEntryPath()) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "");
  }

  // The types without a standard name are known once the database is rebuilt.
  std::optional<std::string> globs = ReadWholeFile((data_ / "mime/globs2").string());
  ASSERT_TRUE(globs.has_value()) << "update-mime-database did not run";
  for (const char* own :
       {"audio/x-cda:*.cda", "audio/x-dks:*.dks", "audio/x-lrcx:*.lrcx", "audio/x-mp1:*.mp1"})
    EXPECT_NE(globs->find(own), std::string::npos) << own;

  std::optional<std::string> defaults = ReadWholeFile(MimeAppsPath());
  ASSERT_TRUE(defaults.has_value());
  EXPECT_NE(defaults->find("[Default Applications]\naudio/aac=melvo.desktop;\n"),
            std::string::npos);
  if (HaveTool("xdg-mime")) {
    EXPECT_EQ(Shell(Env() + "xdg-mime query default audio/mpeg"), "melvo.desktop\n");
    EXPECT_EQ(Shell(Env() + "xdg-mime query default audio/x-dks"), "melvo.desktop\n");
  }
}

TEST_F(DesktopFilesTest, LauncherHandsAPathWithSpacesAndShellCharactersAsOneArgument) {
  if (!HaveTool("gio")) GTEST_SKIP() << "gio is not installed";
  // The characters the Exec quoting rules treat specially, in the program's folder name too. ("%"
  // is left out there: GLib looks for the program before it undoes the doubled "%".)
  const std::string program = MakeRecordingProgram("apps $HOME `x` \"q\" 'a' \\b ~;&|<>*?#()");
  RegisterFileTypes(kAssociated, program);
  const std::string song = (root_ / "My Music/周杰伦 - 晴天 (live) $1 100%.mp3").string();
  WriteText(song, "");

  int status = -1;
  std::string out = Shell(
      Env() + "gio launch " + ShellQuote(DesktopEntryPath()) + " " + ShellQuote(song) + " 2>&1",
      &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(WaitForArgs(), std::vector<std::string>{song});
}

TEST_F(DesktopFilesTest, OtherProgramsDefaultsAndOddLinesSurvive) {
  const std::string before =
      "# kept comment\r\n"
      "[Default Applications]\r\n"
      "text/html=firefox.desktop;\r\n"
      "audio/mpeg = vlc.desktop;melvo.desktop;\r\n"
      "this line has no equals sign\r\n"
      "audio/mpeg=rhythmbox.desktop\r\n"
      "\r\n"
      "[Removed Associations]\r\n"
      "audio/flac=melvo.desktop;\r\n"
      "audio/mp4=melvo.desktop;vlc.desktop;\r\n"
      "[X-Other Group]\r\n"
      "audio/aac=other.desktop;\r\n"
      "\xff\xfe binary junk";
  WriteText(config_ / "mimeapps.list", before);
  RegisterFileTypes({"MP3", "FLAC", "M4A"}, MakeRecordingProgram("bin"));

  std::optional<std::string> after = ReadWholeFile(MimeAppsPath());
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(*after,
            "# kept comment\r\n"
            "[Default Applications]\r\n"
            "text/html=firefox.desktop;\r\n"
            "audio/mpeg=melvo.desktop;vlc.desktop;\r\n"
            "this line has no equals sign\r\n"
            "audio/mpeg=melvo.desktop;rhythmbox.desktop;\r\n"
            "audio/flac=melvo.desktop;\r\n"
            "audio/mp4=melvo.desktop;\r\n"
            "\r\n"
            "[Removed Associations]\r\n"
            "audio/mp4=vlc.desktop;\r\n"
            "[X-Other Group]\r\n"
            "audio/aac=other.desktop;\r\n"
            "\xff\xfe binary junk\r\n"
            "\r\n"
            "[Added Associations]\r\n"
            "audio/mpeg=melvo.desktop;\r\n"
            "audio/flac=melvo.desktop;\r\n"
            "audio/mp4=melvo.desktop;\r\n");

  // The next start finds nothing to change.
  RegisterFileTypes({"MP3", "FLAC", "M4A"}, MakeRecordingProgram("bin"));
  EXPECT_EQ(ReadWholeFile(MimeAppsPath()), after);
}

TEST_F(DesktopFilesTest, MergeAddsMissingGroupsToEmptyAndUnterminatedFiles) {
  EXPECT_EQ(MergeMimeApps("", {"audio/mpeg"}, "melvo.desktop"),
            "[Default Applications]\naudio/mpeg=melvo.desktop;\n\n"
            "[Added Associations]\naudio/mpeg=melvo.desktop;\n");
  EXPECT_EQ(MergeMimeApps("[Default Applications]", {"audio/ogg"}, "melvo.desktop"),
            "[Default Applications]\naudio/ogg=melvo.desktop;\n\n"
            "[Added Associations]\naudio/ogg=melvo.desktop;\n");
  // Only the first copy of a repeated group grows; keys in both copies are updated.
  EXPECT_EQ(MergeMimeApps("[Added Associations]\na=x;\n[Added Associations]\naudio/ogg=y;\n",
                          {"audio/ogg", "audio/mpeg"}, "m.desktop"),
            "[Added Associations]\na=x;\naudio/mpeg=m.desktop;\n[Added Associations]\n"
            "audio/ogg=m.desktop;y;\n\n[Default Applications]\naudio/ogg=m.desktop;\n"
            "audio/mpeg=m.desktop;\n");
}

TEST_F(DesktopFilesTest, LinkedListKeepsItsLinkAndTargetKeepsItsMode) {
  fs::path dotfiles = root_ / "dotfiles/mimeapps.list";
  WriteText(dotfiles, "[Default Applications]\ntext/plain=gedit.desktop;\n");
  fs::permissions(dotfiles, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directories(config_);
  fs::create_symlink(dotfiles, config_ / "mimeapps.list");

  RegisterFileTypes({"MP3"}, MakeRecordingProgram("bin"));
  EXPECT_TRUE(fs::is_symlink(config_ / "mimeapps.list"));
  std::optional<std::string> target = ReadWholeFile(dotfiles.string());
  ASSERT_TRUE(target.has_value());
  EXPECT_NE(target->find("text/plain=gedit.desktop;\naudio/mpeg=melvo.desktop;\n"),
            std::string::npos);
  EXPECT_EQ(fs::status(dotfiles).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dotfiles.parent_path()), {}), 1);
}

TEST_F(DesktopFilesTest, FoldersThatCannotBeWrittenChangeNothing) {
  // A path through a plain file cannot be made, not even by root.
  WriteText(root_ / "plain", "x");
  WriteText(config_ / "mimeapps.list", "[Default Applications]\naudio/mpeg=vlc.desktop;\n");
  setenv("XDG_DATA_HOME", (root_ / "plain/data").c_str(), 1);
  RegisterFileTypes(kAssociated, MakeRecordingProgram("bin"));
  EXPECT_EQ(ReadWholeFile(MimeAppsPath()),
            std::string("[Default Applications]\naudio/mpeg=vlc.desktop;\n"));

  // The entry can be written but the defaults cannot: the entry is there, nothing breaks.
  setenv("XDG_DATA_HOME", data_.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root_ / "plain/config").c_str(), 1);
  RegisterFileTypes(kAssociated, MakeRecordingProgram("bin"));
  EXPECT_TRUE(fs::exists(DesktopEntryPath()));
  EXPECT_FALSE(ToggleAutoStart(false, "/usr/bin/melvo"));

  // A list that is not a file is left alone.
  setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  fs::remove(config_ / "mimeapps.list");
  fs::create_directories(config_ / "mimeapps.list");
  RegisterFileTypes(kAssociated, MakeRecordingProgram("bin"));
  EXPECT_TRUE(fs::is_directory(config_ / "mimeapps.list"));
}

TEST_F(DesktopFilesTest, ExtensionsThatCannotBeRegisteredAreSkipped) {
  RegisterFileTypes({"", "../x", "MP3", "a b", "mp3", "FLAC", "x/y", std::string(40, 'a')},
                    MakeRecordingProgram("bin"));
  std::optional<std::string> entry = ReadWholeFile(DesktopEntryPath());
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(KeyLine(*entry, "MimeType"), "MimeType=audio/mpeg;audio/flac;");
  // No own type among them: no package.
  EXPECT_FALSE(fs::exists(MimePackagePath()));
}

TEST_F(DesktopFilesTest, ProgramPathsADesktopFileCannotHoldWriteNothing) {
  RegisterFileTypes(kAssociated, "/opt/bad\x01name/melvo");
  RegisterFileTypes(kAssociated, "/opt/bad\xc3(/melvo");
  EXPECT_FALSE(fs::exists(data_));
  EXPECT_FALSE(fs::exists(config_));
}

TEST_F(DesktopFilesTest, ExecQuotingFollowsTheDesktopEntryRules) {
  EXPECT_EQ(QuoteExecArgument("/usr/bin/melvo"), "/usr/bin/melvo");
  EXPECT_EQ(QuoteExecArgument("/opt/a=b,c+d"), "/opt/a=b,c+d");
  EXPECT_EQ(QuoteExecArgument("/opt/100%/melvo"), "/opt/100%%/melvo");
  EXPECT_EQ(QuoteExecArgument("/opt/my apps/melvo"), "\"/opt/my apps/melvo\"");
  EXPECT_EQ(QuoteExecArgument("/o/\"$`\\'"), "\"/o/\\\"\\$\\`\\\\'\"");
  EXPECT_EQ(QuoteExecArgument(""), "\"\"");
  // The key file's own escapes come on top.
  EXPECT_EQ(EscapeDesktopString("\"/a\\\\b\" %f"), "\"/a\\\\\\\\b\" %f");
  EXPECT_EQ(EscapeDesktopString(" a\tb\nc"), "\\sa\\tb\\nc");
}

TEST_F(DesktopFilesTest, AutoStartFollowsTheBoxBeforeTheClick) {
  const std::string program = "/opt/Melvo 5/melvo";
  const fs::path entry = config_ / "autostart/korvax.desktop";
  EXPECT_EQ(AutoStartPath(), entry.string());

  EXPECT_TRUE(ToggleAutoStart(false, program));  // unticked box: being ticked
  std::optional<std::string> text = ReadWholeFile(entry.string());
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(KeyLine(*text, "Exec"), "Exec=\"/opt/Melvo 5/melvo\"");
  if (HaveTool("desktop-file-validate")) {
    int status = -1;
    std::string out =
        Shell("desktop-file-validate " + ShellQuote(entry.string()) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
  }
  // After a restart the box is unticked again: the click writes the entry once more.
  EXPECT_TRUE(ToggleAutoStart(false, program));
  EXPECT_TRUE(fs::exists(entry));
  EXPECT_TRUE(ToggleAutoStart(true, program));  // ticked box: being cleared
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_TRUE(ToggleAutoStart(true, program));  // nothing to remove is no failure
  EXPECT_FALSE(ToggleAutoStart(false, ""));
  EXPECT_FALSE(fs::exists(entry));
}

}  // namespace
