// Registration with the desktop from the window: the file types at creation and the autostart box.
#include "WindowTestSupport.h"
#include "base/UserFolders.h"
#include "shell/DesktopFiles.h"

namespace {

class Desktop : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    TunitMain::SetMediaBusForTesting(false);
  }
  void TearDown() override {
    WindowTest::TearDown();
    TunitMain::SetMediaBusForTesting(std::nullopt);
  }
  static QString Read(const std::string& path) {
    return QString::fromStdString(shell::ReadWholeFile(path).value_or(std::string()));
  }
};

TEST_F(Desktop, CreationRegistersTheRunningProgramForItsSixteenTypes) {
  Open();
  const QString entry = Read(shell::DesktopEntryPath());
  ASSERT_FALSE(entry.isEmpty());
  EXPECT_TRUE(entry.contains("\nExec=" + QString::fromStdString(base::ProgramFile()) + " %f\n"));
  EXPECT_TRUE(entry.contains("MimeType=audio/aac;audio/ac3;audio/x-ape;audio/x-cda;"));
  const QString defaults = Read(shell::MimeAppsPath());
  EXPECT_TRUE(defaults.contains("audio/mpeg=melvo.desktop;"));
  EXPECT_TRUE(defaults.contains("audio/x-ms-wma=melvo.desktop;"));
}

TEST_F(Desktop, AFolderThatCannotBeWrittenDoesNotStopTheStartUp) {
  QFile plain(home_.path() + "/plain");
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  qputenv("XDG_DATA_HOME", (home_.path() + "/plain/data").toUtf8());
  qputenv("XDG_CONFIG_HOME", (home_.path() + "/plain/config").toUtf8());
  std::vector<int> steps;
  TunitMain::SetCreateProbe([&steps](int step) { steps.push_back(step); });
  Open();
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.back(), 18);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(shell::DesktopEntryPath())));
  window->checkAutoStart->Click();  // nothing written, nothing raised
  EXPECT_EQ(window->IgnoredExceptions(), 0);
}

TEST_F(Desktop, AutoStartBoxWritesAndRemovesTheEntryByItsStateBeforeTheClick) {
  Open();
  const QString path = QString::fromStdString(shell::AutoStartPath());
  EXPECT_FALSE(window->checkAutoStart->IsChecked());
  window->checkAutoStart->Click();
  EXPECT_TRUE(window->checkAutoStart->IsChecked());
  ASSERT_TRUE(QFile::exists(path));
  EXPECT_TRUE(Read(path.toStdString())
                  .contains("\nExec=" + QString::fromStdString(base::ProgramFile()) + "\n"));
  window->checkAutoStart->Click();
  EXPECT_FALSE(QFile::exists(path));

  // Ticked, then a restart: the box is unticked again and its first click writes the entry.
  window->checkAutoStart->Click();
  window.reset();
  Open();
  EXPECT_FALSE(window->checkAutoStart->IsChecked());
  window->checkAutoStart->Click();
  EXPECT_TRUE(QFile::exists(path));
  window->checkAutoStart->Click();
  EXPECT_FALSE(QFile::exists(path));

  int clicks = 0;
  for (const auto& r : reports)
    clicks += r == std::make_pair(std::string("click"), std::string("checkAutoStart"));
  EXPECT_EQ(clicks, 2 + 1 + 2);
}

}  // namespace
