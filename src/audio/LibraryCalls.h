// The engine's narrow view of the audio library: each call is one library call with the
// arguments the engine always passes, so the engine reads as what it does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace libcalls {

struct EqParameters {
  float fCenter;     // Hz
  float fBandwidth;  // semitones
  float fGain;       // dB
};

using EndCallback = void (*)(uint32_t handle, uint32_t channel, uint32_t data, void* user);
using DownloadCallback = void (*)(const void* buffer, uint32_t length, void* user);

// Error code reported when a URL opening was cancelled after the library had opened it.
extern const int32_t kOpeningCancelled;

uint32_t Version();
bool InitOutput(uint32_t window);
void PrepareDecoding();       // opens the decoding libraries in the background
void ApplyNetworkSettings();  // follow play lists, no pre-buffering, 2000 ms connect time-out
void StartOutput();
void StopOutput();
void FreeDevice();
void SetMasterVolume(float v);
int32_t LastError();

uint32_t LoadPlugin(const std::string& fileName);
std::vector<std::string> PluginPatterns(uint32_t plugin);
void FreePlugin(uint32_t plugin);

// Playback and the probe open files alike (text is always UTF-8, so no wide variant is needed).
uint32_t OpenFileStream(const std::string& path);
uint32_t OpenUrlStream(const std::string& url, DownloadCallback onData);
void FreeStream(uint32_t stream);

uint64_t FileSize(uint32_t stream);  // UINT64_MAX when unknown
uint64_t LengthBytes(uint32_t channel);
uint64_t PositionBytes(uint32_t channel);
double BytesToSeconds(uint32_t channel, uint64_t bytes);
uint64_t SecondsToBytes(uint32_t channel, double seconds);
void SetPositionBytes(uint32_t channel, uint64_t bytes);

void SetChannelVolume(uint32_t channel, float v);
void PlayChannel(uint32_t channel);
void PauseChannel(uint32_t channel);
void StopChannel(uint32_t channel);
void SetEndSync(uint32_t channel, EndCallback onEnd);

uint32_t AddPeakingEq(uint32_t channel);
void SetEqParameters(uint32_t fx, const EqParameters& p);
EqParameters GetEqParameters(uint32_t fx);

void ReadSamples(uint32_t channel, void* buffer, uint32_t bytes);
void ReadSpectrum(uint32_t channel, float* bins512);
uint32_t Level(uint32_t channel);

std::string ReadTag(uint32_t stream, const char* format);

}  // namespace libcalls
