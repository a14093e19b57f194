// PulseAudio's client functions as the output calls them: the library is opened on first
// use (see base/OnDemand.h).
#pragma once

#include <pulse/pulseaudio.h>

#include "base/OnDemand.h"

namespace melvo::audiolib {

namespace ondemand {
inline ::base::ondemand::Library pulse{"libpulse.so.0"};
}

MELVO_ON_DEMAND(ondemand::pulse, pa_threaded_mainloop_new);
MELVO_ON_DEMAND(ondemand::pulse, pa_threaded_mainloop_free);
MELVO_ON_DEMAND(ondemand::pulse, pa_threaded_mainloop_get_api);
MELVO_ON_DEMAND(ondemand::pulse, pa_threaded_mainloop_start);
MELVO_ON_DEMAND(ondemand::pulse, pa_threaded_mainloop_stop);
MELVO_ON_DEMAND(ondemand::pulse, pa_threaded_mainloop_lock);
MELVO_ON_DEMAND(ondemand::pulse, pa_threaded_mainloop_unlock);
MELVO_ON_DEMAND(ondemand::pulse, pa_threaded_mainloop_wait);
MELVO_ON_DEMAND(ondemand::pulse, pa_threaded_mainloop_signal);
MELVO_ON_DEMAND(ondemand::pulse, pa_context_new);
MELVO_ON_DEMAND(ondemand::pulse, pa_context_unref);
MELVO_ON_DEMAND(ondemand::pulse, pa_context_connect);
MELVO_ON_DEMAND(ondemand::pulse, pa_context_disconnect);
MELVO_ON_DEMAND(ondemand::pulse, pa_context_get_state);
MELVO_ON_DEMAND(ondemand::pulse, pa_context_set_state_callback);
MELVO_ON_DEMAND(ondemand::pulse, pa_operation_unref);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_new);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_unref);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_connect_playback);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_disconnect);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_get_state);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_set_state_callback);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_set_write_callback);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_begin_write);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_write);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_cork);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_flush);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_get_latency);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_get_buffer_attr);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_writable_size);
MELVO_ON_DEMAND(ondemand::pulse, pa_stream_get_index);
MELVO_ON_DEMAND(ondemand::pulse, pa_context_set_sink_input_volume);
MELVO_ON_DEMAND(ondemand::pulse, pa_cvolume_set);
MELVO_ON_DEMAND(ondemand::pulse, pa_sw_volume_from_linear);

}  // namespace melvo::audiolib
