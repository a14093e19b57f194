// Exact sample count of an MP3 file from its Xing/Info frame and LAME encoder-delay tag.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace melvo::audiolib {

// What the first frame of an MP3 file (after its ID3v2 tags) tells when it is a Xing or Info
// frame that counts the frames: the format, and the samples per channel the decoder gives after
// encoder delay and padding are removed.
struct Mp3Start {
  int sampleRate = 0;
  int channels = 0;  // 1 or 2
  int samplesPerFrame = 0;
  int64_t frames = 0;
};
std::optional<Mp3Start> readMp3Start(const std::string& path);

// readMp3Start's sample count; -1 when the file has no Xing/Info frame with a frame count (the
// container's estimate is used then).
int64_t exactMp3Frames(const std::string& path);

}  // namespace melvo::audiolib
