// Controls of the desktop outside the window (the taskbar button's thumbnail toolbar, the
// desktop's media keys and players' panels). The window tells each of them the player's state
// through the setters and receives their commands through one set of callbacks.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace shell {

// Play modes (the configuration's `circle`).
constexpr int kModeListLoop = 1001;
constexpr int kModeRandom = 1002;
constexpr int kModeSingle = 1003;

// Engine states as the audio engine reports them.
constexpr int kEngineStopped = 1001;
constexpr int kEnginePlaying = 1002;
constexpr int kEnginePaused = 1003;
constexpr int kEngineEnded = 1004;
constexpr int kEngineConnecting = 1005;
constexpr int kEngineOpenFailed = 1006;

// The song now loaded.
struct TMediaMetadata {
  int64_t songId = 0;  // the play-list item's song id; 0 for none
  QString title;
  QString artist;
  QString album;
  QString url;  // local path or network address
  double lengthMs = 0;
};

// What the controls ask of the player. An empty callback means the player does not offer it.
struct TMediaControlsHandler {
  std::function<void()> OnPlayPause;  // as the play button: play, pause or resume
  std::function<void()> OnNext;
  std::function<void()> OnStop;
  std::function<void()> OnRaise;  // bring the window to the front
  std::function<void()> OnQuit;
  std::function<void(int mode)> OnSetMode;         // one of the three play modes
  std::function<void(double volume)> OnSetVolume;  // 0 … 1
  std::function<void(double positionMs)> OnSeek;   // absolute position in the song
};

class IMediaControls {
 public:
  virtual ~IMediaControls() = default;

  virtual void SetHandler(TMediaControlsHandler handler) = 0;
  // The engine's state after each state event (1001 … 1006).
  virtual void SetEngineState(int state) = 0;
  virtual void SetMetadata(const TMediaMetadata& metadata) = 0;
  // Every progress tick; both in milliseconds.
  virtual void SetProgress(double positionMs, double lengthMs) = 0;
  // The position jumped (the user seeked).
  virtual void Seeked(double positionMs) = 0;
  virtual void SetMode(int mode) = 0;
  virtual void SetVolume(double volume) = 0;
};

// Hands every setter to several controls and one handler to all of them.
class TMediaControlsGroup : public IMediaControls {
 public:
  void Add(std::shared_ptr<IMediaControls> controls);

  void SetHandler(TMediaControlsHandler handler) override;
  void SetEngineState(int state) override;
  void SetMetadata(const TMediaMetadata& metadata) override;
  void SetProgress(double positionMs, double lengthMs) override;
  void Seeked(double positionMs) override;
  void SetMode(int mode) override;
  void SetVolume(double volume) override;

 private:
  std::vector<std::shared_ptr<IMediaControls>> FControls;
  TMediaControlsHandler FHandler;
};

}  // namespace shell
