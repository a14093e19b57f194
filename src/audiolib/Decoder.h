// One decoded audio stream: libavformat demuxing, an FFmpeg decoder (built in or from a
// plug-in) and libswresample conversion to interleaved float at the rate and channel count the
// caller asks for. Not thread-safe: one thread uses it at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audiolib/AudioLib.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace melvo::audiolib {
class ReadGuard;
}

namespace melvo::audiolib {

// Asks the loaded plug-ins for a decoder; returns nullptr when none decodes the codec.
struct PluginDecoder {
  AVCodecContext* codec = nullptr;
  HPLUGIN plugin = 0;
  DWORD ctype = 0;
};
using PluginDecoderFactory = std::function<PluginDecoder(const AVCodecParameters*)>;

class Decoder {
 public:
  // Takes an opened container (its I/O may be custom); on failure returns nullptr and sets
  // *error to a BASS_ERROR_* code. The container is freed in every case.
  // read() gives interleaved float at outRate (0 = the source rate) with outChannels channels
  // (0 = the source's, 1 or 2). `live` skips the stream analysis when the container header
  // already tells the format, so a network stream starts without waiting for more data.
  // `guard` (may be null; must outlive the decoder) bounds what reading may cost; its opening
  // deadline is lifted once the decoder is open.
  // Streams whose rate, channel count or frame size is absurd are refused (FILEFORM).
  static std::unique_ptr<Decoder> open(AVFormatContext* fmt, const PluginDecoderFactory& plugins,
                                       int outRate, int outChannels, bool live, ReadGuard* guard,
                                       int* error);
  static constexpr int kMinRate = 1000;
  static constexpr int kMaxRate = 768000;
  static constexpr int kMaxChannels = 32;
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  int sourceRate() const { return sourceRate_; }
  int sourceChannels() const { return sourceChannels_; }  // 1 or 2 (more are mixed down)
  int bitsPerSample() const { return bits_; }
  DWORD channelType() const { return ctype_; }
  HPLUGIN plugin() const { return plugin_; }
  // Length in source frames, -1 when unknown. Refined to the decoded count once the end is seen.
  int64_t lengthFrames() const { return lengthFrames_; }
  // A better length from outside the container (e.g. an MP3's encoder tag).
  void setLengthFrames(int64_t frames) { lengthFrames_ = frames; }
  const std::map<std::string, std::string>& metadata() const { return metadata_; }

  int outputChannels() const { return outChannels_; }
  // Reads up to maxFrames output frames; 0 at the end of the stream (or on a decoding error that
  // cannot be passed).
  int read(float* out, int maxFrames);
  // Positions so that the next frame read is source frame `frame` exactly.
  bool seek(int64_t frame);
  // Source frame index of the next frame read() returns.
  int64_t nextSourceFrame() const { return nextOut_; }

 private:
  Decoder() = default;
  bool decodeMore();  // fills pending_ with converted frames; false at the end
  bool convertFrame(AVFrame* frame);
  bool rebuildResampler(const AVFrame* frame);
  void setOutput(int rate, int channels);

  ReadGuard* guard_ = nullptr;
  AVFormatContext* fmt_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwrContext* swr_ = nullptr;
  int streamIndex_ = -1;
  int sourceRate_ = 0;
  int sourceChannels_ = 0;
  int bits_ = 0;
  DWORD ctype_ = 0;
  HPLUGIN plugin_ = 0;
  int64_t lengthFrames_ = -1;
  int64_t startPts_ = 0;
  std::map<std::string, std::string> metadata_;

  int outRate_ = 0;
  int outChannels_ = 0;
  bool swrDirty_ = true;
  int swrRate_ = 0;  // what the resampler was built for
  int swrFormat_ = -1;
  int swrChannels_ = 0;
  std::vector<float> pending_;  // converted, not yet read (interleaved output frames)
  size_t pendingPos_ = 0;       // in floats
  int64_t nextIn_ = 0;          // source index of the next decoded sample
  int64_t nextOut_ = 0;         // source index of the next frame read() gives
  int64_t dropUntil_ = 0;       // source frames before this are decoded and dropped
  bool syncToPts_ = false;      // after a seek, take the position from the next frame's pts
  bool draining_ = false;
  bool ended_ = false;
};

}  // namespace melvo::audiolib
