// FFmpeg's functions as the audio library and its plug-ins call them: the libraries are opened
// on first use (see base/OnDemand.h).
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/tx.h>
#include <libswresample/swresample.h>
}

#include <cstdio>

#include "base/OnDemand.h"

namespace melvo::audiolib {

namespace ondemand {
// Before anything else of FFmpeg runs: the quiet log (unless MELVO_AUDIO_DEBUG is set) and the
// cap on a single allocation.
void applyFfmpegSettings(void* avutil);

#define MELVO_FFMPEG_SONAME(name, major) "lib" name ".so." AV_STRINGIFY(major)
inline ::base::ondemand::Library avutil{MELVO_FFMPEG_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
                                        applyFfmpegSettings};
// The others are opened after libavutil, so that its settings come first.
inline ::base::ondemand::Library avcodec{MELVO_FFMPEG_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
                                         nullptr, &avutil};
inline ::base::ondemand::Library avformat{
    MELVO_FFMPEG_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR), nullptr, &avutil};
inline ::base::ondemand::Library swresample{
    MELVO_FFMPEG_SONAME("swresample", LIBSWRESAMPLE_VERSION_MAJOR), nullptr, &avutil};
#undef MELVO_FFMPEG_SONAME

// Opens every FFmpeg library, so that the first stream need not wait; false when one is missing.
bool openFfmpeg();
// The same on a thread of its own; returns at once (at most one such thread is started).
void openFfmpegInBackground();
}  // namespace ondemand

MELVO_ON_DEMAND(ondemand::avutil, av_log_set_level);
MELVO_ON_DEMAND(ondemand::avutil, av_max_alloc);
MELVO_ON_DEMAND_TYPED(ondemand::avutil, av_malloc, void*(size_t));
MELVO_ON_DEMAND(ondemand::avutil, av_free);
MELVO_ON_DEMAND(ondemand::avutil, av_freep);
MELVO_ON_DEMAND(ondemand::avutil, av_dict_get);
MELVO_ON_DEMAND(ondemand::avutil, av_dict_set);
MELVO_ON_DEMAND(ondemand::avutil, av_dict_set_int);
MELVO_ON_DEMAND(ondemand::avutil, av_dict_free);
MELVO_ON_DEMAND(ondemand::avutil, av_opt_get);
MELVO_ON_DEMAND(ondemand::avutil, av_channel_layout_copy);
MELVO_ON_DEMAND(ondemand::avutil, av_channel_layout_default);
MELVO_ON_DEMAND(ondemand::avutil, av_channel_layout_uninit);
MELVO_ON_DEMAND(ondemand::avutil, av_frame_alloc);
MELVO_ON_DEMAND(ondemand::avutil, av_frame_free);
MELVO_ON_DEMAND(ondemand::avutil, av_frame_unref);
MELVO_ON_DEMAND(ondemand::avutil, av_get_bytes_per_sample);
MELVO_ON_DEMAND(ondemand::avutil, av_sample_fmt_is_planar);
MELVO_ON_DEMAND(ondemand::avutil, av_rescale);
MELVO_ON_DEMAND(ondemand::avutil, av_rescale_q);
MELVO_ON_DEMAND(ondemand::avutil, av_tx_init);
MELVO_ON_DEMAND(ondemand::avutil, av_tx_uninit);

MELVO_ON_DEMAND(ondemand::avcodec, av_packet_alloc);
MELVO_ON_DEMAND(ondemand::avcodec, av_packet_free);
MELVO_ON_DEMAND(ondemand::avcodec, av_packet_unref);
MELVO_ON_DEMAND(ondemand::avcodec, avcodec_descriptor_get);
MELVO_ON_DEMAND(ondemand::avcodec, avcodec_find_decoder);
MELVO_ON_DEMAND(ondemand::avcodec, avcodec_alloc_context3);
MELVO_ON_DEMAND(ondemand::avcodec, avcodec_parameters_to_context);
MELVO_ON_DEMAND(ondemand::avcodec, avcodec_open2);
MELVO_ON_DEMAND(ondemand::avcodec, avcodec_send_packet);
MELVO_ON_DEMAND(ondemand::avcodec, avcodec_receive_frame);
MELVO_ON_DEMAND(ondemand::avcodec, avcodec_flush_buffers);
MELVO_ON_DEMAND(ondemand::avcodec, avcodec_free_context);

MELVO_ON_DEMAND(ondemand::avformat, avformat_alloc_context);
MELVO_ON_DEMAND(ondemand::avformat, avformat_open_input);
MELVO_ON_DEMAND(ondemand::avformat, avformat_find_stream_info);
MELVO_ON_DEMAND(ondemand::avformat, avformat_seek_file);
MELVO_ON_DEMAND(ondemand::avformat, avformat_close_input);
MELVO_ON_DEMAND(ondemand::avformat, av_find_input_format);
MELVO_ON_DEMAND(ondemand::avformat, av_probe_input_format2);
MELVO_ON_DEMAND(ondemand::avformat, av_find_best_stream);
MELVO_ON_DEMAND(ondemand::avformat, av_read_frame);
MELVO_ON_DEMAND(ondemand::avformat, av_seek_frame);
MELVO_ON_DEMAND(ondemand::avformat, avio_alloc_context);
MELVO_ON_DEMAND(ondemand::avformat, avio_context_free);
MELVO_ON_DEMAND(ondemand::avformat, avio_open2);
MELVO_ON_DEMAND(ondemand::avformat, avio_closep);
MELVO_ON_DEMAND(ondemand::avformat, avio_read_partial);
MELVO_ON_DEMAND(ondemand::avformat, avio_seek);
MELVO_ON_DEMAND(ondemand::avformat, avio_size);
// An inline function in FFmpeg's header, which would call the library directly.
inline constexpr auto avio_tell = [](AVIOContext* s) { return avio_seek(s, 0, SEEK_CUR); };

MELVO_ON_DEMAND(ondemand::swresample, swr_alloc_set_opts2);
MELVO_ON_DEMAND(ondemand::swresample, swr_init);
MELVO_ON_DEMAND(ondemand::swresample, swr_set_matrix);
MELVO_ON_DEMAND(ondemand::swresample, swr_get_out_samples);
MELVO_ON_DEMAND(ondemand::swresample, swr_convert);
MELVO_ON_DEMAND(ondemand::swresample, swr_free);

}  // namespace melvo::audiolib
