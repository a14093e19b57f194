// An audio file from the fuzzer's bytes: the probe (tags and length) as the import runs it, then
// the first second decoded, with the built-in formats and the format plug-in loaded.
//
// Input: the file's bytes followed by one byte that picks the file name's extension (TagLib
// chooses its reader by extension; the decoder looks at the content).
#include <QCoreApplication>
#include "BuildPaths.h"

#include <memory>

#include "audio/AudioEngine.h"
#include "audiolib/AudioLib.h"
#include "audiolib/TagReaders.h"
#include "audiolib/Tags.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr const char* kExtensions[] = {"mp3", "wav", "ogg", "flac", "m4a", "opus", "wv",
                                       "tta", "ac3", "wma", "ape",  "mp2", "aif",  "bin"};
constexpr size_t kExtensionCount = sizeof kExtensions / sizeof kExtensions[0];

TAudioEngine* gEngine = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  static std::unique_ptr<TAudioEngine> engine =
      std::make_unique<TAudioEngine>(0, melvo::build::BinDir() + "/");
  gEngine = engine.get();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const char* ext = kExtensions[data[size - 1] % kExtensionCount];
  const std::string path = fuzz::ScratchFolder() + "/input." + ext;
  fuzz::WriteFile(path, data, size - 1);

  const TTags tags = gEngine->GetSongLength(path);
  FUZZ_CHECK(tags.Longtime >= 0);
  // Where the library's own tag readers read the file, TagLib reads the same.
  if (auto own = melvo::audiolib::readCommonTags(path)) {
    const auto full = melvo::audiolib::readFileTags(path);
    for (const char* key : {"title", "artist", "album"}) {
      auto it = full.find(key);
      FUZZ_CHECK((*own)[key] == (it == full.end() ? std::string() : it->second));
    }
  }

  const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  if (h == 0) return 0;
  BASS_CHANNELINFO info{};
  if (BASS_ChannelGetInfo(h, &info)) {
    FUZZ_CHECK(info.chans == 1 || info.chans == 2);
    // One second of the stream's own format, read the way a decoding channel is read.
    const QWORD second = BASS_ChannelSeconds2Bytes(h, 1.0);
    static char buffer[1 << 16];
    QWORD done = 0;
    while (done < second) {
      const DWORD want = DWORD(std::min<QWORD>(sizeof buffer, second - done));
      const DWORD got = BASS_ChannelGetData(h, buffer, want);
      if (got == DWORD(-1) || got == 0) break;
      FUZZ_CHECK(got <= want);
      done += got;
    }
    const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    if (length != QWORD(-1)) BASS_ChannelSetPosition(h, length / 2, BASS_POS_BYTE);
    BASS_ChannelGetData(h, buffer, 4096);
  }
  BASS_StreamFree(h);
  return 0;
}
