// The operating-system version name that the taskbar features compare with "Windows 7".
#pragma once

#include <string>

// Platform ids as the version query reports them.
constexpr int kPlatformWin32s = 0;
constexpr int kPlatformWin9x = 1;
constexpr int kPlatformWinNT = 2;
// Anything that is not Windows: the name becomes "Windows ??".
constexpr int kPlatformOther = 3;

// The name for a given platform id and version; pure, for tests and other platforms.
std::string WindowsVersionName(int platformId, int major, int minor);

// The running system's name. On Linux the platform is not Windows, so the result is never
// "Windows 7" and every taskbar feature stays off.
void GetWindowsVersionName(std::string& name);
