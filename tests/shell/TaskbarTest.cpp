// The thumbnail toolbar logic, driven as on Windows 7 through a recording taskbar object.
#include <gtest/gtest.h>

#include <cmath>

#include "shell/MediaControlsFakes.h"
#include "shell/Taskbar.h"

using namespace shell;

namespace {

constexpr THandle kWindow = 0x1234;
constexpr TThumbIcons kIcons{11, 12, 13, 14};  // start, stop, next, circle

uint64_t Click(unsigned id) {
  return (uint64_t{THBN_CLICKED} << 16) | id;
}

std::u16string Tip(const TThumbButton& b) {
  return std::u16string(b.szTip.data());
}

class TaskbarTest : public ::testing::Test {
 protected:
  TaskbarTest()
      : buttons_(
            kWindow, kIcons,
            [this] {
              ++made_;
              auto list = std::make_unique<TRecordingTaskbarList>();
              list_ = list.get();
              return list;
            },
            [this] { return version_; }) {
    TMediaControlsHandler h;
    h.OnPlayPause = [this] { actions_.push_back("play"); };
    h.OnNext = [this] { actions_.push_back("next"); };
    h.OnSetMode = [this](int mode) {
      actions_.push_back("mode " + std::to_string(mode));
      // The window's mode buttons report the new mode back, as they do for every control.
      if (echoMode_) buttons_.SetMode(mode);
    };
    buttons_.SetHandler(h);
  }

  std::vector<TRecordingTaskbarList::TCall>& Calls() { return list_->Calls; }

  std::string version_ = "Windows 7";
  int made_ = 0;
  bool echoMode_ = true;
  TRecordingTaskbarList* list_ = nullptr;
  std::vector<std::string> actions_;
  TTaskbarButtons buttons_;
};

TEST_F(TaskbarTest, FirstCallAddsTheThreeRecordsLaterCallsUpdateThem) {
  buttons_.initTaskbar();
  ASSERT_EQ(made_, 1);
  ASSERT_EQ(Calls().size(), 1u);
  const auto& add = Calls()[0];
  EXPECT_EQ(add.kind, TRecordingTaskbarList::TCall::Add);
  EXPECT_EQ(add.window, kWindow);
  EXPECT_EQ(add.count, 3u);
  const THandle icons[] = {14, 11, 13};
  const std::u16string tips[] = {u"循环模式", u"播放/暂停", u"下一首"};
  for (uint32_t i = 0; i < 3; ++i) {
    const TThumbButton& b = add.buttons[i];
    EXPECT_EQ(b.dwMask, 14u);
    EXPECT_EQ(b.iId, i);
    EXPECT_EQ(b.iBitmap, 0u);
    EXPECT_EQ(b.hIcon, icons[i]);
    EXPECT_EQ(Tip(b), tips[i]);
    EXPECT_EQ(b.dwFlags, 0u);
    // The tip is followed by zeros to the end of the field.
    for (std::size_t k = tips[i].size(); k < b.szTip.size(); ++k) ASSERT_EQ(b.szTip[k], 0);
  }
  EXPECT_FALSE(buttons_.AddPending());

  buttons_.initTaskbar();
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[1].kind, TRecordingTaskbarList::TCall::Update);
  EXPECT_EQ(made_, 1);

  // Back from the tray: the buttons are added again.
  buttons_.ResetButtons();
  buttons_.initTaskbar();
  EXPECT_EQ(Calls()[2].kind, TRecordingTaskbarList::TCall::Add);
}

TEST_F(TaskbarTest, PlayButtonIconFollowsTheEngineState) {
  buttons_.initTaskbar();
  struct Step {
    int state;
    int status;
    THandle icon;
  };
  // Connecting and ended leave the icon; the buttons are still refreshed.
  const Step steps[] = {{1002, 2, 12}, {1005, 2, 12}, {1003, 1, 11}, {1002, 2, 12},
                        {1004, 2, 12}, {1001, 1, 11}, {1006, 1, 11}};
  for (const Step& s : steps) {
    buttons_.SetEngineState(s.state);
    EXPECT_EQ(buttons_.PlayStatus(), s.status) << s.state;
    ASSERT_EQ(Calls().back().kind, TRecordingTaskbarList::TCall::Update);
    EXPECT_EQ(Calls().back().buttons[1].hIcon, s.icon) << s.state;
  }
  EXPECT_EQ(Calls().size(), 1u + std::size(steps));
}

TEST_F(TaskbarTest, ModeButtonCyclesThroughTheThreeModes) {
  buttons_.SetMode(1003);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(buttons_.WndProcCommand(WM_COMMAND, Click(0)));
  EXPECT_EQ(actions_, (std::vector<std::string>{"mode 1001", "mode 1002", "mode 1003"}));

  // Without the window's echo the button keeps its own count.
  actions_.clear();
  echoMode_ = false;
  buttons_.SetMode(1002);
  buttons_.WndProcCommand(WM_COMMAND, Click(0));
  buttons_.WndProcCommand(WM_COMMAND, Click(0));
  EXPECT_EQ(actions_, (std::vector<std::string>{"mode 1003", "mode 1001"}));

  // A stored mode outside the three starts again at list loop.
  EXPECT_EQ(NextThumbnailMode(0), 1001);
  EXPECT_EQ(NextThumbnailMode(1004), 1001);
  EXPECT_EQ(NextThumbnailMode(-1), 1001);
}

TEST_F(TaskbarTest, PlayAndNextButtonsAndOtherMessages) {
  EXPECT_TRUE(buttons_.WndProcCommand(WM_COMMAND, Click(1)));
  EXPECT_TRUE(buttons_.WndProcCommand(WM_COMMAND, Click(2)));
  EXPECT_TRUE(buttons_.WndProcCommand(WM_COMMAND, Click(3)));  // no such button: nothing
  EXPECT_FALSE(buttons_.WndProcCommand(WM_COMMAND, 1));        // a menu command, not a button
  EXPECT_FALSE(buttons_.WndProcCommand(0x0B12, Click(1)));     // the hand-off message
  EXPECT_TRUE(buttons_.WndProcCommand(WM_COMMAND, Click(1) | (uint64_t{1} << 40)));
  EXPECT_EQ(actions_, (std::vector<std::string>{"play", "next", "play"}));
}

TEST_F(TaskbarTest, ProgressIsSentInRoundedMilliseconds) {
  buttons_.SetProgress(1234.5, 180000.4);
  buttons_.SetProgress(-5, std::nan(""));
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0].kind, TRecordingTaskbarList::TCall::Progress);
  EXPECT_EQ(Calls()[0].window, kWindow);
  EXPECT_EQ(Calls()[0].completed, 1235u);
  EXPECT_EQ(Calls()[0].total, 180000u);
  EXPECT_EQ(Calls()[1].completed, 0u);
  EXPECT_EQ(Calls()[1].total, 0u);
}

TEST_F(TaskbarTest, NothingHappensOutsideWindows7AndTheTestIsMadeAtEachUse) {
  version_ = "Windows 8";
  buttons_.initTaskbar();
  buttons_.SetEngineState(1002);
  buttons_.SetProgress(10, 20);
  EXPECT_EQ(made_, 0);
  EXPECT_EQ(buttons_.PlayStatus(), 2);  // the field follows the state everywhere
  EXPECT_TRUE(buttons_.AddPending());

  version_ = "Windows 7";
  buttons_.SetEngineState(1003);
  ASSERT_EQ(made_, 1);
  EXPECT_EQ(Calls().back().kind, TRecordingTaskbarList::TCall::Add);
  EXPECT_EQ(Calls().back().buttons[1].hIcon, kIcons.startIcon);

  version_ = "Windows Vista";
  buttons_.SetProgress(10, 20);
  buttons_.initTaskbar();
  EXPECT_EQ(Calls().size(), 1u);
}

TEST(TaskbarOnThisSystem, StaysOff) {
  int made = 0;
  TTaskbarButtons buttons(kWindow, kIcons, [&made] {
    ++made;
    return std::make_unique<TRecordingTaskbarList>();
  });
  EXPECT_FALSE(buttons.IsWindows7());
  buttons.initTaskbar();
  buttons.SetEngineState(1002);
  buttons.SetProgress(1, 2);
  EXPECT_EQ(made, 0);
}

TEST(MediaControlsGroup, HandsStateToEveryMemberAndTheHandlerToLateMembers) {
  auto a = std::make_shared<TRecordingMediaControls>();
  auto b = std::make_shared<TRecordingMediaControls>();
  TMediaControlsGroup group;
  group.Add(a);
  int nexts = 0;
  TMediaControlsHandler h;
  h.OnNext = [&nexts] { ++nexts; };
  group.SetHandler(h);
  group.Add(b);
  group.Add(nullptr);

  group.SetEngineState(1002);
  group.SetMetadata({7, "晴天", "周杰伦", "叶惠美", "/m/a.mp3", 269000});
  group.SetProgress(500, 269000);
  group.Seeked(1000);
  group.SetMode(1003);
  group.SetVolume(0.25);
  const QStringList expected{"state 1002",          "metadata 7|晴天|周杰伦|叶惠美|/m/a.mp3|269000",
                             "progress 500/269000", "seeked 1000",
                             "mode 1003",           "volume 0.25"};
  EXPECT_EQ(a->Calls, expected);
  EXPECT_EQ(b->Calls, expected);
  a->Handler.OnNext();
  b->Handler.OnNext();
  EXPECT_EQ(nexts, 2);
}

}  // namespace
