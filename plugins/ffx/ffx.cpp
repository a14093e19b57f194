// Format plug-in: the lossless and modern lossy formats, decoded by FFmpeg's own decoders.
#include "audiolib/AudioLibPlugin.h"

#include "audiolib/OnDemandFfmpeg.h"

namespace melvo::audiolib {
namespace {

// Channel types of this plug-in's streams (0x10000 + a range of our own).
enum : DWORD {
  kFlac = 0x10900,
  kAac = 0x10b00,
  kOpus = 0x11200,
  kApe = 0x10700,
  kWma = 0x10300,
  kWavPack = 0x10500,
  kTta = 0x10f00,
  kAc3 = 0x11000,
};

const BASS_PLUGINFORM kFormats[] = {
    {kFlac, "FLAC", "*.flac"},
    {kAac, "MPEG-4 AAC", "*.m4a;*.aac;*.mp4"},
    {kOpus, "Opus", "*.opus"},
    {kApe, "Monkey's Audio", "*.ape"},
    {kWma, "Windows Media Audio", "*.wma"},
    {kWavPack, "WavPack", "*.wv"},
    {kTta, "TTA", "*.tta"},
    {kAc3, "AC-3", "*.ac3"},
};

DWORD typeOf(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_FLAC:
      return kFlac;
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_AAC_LATM:
    case AV_CODEC_ID_ALAC:
      return kAac;
    case AV_CODEC_ID_OPUS:
      return kOpus;
    case AV_CODEC_ID_APE:
      return kApe;
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_WMAPRO:
    case AV_CODEC_ID_WMALOSSLESS:
    case AV_CODEC_ID_WMAVOICE:
      return kWma;
    case AV_CODEC_ID_WAVPACK:
      return kWavPack;
    case AV_CODEC_ID_TTA:
      return kTta;
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
      return kAc3;
    default:
      return 0;
  }
}

AVCodecContext* openDecoder(const AVCodecParameters* par) {
  if (!typeOf(par->codec_id)) return nullptr;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) return nullptr;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) return nullptr;
  if (avcodec_parameters_to_context(ctx, par) < 0 || avcodec_open2(ctx, codec, nullptr) < 0)
    avcodec_free_context(&ctx);
  return ctx;
}

DWORD channelType(const AVCodecParameters* par) {
  return typeOf(par->codec_id);
}

const MELVO_AUDIOLIB_PLUGIN kPlugin = {
    MELVO_AUDIOLIB_PLUGIN_ABI,
    {0x02040000, DWORD(sizeof(kFormats) / sizeof(kFormats[0])), kFormats},
    openDecoder,
    channelType,
};

}  // namespace
}  // namespace melvo::audiolib

extern "C" __attribute__((visibility("default"))) const MELVO_AUDIOLIB_PLUGIN*
melvo_audiolib_plugin(void) {
  return &melvo::audiolib::kPlugin;
}
