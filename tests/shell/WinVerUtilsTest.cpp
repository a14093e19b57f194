#include "shell/WinVerUtils.h"

#include <gtest/gtest.h>

struct VersionCase {
  int platform, major, minor;
  const char* name;
};

TEST(WindowsVersionName, FollowsTheTableInOrder) {
  const VersionCase cases[] = {
      {kPlatformWin32s, 3, 11, "Windows 32"},
      {kPlatformWin9x, 4, 0, "Windows 95"},
      {kPlatformWin9x, 4, 10, "Windows 98"},
      {kPlatformWin9x, 4, 90, "Windows Me"},
      {kPlatformWin9x, 4, 3, "Windows 9x"},
      {kPlatformWinNT, 3, 51, "Windows NT 3.51"},
      {kPlatformWinNT, 4, 0, "Windows NT 4.0"},
      {kPlatformWinNT, 5, 0, "Windows 2000"},
      {kPlatformWinNT, 5, 1, "Windows XP"},
      {kPlatformWinNT, 5, 2, "Windows 2003"},
      {kPlatformWinNT, 6, 0, "Windows Vista"},
      {kPlatformWinNT, 6, 1, "Windows 7"},
      {kPlatformWinNT, 6, 2, "Windows "},
      {kPlatformWinNT, 10, 0, "Windows "},
      {7, 6, 1, "Windows ??"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WindowsVersionName(c.platform, c.major, c.minor), c.name)
        << c.platform << " " << c.major << "." << c.minor;
}

TEST(WindowsVersionName, ReadsTheVersionAsADecimalNumber) {
  // "%d.%d" read back as a number: 6.10 is 6.1, and 6.01 is not.
  EXPECT_EQ(WindowsVersionName(kPlatformWinNT, 6, 10), "Windows 7");
  EXPECT_EQ(WindowsVersionName(kPlatformWinNT, 6, 100), "Windows 7");
  EXPECT_EQ(WindowsVersionName(kPlatformWinNT, 5, 20), "Windows 2003");
  EXPECT_EQ(WindowsVersionName(kPlatformWinNT, 61, 0), "Windows ");
}

TEST(WindowsVersionName, IsNeverWindows7OnThisSystem) {
  std::string name;
  GetWindowsVersionName(name);
  EXPECT_NE(name, "Windows 7");
}
