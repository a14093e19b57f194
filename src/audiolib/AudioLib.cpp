// The C entry points: handle look-up, argument checks and error codes around the core objects.
#include "audiolib/AudioLib.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "audiolib/Device.h"
#include "audiolib/Mp3Length.h"
#include "audiolib/OnDemandFfmpeg.h"
#include "audiolib/OutputClockReading.h"
#include "audiolib/Plugins.h"
#include "audiolib/Stream.h"
#include "audiolib/TagReaders.h"
#include "audiolib/Tags.h"

namespace melvo::audiolib {
namespace {

thread_local int lastError = BASS_OK;

struct Library {
  std::mutex mutex;  // the maps and the device's open/close
  std::map<DWORD, std::shared_ptr<Stream>> streams;
  std::map<HFX, std::weak_ptr<Stream>> fxOwners;
  std::atomic<DWORD> nextHandle{0x10000};
  std::atomic<DWORD> nextId{0x1000000};
  Device device;
  PluginRegistry plugins;
  std::atomic<int> bufferMs{500};
  std::atomic<int> netTimeoutMs{5000};
  std::atomic<int> netPrebuf{75};
  std::atomic<int> netPlaylist{0};
};

// Never destroyed: threads of the library may still run while static objects go away at exit.
Library& lib() {
  static Library* instance = new Library;
  return *instance;
}

template <typename T>
T fail(int code, T value) {
  lastError = code;
  return value;
}

template <typename T>
T ok(T value) {
  lastError = BASS_OK;
  return value;
}

std::shared_ptr<Stream> findStream(DWORD handle) {
  Library& l = lib();
  std::lock_guard lock(l.mutex);
  auto it = l.streams.find(handle);
  return it == l.streams.end() ? nullptr : it->second;
}

std::shared_ptr<Stream> findFxOwner(HFX fx) {
  Library& l = lib();
  std::lock_guard lock(l.mutex);
  auto it = l.fxOwners.find(fx);
  return it == l.fxOwners.end() ? nullptr : it->second.lock();
}

bool deviceReady() {
  Library& l = lib();
  std::lock_guard lock(l.mutex);
  return l.device.isOpen();
}

PluginDecoderFactory pluginFactory() {
  return [](const AVCodecParameters* par) { return lib().plugins.openDecoder(par); };
}

HSTREAM registerStream(const std::shared_ptr<Stream>& s) {
  Library& l = lib();
  std::lock_guard lock(l.mutex);
  if (!l.device.isOpen()) return fail(BASS_ERROR_INIT, 0u);
  l.streams[s->handle] = s;
  if (!s->decodeOnly()) l.device.attach(s.get());
  return ok(s->handle);
}

void releaseStream(const std::shared_ptr<Stream>& s) {
  lib().device.detach(s.get());
  s->shutdown();
}

HSTREAM finishStream(std::shared_ptr<Stream> s, int error) {
  if (!s->decoder) return fail(error, 0u);
  s->adoptDecoder();
  HSTREAM h = registerStream(s);
  if (h && !s->decodeOnly() && s->prebufferPercent > 0)
    s->waitForPrebuffer(s->prebufferPercent, lib().netTimeoutMs.load());
  return h;
}

QWORD framesToBytes(const Stream& s, int64_t frames) {
  return QWORD(frames) * QWORD(s.bytesPerFrame());
}

}  // namespace

void setError(int code) {
  lastError = code;
}

OutputClock::Reading readOutputClock() {
  Library& l = lib();
  std::lock_guard lock(l.mutex);
  if (!l.device.isOpen()) return {0, 0, 0};
  return l.device.clock().read(OutputClock::nowNs());
}

}  // namespace melvo::audiolib

using namespace melvo::audiolib;

extern "C" {

DWORD BASS_GetVersion(void) {
  return 0x02040000;
}

BOOL BASS_Init(int device, DWORD freq, DWORD, void*, const void*) {
  Library& l = lib();
  std::lock_guard lock(l.mutex);
  if (l.device.isOpen()) return fail(BASS_ERROR_ALREADY, FALSE);
  if (device < -1) return fail(BASS_ERROR_DEVICE, FALSE);
  int rate = freq ? int(freq) : 44100;
  if (rate < 8000 || rate > 192000) return fail(BASS_ERROR_FORMAT, FALSE);
  if (!l.device.open(device, rate)) return fail(BASS_ERROR_DRIVER, FALSE);
  return ok(TRUE);
}

BOOL BASS_Free(void) {
  Library& l = lib();
  std::map<DWORD, std::shared_ptr<Stream>> streams;
  {
    std::lock_guard lock(l.mutex);
    if (!l.device.isOpen()) return fail(BASS_ERROR_INIT, FALSE);
    streams.swap(l.streams);
    l.fxOwners.clear();
  }
  for (auto& [handle, s] : streams) releaseStream(s);
  std::lock_guard lock(l.mutex);
  l.device.close();
  return ok(TRUE);
}

BOOL BASS_Start(void) {
  if (!deviceReady()) return fail(BASS_ERROR_INIT, FALSE);
  lib().device.setRunning(true);
  return ok(TRUE);
}

BOOL BASS_Stop(void) {
  if (!deviceReady()) return fail(BASS_ERROR_INIT, FALSE);
  lib().device.setRunning(false);
  return ok(TRUE);
}

BOOL BASS_SetConfig(DWORD option, DWORD value) {
  Library& l = lib();
  switch (option) {
    case BASS_CONFIG_BUFFER:
      l.bufferMs = int(std::clamp<DWORD>(value, 100, 5000));
      return ok(TRUE);
    case BASS_CONFIG_NET_TIMEOUT:
      l.netTimeoutMs = int(std::clamp<DWORD>(value, 1, 600000));
      return ok(TRUE);
    case BASS_CONFIG_NET_PREBUF:
      l.netPrebuf = int(std::min<DWORD>(value, 100));
      return ok(TRUE);
    case BASS_CONFIG_NET_PLAYLIST:
      l.netPlaylist = int(std::min<DWORD>(value, 2));
      return ok(TRUE);
    default:
      return fail(BASS_ERROR_ILLTYPE, FALSE);
  }
}

DWORD BASS_GetConfig(DWORD option) {
  Library& l = lib();
  switch (option) {
    case BASS_CONFIG_BUFFER:
      return ok(DWORD(l.bufferMs.load()));
    case BASS_CONFIG_NET_TIMEOUT:
      return ok(DWORD(l.netTimeoutMs.load()));
    case BASS_CONFIG_NET_PREBUF:
      return ok(DWORD(l.netPrebuf.load()));
    case BASS_CONFIG_NET_PLAYLIST:
      return ok(DWORD(l.netPlaylist.load()));
    default:
      return fail(BASS_ERROR_ILLTYPE, DWORD(-1));
  }
}

BOOL BASS_SetVolume(float volume) {
  if (!deviceReady()) return fail(BASS_ERROR_INIT, FALSE);
  if (!(volume >= 0.0f && volume <= 1.0f)) return fail(BASS_ERROR_ILLPARAM, FALSE);
  lib().device.setMaster(volume);
  return ok(TRUE);
}

float BASS_GetVolume(void) {
  if (!deviceReady()) return fail(BASS_ERROR_INIT, -1.0f);
  return ok(lib().device.master());
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
  if (!deviceReady()) return fail(BASS_ERROR_INIT, 0u);
  if (mem || !file || offset != 0 || length != 0) return fail(BASS_ERROR_ILLPARAM, 0u);
  if (!ondemand::openFfmpeg()) return fail(BASS_ERROR_CODEC, 0u);
  Library& l = lib();
  const std::string path = static_cast<const char*>(file);
  int error = BASS_OK;
  int64_t size = -1;
  const bool decodeOnly = flags & BASS_STREAM_DECODE;
  auto s = std::make_shared<Stream>(l.nextHandle++, flags & ~BASS_UNICODE, path, l.device.rate(),
                                    l.bufferMs.load());
  AVFormatContext* fmt = openFileContainer(path, &s->readGuard, &error, &size);
  if (!fmt) return fail(error, 0u);
  s->fileSize = size;
  // An MP3 that starts with a Xing or Info frame tells its format and exact length there.
  const std::optional<Mp3Start> mp3 = stateMp3Format(fmt, path);
  s->decoder = Decoder::open(fmt, pluginFactory(), decodeOnly ? 0 : l.device.rate(),
                             decodeOnly ? 0 : 2, false, &s->readGuard, &error);
  if (s->decoder && s->decoder->channelType() == BASS_CTYPE_STREAM_MP3) {
    int64_t exact = mp3 ? mp3->frames : exactMp3Frames(path);
    if (exact > 0) s->decoder->setLengthFrames(exact);
  }
  return finishStream(std::move(s), error);
}

HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc,
                             void* user) {
  if (!deviceReady()) return fail(BASS_ERROR_INIT, 0u);
  if (!url || offset != 0) return fail(BASS_ERROR_ILLPARAM, 0u);
  if (!isAllowedUrl(url)) return fail(BASS_ERROR_PROTOCOL, 0u);
  if (!ondemand::openFfmpeg()) return fail(BASS_ERROR_CODEC, 0u);
  Library& l = lib();
  NetOptions options;
  options.timeoutMs = l.netTimeoutMs.load();
  options.followPlaylists = l.netPlaylist.load() > 0;
  options.download = proc;
  options.user = user;
  int error = BASS_OK;
  AVFormatContext* fmt = nullptr;
  const bool decodeOnly = flags & BASS_STREAM_DECODE;
  auto s = std::make_shared<Stream>(l.nextHandle++, flags & ~BASS_UNICODE, url, l.device.rate(),
                                    l.bufferMs.load());
  std::unique_ptr<NetSource> net = NetSource::open(url, options, &s->readGuard, &fmt, &error);
  if (!net) return fail(error, 0u);
  s->isFile = false;
  s->fileSize = net->size();
  s->net = std::move(net);
  s->decoder = Decoder::open(fmt, pluginFactory(), decodeOnly ? 0 : l.device.rate(),
                             decodeOnly ? 0 : 2, true, &s->readGuard, &error);
  s->prebufferPercent = l.netPrebuf.load();
  return finishStream(std::move(s), error);
}

BOOL BASS_StreamFree(HSTREAM handle) {
  Library& l = lib();
  std::shared_ptr<Stream> s;
  {
    std::lock_guard lock(l.mutex);
    auto it = l.streams.find(handle);
    if (it == l.streams.end()) return fail(BASS_ERROR_HANDLE, FALSE);
    s = it->second;
    l.streams.erase(it);
    for (auto f = l.fxOwners.begin(); f != l.fxOwners.end();) {
      auto owner = f->second.lock();
      f = (!owner || owner == s) ? l.fxOwners.erase(f) : std::next(f);
    }
  }
  releaseStream(s);
  return ok(TRUE);
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, QWORD(-1));
  switch (mode) {
    case BASS_FILEPOS_END:
      if (s->fileSize < 0) return fail(BASS_ERROR_NOTAVAIL, QWORD(-1));
      return ok(QWORD(s->fileSize));
    case BASS_FILEPOS_CURRENT:
    case BASS_FILEPOS_DOWNLOAD: {
      if (s->net) return ok(QWORD(s->net->bytesRead()));
      if (mode == BASS_FILEPOS_DOWNLOAD) return ok(QWORD(s->fileSize));
      int64_t len = s->lengthFrames();
      if (len <= 0) return ok(QWORD(0));
      return ok(QWORD(double(s->fileSize) * double(s->positionFrames()) / double(len)));
    }
    default:
      return fail(BASS_ERROR_ILLTYPE, QWORD(-1));
  }
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, QWORD(-1));
  if (mode != BASS_POS_BYTE) return fail(BASS_ERROR_ILLTYPE, QWORD(-1));
  int64_t frames = s->lengthFrames();
  if (frames < 0) return fail(BASS_ERROR_NOTAVAIL, QWORD(-1));
  return ok(framesToBytes(*s, frames));
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, QWORD(-1));
  if (mode != BASS_POS_BYTE) return fail(BASS_ERROR_ILLTYPE, QWORD(-1));
  return ok(framesToBytes(*s, s->positionFrames()));
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  if (mode != BASS_POS_BYTE) return fail(BASS_ERROR_ILLTYPE, FALSE);
  if (pos == QWORD(-1)) return fail(BASS_ERROR_POSITION, FALSE);
  if (!s->seekFrames(int64_t(pos / QWORD(s->bytesPerFrame())))) return FALSE;
  return ok(TRUE);
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, -1.0);
  if (pos == QWORD(-1)) return fail(BASS_ERROR_ILLPARAM, -1.0);
  return ok(double(pos / QWORD(s->bytesPerFrame())) / double(s->rate()));
}

QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double seconds) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, QWORD(-1));
  if (!(seconds >= 0.0) || seconds > 1e9) return fail(BASS_ERROR_ILLPARAM, QWORD(-1));
  auto frames = int64_t(std::floor(seconds * s->rate() + 1e-6));
  return ok(framesToBytes(*s, frames));
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  if (!s->play(restart != FALSE)) return FALSE;
  lib().device.wake();
  return ok(TRUE);
}

BOOL BASS_ChannelPause(DWORD handle) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  if (!s->pause()) return FALSE;
  return ok(TRUE);
}

BOOL BASS_ChannelStop(DWORD handle) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  s->stop();
  return ok(TRUE);
}

DWORD BASS_ChannelIsActive(DWORD handle) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, DWORD(BASS_ACTIVE_STOPPED));
  return ok(s->activity());
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  if (attrib != BASS_ATTRIB_VOL) return fail(BASS_ERROR_ILLTYPE, FALSE);
  if (!(value >= 0.0f) || value > 16.0f) return fail(BASS_ERROR_ILLPARAM, FALSE);
  s->volume = value;
  lib().device.gainChanged();
  return ok(TRUE);
}

BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  if (attrib != BASS_ATTRIB_VOL) return fail(BASS_ERROR_ILLTYPE, FALSE);
  if (!value) return fail(BASS_ERROR_ILLPARAM, FALSE);
  *value = s->volume.load();
  return ok(TRUE);
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  if (!info) return fail(BASS_ERROR_ILLPARAM, FALSE);
  info->freq = DWORD(s->rate());
  info->chans = DWORD(s->channels());
  info->flags = s->flags;
  info->ctype = s->decoder->channelType();
  info->origres = DWORD(std::max(0, s->decoder->bitsPerSample()));
  info->plugin = s->decoder->plugin();
  info->filename = s->name.c_str();
  return ok(TRUE);
}

DWORD BASS_ChannelGetLevel(DWORD handle) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, 0u);
  lastError = BASS_OK;
  return s->level();
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, DWORD(-1));
  lastError = BASS_OK;
  if (length == BASS_DATA_AVAILABLE) return 0;
  if (!buffer) return fail(BASS_ERROR_ILLPARAM, DWORD(-1));
  if (length == BASS_DATA_FFT1024) return s->spectrum(static_cast<float*>(buffer));
  if (length & 0x80000000u) return fail(BASS_ERROR_ILLTYPE, DWORD(-1));
  return s->rawData(buffer, length);
}

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD, SYNCPROC* proc, void* user) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, 0u);
  if ((type & ~BASS_SYNC_ONETIME) != BASS_SYNC_END) return fail(BASS_ERROR_ILLTYPE, 0u);
  if (!proc) return fail(BASS_ERROR_ILLPARAM, 0u);
  return ok(s->addSync(lib().nextId++, type, proc, user));
}

BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  if (!s->removeSync(sync)) return fail(BASS_ERROR_HANDLE, FALSE);
  return ok(TRUE);
}

HFX BASS_ChannelSetFX(DWORD handle, DWORD type, int priority) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, 0u);
  if (type != BASS_FX_DX8_PARAMEQ) return fail(BASS_ERROR_ILLTYPE, 0u);
  Library& l = lib();
  HFX fx = l.nextId++;
  s->addFx(fx, priority);
  std::lock_guard lock(l.mutex);
  l.fxOwners[fx] = s;
  return ok(fx);
}

BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx) {
  auto s = findStream(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  if (!s->removeFx(fx)) return fail(BASS_ERROR_HANDLE, FALSE);
  Library& l = lib();
  std::lock_guard lock(l.mutex);
  l.fxOwners.erase(fx);
  return ok(TRUE);
}

BOOL BASS_FXSetParameters(HFX handle, const void* params) {
  auto s = findFxOwner(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  if (!params) return fail(BASS_ERROR_ILLPARAM, FALSE);
  if (!s->setFx(handle, *static_cast<const BASS_DX8_PARAMEQ*>(params)))
    return fail(BASS_ERROR_HANDLE, FALSE);
  return ok(TRUE);
}

BOOL BASS_FXGetParameters(HFX handle, void* params) {
  auto s = findFxOwner(handle);
  if (!s) return fail(BASS_ERROR_HANDLE, FALSE);
  if (!params) return fail(BASS_ERROR_ILLPARAM, FALSE);
  if (!s->getFx(handle, static_cast<BASS_DX8_PARAMEQ*>(params)))
    return fail(BASS_ERROR_HANDLE, FALSE);
  return ok(TRUE);
}

HPLUGIN BASS_PluginLoad(const char* file, DWORD) {
  if (!file) return fail(BASS_ERROR_ILLPARAM, 0u);
  int error = BASS_OK;
  HPLUGIN h = lib().plugins.load(file, &error);
  return h ? ok(h) : fail(error, 0u);
}

const BASS_PLUGININFO* BASS_PluginGetInfo(HPLUGIN handle) {
  const BASS_PLUGININFO* info = lib().plugins.info(handle);
  return info ? ok(info) : fail<const BASS_PLUGININFO*>(BASS_ERROR_HANDLE, nullptr);
}

BOOL BASS_PluginFree(HPLUGIN handle) {
  return lib().plugins.free(handle) ? ok(TRUE) : fail(BASS_ERROR_HANDLE, FALSE);
}

int BASS_ErrorGetCode(void) {
  return lastError;
}

const char* TAGS_Read(DWORD handle, const char* fmt) {
  auto s = findStream(handle);
  if (!s) return fail<const char*>(BASS_ERROR_HANDLE, nullptr);
  if (!fmt) return fail<const char*>(BASS_ERROR_ILLPARAM, nullptr);
  std::string text;
  {
    std::lock_guard lock(s->tagMutex);
    const bool common = asksOnlyCommonTags(fmt);
    if (!s->tagsLoaded && s->isFile && common) {
      // Title, artist and album of the usual files without TagLib (the import asks for these).
      if (auto fast = readCommonTags(s->name)) {
        s->tags = std::move(*fast);
        s->tagsLoaded = true;
        s->tagsPartial = true;
      }
    }
    if (!s->tagsLoaded || (s->tagsPartial && !common)) {
      s->tags = s->isFile ? readFileTags(s->name) : std::map<std::string, std::string>{};
      if (s->tags.empty()) {
        for (const auto& [key, value] : s->decoder->metadata())
          s->tags[key == "date" ? "year" : key] = value;
      }
      s->tagsLoaded = true;
      s->tagsPartial = false;
    }
    text = formatTags(fmt, s->tags);
  }
  // Results stay valid across the next three calls on this thread.
  thread_local std::array<std::string, 4> results;
  thread_local size_t next = 0;
  std::string& slot = results[next++ % results.size()];
  slot = std::move(text);
  return ok(slot.c_str());
}

}  // extern "C"
