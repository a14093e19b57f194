// The player on the session bus as an MPRIS2 media player (org.mpris.MediaPlayer2.melvo), so
// that media keys, panels and playerctl can drive it.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include "shell/MediaControls.h"

namespace shell {

constexpr const char* kMprisServiceName = "org.mpris.MediaPlayer2.melvo";
constexpr const char* kMprisObjectPath = "/org/mpris/MediaPlayer2";

// The three play modes seen as MPRIS's two independent settings:
//   1001 list loop     = LoopStatus "Playlist", Shuffle off
//   1002 random        = LoopStatus "Playlist", Shuffle on
//   1003 single repeat = LoopStatus "Track",    Shuffle off
// Written back: "Track" gives 1003; "Playlist" and "None" (the player always goes on after the
// last entry) keep random when it is on, else give 1001. Shuffle on gives 1002; Shuffle off
// leaves random for 1001 and leaves the other two modes as they are.
struct TLoopShuffle {
  QString loopStatus;
  bool shuffle = false;
};
TLoopShuffle LoopShuffleForMode(int mode);
// The mode after a client wrote LoopStatus; `currentMode` for text that is no loop status.
int ModeForLoopStatus(const QString& loopStatus, int currentMode);
int ModeForShuffle(bool shuffle, int currentMode);
// PlaybackStatus for an engine state; empty for states that leave it as it was (connecting).
QString PlaybackStatusForEngineState(int state);

class TMprisRootAdaptor;
class TMprisPlayerAdaptor;

class TMprisControls : public QObject, public IMediaControls {
 public:
  explicit TMprisControls(QObject* parent = nullptr);
  ~TMprisControls() override;

  // Puts the player on the bus. False when there is no bus or the object cannot be registered;
  // when another program holds the name, an instance name (…melvo.instance<pid>) is used.
  bool Start(const QDBusConnection& bus = QDBusConnection::sessionBus());
  // The name taken on the bus; empty before Start or when it failed.
  const QString& ServiceName() const { return FServiceName; }

  void SetHandler(TMediaControlsHandler handler) override { FHandler = std::move(handler); }
  void SetEngineState(int state) override;
  void SetMetadata(const TMediaMetadata& metadata) override;
  void SetProgress(double positionMs, double lengthMs) override;
  void Seeked(double positionMs) override;
  void SetMode(int mode) override;
  void SetVolume(double volume) override;

 private:
  friend class TMprisRootAdaptor;
  friend class TMprisPlayerAdaptor;

  QVariantMap MetadataMap() const;
  bool CanSeek() const;
  QString TrackId() const;
  // Sends PropertiesChanged for the player interface when anything changed.
  void Announce(const QVariantMap& changed);
  // Calls a handler when it is there.
  template <typename F, typename... A>
  void Call(const F& f, A... args) {
    if (f) f(args...);
  }

  // Requests from the bus.
  void RequestPlay();
  void RequestPause();
  void RequestSeek(qlonglong offsetUs);
  void RequestSetPosition(const QString& trackId, qlonglong positionUs);
  void RequestVolume(double volume);
  void RequestMode(int mode);

  QDBusConnection FBus;
  QString FServiceName;
  TMprisRootAdaptor* FRoot = nullptr;
  TMprisPlayerAdaptor* FPlayer = nullptr;
  TMediaControlsHandler FHandler;

  QString FStatus = QStringLiteral("Stopped");
  TMediaMetadata FMetadata;
  qlonglong FLengthUs = 0;
  qlonglong FPositionUs = 0;
  int FMode = kModeListLoop;
  double FVolume = 1.0;
};

}  // namespace shell
