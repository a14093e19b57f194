#include "audiolib/Decoder.h"

#include "audiolib/ReadGuard.h"

#include <algorithm>
#include <cstring>

#include "audiolib/OnDemandFfmpeg.h"

namespace melvo::audiolib {
namespace {

// Codecs the library decodes itself; everything else needs a plug-in.
bool isBuiltInCodec(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_VORBIS:
      return true;
    default:
      break;
  }
  const AVCodecDescriptor* d = avcodec_descriptor_get(id);
  if (!d || !d->name) return false;
  return std::strncmp(d->name, "pcm_", 4) == 0 || std::strncmp(d->name, "adpcm_", 6) == 0;
}

DWORD builtInChannelType(const AVFormatContext* fmt, AVCodecID id) {
  const char* name = fmt->iformat ? fmt->iformat->name : "";
  if (std::strcmp(name, "libopenmpt") == 0 || std::strcmp(name, "mod") == 0)
    return BASS_CTYPE_MUSIC_MOD;
  if (std::strcmp(name, "aiff") == 0) return BASS_CTYPE_STREAM_AIFF;
  if (std::strcmp(name, "wav") == 0) return BASS_CTYPE_STREAM_WAV;
  switch (id) {
    case AV_CODEC_ID_MP1:
      return BASS_CTYPE_STREAM_MP1;
    case AV_CODEC_ID_MP2:
      return BASS_CTYPE_STREAM_MP2;
    case AV_CODEC_ID_MP3:
      return BASS_CTYPE_STREAM_MP3;
    case AV_CODEC_ID_VORBIS:
      return BASS_CTYPE_STREAM_OGG;
    default:
      return BASS_CTYPE_STREAM;
  }
}

AVCodecContext* openBuiltInDecoder(const AVCodecParameters* par) {
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) return nullptr;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) return nullptr;
  if (avcodec_parameters_to_context(ctx, par) < 0 || avcodec_open2(ctx, codec, nullptr) < 0) {
    avcodec_free_context(&ctx);
    return nullptr;
  }
  return ctx;
}

void copyMetadata(const AVDictionary* dict, std::map<std::string, std::string>& out) {
  const AVDictionaryEntry* e = nullptr;
  while ((e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX))) {
    std::string key = e->key;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    out.emplace(key, e->value);
  }
}

// What a sane audio stream can be; anything else would make the resampler or the buffers huge.
bool plausibleFormat(int rate, int channels) {
  return rate >= Decoder::kMinRate && rate <= Decoder::kMaxRate && channels >= 1 &&
         channels <= Decoder::kMaxChannels;
}

constexpr int kMaxBlockAlign = 1 << 16;
constexpr int kMaxFrameSize = 1 << 20;  // samples per packet
constexpr int64_t kProbeBytes = 2 << 20;

// The header states only absurd formats: refused before any analysis reads or allocates for them.
bool headerRefuses(const AVFormatContext* fmt) {
  bool stated = false;
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVCodecParameters* par = fmt->streams[i]->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    if (par->sample_rate <= 0 && par->ch_layout.nb_channels <= 0) return false;  // not known yet
    if (plausibleFormat(par->sample_rate, par->ch_layout.nb_channels)) return false;
    stated = true;
  }
  return stated;
}

bool headerTellsFormat(const AVFormatContext* fmt) {
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVCodecParameters* par = fmt->streams[i]->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->codec_id != AV_CODEC_ID_NONE &&
        par->sample_rate > 0 && par->ch_layout.nb_channels > 0)
      return true;
  }
  return false;
}

// A local file whose header already says everything the decoder needs, its length included:
// MP3 with a Xing, Info or VBRI frame, FLAC with STREAMINFO, WAV and AIFF with their sizes. The
// stream analysis, which decodes a first stretch of every stream (a cover picture too), is not
// needed for these.
bool headerTellsAll(const AVFormatContext* fmt) {
  const char* container = fmt->iformat ? fmt->iformat->name : "";
  if (std::strcmp(container, "mp3") != 0 && std::strcmp(container, "flac") != 0 &&
      std::strcmp(container, "wav") != 0 && std::strcmp(container, "aiff") != 0)
    return false;
  bool audio = false;
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVStream* st = fmt->streams[i];
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    if (audio) return false;  // several audio streams: let the analysis choose
    audio = true;
    const bool known =
        par->codec_id == AV_CODEC_ID_MP3 || par->codec_id == AV_CODEC_ID_FLAC ||
        (par->codec_id >= AV_CODEC_ID_PCM_S16LE && par->codec_id <= AV_CODEC_ID_PCM_F24LE);
    if (!known || par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0) return false;
    if (st->duration <= 0 || st->duration == AV_NOPTS_VALUE) return false;
  }
  return audio;
}

}  // namespace

std::unique_ptr<Decoder> Decoder::open(AVFormatContext* fmt, const PluginDecoderFactory& plugins,
                                       int outRate, int outChannels, bool live, ReadGuard* guard,
                                       int* error) {
  std::unique_ptr<Decoder> d(new Decoder);
  d->fmt_ = fmt;
  d->guard_ = guard;
  if (guard) guard->watch(fmt);
  *error = BASS_ERROR_FILEFORM;
  if (fmt->probesize > kProbeBytes) fmt->probesize = kProbeBytes;
  if (headerRefuses(fmt)) return nullptr;
  const bool analysed = live ? !headerTellsFormat(fmt) : !headerTellsAll(fmt);
  if (analysed && avformat_find_stream_info(fmt, nullptr) < 0) return nullptr;
  int index = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return nullptr;
  AVStream* st = fmt->streams[index];
  const AVCodecParameters* par = st->codecpar;
  if (!plausibleFormat(par->sample_rate, par->ch_layout.nb_channels) || par->block_align < 0 ||
      par->block_align > kMaxBlockAlign || par->frame_size < 0 || par->frame_size > kMaxFrameSize)
    return nullptr;
  for (unsigned i = 0; i < fmt->nb_streams; ++i)
    if (int(i) != index) fmt->streams[i]->discard = AVDISCARD_ALL;

  if (isBuiltInCodec(par->codec_id)) {
    d->codec_ = openBuiltInDecoder(par);
    d->ctype_ = builtInChannelType(fmt, par->codec_id);
  } else if (plugins) {
    PluginDecoder p = plugins(par);
    d->codec_ = p.codec;
    d->plugin_ = p.plugin;
    d->ctype_ = p.ctype;
    if (!d->codec_) *error = BASS_ERROR_CODEC;
  } else {
    *error = BASS_ERROR_CODEC;
  }
  if (!d->codec_) return nullptr;

  d->streamIndex_ = index;
  d->sourceRate_ = par->sample_rate;
  d->sourceChannels_ = par->ch_layout.nb_channels == 1 ? 1 : 2;
  d->bits_ = par->bits_per_raw_sample ? par->bits_per_raw_sample : par->bits_per_coded_sample;
  d->startPts_ = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
  if (st->duration > 0 && st->duration != AV_NOPTS_VALUE) {
    d->lengthFrames_ = av_rescale_q(st->duration, st->time_base, AVRational{1, par->sample_rate});
  } else if (fmt->duration > 0 && fmt->duration != AV_NOPTS_VALUE) {
    d->lengthFrames_ = av_rescale(fmt->duration, par->sample_rate, AV_TIME_BASE);
  }
  copyMetadata(fmt->metadata, d->metadata_);
  copyMetadata(st->metadata, d->metadata_);
  d->packet_ = av_packet_alloc();
  d->frame_ = av_frame_alloc();
  if (!d->packet_ || !d->frame_) {
    *error = BASS_ERROR_MEM;
    return nullptr;
  }
  d->setOutput(outRate > 0 ? outRate : d->sourceRate_,
               outChannels > 0 ? outChannels : d->sourceChannels_);
  // A file that yields no sound at all is not an audio file for us.
  if (!d->decodeMore()) return nullptr;
  if (guard) guard->setDeadlineMs(0);
  *error = BASS_OK;
  return d;
}

Decoder::~Decoder() {
  swr_free(&swr_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&codec_);
  // Custom I/O (network streams) is left alone here: it belongs to its NetSource.
  if (fmt_) avformat_close_input(&fmt_);
}

void Decoder::setOutput(int rate, int channels) {
  outRate_ = rate;
  outChannels_ = channels == 1 ? 1 : 2;
  swrDirty_ = true;
}

// Built from the frame itself: a damaged or changing stream may switch rate, sample format or
// channel count between frames, and the resampler must match what it is given.
bool Decoder::rebuildResampler(const AVFrame* frame) {
  swr_free(&swr_);
  AVChannelLayout out;
  av_channel_layout_default(&out, outChannels_);
  AVChannelLayout in{};
  if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&in, frame->ch_layout.nb_channels);
  else
    av_channel_layout_copy(&in, &frame->ch_layout);
  int rc = swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_FLT, outRate_, &in,
                               AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  // A mono source is heard at full level on both sides, not mixed down as a centre channel.
  if (rc >= 0 && frame->ch_layout.nb_channels == 1 && outChannels_ == 2) {
    const double both[2] = {1.0, 1.0};
    swr_set_matrix(swr_, both, 1);
  }
  if (rc < 0 || swr_init(swr_) < 0) {
    swr_free(&swr_);
    return false;
  }
  swrRate_ = frame->sample_rate;
  swrFormat_ = frame->format;
  swrChannels_ = frame->ch_layout.nb_channels;
  swrDirty_ = false;
  return true;
}

bool Decoder::convertFrame(AVFrame* frame) {
  int64_t start = nextIn_;
  if (syncToPts_) {
    int64_t pts = frame->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE) {
      AVStream* st = fmt_->streams[streamIndex_];
      start = av_rescale_q(pts - startPts_, st->time_base, AVRational{1, sourceRate_});
    }
    syncToPts_ = false;
  }
  int n = frame->nb_samples;
  nextIn_ = start + n;
  if (guard_) guard_->progressed();
  if (start + n <= dropUntil_) return true;
  int skip = int(std::max<int64_t>(0, dropUntil_ - start));
  if (frame->nb_samples <= 0 || !plausibleFormat(frame->sample_rate, frame->ch_layout.nb_channels))
    return true;  // nothing usable in it
  if (swrDirty_ || frame->sample_rate != swrRate_ || frame->format != swrFormat_ ||
      frame->ch_layout.nb_channels != swrChannels_) {
    if (!rebuildResampler(frame)) return false;
  }
  const int planes =
      av_sample_fmt_is_planar(AVSampleFormat(frame->format)) ? frame->ch_layout.nb_channels : 1;
  const int step = av_get_bytes_per_sample(AVSampleFormat(frame->format)) *
                   (planes == 1 ? frame->ch_layout.nb_channels : 1);
  const uint8_t* in[AV_NUM_DATA_POINTERS * 8] = {};
  for (int p = 0; p < planes && p < int(std::size(in)); ++p)
    in[p] = frame->extended_data[p] + size_t(skip) * step;
  int inCount = n - skip;
  int capacity = swr_get_out_samples(swr_, inCount) + 16;
  size_t base = pending_.size();
  pending_.resize(base + size_t(capacity) * outChannels_);
  uint8_t* out = reinterpret_cast<uint8_t*>(pending_.data() + base);
  int got = swr_convert(swr_, &out, capacity, in, inCount);
  if (got < 0) got = 0;
  pending_.resize(base + size_t(got) * outChannels_);
  if (skip > 0 || dropUntil_ > start) dropUntil_ = 0;
  return true;
}

bool Decoder::decodeMore() {
  if (pendingPos_ > 0) {
    pending_.erase(pending_.begin(), pending_.begin() + long(pendingPos_));
    pendingPos_ = 0;
  }
  while (pending_.empty() && !ended_) {
    int rc = avcodec_receive_frame(codec_, frame_);
    if (rc == 0) {
      bool ok = convertFrame(frame_);
      av_frame_unref(frame_);
      if (!ok) ended_ = true;
      continue;
    }
    if (rc == AVERROR_EOF) {
      ended_ = true;
      break;
    }
    if (rc != AVERROR(EAGAIN)) {
      ended_ = true;
      break;
    }
    if (draining_) {
      ended_ = true;
      break;
    }
    rc = av_read_frame(fmt_, packet_);
    if (rc < 0) {
      draining_ = true;
      avcodec_send_packet(codec_, nullptr);
      continue;
    }
    if (packet_->stream_index == streamIndex_) {
      // A damaged packet is skipped; the decoder resynchronises on the next one.
      avcodec_send_packet(codec_, packet_);
    }
    av_packet_unref(packet_);
  }
  if (ended_ && pending_.empty() && swr_) {
    // Flush what the resampler still holds.
    int capacity = swr_get_out_samples(swr_, 0) + 16;
    pending_.resize(size_t(capacity) * outChannels_);
    uint8_t* out = reinterpret_cast<uint8_t*>(pending_.data());
    int got = swr_convert(swr_, &out, capacity, nullptr, 0);
    pending_.resize(size_t(std::max(got, 0)) * outChannels_);
    swr_free(&swr_);
    swrDirty_ = true;
  }
  if (ended_ && pending_.empty() && nextOut_ > 0 && outRate_ == sourceRate_)
    lengthFrames_ = nextOut_;
  return !pending_.empty();
}

int Decoder::read(float* out, int maxFrames) {
  int done = 0;
  while (done < maxFrames) {
    size_t available = (pending_.size() - pendingPos_) / size_t(outChannels_);
    if (available == 0) {
      if (!decodeMore()) break;
      continue;
    }
    size_t take = std::min(available, size_t(maxFrames - done));
    std::memcpy(out + size_t(done) * outChannels_, pending_.data() + pendingPos_,
                take * outChannels_ * sizeof(float));
    pendingPos_ += take * outChannels_;
    done += int(take);
  }
  if (outRate_ == sourceRate_)
    nextOut_ += done;
  else
    nextOut_ += av_rescale(done, sourceRate_, outRate_);
  return done;
}

bool Decoder::seek(int64_t frame) {
  if (frame < 0) return false;
  // Start a little early: decoders such as MP3 need the preceding frames to settle.
  const int64_t preroll = sourceRate_ / 5;
  int64_t from = std::max<int64_t>(0, frame - preroll);
  AVStream* st = fmt_->streams[streamIndex_];
  int64_t ts = av_rescale_q(from, AVRational{1, sourceRate_}, st->time_base) + startPts_;
  int rc = avformat_seek_file(fmt_, streamIndex_, INT64_MIN, ts, ts, 0);
  if (rc < 0) rc = av_seek_frame(fmt_, streamIndex_, ts, AVSEEK_FLAG_BACKWARD);
  if (rc < 0) {
    // Not seekable: rewind is still possible by reading from the start when at the start.
    if (av_seek_frame(fmt_, streamIndex_, startPts_, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(fmt_, -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE) < 0)
      return false;
    from = 0;
  }
  avcodec_flush_buffers(codec_);
  if (guard_) guard_->progressed();
  swr_free(&swr_);
  swrDirty_ = true;
  pending_.clear();
  pendingPos_ = 0;
  ended_ = false;
  draining_ = false;
  nextIn_ = from;
  syncToPts_ = from > 0;
  dropUntil_ = frame;
  nextOut_ = frame;
  return true;
}

}  // namespace melvo::audiolib
