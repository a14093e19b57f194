// Every reply of the web services the client reads. The first byte picks the reader:
//   0: the body parsers on their own (search page, JSON nesting, durations, version numbers,
//      the stored client id);
//   1, 2, 3: the rest is a raw HTTP reply served on loopback to a search request, a version
//      check, and a registration (token, then the signed form).
#include <cstdlib>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "fuzz/LoopbackServer.h"
#include "online/Http.h"
#include "online/ReplyJson.h"
#include "online/Search.h"
#include "online/Version.h"
#include "online/common.h"

namespace {

fuzz::LoopbackServer* gServer = nullptr;
std::string gProgram;

void CheckPage(const online::SearchPage& page) {
  if (!page.hasSongList) FUZZ_CHECK(page.songs.empty() && !page.moreMayFollow);
  FUZZ_CHECK(page.songs.size() <= online::kMaxSongsPerPage);
  for (const auto& song : page.songs) {
    for (const std::string* text :
         {&song.name, &song.singer, &song.album, &song.duration, &song.imgUrl})
      FUZZ_CHECK(text->size() <= online::kMaxShownTextBytes);
    FUZZ_CHECK(song.mp3.size() <= online::kMaxAddressBytes);
    FUZZ_CHECK(song.seconds >= 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static fuzz::LoopbackServer server;
  gServer = &server;
  const std::string& scratch = fuzz::ScratchFolder();
  setenv("MELVO_SEARCH_HOST", server.host().c_str(), 1);
  setenv("MELVO_STAT_HOST", server.host().c_str(), 1);
  setenv("MELVO_WEB_HOST", server.host().c_str(), 1);
  setenv("XDG_CONFIG_HOME", scratch.c_str(), 1);
  gProgram = scratch + "/melvo";
  fuzz::WriteFile(gProgram,
                  reinterpret_cast<const uint8_t*>("\x7f"
                                                   "ELF"),
                  4);
  online::HttpLimits limits;
  limits.connectTimeoutMs = 1000;
  limits.stallSeconds = 1;
  limits.totalTimeoutMs = 2000;
  online::SetDefaultHttpLimits(limits);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 4) {
    case 0: {
      CheckPage(online::ParseSearchReply(body));
      const auto json = online::ParseReply(body);
      if (!json.is_discarded()) FUZZ_CHECK(online::NestingWithin(body, online::kMaxReplyDepth));
      FUZZ_CHECK(online::DurationToSeconds(body) >= 0);
      online::VersionToNumber(body);
      online::ClientIdFromFileText(body);
      break;
    }
    case 1: {
      fuzz::LoopbackServer::Serve serve(*gServer, body);
      CheckPage(online::SearchOnline("fuzz", "0"));
      break;
    }
    case 2: {
      fuzz::LoopbackServer::Serve serve(*gServer, body);
      bool launched = false;
      online::CheckVersion(
          "http://" + gServer->host() + "/player-check_version", gProgram,
          [&](const std::string&, const std::vector<std::string>&) { launched = true; });
      break;
    }
    default: {
      fuzz::LoopbackServer::Serve serve(*gServer, body);
      online::RegisterClient();
      break;
    }
  }
  return 0;
}
