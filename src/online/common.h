// The client's identity and its reports to the statistics and product web servers.
// Texts are UTF-8. Every function here blocks until its request is done or has failed, and none
// reports a failure: the servers' replies are never used.
// Sources: SystemProbes.cpp (adapter, host address, version record), common.cpp (client id,
// program file), Registration.cpp (sign code, registration), Reports.cpp (reports, feedback).
#pragma once

#include <string>

#include "online/Http.h"

namespace online {

// Hardware address of the lanaIndex-th non-loopback network interface (by interface index) as
// 12 upper-case hex digits; empty when there is no such interface.
std::string GetMacAddress(int lanaIndex);

// The last IPv4 address the resolver lists for this host's name; empty when there is none.
std::string GetLocalIP();

// The version record carried by a program file, "a.b.c.d"; "0.0.0.0" when the file is missing,
// unreadable or carries none.
std::string GetFileVersionText(const std::string& path);

// The running program file and its folder.
std::string CurrentProgramPath();
std::string CurrentProgramFolder();

// The client id from $XDG_CONFIG_HOME/melvo/AppUID (see ClientIdFromFileText for the format):
// "1001" when the folder cannot be opened for reading and writing, empty when the file is
// missing or empty.
std::string ReadClientId();

// The file's text as the client id. The file holds a typed value like a registry value:
//   "sz:TEXT" or "expand_sz:TEXT" -> TEXT up to the first NUL (no expansion)
//   "dword:N" (decimal, or hex with 0x)  -> "dword:" + 8 upper-case hex digits
//   "hex:01,ab,..." or "hex(N):..."      -> "hex:" + bytes as upper-case hex joined by ","
//   anything else                        -> the text itself up to the first NUL
// One line ending at the end of the file is not part of the value.
std::string ClientIdFromFileText(std::string text);

// MD5 of the text with every non-ASCII character as "?", as 32 upper-case hex digits.
std::string MD5Hex(const std::string& utf8);

// MD5Hex(MD5Hex(mac) + uid + token + MD5Hex(version)).
std::string MakeSignCode(const std::string& token, const std::string& mac,
                         const std::string& version, const std::string& uid);

// The registration form for a token: mac, uid, c, v and the sign code, less any empty field.
FormFields MakeSignForm(const std::string& token, const std::string& mac, const std::string& uid,
                        const std::string& version);

// Token request and signed registration with the statistics server. Returns whether the sign
// request was sent and accepted (only tests look).
bool RegisterClient();

// One usage report: "open", "click" (with btnName) or "close"; any other word sends nothing.
void PostStatistic(const std::string& oper, const std::string& btnName);

// The "close" report, capped so that closing never waits long (about two seconds).
void PostCloseStatistic();

// Listening status to the product web server; status is "1" (started) or "2" (left).
void PostListeningStatus(const std::string& uid, const std::string& songName,
                         const std::string& singer, const std::string& status);

// User feedback to the product web server.
void SendFeedback(const std::string& email, const std::string& content);

// The form of the "open" report and of the listening status, for the given identity values.
FormFields MakeOpenReportForm(const std::string& ip, const std::string& mac);
FormFields MakeListeningStatusForm(const std::string& mac, const std::string& uid,
                                   const std::string& songName, const std::string& singer,
                                   const std::string& status);

// Time caps of the requests that hold the window.
inline constexpr long kCloseReportTimeoutMs = 2000;
inline constexpr long kWindowRequestTimeoutMs = 10000;

}  // namespace online
