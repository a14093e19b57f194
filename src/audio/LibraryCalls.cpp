#include "audio/LibraryCalls.h"

#include "audiolib/AudioLib.h"
#include "audiolib/OnDemandFfmpeg.h"

namespace libcalls {

const int32_t kOpeningCancelled = BASS_ERROR_UNKNOWN;

uint32_t Version() {
  return BASS_GetVersion();
}

bool InitOutput(uint32_t window) {
  return BASS_Init(-1, 44100, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(window)),
                   nullptr) != 0;
}

void PrepareDecoding() {
  melvo::audiolib::ondemand::openFfmpegInBackground();
}

void ApplyNetworkSettings() {
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
  BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
  BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 2000);
}

void StartOutput() {
  BASS_Start();
}
void StopOutput() {
  BASS_Stop();
}
void FreeDevice() {
  BASS_Free();
}
void SetMasterVolume(float v) {
  BASS_SetVolume(v);
}
int32_t LastError() {
  return BASS_ErrorGetCode();
}

uint32_t LoadPlugin(const std::string& fileName) {
  return BASS_PluginLoad(fileName.c_str(), BASS_UNICODE);
}

std::vector<std::string> PluginPatterns(uint32_t plugin) {
  std::vector<std::string> patterns;
  const BASS_PLUGININFO* info = BASS_PluginGetInfo(plugin);
  if (!info) return patterns;
  for (DWORD i = 0; i < info->formatc; ++i)
    patterns.emplace_back(info->formats[i].exts ? info->formats[i].exts : "");
  return patterns;
}

void FreePlugin(uint32_t plugin) {
  BASS_PluginFree(plugin);
}

uint32_t OpenFileStream(const std::string& path) {
  return BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
}

uint32_t OpenUrlStream(const std::string& url, DownloadCallback onData) {
  return BASS_StreamCreateURL(url.c_str(), 0, 0, onData, nullptr);
}

void FreeStream(uint32_t stream) {
  BASS_StreamFree(stream);
}

uint64_t FileSize(uint32_t stream) {
  return BASS_StreamGetFilePosition(stream, BASS_FILEPOS_END);
}
uint64_t LengthBytes(uint32_t channel) {
  return BASS_ChannelGetLength(channel, BASS_POS_BYTE);
}
uint64_t PositionBytes(uint32_t channel) {
  return BASS_ChannelGetPosition(channel, BASS_POS_BYTE);
}
double BytesToSeconds(uint32_t channel, uint64_t bytes) {
  return BASS_ChannelBytes2Seconds(channel, bytes);
}
uint64_t SecondsToBytes(uint32_t channel, double seconds) {
  return BASS_ChannelSeconds2Bytes(channel, seconds);
}
void SetPositionBytes(uint32_t channel, uint64_t bytes) {
  BASS_ChannelSetPosition(channel, bytes, BASS_POS_BYTE);
}

void SetChannelVolume(uint32_t channel, float v) {
  BASS_ChannelSetAttribute(channel, BASS_ATTRIB_VOL, v);
}
void PlayChannel(uint32_t channel) {
  BASS_ChannelPlay(channel, FALSE);
}
void PauseChannel(uint32_t channel) {
  BASS_ChannelPause(channel);
}
void StopChannel(uint32_t channel) {
  BASS_ChannelStop(channel);
}

void SetEndSync(uint32_t channel, EndCallback onEnd) {
  BASS_ChannelSetSync(channel, BASS_SYNC_END, 0, onEnd, nullptr);
}

uint32_t AddPeakingEq(uint32_t channel) {
  return BASS_ChannelSetFX(channel, BASS_FX_DX8_PARAMEQ, 1);
}

void SetEqParameters(uint32_t fx, const EqParameters& p) {
  BASS_DX8_PARAMEQ eq{p.fCenter, p.fBandwidth, p.fGain};
  BASS_FXSetParameters(fx, &eq);
}

EqParameters GetEqParameters(uint32_t fx) {
  BASS_DX8_PARAMEQ eq{};
  BASS_FXGetParameters(fx, &eq);
  return {eq.fCenter, eq.fBandwidth, eq.fGain};
}

void ReadSamples(uint32_t channel, void* buffer, uint32_t bytes) {
  BASS_ChannelGetData(channel, buffer, bytes);
}
void ReadSpectrum(uint32_t channel, float* bins512) {
  BASS_ChannelGetData(channel, bins512, BASS_DATA_FFT1024);
}
uint32_t Level(uint32_t channel) {
  return BASS_ChannelGetLevel(channel);
}

std::string ReadTag(uint32_t stream, const char* format) {
  const char* text = TAGS_Read(stream, format);
  return text ? std::string(text) : std::string();
}

}  // namespace libcalls
