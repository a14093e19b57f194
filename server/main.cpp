// melvo-services: the statistics server, the product web server and the music search service
// in one program, for trying the player and for its tests.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "Catalogue.h"
#include "Services.h"

namespace {

void PrintUsage() {
  std::cout
      << "usage: melvo-services [options]\n"
         "       melvo-services --dump [--db FILE]\n"
         "  --stat ADDR:PORT    statistics server      (default 127.0.0.1:8781)\n"
         "  --web ADDR:PORT     product web server     (default 127.0.0.1:8782)\n"
         "  --search ADDR:PORT  music search service   (default 127.0.0.1:8783)\n"
         "                      port 0 picks a free port\n"
         "  --music DIR         music folder to index  (default $XDG_MUSIC_DIR or ~/Music);\n"
         "                      without songs there, a built-in catalogue is served\n"
         "  --catalogue DIR     where the built-in catalogue is made\n"
         "                      (default $XDG_CACHE_HOME/melvo-services/catalogue-1)\n"
         "  --db FILE           where received requests are stored (default melvo-services.db3)\n"
         "  --latest VERSION    version named by the version check (default 5.0.4.227)\n"
         "  --download-url URL  download address named by the version check\n"
         "  --public-search HOST[:PORT]  address of the search service in the play addresses\n"
         "  --public-web HOST[:PORT]     address of the product web server in the download\n"
         "                      address (default: the bound address; 127.0.0.1 for 0.0.0.0)\n"
         "  --dump              list everything stored and end\n";
}

bool ParseEndpoint(const std::string& text, services::Endpoint& e) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  char* end = nullptr;
  const long port = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || port < 0 || port > 65535) return false;
  e.address = text.substr(0, colon);
  e.port = static_cast<int>(port);
  return true;
}

std::string DefaultMusicFolder() {
  if (const char* dir = std::getenv("XDG_MUSIC_DIR"); dir && *dir) return dir;
  if (const char* home = std::getenv("HOME"); home && *home) {
    const std::string music = std::string(home) + "/Music";
    std::error_code ec;
    if (std::filesystem::is_directory(music, ec)) return music;
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  services::ServicesConfig config;
  config.musicFolder = DefaultMusicFolder();
  config.catalogueFolder = services::DefaultCatalogueFolder();
  bool dump = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    auto value = [&]() -> std::string { return argv[++i]; };
    bool ok = true;
    if (arg == "--dump") {
      dump = true;
    } else if (arg == "--help" || arg == "-h") {
      PrintUsage();
      return 0;
    } else if (!hasValue) {
      ok = false;
    } else if (arg == "--stat") {
      ok = ParseEndpoint(value(), config.stat);
    } else if (arg == "--web") {
      ok = ParseEndpoint(value(), config.web);
    } else if (arg == "--search") {
      ok = ParseEndpoint(value(), config.search);
    } else if (arg == "--music") {
      config.musicFolder = value();
    } else if (arg == "--catalogue") {
      config.catalogueFolder = value();
    } else if (arg == "--db") {
      config.databasePath = value();
    } else if (arg == "--latest") {
      config.latestVersion = value();
    } else if (arg == "--download-url") {
      config.downloadUrl = value();
    } else if (arg == "--public-search") {
      config.searchPublic = value();
    } else if (arg == "--public-web") {
      config.webPublic = value();
    } else {
      ok = false;
    }
    if (!ok) {
      std::cerr << "melvo-services: bad argument " << arg << "\n";
      PrintUsage();
      return 2;
    }
  }
  if (dump) {
    services::DumpReceived(config.databasePath, std::cout);
    return 0;
  }

  // Signals are taken by sigwait below, not by the serving threads.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  services::MelvoServices servicesRunning(config);
  if (!servicesRunning.Start()) {
    std::cerr << "melvo-services: cannot open " << config.databasePath
              << " or bind the addresses\n";
    return 1;
  }
  std::cout << "statistics  http://" << config.stat.address << ':' << servicesRunning.statPort()
            << "\nproduct web http://" << config.web.address << ':' << servicesRunning.webPort()
            << "\nsearch      http://" << config.search.address << ':'
            << servicesRunning.searchPort() << "  (" << servicesRunning.songCount() << " songs"
            << (servicesRunning.servesCatalogue()
                    ? ", built-in catalogue in " + config.catalogueFolder
                    : std::string(" in ") + config.musicFolder)
            << ")" << std::endl;
  int sig = 0;
  sigwait(&stopSignals, &sig);
  servicesRunning.Stop();
  return 0;
}
