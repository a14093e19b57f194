#include "audiolib/Input.h"

#include "audiolib/FormatHint.h"
#include "audiolib/Mp3Length.h"
#include "audiolib/ReadGuard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <sstream>

#include "audiolib/OnDemandFfmpeg.h"

namespace melvo::audiolib {
namespace {

constexpr int kIoBufferSize = 32768;
constexpr int kPlaylistPeek = 4096;
constexpr size_t kPlaylistMax = 65536;
constexpr int kPlaylistDepth = 4;
constexpr int kMaxAttempts = 10;  // addresses tried per opening, so long lists cannot stall it
constexpr int kNetProbeSize = 8192;
constexpr int kFileOpenMs = 3000;  // a local file that takes longer to recognise is not one for us
constexpr int64_t kPlaylistLimitMs = 10000;

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

bool startsWithNoCase(const std::string& s, const char* prefix) {
  return lower(s.substr(0, std::strlen(prefix))) == prefix;
}

int interruptCallback(void* opaque) {
  return static_cast<NetSource*>(opaque)->interrupted();
}
int readCallback(void* opaque, uint8_t* buf, int size) {
  return static_cast<NetSource*>(opaque)->readBlock(buf, size);
}
int64_t seekCallback(void* opaque, int64_t offset, int whence) {
  return static_cast<NetSource*>(opaque)->seekTo(offset, whence);
}

int errorFromAv(int rc, bool timedOut) {
  if (timedOut || rc == AVERROR(ETIMEDOUT)) return BASS_ERROR_TIMEOUT;
  switch (rc) {
    case AVERROR(ECONNREFUSED):
    case AVERROR(ECONNRESET):
    case AVERROR(EHOSTUNREACH):
    case AVERROR(ENETUNREACH):
    case AVERROR(EIO):  // FFmpeg's answer to a host name that does not resolve
      return BASS_ERROR_NONET;
    case AVERROR_HTTP_BAD_REQUEST:
    case AVERROR_HTTP_UNAUTHORIZED:
    case AVERROR_HTTP_FORBIDDEN:
    case AVERROR_HTTP_NOT_FOUND:
    case AVERROR_HTTP_OTHER_4XX:
    case AVERROR_HTTP_SERVER_ERROR:
      return BASS_ERROR_FILEOPEN;
    case AVERROR_PROTOCOL_NOT_FOUND:
      return BASS_ERROR_PROTOCOL;
    case AVERROR(ENOMEM):
      return BASS_ERROR_MEM;
    default:
      return BASS_ERROR_FILEOPEN;
  }
}

bool looksLikePlaylist(const std::string& mime, const std::string& url, const std::string& head) {
  static const char* kTypes[] = {"audio/x-scpls",         "audio/scpls",
                                 "audio/x-mpegurl",       "audio/mpegurl",
                                 "application/x-mpegurl", "application/vnd.apple.mpegurl",
                                 "application/pls+xml"};
  std::string m = lower(mime.substr(0, mime.find(';')));
  for (const char* t : kTypes)
    if (m == t) return true;
  std::string start = head.substr(head.find_first_not_of(" \t\r\n\xEF\xBB\xBF") == std::string::npos
                                      ? head.size()
                                      : head.find_first_not_of(" \t\r\n\xEF\xBB\xBF"));
  if (startsWithNoCase(start, "[playlist]") || startsWithNoCase(start, "#extm3u")) return true;
  std::string path = lower(url.substr(0, url.find_first_of("?#")));
  auto endsWith = [&](const char* e) {
    size_t n = std::strlen(e);
    return path.size() >= n && path.compare(path.size() - n, n, e) == 0;
  };
  return (endsWith(".pls") || endsWith(".m3u") || endsWith(".m3u8")) &&
         (startsWithNoCase(start, "http://") || startsWithNoCase(start, "https://") ||
          startsWithNoCase(start, "#"));
}

}  // namespace

bool isAllowedUrl(const std::string& url) {
  return startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://");
}

std::vector<std::string> parsePlaylist(const std::string& text) {
  std::vector<std::string> entries;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    size_t first = line.find_first_not_of(" \t\xEF\xBB\xBF");
    if (first == std::string::npos) continue;
    line = line.substr(first);
    if (startsWithNoCase(line, "file")) {  // .pls: FileN=address
      size_t eq = line.find('=');
      if (eq != std::string::npos) entries.push_back(line.substr(eq + 1));
      continue;
    }
    if (line[0] == '#' || line[0] == '[' || line.find('=') != std::string::npos) continue;
    entries.push_back(line);  // .m3u: one address a line
  }
  return entries;
}

AVFormatContext* openFileContainer(const std::string& path, ReadGuard* guard, int* error,
                                   int64_t* size) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      ::access(path.c_str(), R_OK) != 0) {
    *error = BASS_ERROR_FILEOPEN;
    return nullptr;
  }
  *size = int64_t(info.st_size);
  if (info.st_size == 0) {
    *error = BASS_ERROR_FILEFORM;
    return nullptr;
  }
  AVFormatContext* fmt = avformat_alloc_context();
  if (!fmt) {
    *error = BASS_ERROR_MEM;
    return nullptr;
  }
  guard->setDeadlineMs(kFileOpenMs);
  fmt->interrupt_callback = AVIOInterruptCB{&ReadGuard::interrupt, guard};
  AVDictionary* opts = nullptr;
  av_dict_set(&opts, "protocol_whitelist", "file", 0);
  // The "file:" prefix keeps names with a colon from being taken for another protocol.
  // Behind a leading ID3v2 tag the container is known at once, and FFmpeg starts reading after
  // the tag: its texts are read by the tag readers, and a cover picture in it is not wanted.
  int64_t tagLength = 0;
  const AVInputFormat* format = formatPastId3v2(path, &tagLength);
  if (format) av_dict_set_int(&opts, "skip_initial_bytes", tagLength, 0);
  int rc = avformat_open_input(&fmt, ("file:" + path).c_str(), format, &opts);
  av_dict_free(&opts);
  if (rc < 0) {
    *error =
        rc == AVERROR(ENOENT) || rc == AVERROR(EACCES) ? BASS_ERROR_FILEOPEN : BASS_ERROR_FILEFORM;
    return nullptr;
  }
  *error = BASS_OK;
  return fmt;
}

std::optional<Mp3Start> stateMp3Format(AVFormatContext* fmt, const std::string& path) {
  if (!fmt->iformat || std::strcmp(fmt->iformat->name, "mp3") != 0) return std::nullopt;
  std::optional<Mp3Start> start = readMp3Start(path);
  if (!start) return start;
  AVStream* audio = nullptr;
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    AVStream* st = fmt->streams[i];
    if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    if (audio) return start;
    audio = st;
  }
  if (!audio) return start;
  AVCodecParameters* par = audio->codecpar;
  if (par->codec_id != AV_CODEC_ID_MP3 || par->sample_rate > 0 || par->ch_layout.nb_channels > 0)
    return start;
  if (audio->duration <= 0 || audio->duration == AV_NOPTS_VALUE) return start;
  par->sample_rate = start->sampleRate;
  av_channel_layout_uninit(&par->ch_layout);
  av_channel_layout_default(&par->ch_layout, start->channels);
  par->frame_size = start->samplesPerFrame;
  return start;
}

NetSource::~NetSource() {
  close();
}

void NetSource::close() {
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  if (http_) avio_closep(&http_);
}

bool NetSource::interrupted() const {
  if (aborted_.load(std::memory_order_relaxed)) return true;
  int64_t deadline = deadlineNs_.load(std::memory_order_relaxed);
  return deadline != 0 && nowNs() > deadline;
}

int NetSource::connect(const std::string& url, int64_t untilNs, int* error) {
  close();
  prefix_.clear();
  prefixPos_ = 0;
  AVIOInterruptCB cb{interruptCallback, this};
  AVDictionary* opts = nullptr;
  av_dict_set(&opts, "protocol_whitelist", "http,https,tcp,tls", 0);
  av_dict_set_int(&opts, "timeout", int64_t(options_.timeoutMs) * 1000, 0);
  av_dict_set(&opts, "reconnect", "0", 0);
  av_dict_set(&opts, "user_agent", "melvo/5", 0);
  av_dict_set(&opts, "icy", "0", 0);
  deadlineNs_.store(std::min(untilNs, nowNs() + int64_t(options_.timeoutMs) * 1000000));
  int rc = avio_open2(&http_, url.c_str(), AVIO_FLAG_READ, &cb, &opts);
  av_dict_free(&opts);
  if (rc < 0) {
    bool timedOut = !aborted_.load() && interrupted();
    deadlineNs_.store(0);
    *error = aborted_.load() ? BASS_ERROR_TIMEOUT : errorFromAv(rc, timedOut);
    http_ = nullptr;
    return rc;
  }
  uint8_t* mime = nullptr;
  if (av_opt_get(http_, "mime_type", AV_OPT_SEARCH_CHILDREN, &mime) >= 0 && mime) {
    mime_ = reinterpret_cast<char*>(mime);
    av_free(mime);
  }
  size_ = avio_size(http_);
  if (size_ < 0) size_ = -1;
  // Peek at the start to recognise a play list; the bytes are replayed to the demuxer.
  prefix_.resize(kPlaylistPeek);
  int got = avio_read_partial(http_, prefix_.data(), kPlaylistPeek);
  prefix_.resize(got > 0 ? size_t(got) : 0);
  if (got > 0) reportDownloaded(prefix_.data(), 0, got);
  deadlineNs_.store(0);
  if (got < 0 && interrupted()) {
    *error = BASS_ERROR_TIMEOUT;
    return got;
  }
  *error = BASS_OK;
  return 0;
}

int NetSource::readBlock(uint8_t* buf, int size) {
  if (aborted_.load() || (guard_ && guard_->exceeded())) return AVERROR_EXIT;
  if (prefixPos_ < prefix_.size()) {
    int n = int(std::min(prefix_.size() - prefixPos_, size_t(size)));
    std::memcpy(buf, prefix_.data() + prefixPos_, size_t(n));
    prefixPos_ += size_t(n);
    return n;
  }
  int64_t offset = avio_tell(http_);
  // After opening, a source that stops delivering fails after the connect time-out instead of
  // holding the reading thread.
  const bool ownDeadline = deadlineNs_.load() == 0;
  if (ownDeadline) deadlineNs_.store(nowNs() + int64_t(options_.timeoutMs) * 1000000);
  int n = avio_read_partial(http_, buf, size);
  if (ownDeadline) deadlineNs_.store(0);
  if (n <= 0) return n == 0 ? AVERROR_EOF : n;
  reportDownloaded(buf, offset, n);
  return n;
}

// Hands new data to the download callback once; the demuxer may seek back and read it again.
void NetSource::reportDownloaded(const uint8_t* data, int64_t offset, int size) {
  const int64_t seen = bytesRead_.load();
  const int64_t end = offset + size;
  if (end <= seen || offset > seen) return;  // re-read, or a jump ahead (not downloaded in order)
  const int64_t fresh = end - seen;
  bytesRead_.store(end);
  if (options_.download) options_.download(data + (seen - offset), DWORD(fresh), options_.user);
}

int64_t NetSource::seekTo(int64_t offset, int whence) {
  if (whence == AVSEEK_SIZE) return size_ >= 0 ? size_ : AVERROR(ENOSYS);
  whence &= ~AVSEEK_FORCE;
  // The peeked prefix covers [0, prefix size) while the connection stands right behind it.
  const bool prefixValid = !prefix_.empty() && avio_tell(http_) == int64_t(prefix_.size());
  const int64_t here = prefixValid ? int64_t(prefixPos_) : avio_tell(http_);
  int64_t target = offset;
  if (whence == SEEK_CUR) target = here + offset;
  if (whence == SEEK_END) {
    if (size_ < 0) return AVERROR(ENOSYS);
    target = size_ + offset;
  }
  if (target < 0) return AVERROR(EINVAL);
  if (prefixValid && target <= int64_t(prefix_.size())) {
    prefixPos_ = size_t(target);
    return target;
  }
  if (target == avio_tell(http_) && !prefixValid) return target;
  if (!http_->seekable) return AVERROR(ENOSYS);
  int64_t rc = avio_seek(http_, target, SEEK_SET);
  if (rc < 0) return rc;
  prefix_.clear();
  prefixPos_ = 0;
  return rc;
}

int64_t NetSource::openLimitMs(int timeoutMs) {
  return std::max<int64_t>(timeoutMs, std::min<int64_t>(5 * int64_t(timeoutMs), kPlaylistLimitMs));
}

std::unique_ptr<NetSource> NetSource::open(const std::string& url, const NetOptions& options,
                                           ReadGuard* guard, AVFormatContext** container,
                                           int* error) {
  const int64_t untilNs = nowNs() + openLimitMs(options.timeoutMs) * 1000000;
  auto until = [&](int64_t ms) { return std::min(untilNs, nowNs() + ms * 1000000); };
  std::set<std::string> visited;
  std::vector<std::pair<std::string, int>> queue{{url, 0}};
  *error = BASS_ERROR_FILEOPEN;
  int firstError = BASS_OK;
  // Depth-first over play lists: entries are tried in order, each address once.
  int attempts = 0;
  while (!queue.empty() && attempts < kMaxAttempts && nowNs() < untilNs) {
    auto [address, depth] = queue.front();
    queue.erase(queue.begin());
    if (!isAllowedUrl(address)) {
      if (firstError == BASS_OK) firstError = BASS_ERROR_PROTOCOL;
      continue;
    }
    if (!visited.insert(address).second) continue;
    ++attempts;
    std::unique_ptr<NetSource> src(new NetSource);
    src->options_ = options;
    src->guard_ = guard;
    int err = BASS_OK;
    if (src->connect(address, untilNs, &err) < 0) {
      if (firstError == BASS_OK) firstError = err;
      continue;
    }
    std::string head(src->prefix_.begin(), src->prefix_.end());
    if (looksLikePlaylist(src->mime_, address, head)) {
      if (!options.followPlaylists || depth >= kPlaylistDepth) {
        if (firstError == BASS_OK) firstError = BASS_ERROR_FILEFORM;
        continue;
      }
      std::string text = head;
      std::vector<uint8_t> block(4096);
      src->deadlineNs_.store(until(options.timeoutMs));
      while (text.size() < kPlaylistMax) {
        int n = avio_read_partial(src->http_, block.data(), int(block.size()));
        if (n <= 0) break;
        text.append(reinterpret_cast<char*>(block.data()), size_t(n));
      }
      std::vector<std::pair<std::string, int>> entries;
      for (const std::string& e : parsePlaylist(text)) entries.emplace_back(e, depth + 1);
      queue.insert(queue.begin(), entries.begin(), entries.end());
      continue;
    }
    // An audio stream: open the container over our I/O.
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    src->io_ = avio_alloc_context(buffer, kIoBufferSize, 0, src.get(), readCallback, nullptr,
                                  seekCallback);
    if (!src->io_) {
      av_free(buffer);
      *error = BASS_ERROR_MEM;
      return nullptr;
    }
    src->io_->seekable = src->http_->seekable;
    src->seekable_ = src->http_->seekable != 0;
    AVFormatContext* fmt = avformat_alloc_context();
    fmt->pb = src->io_;
    fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
    // Recognise the stream from its first few frames instead of waiting for megabytes.
    fmt->probesize = kNetProbeSize;
    fmt->max_analyze_duration = AV_TIME_BASE / 2;
    fmt->interrupt_callback = AVIOInterruptCB{interruptCallback, src.get()};
    src->deadlineNs_.store(until(options.timeoutMs));
    int rc = avformat_open_input(&fmt, address.c_str(), nullptr, nullptr);
    if (rc < 0) {
      if (firstError == BASS_OK)
        firstError = src->interrupted() ? BASS_ERROR_TIMEOUT : BASS_ERROR_FILEFORM;
      continue;
    }
    src->deadlineNs_.store(0);
    *container = fmt;
    *error = BASS_OK;
    return src;
  }
  if (firstError == BASS_OK && nowNs() >= untilNs) firstError = BASS_ERROR_TIMEOUT;
  *error = firstError == BASS_OK ? BASS_ERROR_FILEOPEN : firstError;
  return nullptr;
}

}  // namespace melvo::audiolib
