// Recognising a local file's container from the bytes past a leading ID3v2 tag. FFmpeg's own
// recognition reads the file from its start in growing steps and asks every demuxer at every step
// until the whole tag has been read: with an embedded picture that is hundreds of kilobytes run
// through hundreds of demuxers for each file. The tag says how long it is, so the bytes after it
// can be looked at at once; the result is what FFmpeg would find there itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct AVInputFormat;

namespace melvo::audiolib {

// Bytes an ID3v2 tag at the start of `head` covers (header, body and footer), 0 when `head` does
// not start with a well-formed ID3v2 header. Needs at least 10 bytes.
int64_t id3v2TagLength(const unsigned char* head, size_t size);

// The container of the file at `path` when it starts with an ID3v2 tag and the bytes after the
// tag tell the format with confidence; nullptr otherwise (FFmpeg then recognises it itself).
// *tagLength (when given) gets the length of that tag.
const AVInputFormat* formatPastId3v2(const std::string& path, int64_t* tagLength = nullptr);

}  // namespace melvo::audiolib
