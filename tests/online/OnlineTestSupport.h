// Shared set-up of the online tests: short time-outs and service hosts pointing at loopback.
#pragma once

#include <cstdlib>
#include <string>

#include "online/Http.h"

inline void UseShortTimeouts() {
  online::HttpLimits limits;
  limits.connectTimeoutMs = 1000;
  limits.stallSeconds = 1;
  limits.totalTimeoutMs = 10000;
  limits.maxBodyBytes = 4u << 20;
  online::SetDefaultHttpLimits(limits);
}

inline void PointServicesAt(const std::string& stat, const std::string& web,
                            const std::string& search) {
  setenv("MELVO_STAT_HOST", stat.c_str(), 1);
  setenv("MELVO_WEB_HOST", web.c_str(), 1);
  setenv("MELVO_SEARCH_HOST", search.c_str(), 1);
}

// The marker of a program file's version record, spelled so that the test program itself does
// not carry a second, false record.
inline std::string VersionMarker() {
  std::string marker = "MELVO#FILE#VERSION:";
  for (char& ch : marker)
    if (ch == '#') ch = '-';
  return marker;
}

// A version record as a program file carries it.
inline std::string VersionRecord(const std::string& version) {
  return VersionMarker() + version + std::string(1, '\0');
}
