// The version check: asks the product web server for the latest version and starts the
// updater beside the program when the running program file is older.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace online {

// "a.b.c.d" as (a << 24) + (b << 16) + (c << 8) + d with 32-bit wrap-around. Dots act as line
// breaks (a break at the very end starts no further part); anything but exactly four integer
// parts reads as 1.0.0.0 (16777216).
uint32_t VersionToNumber(const std::string& version);

// Standard Base64 (RFC 4648, "=" padded, no line breaks) of the text's bytes.
std::string EncodeBase64(const std::string& text);

// The updater's two arguments: Base64 of the download address, Base64 of the program's file
// name (without folder).
std::vector<std::string> UpdaterArguments(const std::string& downloadUrl,
                                          const std::string& programFileName);

// The same arguments as one command line, each in double quotes: "url" "name".
std::string UpdaterCommandLine(const std::vector<std::string>& arguments);

// Where the updater lives: the program's own folder, never the current one.
std::string UpdaterPath(const std::string& programFolder);

// Starts a program with the given arguments, without a shell and without waiting for it.
using UpdaterLauncher =
    std::function<void(const std::string& path, const std::vector<std::string>& arguments)>;
void LaunchDetached(const std::string& path, const std::vector<std::string>& arguments);

// "http://" + WebHost() + "/player-check_version?check_from=desktop".
std::string VersionCheckUrl();

// One check against url for the program file at programPath. Returns whether the updater was
// started. Any failure (request, reply, missing data) starts nothing.
bool CheckVersion(const std::string& url, const std::string& programPath,
                  const UpdaterLauncher& launch);

}  // namespace online
