// The life of the window: creation order, closing, the tray and the tray-less desktop, and the
// exceptions that escape handlers.
#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <stdexcept>

#include "WindowTestSupport.h"

namespace {

class Lifecycle : public WindowTest {};

TEST_F(Lifecycle, CreationRunsItsEighteenStepsInOrderAndWiresTheEngine) {
  std::vector<int> steps;
  TunitMain::SetCreateProbe([&](int step) { steps.push_back(step); });
  TunitMain& w = Open();
  std::vector<int> expected;
  for (int i = 1; i <= 18; ++i) expected.push_back(i);
  EXPECT_EQ(steps, expected);
  ASSERT_NE(w.Engine(), nullptr);
  EXPECT_EQ(gAudioEngine, w.Engine());
  EXPECT_TRUE(Reported("open", ""));
  EXPECT_TRUE(Reported("register", ""));
  // The default configuration: full volume, the inverted slider at 0.
  EXPECT_FLOAT_EQ(w.Engine()->Volume(), 1);
  EXPECT_FLOAT_EQ(w.soundTrackBar->Value(), 0);
  EXPECT_EQ(w.dlgOpen1.Filter, QString::fromStdString(w.Engine()->Exts()));
  EXPECT_FALSE(w.dlgOpen1.Filter.isEmpty());
  EXPECT_EQ(w.IgnoredExceptions(), 0);
}

TEST_F(Lifecycle, StartVolumeFollowsTheConfiguration) {
  TTSC config;
  config.con_volv = 30;
  StoreConfig(config);
  TunitMain& w = Open();
  EXPECT_FLOAT_EQ(w.Engine()->Volume(), 0.3f);
  EXPECT_NEAR(w.soundTrackBar->Value(), 70, 1e-4);
}

TEST_F(Lifecycle, AnExceptionInCreationEndsItThereAndTheWindowStillOpens) {
  std::vector<int> steps;
  TunitMain::SetCreateProbe([&](int step) {
    steps.push_back(step);
    if (step == 13) throw std::runtime_error("no engine today");
  });
  TunitMain& w = Open();
  EXPECT_EQ(steps.back(), 13);
  EXPECT_EQ(w.Engine(), nullptr);
  EXPECT_EQ(w.IgnoredExceptions(), 1);
  EXPECT_TRUE(w.isVisible());
  // The window works with what was made.
  w.btnSearchClick(nullptr);
  EXPECT_TRUE(w.RectangleOL->Visible());
}

TEST_F(Lifecycle, AWindowWhoseCreationStoppedEarlyStillShowsItsButtons) {
  TunitMain::SetCreateProbe([&](int step) {
    if (step == 3) throw std::runtime_error("stopped before the configuration");
  });
  TunitMain& w = Open();
  // Close, settings, add and the player's buttons are not blank: the user can still use them.
  const std::pair<TvxBitmapButton*, int> glyphs[] = {
      {w.btnSuggest, 21}, {w.btnLocalSearch, 20}, {w.btnSet, 13},   {w.btnAdd, 18},
      {w.btnClose, 12},   {w.btnReturn, 11},      {w.btnCircle, 5}, {w.btnOrder, 5},
      {w.btnRandom, 6},   {w.btnSingle, 3},       {w.btnPlay, 7},   {w.btnNext, 9},
      {w.btnSound, 10}};
  for (auto [button, index] : glyphs) {
    SCOPED_TRACE(button->Name.toStdString());
    ASSERT_FALSE(button->Bitmap().IsEmpty());
    EXPECT_EQ(button->Bitmap().Image(), w.bmplist1.Item(index)->Bitmap.Image());
  }
}

TEST_F(Lifecycle, AnExceptionBeforeTheHandlerIsInstalledIsDroppedToo) {
  TunitMain::SetCreateProbe([](int step) {
    if (step == 1) throw 42;
  });
  TunitMain& w = Open();
  EXPECT_EQ(w.IgnoredExceptions(), 1);
  EXPECT_TRUE(w.isVisible());
}

TEST_F(Lifecycle, ExceptionsEscapingClickHandlersAreDroppedAndTheWindowGoesOn) {
  TunitMain& w = Open();
  TunitMain::SetHandlerProbe([](const char* handler) {
    if (std::string(handler) == "btnSearchClick") throw std::logic_error("boom");
  });
  Click(w.btnSearch);
  EXPECT_EQ(w.IgnoredExceptions(), 1);
  EXPECT_TRUE(w.RectangleList->Visible());  // the handler stopped where it threw
  Click(w.btnLocalSearch);
  EXPECT_TRUE(Reported("click", "btnLocalSearch"));
  EXPECT_EQ(w.IgnoredExceptions(), 1);
}

TEST_F(Lifecycle, ExceptionsFromTimersAnimationsAndQueuedCallsAreDropped) {
  TunitMain& w = Open();
  int timerRuns = 0;
  TunitMain::SetHandlerProbe([&](const char* handler) {
    const std::string name = handler;
    if (name == "Timer1Timer") ++timerRuns;
    if (name == "Timer1Timer" || name == "FloatAnimation1Finish") throw std::runtime_error("x");
  });
  w.Timer1->setInterval(1);
  w.Timer1->start();
  EXPECT_TRUE(PumpUntil([&] { return timerRuns > 0; }));  // a busy machine may be slow to fire
  w.Timer1->stop();
  const int afterTimer = w.IgnoredExceptions();
  EXPECT_EQ(afterTimer, timerRuns);

  // A declared hover animation whose finish handler throws.
  w.ShowPlayView(fvList);
  Hover(w.btnCircle);
  EXPECT_TRUE(PumpUntil([&] { return w.IgnoredExceptions() == afterTimer + 1; }));
  PumpAnimation(0.1);
  EXPECT_FALSE(w.RectangleCircle->Visible());

  bool ranAfter = false;
  w.Post([] { throw std::runtime_error("queued"); });
  w.Post([&] { ranAfter = true; });
  Pump(20);
  EXPECT_EQ(w.IgnoredExceptions(), afterTimer + 2);
  EXPECT_TRUE(ranAfter);
}

TEST_F(Lifecycle, IgnoringAnExceptionPausesOneMillisecondAndShowsNothing) {
  TunitMain& w = Open();
  QElapsedTimer t;
  t.start();
  w.IgnoreException(std::make_exception_ptr(std::runtime_error("x")));
  EXPECT_GE(t.nsecsElapsed(), 1000000);
  int shown = 0;
  for (QWidget* top : QApplication::topLevelWidgets()) shown += top->isVisible() ? 1 : 0;
  EXPECT_EQ(shown, 1);  // the window itself, no message
}

TEST_F(Lifecycle, CloseButtonHidesToTheTrayAndTheTrayBringsItBack) {
  TunitMain& w = Open();
  Click(w.btnClose);
  EXPECT_TRUE(Reported("click", "btnClose"));
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(w.FormClosed());
  // A double click brings it back (through the icon's own signal).
  emit w.TrayIcon1->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.IFLAG);
  // Panels that send one activation: the same.
  w.btnCloseClick(nullptr);
  ASSERT_FALSE(w.isVisible());
  w.IFLAG = false;
  emit w.TrayIcon1->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.IFLAG);
  // The menu's own button does not restore.
  w.btnCloseClick(nullptr);
  emit w.TrayIcon1->activated(QSystemTrayIcon::Context);
  emit w.TrayIcon1->activated(QSystemTrayIcon::MiddleClick);
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(w.FormClosed());
}

TEST_F(Lifecycle, TrayMenuQuitClosesSendsTheCloseReportAndSavesTheConfiguration) {
  StoreConfig(TTSC());
  TunitMain& w = Open();
  CurConfig->skin_name = "5";
  CurConfig->circle = 1002;
  w.N4->trigger();
  EXPECT_TRUE(w.FormClosed());
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(Reported("close", ""));
  std::unique_ptr<TTSC> stored(new TTSC(*ReadConfig()));
  EXPECT_EQ(stored->skin_name, "5");
  EXPECT_EQ(stored->circle, 1002);
  // A second close does not run the closing steps again.
  reports.clear();
  w.close();
  EXPECT_FALSE(Reported("close", ""));
}

TEST_F(Lifecycle, ClosingWithoutADatabaseStillCloses) {
  TunitMain& w = Open();
  CurConfig = std::make_unique<TTSC>();
  ASSERT_TRUE(QFile::remove(QString::fromStdString(DatabasePath())));
  w.close();
  EXPECT_TRUE(w.FormClosed());
  EXPECT_FALSE(w.isVisible());
  EXPECT_GE(w.IgnoredExceptions(), 1);  // WriteConfig found no file
}

class TrayLess : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    TunitMain::SetTrayAvailableForTesting(false);
  }
};

TEST_F(TrayLess, CloseButtonMinimisesInsteadOfHiding) {
  TunitMain& w = Open();
  EXPECT_FALSE(w.TrayIcon1->isVisible());
  Click(w.btnClose);
  EXPECT_TRUE(Reported("click", "btnClose"));
  EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
  EXPECT_FALSE(w.isHidden());
  EXPECT_FALSE(w.FormClosed());
}

TEST_F(TrayLess, TheTopBarOffersQuit) {
  TunitMain& w = Open();
  ASSERT_NE(w.WindowMenu(), nullptr);
  ASSERT_EQ(w.WindowMenu()->actions().size(), 1);
  EXPECT_EQ(w.WindowMenu()->actions()[0]->text(), "退出");
  QContextMenuEvent onTopBar(QContextMenuEvent::Mouse, QPoint(200, 20),
                             w.mapToGlobal(QPoint(200, 20)));
  QApplication::sendEvent(&w, &onTopBar);
  EXPECT_TRUE(w.WindowMenu()->isVisible());
  w.WindowMenu()->hide();
  w.WindowMenu()->actions()[0]->trigger();
  EXPECT_TRUE(w.FormClosed());
  EXPECT_TRUE(Reported("close", ""));
}

TEST_F(Lifecycle, WithATrayTheWindowOffersNoMenuOfItsOwn) {
  TunitMain& w = Open();
  QContextMenuEvent onTopBar(QContextMenuEvent::Mouse, QPoint(200, 20),
                             w.mapToGlobal(QPoint(200, 20)));
  QApplication::sendEvent(&w, &onTopBar);
  EXPECT_FALSE(w.WindowMenu()->isVisible());
}

TEST_F(Lifecycle, WindowKeepsItsIdentityAndStaysOnScreen) {
  TunitMain& w = Open();
  EXPECT_EQ(QGuiApplication::desktopFileName(), "melvo");
  EXPECT_FALSE(w.windowIcon().isNull());
  const QRect area = w.screen()->availableGeometry();
  EXPECT_TRUE(area.contains(w.frameGeometry())) << area.width() << "x" << area.height();
  // Placed beyond the edge (a screen that went away), it comes back inside.
  w.hide();
  w.move(area.right() + 300, area.bottom() + 300);
  w.show();
  EXPECT_TRUE(area.contains(w.frameGeometry()));
}

TEST_F(Lifecycle, BringToFrontShowsAHiddenOrMinimisedWindow) {
  TunitMain& w = Open();
  w.hide();
  w.BringToFront();
  EXPECT_TRUE(w.isVisible());
  w.showMinimized();
  w.BringToFront();
  EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
}

TEST_F(Lifecycle, MinimiseAndRestoreReachTheirHandlers) {
  TunitMain& w = Open();
  std::vector<std::string> seen;
  TunitMain::SetHandlerProbe([&](const char* h) { seen.push_back(h); });
  w.showMinimized();
  w.showNormal();
  EXPECT_NE(std::find(seen.begin(), seen.end(), "AppMinimize"), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), "AppRestore"), seen.end());
}

}  // namespace
