// Melvo's audio library: a small C API for device output, file and network streams, a parametric
// equaliser, sample and spectrum data, format plug-ins and tag reading. Decoding is FFmpeg's,
// output is SDL2's.
//
// Text: every string passed in or returned is UTF-8 (file names, URLs, plug-in names, tags).
// BASS_UNICODE is accepted for compatibility and changes nothing.
//
// Threads: every call may be made from any thread. The last error is kept per thread
// (BASS_ErrorGetCode). Sync callbacks run on a library thread (never the audio output thread);
// download callbacks run on the thread that reads the network stream.
//
// Sample format of a stream: its own sample rate, 1 channel for mono sources and 2 for everything
// else (more channels are mixed down), signed 16-bit little-endian interleaved. Byte positions and
// lengths, BASS_ChannelGetData raw data and BASS_STREAM_DECODE reads are in that format.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef int BOOL;
typedef DWORD HSTREAM;  // a stream handle, 0 = none
typedef DWORD HSYNC;
typedef DWORD HFX;
typedef DWORD HPLUGIN;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// ---- Error codes (BASS_ErrorGetCode) ----
#define BASS_OK 0
#define BASS_ERROR_MEM 1       // out of memory
#define BASS_ERROR_FILEOPEN 2  // the file does not exist or cannot be read; URL not found (4xx/5xx)
#define BASS_ERROR_DRIVER 3    // no audio output device available
#define BASS_ERROR_HANDLE 5    // not a valid (or an already freed) handle
#define BASS_ERROR_FORMAT 6    // the device does not support the requested format
#define BASS_ERROR_POSITION 7  // position out of range
#define BASS_ERROR_INIT 8      // BASS_Init has not succeeded
#define BASS_ERROR_ALREADY 14  // already initialised / already loaded
#define BASS_ERROR_ILLTYPE 19  // unknown attribute, effect type, config option or data flag
#define BASS_ERROR_ILLPARAM 20  // an argument is invalid
#define BASS_ERROR_DEVICE 23    // invalid device number
#define BASS_ERROR_NOPLAY 24    // the channel is not playing (no data to give)
#define BASS_ERROR_NONET 32     // no connection: host not found, connection refused or reset
#define BASS_ERROR_NOTAVAIL 37  // the value is not available (e.g. length of a live stream)
#define BASS_ERROR_DECODE 38    // the channel is (or is not) a decoding channel
#define BASS_ERROR_TIMEOUT 40   // the connection timed out (BASS_CONFIG_NET_TIMEOUT)
#define BASS_ERROR_FILEFORM 41  // unsupported, corrupt or non-audio file
#define BASS_ERROR_CODEC 44     // the codec is not available (a plug-in would decode it)
#define BASS_ERROR_PROTOCOL 48  // address scheme not allowed (only http and https are)
#define BASS_ERROR_UNKNOWN (-1)

// ---- Initialisation and configuration ----
// Version: high 16 bits 0x0204.
DWORD BASS_GetVersion(void);

// device -1 = the default output device, 0 = the no-sound device (consumes audio in real time,
// so positions advance and syncs fire). The no-sound device is also used for -1 when the
// environment sets MELVO_AUDIO_DEVICE=nosound or SDL_AUDIODRIVER=dummy. freq is the mixing rate
// (0 = 44100). flags, win and clsid are accepted and ignored. Fails with BASS_ERROR_DRIVER when
// no output device can be opened, BASS_ERROR_ALREADY when already initialised.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* clsid);
// Frees every stream and closes the device.
BOOL BASS_Free(void);
// Output runs from BASS_Init on; BASS_Stop pauses all output, BASS_Start resumes it.
BOOL BASS_Start(void);
BOOL BASS_Stop(void);

#define BASS_CONFIG_BUFFER 0        // playback buffer length in ms (default 500)
#define BASS_CONFIG_NET_TIMEOUT 11  // connect time-out of network streams in ms (default 5000)
#define BASS_CONFIG_NET_PREBUF \
  15  // % of the buffer filled before a URL stream returns (75; 0 = none)
#define BASS_CONFIG_NET_PLAYLIST 21  // 1 = BASS_StreamCreateURL follows .pls / .m3u play lists
BOOL BASS_SetConfig(DWORD option, DWORD value);
DWORD BASS_GetConfig(DWORD option);  // (DWORD)-1 for an unknown option

// Master volume 0..1, applied in the library's own mixer (not the desktop's mixer).
BOOL BASS_SetVolume(float volume);
float BASS_GetVolume(void);  // -1 on error

// ---- Streams ----
#define BASS_UNICODE 0x80000000u  // accepted, ignored: text is always UTF-8
#define BASS_STREAM_DECODE \
  0x200000u  // decoding channel: not played; BASS_ChannelGetData reads
             // the next decoded bytes directly

// Opens a local file. mem must be FALSE (in-memory streams are not supported: ILLPARAM),
// offset and length must be 0. Errors: INIT, FILEOPEN (missing / unreadable), FILEFORM (not an
// audio file we can demux), CODEC (format needs a plug-in that is not loaded), MEM.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);

// Receives each block of downloaded data of a URL stream, on the download thread.
typedef void(DOWNLOADPROC)(const void* buffer, DWORD length, void* user);
// Opens an http:// or https:// address (any other scheme fails with PROTOCOL). Waits at most
// BASS_CONFIG_NET_TIMEOUT ms to connect (TIMEOUT); NONET when the host cannot be reached,
// FILEOPEN on an HTTP error status. With BASS_CONFIG_NET_PLAYLIST=1 a .pls / .m3u reply is read
// and its entries tried in order (at most 4 levels deep, each address at most once, at most 10
// addresses in all).
HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc,
                             void* user);
BOOL BASS_StreamFree(HSTREAM handle);  // also stops it; 0 or a stale handle: FALSE, HANDLE

#define BASS_FILEPOS_CURRENT 0
#define BASS_FILEPOS_DOWNLOAD 1
#define BASS_FILEPOS_END 2
// BASS_FILEPOS_END: size of the file (or the HTTP Content-Length) in bytes; (QWORD)-1 with
// NOTAVAIL when unknown. CURRENT / DOWNLOAD: bytes read so far.
QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode);

// ---- Channels ----
#define BASS_POS_BYTE 0
// Length in bytes of the decoded stream; (QWORD)-1 with NOTAVAIL for a stream of unknown length.
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
// Current playing (or, for a decoding channel, decoding) position in bytes; (QWORD)-1 on error.
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
// Sample-exact seek: the next sample heard (or decoded) is the one at pos. POSITION past the end.
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
// Negative on error, including pos == (QWORD)-1 (the error value of the calls above).
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double seconds);  // rounded down to whole frames

// restart TRUE plays from the start; FALSE resumes (a stream that has ended starts again).
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelPause(DWORD handle);
BOOL BASS_ChannelStop(DWORD handle);  // stops; a later BASS_ChannelPlay(FALSE) resumes from here

#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_STALLED 2  // playing but waiting for data (network)
#define BASS_ACTIVE_PAUSED 3
DWORD BASS_ChannelIsActive(DWORD handle);

#define BASS_ATTRIB_VOL 2  // channel volume 0..1 (values above 1 amplify)
BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value);

#define BASS_CTYPE_STREAM 0x10000
#define BASS_CTYPE_STREAM_OGG 0x10002
#define BASS_CTYPE_STREAM_MP1 0x10003
#define BASS_CTYPE_STREAM_MP2 0x10004
#define BASS_CTYPE_STREAM_MP3 0x10005
#define BASS_CTYPE_STREAM_AIFF 0x10006
#define BASS_CTYPE_STREAM_WAV 0x40000
#define BASS_CTYPE_MUSIC_MOD 0x20000  // tracker modules
typedef struct BASS_CHANNELINFO {
  DWORD freq;            // sample rate of the stream
  DWORD chans;           // 1 or 2
  DWORD flags;           // flags given at creation
  DWORD ctype;           // BASS_CTYPE_* or a plug-in's channel type
  DWORD origres;         // bits per sample of the source, 0 when not applicable
  HPLUGIN plugin;        // plug-in that decodes it, 0 = built in
  const char* filename;  // the name given at creation; valid while the stream exists
} BASS_CHANNELINFO;
BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info);

// Level of what is being heard now (the last 20 ms, after the channel volume): left in the low
// 16 bits, right in the high 16 bits, each 0..32768. 0 when not playing (NOPLAY), and 0 with
// HANDLE for an invalid handle, so callers never read a bogus level.
DWORD BASS_ChannelGetLevel(DWORD handle);

// length = a byte count: raw sample data in the stream's format. For a playing channel: the
// latest `length` bytes being heard (before the channel volume, after effects); for a decoding
// channel: the next decoded bytes. Returns the bytes written, (DWORD)-1 on error.
// length = BASS_DATA_FFT1024: 512 floats, magnitude of bins 0..511 of a Hann-windowed
// 1024-sample real transform of the latest mono-mixed samples (FFmpeg's av_tx). Scaling:
// |X[k]| * 2 / 1024, so a full-scale sine centred on bin k reads 0.5 (Hann's coherent gain is
// 1/2); bin k is k * rate / 1024 Hz. Returns 2048. A channel that is not playing fills zeros.
#define BASS_DATA_AVAILABLE 0
#define BASS_DATA_FFT1024 0x80000002u
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);

// ---- Syncs ----
typedef void(SYNCPROC)(HSYNC handle, DWORD channel, DWORD data, void* user);
#define BASS_SYNC_END 2
#define BASS_SYNC_ONETIME 0x80000000u
// BASS_SYNC_END: proc runs once each time the stream plays to its end, on a library thread.
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user);
BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync);

// ---- Effects ----
#define BASS_FX_DX8_PARAMEQ 7
// Peaking equaliser band (RBJ biquad): centre in Hz (80..16000, capped below half the mixing
// rate), bandwidth in semitones (1..36), gain in dB (-15..15). Values out of range are clamped.
typedef struct BASS_DX8_PARAMEQ {
  float fCenter;
  float fBandwidth;
  float fGain;
} BASS_DX8_PARAMEQ;
// Effects apply to what is decoded for the channel (so their effect is heard after the playback
// buffer, at most BASS_CONFIG_BUFFER ms later). A new band starts at {1000 Hz, 12, 0 dB}.
HFX BASS_ChannelSetFX(DWORD handle, DWORD type, int priority);
BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx);
BOOL BASS_FXSetParameters(HFX handle, const void* params);
BOOL BASS_FXGetParameters(HFX handle, void* params);

// ---- Plug-ins ----
typedef struct BASS_PLUGINFORM {
  DWORD ctype;       // channel type of streams it decodes
  const char* name;  // format name, e.g. "FLAC"
  const char* exts;  // file patterns, e.g. "*.flac" or "*.m4a;*.aac"
} BASS_PLUGINFORM;
typedef struct BASS_PLUGININFO {
  DWORD version;
  DWORD formatc;
  const BASS_PLUGINFORM* formats;
} BASS_PLUGININFO;
// Loads a plug-in (a "b_*.so" module, see AudioLibPlugin.h). A bare name is looked for in the
// program folder (the folder of the running executable), then in $MELVO_PLUGIN_DIR when set,
// then in the current folder; a name with
// a '/' is used as it is. Loading an already loaded module returns its handle. 0 on failure
// (FILEOPEN: not found or not loadable; FILEFORM: not a plug-in of ours).
HPLUGIN BASS_PluginLoad(const char* file, DWORD flags);
// Valid until the plug-in is freed; NULL for an invalid handle.
const BASS_PLUGININFO* BASS_PluginGetInfo(HPLUGIN handle);
// Frees a plug-in (0 = all). Streams it already decodes keep working.
BOOL BASS_PluginFree(HPLUGIN handle);

// ---- Errors ----
int BASS_ErrorGetCode(void);  // the last error of the calling thread, BASS_OK after success

// ---- Tags ----
// fmt is a text in which %TITL, %ARTI, %ALBM, %GNRE, %YEAR, %CMNT and %TRCK are replaced by the
// stream's tags (empty when missing) and %% by %. Tags of files are read with TagLib; legacy
// 8-bit tag text (ID3v1, ID3v2 Latin-1 frames, RIFF INFO) is decoded as GB18030 unless it is
// valid UTF-8. The result is UTF-8, valid until the next TAGS_Read call on the same thread but
// three; NULL for an invalid handle.
const char* TAGS_Read(DWORD handle, const char* fmt);

#ifdef __cplusplus
}
#endif
