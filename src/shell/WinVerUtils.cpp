#include "shell/WinVerUtils.h"

#include <cstdio>
#include <string_view>

namespace {

// "%d.%d" read back as a decimal number: 4.10 is 4.1 and 10.0 is 10. Compared as text in that
// normal form so that no floating-point equality is involved.
std::string VersionNumberText(int major, int minor) {
  std::string minorText = std::to_string(minor);
  while (!minorText.empty() && minorText.back() == '0') minorText.pop_back();
  std::string text = std::to_string(major);
  if (!minorText.empty()) text += "." + minorText;
  return text;
}

std::string_view Win9xWord(std::string_view v) {
  if (v == "4") return "95";
  if (v == "4.1") return "98";
  if (v == "4.9") return "Me";
  return "9x";
}

std::string_view WinNTWord(std::string_view v) {
  if (v == "3.51") return "NT 3.51";
  if (v == "4") return "NT 4.0";
  if (v == "5") return "2000";
  if (v == "5.1") return "XP";
  if (v == "5.2") return "2003";
  if (v == "6") return "Vista";
  if (v == "6.1") return "7";
  return "";
}

}  // namespace

std::string WindowsVersionName(int platformId, int major, int minor) {
  const std::string v = VersionNumberText(major, minor);
  std::string name = "Windows ";
  switch (platformId) {
    case kPlatformWin32s:
      return name + "32";
    case kPlatformWin9x:
      return name + std::string(Win9xWord(v));
    case kPlatformWinNT:
      return name + std::string(WinNTWord(v));
    default:
      return name + "??";
  }
}

void GetWindowsVersionName(std::string& name) {
  name = WindowsVersionName(kPlatformOther, 0, 0);
}
