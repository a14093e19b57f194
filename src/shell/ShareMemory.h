// The per-user shared area, the single-instance lock and the hand-off of a second copy's
// command line to the running copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kShareMemorySize = 131072;
constexpr const char* kShareMemoryName = "melvonet-58B49464-B170-4583-BE6C-77A579B2CAD8";
constexpr const char* kInstanceLockName = "Melvonet-8AEEC543-1CDC-42BB-95E0-3D5F3A22043C";
// Taken around every change of the area, so that copies starting together take turns.
constexpr const char* kHandOffLockName = "melvonet-58B49464-B170-4583-BE6C-77A579B2CAD8.lock";
// The endpoint on which the running copy listens for a second copy.
constexpr const char* kHandOffEndpointName = "korvax-5";
// WM_USER + 1810.
constexpr uint32_t kHandOffMessage = 0x0B12;
// Byte offset of the handed-off text (UTF-16LE, no terminator) in the shared area.
constexpr std::size_t kHandOffTextOffset = 2;

// Maps the shared area and zeroes it (under the hand-off lock). Ends the process (exit code 0) when
// it cannot be mapped.
void OpenShareMemory();
// Unmaps the area; safe to call more than once.
void CloseShareMemory();
// The mapped area, or nullptr before OpenShareMemory.
uint8_t* ShareMemoryView();

// True for the first copy. A second copy that finds a running copy hands `args` (the command line
// without the program path) over and waits until the running copy has handled them; copies take
// turns, and a running copy that does not answer within a few seconds is given up on.
bool CheckSingleInstance(const std::vector<std::string>& args);
void ReleaseSingleInstance();

// The arguments joined with single spaces and trimmed of white space and control characters.
std::string JoinCommandLine(const std::vector<std::string>& args);
// What a second copy hands over: the joined arguments, made absolute against this process's
// working folder when they are relative (the running copy works in a folder of its own).
std::string HandOffCommandLine(const std::vector<std::string>& args);

// Full paths of the named objects in the per-user runtime folder (empty when there is none).
std::string ShareMemoryPath();
std::string InstanceLockPath();
std::string HandOffEndpointPath();
std::string HandOffLockPath();

// Wire form of the hand-off message: message number, wParam and lParam, little-endian.
struct HandOffMessage {
  uint32_t message = 0;
  uint64_t wParam = 0;
  uint64_t lParam = 0;
};
constexpr std::size_t kHandOffMessageBytes = 20;
void EncodeHandOffMessage(const HandOffMessage& m, uint8_t* out);
HandOffMessage DecodeHandOffMessage(const uint8_t* in);

// The text a second copy left in the area: UTF-16LE code units from offset 2 up to the first zero.
std::u16string ReadHandOffText(const uint8_t* area, std::size_t size);
// The running copy's read: the text, after which the area is zeroed (consumed).
std::u16string TakeHandOffText(uint8_t* area, std::size_t size);
