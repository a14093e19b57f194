// The audio engine: one process-wide player over the audio library. It opens a file or a
// network stream on a worker thread, plays, pauses, stops and seeks it, carries the volume
// and a ten-band equaliser from stream to stream, and every 50 ms hands position, length,
// spectrum and samples to a handler. It also probes tags and duration of a file.
//
// Every operation is called on the main thread (the thread running the Qt event loop), and
// every event except the download event reaches its handler there.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QObject;
class QTimer;

// Engine states.
constexpr int32_t psStopped = 1001;
constexpr int32_t psPlaying = 1002;
constexpr int32_t psPaused = 1003;
constexpr int32_t psEnded = 1004;
constexpr int32_t psConnecting = 1005;
constexpr int32_t psOpenFailed = 1006;

// Failure codes of the engine's own; any other code is the audio library's.
constexpr int32_t aeWrongLibraryVersion = -1;
constexpr int32_t aeDeviceInitFailed = -2;
constexpr int32_t aeOpeningUnderWay = -3;

using TEqPreset = std::array<int32_t, 10>;     // gain of each band in dB
using TWaveData = std::array<uint32_t, 2049>;  // sample frames as the library delivers them
using TFFTData = std::array<float, 513>;       // element i is FFT bin i

using TAudioPlayEvent = std::function<void(int32_t State)>;
using TAudioFinish = std::function<void(int32_t State)>;
using TAudioProcess = std::function<void(int32_t State, float MaxPos, float CurPos,
                                         const TFFTData& NFFT, const TWaveData& NWave)>;
using TAudioFail = std::function<void(int32_t State, int32_t ErrCode)>;
using TAudioStreamDown = std::function<void(const void* buffer, uint32_t len, uint32_t user)>;

// Result of the tag and duration probe. Texts are UTF-8.
struct TTags {
  std::string Title;
  std::string Artist;
  std::string Album;
  double Longtime = 0;  // playing time in days
};

// Open-dialog filter without plug-ins, and the file types registered with the desktop.
extern const char* const BaseDialogFilter;
extern const std::array<const char*, 16> AssociatedExtensions;

class TAudioEngine;

// Opens one file or URL stream off the main thread; its completion runs on the main thread.
class TStreamCreateURLThread {
 public:
  TStreamCreateURLThread(TAudioEngine* engine, const std::string& _SongPath);
  ~TStreamCreateURLThread();
  TStreamCreateURLThread(const TStreamCreateURLThread&) = delete;
  TStreamCreateURLThread& operator=(const TStreamCreateURLThread&) = delete;

  void Terminate() { FTerminated.store(true); }
  void WaitFor();
  uint32_t Chan() const { return FChan; }
  int32_t ErrorCode() const { return FErrorCode; }

 private:
  void Execute();

  TAudioEngine* FEngine;
  std::string FSongPath;
  uint32_t FChan = 0;
  int32_t FErrorCode = 0;  // the library's code for a failed opening, read on the worker
  std::atomic<bool> FTerminated{false};
  std::thread FThread;
};

class TAudioEngine {
 public:
  // _PluginPath is the folder searched for plug-ins, ending in a path separator.
  TAudioEngine(uint32_t HWND, const std::string& _PluginPath);
  virtual ~TAudioEngine();
  TAudioEngine(const TAudioEngine&) = delete;
  TAudioEngine& operator=(const TAudioEngine&) = delete;

  virtual std::string GetDialogFilter() const;

  // Device and plug-in initialisation; the constructor runs it.
  void InitDevice(const std::string& _PluginPath);
  // The 50 ms progress tick; the engine's timer calls it.
  void OnTimer();
  // Opens the decoding libraries on a thread of their own, so that the first song starts without
  // waiting for them (the library opens them itself otherwise, on the first stream).
  static void PrepareDecoding();

  void Play(const std::string& FileName);
  void Pause();
  void UnPause();
  void Stop();
  float GetSongPos() const;
  float GetSongLen() const;
  void SetSongPos(float SongPos);
  TWaveData GetWaveBuffer() const;
  TFFTData GetFFTData() const;
  void GetVULevel(int32_t& R, int32_t& L) const;
  void UpdateEq(const TEqPreset& aEqPreset);
  void SetEqualizer();
  void ResetEqualizer();
  TTags GetSongLength(const std::string& FileName) const;

  int32_t EngineState() const { return FPlayerState; }
  void SetEngineState(int32_t State) { SetState(State); }
  int32_t Bitrate() const { return Fbitrate; }
  const std::string& CurSong() const { return FCurFileName; }
  float Volume() const { return FVolume; }
  void SetVolume(float v);
  float SysVolume() const { return FGVolume; }
  void SetSysVolume(float v);
  const std::string& Exts() const { return FExts; }
  bool OpeningUnderWay() const { return StreamCreate != nullptr; }
  // The 50 ms progress tick is running (only while a handler listens and not stopped).
  bool TickActive() const;

  void SetOnAudioEvent(TAudioPlayEvent h) { FOnAudioEvent = std::move(h); }
  void SetOnAudioFinish(TAudioFinish h) { FOnAudioFinish = std::move(h); }
  void SetOnAudioProcess(TAudioProcess h);
  void SetOnAudioFail(TAudioFail h) { FOnAudioFail = std::move(h); }
  void SetOnAudioStreamDown(TAudioStreamDown h);

  // The library's handle of the current stream (0 = none); for tools and tests.
  uint32_t CurrentChannel() const { return Channel; }
  const TEqPreset& CurrentPreset() const { return CurPreset; }
  const std::array<uint32_t, 10>& EqualizerEffects() const { return EqParam; }

  // Library callbacks; they reach the engine through gAudioEngine.
  static void EndSyncProc(uint32_t handle, uint32_t channel, uint32_t data, void* user);
  static void StreamDownProc(const void* buffer, uint32_t length, void* user);

 private:
  friend class TStreamCreateURLThread;

  void LoadPlugins(const std::string& _PluginPath);
  void CreateEqualizerFX();
  void ReadBitrate();
  void StartPlayback();
  void StreamCreateDone();
  void SwitchToConnecting();
  void StreamEnded(uint32_t channel);
  void PostToMainThread(std::function<void()> call);
  void RaiseState(int32_t State);
  void SetState(int32_t State);
  void UpdateTick();
  void RaiseFinish(int32_t State);
  void RaiseFail(int32_t State, int32_t ErrCode);

  uint32_t Channel = 0;
  uint32_t plug = 0;
  int64_t SongLength = 0;
  std::unique_ptr<QObject> FContext;  // owns the timer
  uint64_t FId;                       // this engine among those made in the process
  QTimer* PTime = nullptr;            // owned by FContext
  uint32_t AppHWND = 0;
  std::array<uint32_t, 10> EqParam{};
  std::array<int32_t, 10> EQBands{};
  TWaveData NullWave{};
  TFFTData NullFFT{};
  TEqPreset CurPreset{};
  TAudioProcess FOnAudioProcess;
  TAudioFail FOnAudioFail;
  TAudioPlayEvent FOnAudioEvent;
  int32_t FPlayerState = psStopped;
  std::string FCurFileName;
  int32_t Fbitrate = 0;
  float FVolume = 1.0f;
  float FGVolume = 1.0f;
  std::string FExts;
  std::unique_ptr<TStreamCreateURLThread> StreamCreate;
  TAudioFinish FOnAudioFinish;
  TAudioStreamDown FOnAudioStreamDown;
  std::mutex FStreamDownLock;  // the download handler is read on the library's thread
  std::vector<uint32_t> FPlugins;
  bool FDeviceReady = false;
  bool FAcceptEnd = false;  // false from Play until its stream starts: late ends are dropped
};

// The process's engine; the library's callbacks find it here. Set by the first engine built,
// cleared when that engine is destroyed.
extern TAudioEngine* gAudioEngine;
