// Title, artist and album of the common local files read by small readers of our own: ID3v2
// (2.2, 2.3, 2.4) and ID3v1 in MP3, Vorbis comments in FLAC, RIFF INFO and "id3 " chunks in WAV.
// An import reads thousands of files for these three texts only; the readers look at the few
// bytes that hold them and never at a cover picture. They give what TagLib gives for the same
// file, and decline (std::nullopt) whatever they are not sure of, so the caller asks TagLib then.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace melvo::audiolib {

// Keys "title", "artist" and "album" (each present, possibly empty), or nullopt when the file is
// not one the readers know or holds anything they leave to TagLib.
std::optional<std::map<std::string, std::string>> readCommonTags(const std::string& path);

// The text of an ID3v2 text frame's body (encoding byte first) as TagLib reads it; nullopt when
// the text is malformed in a way left to TagLib. Several values are joined with a space.
std::optional<std::string> id3v2FrameText(const unsigned char* body, size_t size);

}  // namespace melvo::audiolib
