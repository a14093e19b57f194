// Read-only views of the library's inner state, for its tests and benchmarks.
#pragma once

#include "audiolib/OutputClock.h"

namespace melvo::audiolib {

// The output's clock now: frames heard since the device opened and frames still queued.
// All 0 when no device is open.
OutputClock::Reading readOutputClock();

}  // namespace melvo::audiolib
