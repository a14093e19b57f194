// melvo-online: runs one online request of the player from the command line, against the
// hosts in MELVO_STAT_HOST, MELVO_WEB_HOST and MELVO_SEARCH_HOST (or the built-in ones).
#include <iostream>
#include <string>
#include <vector>

#include "online/Hosts.h"
#include "online/Search.h"
#include "online/Version.h"
#include "online/common.h"

namespace {

int Usage() {
  std::cerr << "usage: melvo-online COMMAND [ARGS]\n"
               "  identity                      adapter address, IP, client id, version, hosts\n"
               "  register                      token request and signed registration\n"
               "  report OPER [BTNNAME]         usage report (open, click, close)\n"
               "  listening SONG SINGER STATUS  listening status (1 started, 2 left)\n"
               "  feedback EMAIL CONTENT        user feedback\n"
               "  search TEXT [PAGE]            one page of the online search\n"
               "  check-version [URL]           version check; prints what it would start\n";
  return 2;
}

void PrintIdentity() {
  std::cout << "mac      " << online::GetMacAddress(0) << "\nip       " << online::GetLocalIP()
            << "\nuid      " << online::ReadClientId() << "\nversion  "
            << online::GetFileVersionText(online::CurrentProgramPath()) << "\nstat     "
            << online::StatHost() << "\nweb      " << online::WebHost() << "\nsearch   "
            << online::SearchHost() << "\nsite     " << online::ProductSiteUrl() << "\n";
}

int Search(const std::string& text, const std::string& page) {
  const online::SearchPage result = online::SearchOnline(text, page);
  if (!result.hasSongList) {
    std::cout << "no songList\n";
    return 1;
  }
  for (const auto& s : result.songs)
    std::cout << s.name << " - " << s.singer << "  [" << s.album << "]  " << s.duration << " ("
              << s.seconds << " s)  " << s.mp3 << "\n";
  std::cout << result.songs.size() << " results"
            << (result.moreMayFollow ? ", more may follow" : "") << "\n";
  return 0;
}

int CheckVersion(const std::string& url) {
  const bool newer = online::CheckVersion(
      url, online::CurrentProgramPath(),
      [](const std::string& path, const std::vector<std::string>& args) {
        std::cout << "would start " << path << " " << online::UpdaterCommandLine(args) << "\n";
      });
  if (!newer) std::cout << "no newer version (or the check failed)\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  if (a.empty()) return Usage();
  const std::string& cmd = a[0];
  if (cmd == "identity" && a.size() == 1) {
    PrintIdentity();
  } else if (cmd == "register" && a.size() == 1) {
    std::cout << (online::RegisterClient() ? "registered\n" : "registration failed\n");
  } else if (cmd == "report" && (a.size() == 2 || a.size() == 3)) {
    online::PostStatistic(a[1], a.size() == 3 ? a[2] : std::string());
  } else if (cmd == "listening" && a.size() == 4) {
    online::PostListeningStatus("0", a[1], a[2], a[3]);
  } else if (cmd == "feedback" && a.size() == 3) {
    online::SendFeedback(a[1], a[2]);
  } else if (cmd == "search" && (a.size() == 2 || a.size() == 3)) {
    return Search(a[1], a.size() == 3 ? a[2] : "0");
  } else if (cmd == "check-version" && a.size() <= 2) {
    return CheckVersion(a.size() == 2 ? a[1] : online::VersionCheckUrl());
  } else {
    return Usage();
  }
  return 0;
}
