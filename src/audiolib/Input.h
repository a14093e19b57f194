// Opening the container of a stream: local files, and http/https addresses read through a
// custom I/O layer over FFmpeg's own http protocol (so every downloaded block is seen, the
// connect time-out applies and play lists can be followed).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audiolib/AudioLib.h"
#include "audiolib/Mp3Length.h"

struct AVFormatContext;
struct AVIOContext;

namespace melvo::audiolib {

class ReadGuard;

// Opens a local file; nullptr with *error set on failure. *size gets the file size in bytes.
// Reads go through `guard` (which must outlive the container); opening has a deadline.
AVFormatContext* openFileContainer(const std::string& path, ReadGuard* guard, int* error,
                                   int64_t* size);

// For the "mp3" container: what its first frame tells (see readMp3Start), nullopt otherwise or
// when that is nothing. The format is given to the container's audio stream when the demuxer left
// it open (it is otherwise learnt by a stream analysis) and the stream is its only one, an MP3
// stream of known length.
std::optional<Mp3Start> stateMp3Format(AVFormatContext* fmt, const std::string& path);

struct NetOptions {
  int timeoutMs = 5000;
  bool followPlaylists = false;
  DOWNLOADPROC* download = nullptr;
  void* user = nullptr;
};

// A network source: owns the connection and the I/O context the container reads through. Must
// outlive the container opened over it.
class NetSource {
 public:
  ~NetSource();
  // Opens `url` (following play lists when asked) and its container; nullptr with *error set.
  // `guard` (may be null; must outlive the source) bounds what the container may read.
  static std::unique_ptr<NetSource> open(const std::string& url, const NetOptions& options,
                                         ReadGuard* guard, AVFormatContext** container, int* error);
  // However many addresses a play list holds, opening gives up after this long.
  static int64_t openLimitMs(int timeoutMs);
  int64_t size() const { return size_; }       // Content-Length, -1 when unknown
  bool seekable() const { return seekable_; }  // the server takes range requests
  int64_t bytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }
  // Makes every pending and later read fail at once (used when the stream is freed).
  void abort() { aborted_.store(true); }

  // For the I/O callbacks.
  int readBlock(uint8_t* buf, int size);
  int64_t seekTo(int64_t offset, int whence);
  bool interrupted() const;

 private:
  NetSource() = default;
  int connect(const std::string& url, int64_t untilNs, int* error);
  void close();

  NetOptions options_;
  AVIOContext* http_ = nullptr;  // FFmpeg's http connection
  AVIOContext* io_ = nullptr;    // what the container reads through
  std::vector<uint8_t> prefix_;  // bytes read ahead to recognise play lists
  size_t prefixPos_ = 0;
  int64_t size_ = -1;
  bool seekable_ = false;
  std::atomic<int64_t> bytesRead_{
      0};  // distinct bytes downloaded (re-reads after a seek do not count)
  void reportDownloaded(const uint8_t* data, int64_t offset, int size);
  std::atomic<bool> aborted_{false};
  std::atomic<int64_t> deadlineNs_{0};  // 0 = none
  ReadGuard* guard_ = nullptr;
  std::string mime_;
};

// True when `url` uses a scheme network streams may use (http, https).
bool isAllowedUrl(const std::string& url);
// Entries of a .pls or .m3u play list, in order; empty when the text is not a play list.
std::vector<std::string> parsePlaylist(const std::string& text);

}  // namespace melvo::audiolib
