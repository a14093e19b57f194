// The thumbnail toolbar of the taskbar button on Windows 7 (play mode, play/pause, next) and the
// progress shown in the button. Everything runs only while the version name is "Windows 7",
// tested anew at each use; elsewhere no taskbar object exists and no call is made.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "shell/MediaControls.h"

namespace shell {

// THUMBBUTTON mask bits and flags, button notification and window message numbers.
constexpr uint32_t THB_BITMAP = 0x1;
constexpr uint32_t THB_ICON = 0x2;
constexpr uint32_t THB_TOOLTIP = 0x4;
constexpr uint32_t THB_FLAGS = 0x8;
constexpr uint32_t THBF_ENABLED = 0;
constexpr uint32_t THBN_CLICKED = 0x1800;
constexpr uint32_t WM_COMMAND = 0x0111;

using THandle = uintptr_t;

// The shell's THUMBBUTTON record.
struct TThumbButton {
  uint32_t dwMask = 0;
  uint32_t iId = 0;
  uint32_t iBitmap = 0;
  THandle hIcon = 0;
  std::array<char16_t, 260> szTip{};
  uint32_t dwFlags = 0;
};
constexpr unsigned kThumbButtonCount = 3;
using TThumbButtons = std::array<TThumbButton, kThumbButtonCount>;

// The calls of the shell's taskbar object that the player makes; results are not examined.
class ITaskbarList {
 public:
  virtual ~ITaskbarList() = default;
  virtual void ThumbBarAddButtons(THandle window, unsigned count, const TThumbButton* buttons) = 0;
  virtual void ThumbBarUpdateButtons(THandle window, unsigned count,
                                     const TThumbButton* buttons) = 0;
  virtual void SetProgressValue(THandle window, uint64_t completed, uint64_t total) = 0;
};

// The four 16 × 16 icons ("m_play", "m_pause", "m_next", "m_rnd").
struct TThumbIcons {
  THandle startIcon = 0;
  THandle stopIcon = 0;
  THandle nextIcon = 0;
  THandle circleIcon = 0;
};

// The mode a click on the mode button moves to: 1001 → 1002 → 1003 → 1001. A stored mode
// outside the three starts the cycle again at 1001.
int NextThumbnailMode(int mode);

class TTaskbarButtons : public IMediaControls {
 public:
  using TVersionName = std::function<std::string()>;
  using TTaskbarFactory = std::function<std::unique_ptr<ITaskbarList>()>;

  // `versionName` defaults to the running system's; `factory` makes the taskbar object the
  // first time the version test passes.
  TTaskbarButtons(THandle window, TThumbIcons icons, TTaskbarFactory factory,
                  TVersionName versionName = {});

  bool IsWindows7() const;

  // Rebuilds the three records and adds them (the first time after creation or after
  // ResetButtons) or updates them.
  void initTaskbar();
  // The window came back from the tray: the next initTaskbar adds the buttons again.
  void ResetButtons() { IFLAG = true; }
  // For a window that keeps PSTATUS itself: 1 play icon, 2 pause icon, anything else none.
  void SetPlayStatus(int status) { PSTATUS = status; }
  // The thumbnail part of the window procedure; true when the message was a button click.
  bool WndProcCommand(uint32_t message, uint64_t wParam);

  int PlayStatus() const { return PSTATUS; }
  bool AddPending() const { return IFLAG; }
  const TThumbButtons& Buttons() const { return Fbtns; }

  void SetHandler(TMediaControlsHandler handler) override { FHandler = std::move(handler); }
  // PSTATUS follows the state (1 play icon, 2 pause icon); on Windows 7 the buttons follow.
  void SetEngineState(int state) override;
  void SetMetadata(const TMediaMetadata&) override {}
  // SetProgressValue with both values in milliseconds, rounded.
  void SetProgress(double positionMs, double lengthMs) override;
  void Seeked(double) override {}
  void SetMode(int mode) override { FMode = mode; }
  void SetVolume(double) override {}

 private:
  ITaskbarList* TaskbarList();

  THandle FWindow;
  TThumbIcons FIcons;
  TTaskbarFactory FFactory;
  TVersionName FVersionName;
  std::unique_ptr<ITaskbarList> FTaskBarList;
  TMediaControlsHandler FHandler;
  TThumbButtons Fbtns{};
  int PSTATUS = 1;
  bool IFLAG = true;
  int FMode = kModeListLoop;
};

}  // namespace shell
