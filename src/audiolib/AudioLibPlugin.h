// The plug-in interface of the audio library. A plug-in is a shared module named b_<name>.so that
// exports one C function, melvo_audiolib_plugin(), returning a record that lives as long as
// the module is loaded. The library demuxes every file itself (libavformat); a plug-in adds
// decoders: for a stream whose codec the library does not decode, each loaded plug-in in load
// order is asked to open a decoder.
#pragma once

#include "audiolib/AudioLib.h"

#ifdef __cplusplus
extern "C" {
#endif

struct AVCodecParameters;
struct AVCodecContext;

#define MELVO_AUDIOLIB_PLUGIN_ABI 1

typedef struct MELVO_AUDIOLIB_PLUGIN {
  DWORD abi;             // MELVO_AUDIOLIB_PLUGIN_ABI
  BASS_PLUGININFO info;  // version and the formats it adds (for open dialogs)
  // Returns an opened FFmpeg decoder for a stream with these parameters, or NULL when the codec
  // is not one of this plug-in's. The library owns the result (avcodec_free_context).
  struct AVCodecContext* (*openDecoder)(const struct AVCodecParameters* par);
  // Channel type reported for streams decoded by this plug-in's decoder for this codec.
  DWORD (*channelType)(const struct AVCodecParameters* par);
} MELVO_AUDIOLIB_PLUGIN;

typedef const MELVO_AUDIOLIB_PLUGIN* (*MELVO_AUDIOLIB_PLUGIN_ENTRY)(void);
#define MELVO_AUDIOLIB_PLUGIN_ENTRY_NAME "melvo_audiolib_plugin"

#ifdef __cplusplus
}
#endif
