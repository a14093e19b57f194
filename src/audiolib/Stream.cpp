#include "audiolib/Stream.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "audiolib/Device.h"
#include "audiolib/Ring.h"

namespace melvo::audiolib {
namespace {

constexpr int kChunkFrames = 1024;

}  // namespace

Stream::Stream(DWORD h, DWORD f, std::string n, int deviceRate, int bufferMs)
    : handle(h), flags(f), name(std::move(n)), deviceRate_(deviceRate), bufferMs_(bufferMs) {}

Stream::~Stream() {
  shutdown();
}

void Stream::adoptDecoder() {
  rate_ = decoder->sourceRate();
  channels_ = decoder->sourceChannels();
  length_ = decoder->lengthFrames();
}

void Stream::wakeWorker() {
  {
    std::lock_guard lock(workerMutex_);
    playRequested_ = true;
  }
  wake_.notify_all();
}

void Stream::shutdown() {
  quit_ = true;
  if (net) net->abort();
  wakeWorker();
  if (worker_.joinable()) {
    if (worker_.get_id() == std::this_thread::get_id())
      worker_.detach();  // freed from its own sync callback: the thread ends by itself
    else
      worker_.join();
  }
}

void Stream::ensureWorker() {
  std::lock_guard lock(workerMutex_);
  if (workerStarted_) return;
  workerStarted_ = true;
  // The buffer's length, and on top what the output takes at once: an output that asks for its
  // audio in long stretches still finds a whole one here, half a buffer after the refill was asked
  // for. A few chunks more, so that refills in bursts never let it run dry.
  const size_t outputFrames = size_t(device_ ? device_->startFrames() : 4096);
  ringFrames_ = size_t(std::max(250, bufferMs_)) * size_t(deviceRate_) / 1000 + outputFrames +
                3 * kChunkFrames;
  // Buffers only for streams that play: a tag probe opens and frees streams by the thousand.
  // The mixer touches them only after `playing_` is set, which happens after this.
  ring_.assign(ringFrames_ * 2, 0.0f);
  history_.assign(size_t(kHistoryCapacity) * 2, 0.0f);
  // The worker keeps its stream alive: a sync callback may free the stream on this very thread.
  worker_ = std::thread([self = shared_from_this()] { self->run(); });
}

void Stream::waitForPrebuffer(int percent, int timeoutMs) {
  ensureWorker();
  const uint64_t want = uint64_t(ringFrames_ - 3 * kChunkFrames) * uint64_t(percent) / 100;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (writePos_.load() < want && eofGen_.load() == UINT32_MAX &&
         std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

void Stream::applyFx(float* frames, int count, int channels) {
  std::lock_guard lock(fxMutex_);
  for (Fx& fx : fx_) {
    if (fx.dirty) {
      fx.band.configure(fx.params, decodeOnly() ? rate_ : deviceRate_);
      fx.dirty = false;
    }
    fx.band.process(frames, count, channels);
  }
}

void Stream::writeRing(const float* frames, int count) {
  uint64_t w = writePos_.load(std::memory_order_relaxed);
  copyIntoRing(ring_.data(), ringFrames_, size_t(w % ringFrames_), frames, size_t(count));
  writePos_.store(w + uint64_t(count), std::memory_order_release);
}

void Stream::run() {
  std::vector<float> chunk(size_t(kChunkFrames) * 2);
  uint32_t gen = 0;
  bool atEnd = false;
  bool filling = true;
  uint32_t endsFired = endCount_.load();
  // What the output takes at once when it starts (after a start or a seek) is there: the stream is
  // mixed from then on, and the output may take it at once.
  const uint64_t startFrames = std::min<uint64_t>(device_ ? uint64_t(device_->startFrames()) : 4096,
                                                  ringFrames_ - 3 * kChunkFrames);
  bool announce = true;
  uint64_t announceAt = writePos_.load() + startFrames;
  auto announceNow = [&] {
    announce = false;
    ready_.store(true, std::memory_order_release);
    if (device_ && playing_.load()) device_->feed();
  };
  while (!quit_.load()) {
    uint32_t wanted = seekGen_.load(std::memory_order_acquire);
    if (wanted != gen) {
      gen = wanted;
      int64_t target = seekTarget_.load();
      if (!decoder->seek(target)) decoder->seek(0);
      atEnd = false;
      draining_ = false;
      filling = true;
      announce = true;
      announceAt = writePos_.load() + startFrames;
      {
        std::lock_guard lock(fxMutex_);
        for (Fx& fx : fx_) fx.band.reset();
      }
      {
        std::lock_guard lock(flushMutex_);
        ready_.store(false, std::memory_order_relaxed);  // published with the flush
        flushWritePos_ = writePos_.load();
        flushBase_ = target;
        flushGen_.store(gen, std::memory_order_release);
      }
      // An output that waits for this stream runs a pass now, so that the old data is let go.
      if (device_ && playing_.load() && device_->dropsQueued()) device_->wake();
      continue;
    }
    const uint64_t used = writePos_.load() - readPos_.load(std::memory_order_acquire);
    const uint64_t room = ringFrames_ - used;
    if (!atEnd && refillDue(room, filling, gen)) {
      filling = true;
      int n = decoder->read(chunk.data(), kChunkFrames);
      if (n > 0) {
        applyFx(chunk.data(), n, 2);
        writeRing(chunk.data(), n);
      }
      if (announce && (writePos_.load() >= announceAt || n < kChunkFrames)) announceNow();
      if (n < kChunkFrames) {
        atEnd = true;
        if (decoder->lengthFrames() > 0) length_ = decoder->lengthFrames();
        eofWritePos_.store(writePos_.load());
        eofGen_.store(gen, std::memory_order_release);
      }
      continue;
    }
    filling = false;
    // No room for all of it yet: what there is must do (once the old data is let go after a seek).
    if (announce && heardGen_.load() == gen) announceNow();
    int64_t drainMs = -1;
    if (draining_.load() && playing_.load() && heardGen_.load() == gen && seekGen_.load() == gen) {
      const uint64_t queued = heardNow().queued;
      if (queued > 0) {
        drainMs = int64_t(queued * 1000 / uint64_t(deviceRate_)) + 1;
      } else if (draining_.exchange(false)) {
        playing_.store(false);
        ended_.store(true);
        endCount_.fetch_add(1);
      }
    }
    if (endCount_.load() != endsFired) {
      endsFired = endCount_.load();
      fireEndSyncs();
      continue;
    }
    const int64_t ms = drainMs >= 0 ? drainMs : msUntilRefill(room, atEnd, used, gen);
    std::unique_lock lock(workerMutex_);
    if (seekGen_.load() == gen && !quit_.load() && !playRequested_.exchange(false))
      wake_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        return refillWanted_.load() || playRequested_.load() || quit_.load() ||
               seekGen_.load() != gen;
      });
    refillWanted_.store(false);
  }
}

// The mixer's side: with the lock free the worker is waiting (or will look at the flag before it
// waits), so the notification reaches it; with the lock taken it is awake anyway.
void Stream::askForRefill() {
  if (refillWanted_.exchange(true)) return;
  if (!workerMutex_.try_lock()) return;
  workerMutex_.unlock();
  wake_.notify_one();
}

// Refill in bursts: once a quarter of the buffer is free, fill it up again. Two chunks stay free
// in normal filling, so that after a seek new data can go in behind the flush point at once,
// before the mixer has let go of the old data.
bool Stream::refillDue(uint64_t room, bool filling, uint32_t gen) const {
  const bool afterSeek = heardGen_.load() != gen;
  const uint64_t reserve = afterSeek ? 0 : 2 * uint64_t(kChunkFrames);
  return room >= ringFrames_ / 4 || (filling && room >= uint64_t(kChunkFrames) + reserve);
}

// The worker sleeps until the mixer has taken half the buffer (it asks for a refill then, however
// coarsely the output takes its periods); seeks and play requests wake it at once. A stream that
// does not play waits for those alone.
int64_t Stream::msUntilRefill(uint64_t room, bool atEnd, uint64_t used, uint32_t gen) const {
  (void)room;
  if (!playing_.load()) return 10000;
  // After a seek the old data is freed once the mixer has switched over, within one period.
  if (heardGen_.load() != gen) return 2;
  if (!atEnd) return 2000;  // only if a request went astray
  return std::clamp<int64_t>(int64_t(used * 1000 / uint64_t(deviceRate_)) + 2, 2, 1000);
}

void Stream::fireEndSyncs() {
  std::vector<Sync> due;
  {
    std::lock_guard lock(syncMutex_);
    for (const Sync& s : syncs_)
      if ((s.type & ~BASS_SYNC_ONETIME) == BASS_SYNC_END) due.push_back(s);
    syncs_.erase(std::remove_if(syncs_.begin(), syncs_.end(),
                                [](const Sync& s) {
                                  return (s.type & ~BASS_SYNC_ONETIME) == BASS_SYNC_END &&
                                         (s.type & BASS_SYNC_ONETIME);
                                }),
                 syncs_.end());
  }
  for (const Sync& s : due) s.proc(s.id, handle, 0, s.user);
}

void Stream::mixInto(float* out, int frames, float* scratch, int64_t passStart, bool ownVolume) {
  if (!playing_.load(std::memory_order_acquire)) return;
  if (started_.exchange(false)) emptyPasses_ = 0;
  uint32_t flushed = flushGen_.load(std::memory_order_acquire);
  if (flushed != mixGen_) {
    if (!flushMutex_.try_lock()) return;  // the worker is publishing a seek: next time
    readPos_.store(flushWritePos_, std::memory_order_release);
    heardBase_.store(flushBase_);
    heardFrames_.store(0);
    resumedAt_.store(0);
    emptyPasses_ = 0;
    mixGen_ = flushGen_.load();
    heardGen_.store(mixGen_);
    flushMutex_.unlock();
  }
  if (!ready_.load(std::memory_order_acquire)) return;  // still decoding its first stretch
  uint64_t w = writePos_.load(std::memory_order_acquire);
  uint64_t r = readPos_.load(std::memory_order_relaxed);
  int n = int(std::min<uint64_t>(w - r, uint64_t(frames)));
  copyFromRing(ring_.data(), ringFrames_, size_t(r % ringFrames_), scratch, size_t(n));
  readPos_.store(r + uint64_t(n), std::memory_order_release);
  if (w - (r + uint64_t(n)) <= ringFrames_ / 2) askForRefill();
  if (n > 0) handedUntil_.store(passStart + n, std::memory_order_relaxed);
  heardFrames_.fetch_add(uint64_t(n), std::memory_order_relaxed);
  const float vol = volume.load(std::memory_order_relaxed);
  const float gain = ownVolume ? vol : 1.0f;
  for (int i = 0; i < n * 2; ++i) out[i] += scratch[i] * gain;
  heardVolume_.store(vol, std::memory_order_relaxed);
  recordHistory(scratch, n);
  if (n < frames) {
    // The end counts only when no seek is pending (a replay from the start after the end).
    if (eofGen_.load(std::memory_order_acquire) == mixGen_ && seekGen_.load() == mixGen_ &&
        r + uint64_t(n) >= eofWritePos_.load()) {
      draining_.store(true);  // the worker ends it once the output has played it out
    } else if (heardFrames_.load() > resumedAt_.load() || ++emptyPasses_ > 2) {
      // A stream just started or moved is still filling: that is not a stall yet.
      stalled_.store(true, std::memory_order_relaxed);
    }
  } else {
    stalled_.store(false, std::memory_order_relaxed);
  }
}

Stream::Heard Stream::heardNow() {
  for (;;) {
    Heard h{heardBase_.load(), heardFrames_.load(), 0};
    if (!clock_) return h;
    const int64_t until = handedUntil_.load();
    const uint64_t resumed = std::min(resumedAt_.load(), h.frames);
    const bool playing = playing_.load();
    const OutputClock::Reading out = clock_->read(OutputClock::nowNs());
    // A pass may have run between the two readings: then read again.
    if (heardFrames_.load() != h.frames) continue;
    // What of this stream the output has not played yet (later frames of the output may be
    // silence or other streams). Paused or stopped: what was handed over plays out, or was
    // dropped, so it counts as heard. Only what was handed over since the stream last started can
    // still be queued.
    const int64_t ahead = std::max<int64_t>(0, until - out.heard);
    if (playing) h.queued = std::min<uint64_t>(h.frames - resumed, uint64_t(ahead));
    return h;
  }
}

int64_t Stream::positionFrames() {
  if (decodeOnly()) {
    std::lock_guard lock(decodeMutex_);
    return decoder->nextSourceFrame();
  }
  uint32_t wanted = seekGen_.load();
  if (wanted != heardGen_.load()) return seekTarget_.load();
  const Heard heard = heardNow();
  int64_t pos = heard.base + int64_t(heard.frames - heard.queued) * rate_ / deviceRate_;
  int64_t len = length_.load();
  return len > 0 ? std::min(pos, len) : pos;
}

bool Stream::seekFrames(int64_t frame) {
  int64_t len = length_.load();
  if (frame < 0 || (len >= 0 && frame > len)) {
    setError(BASS_ERROR_POSITION);
    return false;
  }
  if (net && !net->seekable() && frame != positionFrames()) {
    setError(BASS_ERROR_NOTAVAIL);  // a live stream cannot go back or skip ahead
    return false;
  }
  if (decodeOnly()) {
    std::lock_guard lock(decodeMutex_);
    if (!decoder->seek(frame)) {
      setError(BASS_ERROR_POSITION);
      return false;
    }
    return true;
  }
  ended_ = false;
  requestSeek(frame);
  return true;
}

// Not mixed until the worker has decoded the first stretch at `frame`; an output that can drop
// what it has queued drops it at once, so the move is heard at once. It drops it before the worker
// hears of the move: a fast worker hands its first stretch over at once, and a drop after that
// would lose it.
void Stream::requestSeek(int64_t frame) {
  ready_.store(false, std::memory_order_release);
  if (device_ && playing_.load() && device_->dropsQueued()) device_->wake();
  seekTarget_.store(frame);
  seekGen_.fetch_add(1, std::memory_order_release);
  wakeWorker();
}

bool Stream::play(bool restart) {
  if (decodeOnly()) {
    setError(BASS_ERROR_DECODE);
    return false;
  }
  if (restart || ended_.load()) seekFrames(0);
  ended_ = false;
  paused_ = false;
  if (!playing_.load()) {
    resumedAt_.store(heardFrames_.load());
    stalled_.store(false);
    started_.store(true);
  }
  ensureWorker();
  playing_.store(true, std::memory_order_release);
  wakeWorker();
  return true;
}

bool Stream::pause() {
  if (decodeOnly()) {
    setError(BASS_ERROR_DECODE);
    return false;
  }
  const int64_t heard = positionFrames();
  if (!playing_.exchange(false)) {
    setError(BASS_ERROR_NOPLAY);
    return false;
  }
  paused_ = true;
  rewindTo(heard);
  return true;
}

void Stream::stop() {
  const int64_t heard = positionFrames();
  const bool was = playing_.exchange(false);
  paused_ = false;
  if (was) rewindTo(heard);
}

// Paused or stopped on an output that drops what it has queued: what was mixed but not heard is
// gone, so playing on starts again where the loudspeaker stopped.
void Stream::rewindTo(int64_t frame) {
  if (decodeOnly() || !device_ || !device_->dropsQueued()) return;
  if (net && !net->seekable()) return;  // a live stream goes on from what comes next
  int64_t len = length_.load();
  if (frame < 0 || (len >= 0 && frame > len)) return;
  requestSeek(frame);
  device_->wake();
}

DWORD Stream::activity() const {
  if (decodeOnly()) return ended_ ? BASS_ACTIVE_STOPPED : BASS_ACTIVE_PLAYING;
  if (playing_) return stalled_ ? BASS_ACTIVE_STALLED : BASS_ACTIVE_PLAYING;
  return paused_ ? BASS_ACTIVE_PAUSED : BASS_ACTIVE_STOPPED;
}

}  // namespace melvo::audiolib
