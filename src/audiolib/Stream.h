// One stream: its decoder, the worker thread that fills its playback ring, its part of each mix
// pass, and what is being heard of it (positions, levels, spectra). The mixer's side only touches
// atomics, the ring and locks it can skip (try_lock), so it never waits for another thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audiolib/AudioLib.h"
#include "audiolib/Decoder.h"
#include "audiolib/Equalizer.h"
#include "audiolib/Error.h"
#include "audiolib/Input.h"
#include "audiolib/OutputClock.h"
#include "audiolib/ReadGuard.h"

namespace melvo::audiolib {

class Device;

class Stream : public std::enable_shared_from_this<Stream> {
 public:
  Stream(DWORD handle, DWORD flags, std::string name, int deviceRate, int bufferMs);
  ~Stream();

  const DWORD handle;
  const DWORD flags;
  const std::string name;
  bool isFile = true;
  ReadGuard readGuard;             // before the source and the decoder that read through it
  std::unique_ptr<NetSource> net;  // before `decoder`: the container reads through it
  std::unique_ptr<Decoder> decoder;
  int64_t fileSize = -1;

  bool decodeOnly() const { return flags & BASS_STREAM_DECODE; }
  int rate() const { return rate_; }
  int channels() const { return channels_; }
  int bytesPerFrame() const { return channels_ * 2; }
  void adoptDecoder();  // reads the format from `decoder` once it is set

  // Length in source frames; -1 unknown.
  int64_t lengthFrames() const { return length_.load(); }
  int64_t positionFrames();
  bool seekFrames(int64_t frame);

  bool play(bool restart);
  bool pause();
  void stop();
  DWORD activity() const;
  std::atomic<float> volume{1.0f};

  // Raw bytes (stream format) of what is heard now, or the next decoded bytes of a decode channel.
  DWORD rawData(void* buffer, DWORD length);
  DWORD spectrum(float* out512);
  DWORD level();

  HSYNC addSync(HSYNC id, DWORD type, SYNCPROC* proc, void* user);
  bool removeSync(HSYNC id);
  bool addFx(HFX id, int priority);
  bool removeFx(HFX id);
  bool setFx(HFX id, const BASS_DX8_PARAMEQ& p);
  bool getFx(HFX id, BASS_DX8_PARAMEQ* p);

  // Output side (audio thread).
  // `passStart`: the output's frame count where this pass begins.
  // `ownVolume` false: the stream is added at full level and the output applies its volume.
  void mixInto(float* out, int frames, float* scratch, int64_t passStart, bool ownVolume = true);
  bool audible() const { return playing_.load(std::memory_order_relaxed); }
  // The first stretch after a start or a seek is decoded: the stream is mixed from now on.
  bool ready() const { return ready_.load(std::memory_order_acquire); }
  void setOutput(Device* device, const OutputClock* clock) {
    device_ = device;
    clock_ = clock;
  }

  // Ends the decoder thread and any network wait (before the stream is dropped).
  void shutdown();
  int prebufferPercent = 0;
  void waitForPrebuffer(int percent, int timeoutMs);

  std::mutex tagMutex;
  bool tagsLoaded = false;
  bool tagsPartial = false;  // only title, artist and album were read
  std::map<std::string, std::string> tags;

 private:
  void ensureWorker();
  void wakeWorker();
  void askForRefill();  // from the mixer: never waits
  void requestSeek(int64_t frame);
  void run();
  void applyFx(float* frames, int count, int channels);
  void fireEndSyncs();
  void rewindTo(int64_t frame);
  void recordHistory(const float* frames, int count);
  int latestHeard(float* stereo, int frames);
  void writeRing(const float* frames, int count);
  struct Heard {
    int64_t base;     // source frame the flush started at
    uint64_t frames;  // device frames heard since then
    uint64_t queued;  // device frames mixed but still queued in the output
  };
  Heard heardNow();
  bool refillDue(uint64_t room, bool filling, uint32_t gen) const;
  int64_t msUntilRefill(uint64_t room, bool atEnd, uint64_t used, uint32_t gen) const;

  int rate_ = 44100;
  int channels_ = 2;
  int deviceRate_;
  int bufferMs_;  // the library's buffer length when the stream was made
  std::atomic<int64_t> length_{-1};

  // Playback ring: stereo float at the device rate, one producer (worker), one consumer (mixer).
  std::vector<float> ring_;
  size_t ringFrames_ = 0;  // set when the stream first plays
  std::atomic<uint64_t> writePos_{0};
  std::atomic<uint64_t> readPos_{0};

  std::atomic<bool> playing_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> stalled_{false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> draining_{false};  // all mixed: the end counts once it has been heard
  std::atomic<bool> quit_{false};
  std::atomic<bool> ready_{false};  // worker -> mixer: see ready()

  // Seek requests (caller -> worker), flushes (worker -> mixer).
  std::atomic<uint32_t> seekGen_{0};
  std::atomic<int64_t> seekTarget_{0};
  std::mutex flushMutex_;
  uint64_t flushWritePos_ = 0;
  int64_t flushBase_ = 0;
  std::atomic<uint32_t> flushGen_{0};
  uint32_t mixGen_ = 0;  // mixer's own copy
  std::atomic<uint32_t> heardGen_{0};
  std::atomic<int64_t> heardBase_{0};
  std::atomic<uint64_t> heardFrames_{0};
  std::atomic<uint64_t> resumedAt_{0};   // heardFrames_ when playback last started
  std::atomic<int64_t> handedUntil_{0};  // the output's frame count after this stream's last frame
  std::atomic<bool> started_{false};     // play() -> mixer: count empty passes afresh
  int emptyPasses_ = 0;                  // mixer's own
  std::atomic<uint32_t> eofGen_{UINT32_MAX};
  std::atomic<uint64_t> eofWritePos_{0};
  std::atomic<uint32_t> endCount_{0};
  Device* device_ = nullptr;
  const OutputClock* clock_ = nullptr;

  // What was mixed lately (stereo, before the channel volume): the newest part is still queued in
  // the output, so the history holds a period's worth more than any reader asks for.
  static constexpr int kHistoryFrames = 4096;  // the most a reader asks for
  static constexpr int kHistoryCapacity = 32768;
  std::mutex historyMutex_;
  std::vector<float> history_;
  size_t historyPos_ = 0;
  std::atomic<float> heardVolume_{1.0f};

  std::mutex fxMutex_;
  struct Fx {
    HFX id;
    int priority;
    PeakingBand band;
    BASS_DX8_PARAMEQ params;
    bool dirty;
  };
  std::vector<Fx> fx_;

  std::mutex syncMutex_;
  struct Sync {
    HSYNC id;
    DWORD type;
    SYNCPROC* proc;
    void* user;
  };
  std::vector<Sync> syncs_;

  std::mutex decodeMutex_;  // decode channels: the caller's thread uses `decoder`
  std::mutex workerMutex_;
  std::condition_variable wake_;
  std::thread worker_;
  std::atomic<bool> workerStarted_{false};
  std::atomic<bool> playRequested_{false};  // a wake-up the worker has not seen yet
  std::atomic<bool> refillWanted_{false};   // mixer -> worker: the ring is half empty
};

}  // namespace melvo::audiolib
