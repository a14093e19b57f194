// Placeholder entry points: every call fails with BASS_ERROR_INIT until the library is built out.
#include "audiolib/AudioLib.h"

namespace {
thread_local int lastError = BASS_OK;
template <typename T>
T fail(T value) {
  lastError = BASS_ERROR_INIT;
  return value;
}
}  // namespace

extern "C" {
DWORD BASS_GetVersion(void) { return 0x02040000; }
BOOL BASS_Init(int, DWORD, DWORD, void*, const void*) { return fail(FALSE); }
BOOL BASS_Free(void) { return fail(FALSE); }
BOOL BASS_Start(void) { return fail(FALSE); }
BOOL BASS_Stop(void) { return fail(FALSE); }
BOOL BASS_SetConfig(DWORD, DWORD) { return fail(FALSE); }
DWORD BASS_GetConfig(DWORD) { return fail(DWORD(-1)); }
BOOL BASS_SetVolume(float) { return fail(FALSE); }
float BASS_GetVolume(void) { return fail(-1.0f); }
HSTREAM BASS_StreamCreateFile(BOOL, const void*, QWORD, QWORD, DWORD) { return fail(0u); }
HSTREAM BASS_StreamCreateURL(const char*, DWORD, DWORD, DOWNLOADPROC*, void*) { return fail(0u); }
BOOL BASS_StreamFree(HSTREAM) { return fail(FALSE); }
QWORD BASS_StreamGetFilePosition(HSTREAM, DWORD) { return fail(QWORD(-1)); }
QWORD BASS_ChannelGetLength(DWORD, DWORD) { return fail(QWORD(-1)); }
QWORD BASS_ChannelGetPosition(DWORD, DWORD) { return fail(QWORD(-1)); }
BOOL BASS_ChannelSetPosition(DWORD, QWORD, DWORD) { return fail(FALSE); }
double BASS_ChannelBytes2Seconds(DWORD, QWORD) { return fail(-1.0); }
QWORD BASS_ChannelSeconds2Bytes(DWORD, double) { return fail(QWORD(-1)); }
BOOL BASS_ChannelPlay(DWORD, BOOL) { return fail(FALSE); }
BOOL BASS_ChannelPause(DWORD) { return fail(FALSE); }
BOOL BASS_ChannelStop(DWORD) { return fail(FALSE); }
DWORD BASS_ChannelIsActive(DWORD) { return fail(DWORD(BASS_ACTIVE_STOPPED)); }
BOOL BASS_ChannelSetAttribute(DWORD, DWORD, float) { return fail(FALSE); }
BOOL BASS_ChannelGetAttribute(DWORD, DWORD, float*) { return fail(FALSE); }
BOOL BASS_ChannelGetInfo(DWORD, BASS_CHANNELINFO*) { return fail(FALSE); }
DWORD BASS_ChannelGetLevel(DWORD) { return fail(0u); }
DWORD BASS_ChannelGetData(DWORD, void*, DWORD) { return fail(DWORD(-1)); }
HSYNC BASS_ChannelSetSync(DWORD, DWORD, QWORD, SYNCPROC*, void*) { return fail(0u); }
BOOL BASS_ChannelRemoveSync(DWORD, HSYNC) { return fail(FALSE); }
HFX BASS_ChannelSetFX(DWORD, DWORD, int) { return fail(0u); }
BOOL BASS_ChannelRemoveFX(DWORD, HFX) { return fail(FALSE); }
BOOL BASS_FXSetParameters(HFX, const void*) { return fail(FALSE); }
BOOL BASS_FXGetParameters(HFX, void*) { return fail(FALSE); }
HPLUGIN BASS_PluginLoad(const char*, DWORD) { return fail(0u); }
const BASS_PLUGININFO* BASS_PluginGetInfo(HPLUGIN) { return fail<const BASS_PLUGININFO*>(nullptr); }
BOOL BASS_PluginFree(HPLUGIN) { return fail(FALSE); }
int BASS_ErrorGetCode(void) { return lastError; }
const char* TAGS_Read(DWORD, const char*) { return fail<const char*>(nullptr); }
}
