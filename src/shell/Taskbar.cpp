#include "shell/Taskbar.h"

#include <cmath>

#include "shell/WinVerUtils.h"

namespace shell {
namespace {

constexpr uint32_t kButtonMask = THB_ICON | THB_TOOLTIP | THB_FLAGS;  // 14
const char16_t* const kTips[kThumbButtonCount] = {u"循环模式", u"播放/暂停", u"下一首"};

std::string RunningVersionName() {
  std::string name;
  GetWindowsVersionName(name);
  return name;
}

uint64_t RoundedMs(double ms) {
  return ms > 0 && std::isfinite(ms) ? static_cast<uint64_t>(std::llround(ms)) : 0;
}

}  // namespace

int NextThumbnailMode(int mode) {
  if (mode == kModeListLoop) return kModeRandom;
  if (mode == kModeRandom) return kModeSingle;
  return kModeListLoop;
}

TTaskbarButtons::TTaskbarButtons(THandle window, TThumbIcons icons, TTaskbarFactory factory,
                                 TVersionName versionName)
    : FWindow(window),
      FIcons(icons),
      FFactory(std::move(factory)),
      FVersionName(versionName ? std::move(versionName) : TVersionName(RunningVersionName)) {}

bool TTaskbarButtons::IsWindows7() const {
  return FVersionName() == "Windows 7";
}

ITaskbarList* TTaskbarButtons::TaskbarList() {
  if (!IsWindows7()) return nullptr;
  if (!FTaskBarList && FFactory) FTaskBarList = FFactory();
  return FTaskBarList.get();
}

void TTaskbarButtons::initTaskbar() {
  ITaskbarList* list = TaskbarList();
  if (list == nullptr) return;
  Fbtns = TThumbButtons{};
  for (uint32_t id = 0; id < kThumbButtonCount; ++id) {
    TThumbButton& b = Fbtns[id];
    b.dwMask = kButtonMask;
    b.iId = id;
    b.dwFlags = THBF_ENABLED;
    if (id == 0) b.hIcon = FIcons.circleIcon;
    if (id == 1) b.hIcon = PSTATUS == 1 ? FIcons.startIcon : PSTATUS == 2 ? FIcons.stopIcon : 0;
    if (id == 2) b.hIcon = FIcons.nextIcon;
    std::u16string_view tip = kTips[id];
    tip.copy(b.szTip.data(), b.szTip.size() - 1);
  }
  if (IFLAG) {
    list->ThumbBarAddButtons(FWindow, kThumbButtonCount, Fbtns.data());
    IFLAG = false;
  } else {
    list->ThumbBarUpdateButtons(FWindow, kThumbButtonCount, Fbtns.data());
  }
}

bool TTaskbarButtons::WndProcCommand(uint32_t message, uint64_t wParam) {
  if (message != WM_COMMAND || ((wParam >> 16) & 0xFFFF) != THBN_CLICKED) return false;
  switch (wParam & 0xFFFF) {
    case 0:
      FMode = NextThumbnailMode(FMode);
      if (FHandler.OnSetMode) FHandler.OnSetMode(FMode);
      break;
    case 1:
      if (FHandler.OnPlayPause) FHandler.OnPlayPause();
      break;
    case 2:
      if (FHandler.OnNext) FHandler.OnNext();
      break;
    default:
      break;
  }
  return true;
}

void TTaskbarButtons::SetEngineState(int state) {
  if (state == kEngineStopped || state == kEnginePaused) PSTATUS = 1;
  if (state == kEnginePlaying) PSTATUS = 2;
  initTaskbar();
}

void TTaskbarButtons::SetProgress(double positionMs, double lengthMs) {
  if (ITaskbarList* list = TaskbarList())
    list->SetProgressValue(FWindow, RoundedMs(positionMs), RoundedMs(lengthMs));
}

}  // namespace shell
