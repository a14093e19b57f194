// Exact sample count of an MP3 file from its Xing/Info frame and LAME encoder-delay tag.
#pragma once

#include <cstdint>
#include <string>

namespace melvo::audiolib {

// Samples per channel the decoder gives after encoder delay and padding are removed; -1 when the
// file has no Xing/Info frame with a frame count (the container's estimate is used then).
int64_t exactMp3Frames(const std::string& path);

}  // namespace melvo::audiolib
