#include "shell/Mpris.h"

#include <unistd.h>

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace shell {
namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

qlonglong Microseconds(double ms) {
  return ms > 0 && std::isfinite(ms) ? std::llround(ms * 1000.0) : 0;
}

QString UrlText(const QString& location) {
  if (location.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
      location.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
    return location;
  return QUrl::fromLocalFile(location).toString(QUrl::FullyEncoded);
}

}  // namespace

TLoopShuffle LoopShuffleForMode(int mode) {
  if (mode == kModeSingle) return {QStringLiteral("Track"), false};
  return {QStringLiteral("Playlist"), mode == kModeRandom};
}

int ModeForLoopStatus(const QString& loopStatus, int currentMode) {
  if (loopStatus == QLatin1String("Track")) return kModeSingle;
  if (loopStatus == QLatin1String("Playlist") || loopStatus == QLatin1String("None"))
    return currentMode == kModeRandom ? kModeRandom : kModeListLoop;
  return currentMode;
}

int ModeForShuffle(bool shuffle, int currentMode) {
  if (shuffle) return kModeRandom;
  return currentMode == kModeRandom ? kModeListLoop : currentMode;
}

QString PlaybackStatusForEngineState(int state) {
  switch (state) {
    case kEnginePlaying:
      return QStringLiteral("Playing");
    case kEnginePaused:
      return QStringLiteral("Paused");
    case kEngineStopped:
    case kEngineEnded:
    case kEngineOpenFailed:
      return QStringLiteral("Stopped");
    default:
      return {};
  }
}

// org.mpris.MediaPlayer2
class TMprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit TMprisRootAdaptor(TMprisControls* controls)
      : QDBusAbstractAdaptor(controls), FControls(controls) {}

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Melvo5"); }
  QString DesktopEntry() const { return QStringLiteral("melvo"); }
  // Songs come from the play list only; nothing is opened from the bus.
  QStringList SupportedUriSchemes() const { return {}; }
  QStringList SupportedMimeTypes() const { return {}; }

 public Q_SLOTS:
  void Raise() { FControls->Call(FControls->FHandler.OnRaise); }
  void Quit() { FControls->Call(FControls->FHandler.OnQuit); }

 private:
  TMprisControls* FControls;
};

// org.mpris.MediaPlayer2.Player
class TMprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
  Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ Yes)
  Q_PROPERTY(bool CanGoPrevious READ No)
  Q_PROPERTY(bool CanPlay READ Yes)
  Q_PROPERTY(bool CanPause READ Yes)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ Yes)

 public:
  explicit TMprisPlayerAdaptor(TMprisControls* controls)
      : QDBusAbstractAdaptor(controls), FControls(controls) {}

  QString PlaybackStatus() const { return FControls->FStatus; }
  QString LoopStatus() const { return LoopShuffleForMode(FControls->FMode).loopStatus; }
  void SetLoopStatus(const QString& status) {
    FControls->RequestMode(ModeForLoopStatus(status, FControls->FMode));
  }
  bool Shuffle() const { return LoopShuffleForMode(FControls->FMode).shuffle; }
  void SetShuffle(bool shuffle) {
    FControls->RequestMode(ModeForShuffle(shuffle, FControls->FMode));
  }
  // The player plays at its one speed.
  double Rate() const { return 1.0; }
  void SetRate(double) {}
  QVariantMap Metadata() const { return FControls->MetadataMap(); }
  double Volume() const { return FControls->FVolume; }
  void SetVolume(double volume) { FControls->RequestVolume(volume); }
  qlonglong Position() const { return FControls->FPositionUs; }
  bool CanSeek() const { return FControls->CanSeek(); }
  bool Yes() const { return true; }
  bool No() const { return false; }

 public Q_SLOTS:
  void Next() { FControls->Call(FControls->FHandler.OnNext); }
  // There is no previous entry in this player's order.
  void Previous() {}
  void Pause() { FControls->RequestPause(); }
  void PlayPause() { FControls->Call(FControls->FHandler.OnPlayPause); }
  void Stop() { FControls->Call(FControls->FHandler.OnStop); }
  void Play() { FControls->RequestPlay(); }
  void Seek(qlonglong Offset) { FControls->RequestSeek(Offset); }
  void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    FControls->RequestSetPosition(TrackId.path(), Position);
  }
  void OpenUri(const QString&) {}

 Q_SIGNALS:
  void Seeked(qlonglong Position);

 private:
  TMprisControls* FControls;
};

TMprisControls::TMprisControls(QObject* parent)
    : QObject(parent),
      FBus(QString()),
      FRoot(new TMprisRootAdaptor(this)),
      FPlayer(new TMprisPlayerAdaptor(this)) {}

TMprisControls::~TMprisControls() {
  if (!FServiceName.isEmpty()) {
    FBus.unregisterService(FServiceName);
    FBus.unregisterObject(QString::fromLatin1(kMprisObjectPath));
  }
}

bool TMprisControls::Start(const QDBusConnection& bus) {
  if (!FServiceName.isEmpty() || !bus.isConnected()) return !FServiceName.isEmpty();
  FBus = bus;
  if (!FBus.registerObject(QString::fromLatin1(kMprisObjectPath), this,
                           QDBusConnection::ExportAdaptors))
    return false;
  QString name = QString::fromLatin1(kMprisServiceName);
  if (!FBus.registerService(name)) {
    name += QStringLiteral(".instance%1").arg(::getpid());
    if (!FBus.registerService(name)) {
      FBus.unregisterObject(QString::fromLatin1(kMprisObjectPath));
      return false;
    }
  }
  FServiceName = name;
  return true;
}

QString TMprisControls::TrackId() const {
  if (FMetadata.url.isEmpty()) return QString::fromLatin1(kNoTrack);
  return QStringLiteral("/org/mpris/MediaPlayer2/melvo/track/%1")
      .arg(std::max<int64_t>(0, FMetadata.songId));
}

bool TMprisControls::CanSeek() const {
  return !FMetadata.url.isEmpty() && FLengthUs > 0;
}

QVariantMap TMprisControls::MetadataMap() const {
  QVariantMap m;
  m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId())));
  if (FMetadata.url.isEmpty()) return m;
  m.insert(QStringLiteral("xesam:title"), FMetadata.title);
  if (!FMetadata.artist.isEmpty())
    m.insert(QStringLiteral("xesam:artist"), QStringList{FMetadata.artist});
  if (!FMetadata.album.isEmpty()) m.insert(QStringLiteral("xesam:album"), FMetadata.album);
  if (FLengthUs > 0) m.insert(QStringLiteral("mpris:length"), FLengthUs);
  m.insert(QStringLiteral("xesam:url"), UrlText(FMetadata.url));
  return m;
}

void TMprisControls::Announce(const QVariantMap& changed) {
  if (changed.isEmpty() || FServiceName.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kMprisObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
  FBus.send(signal);
}

void TMprisControls::SetEngineState(int state) {
  QString status = PlaybackStatusForEngineState(state);
  if (status.isEmpty() || status == FStatus) return;
  FStatus = status;
  Announce({{QStringLiteral("PlaybackStatus"), FStatus}});
}

void TMprisControls::SetMetadata(const TMediaMetadata& metadata) {
  const bool couldSeek = CanSeek();
  FMetadata = metadata;
  FLengthUs = Microseconds(metadata.lengthMs);
  FPositionUs = 0;
  QVariantMap changed{{QStringLiteral("Metadata"), MetadataMap()}};
  if (CanSeek() != couldSeek) changed.insert(QStringLiteral("CanSeek"), CanSeek());
  Announce(changed);
}

void TMprisControls::SetProgress(double positionMs, double lengthMs) {
  FPositionUs = Microseconds(positionMs);
  // The engine knows the exact length once the song is open; the record may have had none.
  const qlonglong length = Microseconds(lengthMs);
  if (length <= 0 || length == FLengthUs) return;
  const bool couldSeek = CanSeek();
  FLengthUs = length;
  QVariantMap changed{{QStringLiteral("Metadata"), MetadataMap()}};
  if (CanSeek() != couldSeek) changed.insert(QStringLiteral("CanSeek"), CanSeek());
  Announce(changed);
}

void TMprisControls::Seeked(double positionMs) {
  FPositionUs = Microseconds(positionMs);
  if (!FServiceName.isEmpty()) emit FPlayer->Seeked(FPositionUs);
}

void TMprisControls::SetMode(int mode) {
  const TLoopShuffle before = LoopShuffleForMode(FMode);
  FMode = mode;
  const TLoopShuffle after = LoopShuffleForMode(FMode);
  QVariantMap changed;
  if (after.loopStatus != before.loopStatus)
    changed.insert(QStringLiteral("LoopStatus"), after.loopStatus);
  if (after.shuffle != before.shuffle) changed.insert(QStringLiteral("Shuffle"), after.shuffle);
  Announce(changed);
}

void TMprisControls::SetVolume(double volume) {
  volume = std::clamp(std::isfinite(volume) ? volume : 0.0, 0.0, 1.0);
  if (volume == FVolume) return;
  FVolume = volume;
  Announce({{QStringLiteral("Volume"), FVolume}});
}

void TMprisControls::RequestPlay() {
  if (FStatus != QLatin1String("Playing")) Call(FHandler.OnPlayPause);
}

void TMprisControls::RequestPause() {
  if (FStatus == QLatin1String("Playing")) Call(FHandler.OnPlayPause);
}

void TMprisControls::RequestSeek(qlonglong offsetUs) {
  if (!CanSeek()) return;
  const qlonglong target = FPositionUs + offsetUs;
  // Past the end is as the next song; before the start is the start.
  if (target > FLengthUs) {
    Call(FHandler.OnNext);
    return;
  }
  const qlonglong clamped = std::max<qlonglong>(0, target);
  Call(FHandler.OnSeek, static_cast<double>(clamped) / 1000.0);
  Seeked(static_cast<double>(clamped) / 1000.0);
}

void TMprisControls::RequestSetPosition(const QString& trackId, qlonglong positionUs) {
  if (!CanSeek() || trackId != TrackId() || positionUs < 0 || positionUs > FLengthUs) return;
  Call(FHandler.OnSeek, static_cast<double>(positionUs) / 1000.0);
  Seeked(static_cast<double>(positionUs) / 1000.0);
}

void TMprisControls::RequestVolume(double volume) {
  volume = std::clamp(std::isfinite(volume) ? volume : 0.0, 0.0, 1.0);
  Call(FHandler.OnSetVolume, volume);
  SetVolume(volume);
}

void TMprisControls::RequestMode(int mode) {
  if (mode == FMode) return;
  Call(FHandler.OnSetMode, mode);
  SetMode(mode);
}

}  // namespace shell

#include "Mpris.moc"
