// Recording stand-ins for the media controls and the taskbar object, for tests of the window
// and of the shell: they keep every call in order.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "shell/MediaControls.h"
#include "shell/Taskbar.h"

namespace shell {

class TRecordingMediaControls : public IMediaControls {
 public:
  void SetHandler(TMediaControlsHandler handler) override { Handler = std::move(handler); }
  void SetEngineState(int state) override { Calls << QStringLiteral("state %1").arg(state); }
  void SetMetadata(const TMediaMetadata& m) override {
    Metadata = m;
    Calls << QStringLiteral("metadata %1|%2|%3|%4|%5|%6")
                 .arg(m.songId)
                 .arg(m.title, m.artist, m.album, m.url)
                 .arg(m.lengthMs);
  }
  void SetProgress(double positionMs, double lengthMs) override {
    Calls << QStringLiteral("progress %1/%2").arg(positionMs).arg(lengthMs);
  }
  void Seeked(double positionMs) override { Calls << QStringLiteral("seeked %1").arg(positionMs); }
  void SetMode(int mode) override { Calls << QStringLiteral("mode %1").arg(mode); }
  void SetVolume(double volume) override { Calls << QStringLiteral("volume %1").arg(volume); }

  TMediaControlsHandler Handler;
  TMediaMetadata Metadata;
  QStringList Calls;
};

class TRecordingTaskbarList : public ITaskbarList {
 public:
  struct TCall {
    enum { Add, Update, Progress } kind;
    THandle window = 0;
    unsigned count = 0;
    TThumbButtons buttons{};
    uint64_t completed = 0;
    uint64_t total = 0;
  };

  void ThumbBarAddButtons(THandle window, unsigned count, const TThumbButton* b) override {
    Calls.push_back({TCall::Add, window, count, Copy(count, b), 0, 0});
  }
  void ThumbBarUpdateButtons(THandle window, unsigned count, const TThumbButton* b) override {
    Calls.push_back({TCall::Update, window, count, Copy(count, b), 0, 0});
  }
  void SetProgressValue(THandle window, uint64_t completed, uint64_t total) override {
    Calls.push_back({TCall::Progress, window, 0, {}, completed, total});
  }

  std::vector<TCall> Calls;

 private:
  static TThumbButtons Copy(unsigned count, const TThumbButton* b) {
    TThumbButtons r{};
    for (unsigned i = 0; i < count && i < r.size(); ++i) r[i] = b[i];
    return r;
  }
};

}  // namespace shell
