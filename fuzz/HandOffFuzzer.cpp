// The hand-off as the running copy reads it: the 20-byte message a second copy sends, and the
// text that copy left in the shared area (UTF-16LE up to the first zero unit, possibly without
// one, possibly with lone surrogates), turned into the text the window receives.
//
// Input: the message bytes (20), then the area's contents.
#include <QString>

#include <cstring>

#include "fuzz/FuzzSupport.h"
#include "shell/ShareMemory.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("XDG_RUNTIME_DIR", fuzz::ScratchFolder().c_str(), 1);
  OpenShareMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= kHandOffMessageBytes) {
    const HandOffMessage m = DecodeHandOffMessage(data);
    uint8_t again[kHandOffMessageBytes];
    EncodeHandOffMessage(m, again);
    FUZZ_CHECK(std::memcmp(again, data, kHandOffMessageBytes) == 0);
    data += kHandOffMessageBytes;
    size -= kHandOffMessageBytes;
  }

  // An area exactly as long as the bytes: a read past its end is caught.
  const std::u16string text = ReadHandOffText(data, size);
  FUZZ_CHECK(text.size() <= size / 2);
  FUZZ_CHECK(text.find(u'\0') == std::u16string::npos);

  // The mapped area itself, as the receiver reads it, after a second copy wrote these bytes.
  uint8_t* area = ShareMemoryView();
  FUZZ_CHECK(area != nullptr);
  const size_t n = std::min(size, kShareMemorySize);
  std::memcpy(area, data, n);
  std::memset(area + n, 0, kShareMemorySize - n);
  const std::u16string shared = ReadHandOffText(area, kShareMemorySize);
  FUZZ_CHECK(shared.size() < kShareMemorySize / 2);
  const QString received = QString::fromStdU16String(shared);
  const std::string utf8 = received.toStdString();
  FUZZ_CHECK(QString::fromStdString(utf8).size() <= received.size());

  // A second copy's own side: its arguments joined, as written into the area.
  std::vector<std::string> args;
  std::string current;
  for (char c : utf8) {
    if (c == '\n') {
      args.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  args.push_back(current);
  const std::string joined = JoinCommandLine(args);
  FUZZ_CHECK(joined.empty() || (static_cast<unsigned char>(joined.front()) > ' ' &&
                                static_cast<unsigned char>(joined.back()) > ' '));
  return 0;
}
