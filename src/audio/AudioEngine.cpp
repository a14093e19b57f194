#include "audio/AudioEngine.h"

#include "audio/LibraryCalls.h"
#include "base/MainThreadCalls.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <cmath>
#include <cstring>
#include <filesystem>

TAudioEngine* gAudioEngine = nullptr;

namespace {

// Identity of the engine whose library is live, read by the library's end callback, so that an
// end queued by a destroyed engine's stream never reaches a later engine with a reused handle.
std::atomic<uint64_t> gLiveEngineId{0};
std::atomic<uint64_t> gEnginesMade{0};

constexpr int kTickMs = 50;
constexpr uint32_t kLibraryVersion24 = 0x0204;
constexpr std::array<int32_t, 10> kEqBands{80,   170,  310,   600,   1000,
                                           3000, 6000, 10000, 12000, 14000};
constexpr float kEqBandwidthSemitones = 5.0f;
constexpr uint32_t kRawSampleBytes = 2048;

bool IsPluginFileName(const std::string& name) {
  return name.size() > 5 && name.compare(0, 2, "b_") == 0 &&
         name.compare(name.size() - 3, 3, ".so") == 0;
}

// Plug-in file names in the order the file system lists them.
std::vector<std::string> FindPluginFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (IsPluginFileName(name)) names.push_back(std::move(name));
  }
  return names;
}

float MillisecondsOrZero(double seconds) {
  float ms = static_cast<float>(seconds) * 1000.0f;
  return ms >= 0 ? ms : 0.0f;
}

}  // namespace

const char* const BaseDialogFilter =
    "所有音乐|*.mp1;*.mp2;*.mp3;*.wav;*.ogg;*.mod;*.s3m;*.it;*.umx;*.mo3;*.mtm;*.xm;*.aif";

const std::array<const char*, 16> AssociatedExtensions{"AAC",  "AC3",  "ape", "CDA", "CUE", "dks",
                                                       "FLAC", "lrcx", "M4A", "MP1", "MP2", "MP3",
                                                       "OGG",  "TTA",  "WAV", "wma"};

// ---------------------------------------------------------------------------------------------
// Opening worker

TStreamCreateURLThread::TStreamCreateURLThread(TAudioEngine* engine, const std::string& _SongPath)
    : FEngine(engine), FSongPath(_SongPath) {
  FThread = std::thread([this] { Execute(); });
}

TStreamCreateURLThread::~TStreamCreateURLThread() {
  WaitFor();
}

void TStreamCreateURLThread::WaitFor() {
  if (FThread.joinable()) FThread.join();
}

void TStreamCreateURLThread::Execute() {
  FChan = libcalls::OpenFileStream(FSongPath);
  if (FChan == 0) {
    FEngine->PostToMainThread([engine = FEngine] { engine->SwitchToConnecting(); });
    FChan = libcalls::OpenUrlStream(FSongPath, &TAudioEngine::StreamDownProc);
    // The library keeps its error code per thread, so it is read here, not on the main thread.
    FErrorCode = FChan == 0 ? libcalls::LastError() : 0;
    if (FTerminated.load() && FChan != 0) {
      libcalls::FreeStream(FChan);  // asked to end: the stream is never used
      FChan = 0;
      FErrorCode = libcalls::kOpeningCancelled;
    }
  }
  FEngine->PostToMainThread([engine = FEngine] { engine->StreamCreateDone(); });
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

TAudioEngine::TAudioEngine(uint32_t HWND, const std::string& _PluginPath)
    : FContext(std::make_unique<QObject>()), FId(++gEnginesMade) {
  AppHWND = HWND;
  gLiveEngineId.store(FId);
  TMainThreadCalls::Instance();
  EQBands = kEqBands;
  if (!gAudioEngine) gAudioEngine = this;
  InitDevice(_PluginPath);
  PTime = new QTimer(FContext.get());
  PTime->setInterval(kTickMs);
  QObject::connect(PTime, &QTimer::timeout, FContext.get(), [this] { OnTimer(); });
}

// The tick only feeds the progress handler, and never in the stopped state: without one, or
// while stopped, it would wake the program for nothing.
void TAudioEngine::SetOnAudioProcess(TAudioProcess h) {
  FOnAudioProcess = std::move(h);
  UpdateTick();
}

void TAudioEngine::SetState(int32_t State) {
  FPlayerState = State;
  UpdateTick();
}

void TAudioEngine::UpdateTick() {
  if (!PTime) return;
  const bool wanted = FOnAudioProcess && FPlayerState != psStopped;
  if (wanted && !PTime->isActive())
    PTime->start();
  else if (!wanted && PTime->isActive())
    PTime->stop();
}

bool TAudioEngine::TickActive() const {
  return PTime && PTime->isActive();
}

TAudioEngine::~TAudioEngine() {
  // Handlers may belong to objects already gone; nothing is reported from here on.
  FOnAudioEvent = nullptr;
  FOnAudioFinish = nullptr;
  FOnAudioProcess = nullptr;
  FOnAudioFail = nullptr;
  SetOnAudioStreamDown(nullptr);
  PTime->stop();
  if (StreamCreate) {
    StreamCreate->Terminate();
    StreamCreate->WaitFor();
  }
  Stop();
  TMainThreadCalls::Instance().Discard(FId);  // calls still queued for this engine
  FContext.reset();
  StreamCreate.reset();
  for (uint32_t p : FPlugins) libcalls::FreePlugin(p);
  if (FDeviceReady) {
    libcalls::StopOutput();
    libcalls::FreeDevice();  // frees every stream, also one a dropped opening left behind
  }
  if (gLiveEngineId.load() == FId) gLiveEngineId.store(0);
  if (gAudioEngine == this) gAudioEngine = nullptr;
}

void TAudioEngine::InitDevice(const std::string& _PluginPath) {
  if ((libcalls::Version() >> 16) != kLibraryVersion24) {
    RaiseFail(psEnded, aeWrongLibraryVersion);
    return;
  }
  if (!libcalls::InitOutput(AppHWND)) {
    RaiseFail(FPlayerState, aeDeviceInitFailed);
    return;
  }
  FDeviceReady = true;
  FExts = BaseDialogFilter;
  LoadPlugins(_PluginPath);
  libcalls::ApplyNetworkSettings();
  libcalls::StartOutput();
}

void TAudioEngine::LoadPlugins(const std::string& _PluginPath) {
  for (const std::string& name : FindPluginFiles(_PluginPath)) {
    // The file found is the file loaded: a bare name could resolve to another folder.
    plug = libcalls::LoadPlugin(_PluginPath + name);
    if (plug == 0) continue;
    FPlugins.push_back(plug);
    for (const std::string& patterns : libcalls::PluginPatterns(plug)) FExts += ";" + patterns;
  }
}

void TAudioEngine::PrepareDecoding() {
  libcalls::PrepareDecoding();
}

std::string TAudioEngine::GetDialogFilter() const {
  return "mp1/mp2/mp3/wav/ogg/mod/s3m/it/umx/mo3/mtm/xm|*.mp1;*.mp2;*.mp3;*.wav;*.ogg;*.mod;*.s3m;"
         "*.it;*.umx;*.mo3;*.mtm;*.xm|Streams (mp1/mp2/mp3/wav/ogg)|*.mp1;*.mp2;*.mp3;*.wav;*.ogg|"
         "Trackers (mod/s3m/it/umx/mo3/mtm/xm)|*.mod;*.s3m;*.it;*.umx;*.mo3;*.mtm;*.xm";
}

// ---------------------------------------------------------------------------------------------
// Events

void TAudioEngine::PostToMainThread(std::function<void()> call) {
  TMainThreadCalls::Instance().Post(FId, std::move(call));
}

void TAudioEngine::RaiseState(int32_t State) {
  if (FOnAudioEvent) FOnAudioEvent(State);
}

void TAudioEngine::RaiseFinish(int32_t State) {
  if (FOnAudioFinish) FOnAudioFinish(State);
}

void TAudioEngine::RaiseFail(int32_t State, int32_t ErrCode) {
  if (FOnAudioFail) FOnAudioFail(State, ErrCode);
}

void TAudioEngine::SetOnAudioStreamDown(TAudioStreamDown h) {
  std::lock_guard<std::mutex> lock(FStreamDownLock);
  FOnAudioStreamDown = std::move(h);
}

void TAudioEngine::EndSyncProc(uint32_t, uint32_t channel, uint32_t, void*) {
  // Library thread: the engine is looked up only once the call runs on the main thread.
  uint64_t engineId = gLiveEngineId.load();
  TMainThreadCalls::Instance().Post(0, [channel, engineId] {
    if (gAudioEngine && gAudioEngine->FId == engineId) gAudioEngine->StreamEnded(channel);
  });
}

void TAudioEngine::StreamDownProc(const void* buffer, uint32_t length, void* user) {
  TAudioEngine* engine = gAudioEngine;
  if (!engine) return;
  TAudioStreamDown handler;
  {
    std::lock_guard<std::mutex> lock(engine->FStreamDownLock);
    handler = engine->FOnAudioStreamDown;
  }
  if (!handler) return;
  try {
    handler(buffer, length, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(user)));
  } catch (...) {
  }
}

void TAudioEngine::StreamEnded(uint32_t channel) {
  if (!FAcceptEnd || channel != Channel) return;  // the stream was replaced by Play after it ended
  SetState(psEnded);
  RaiseFinish(psEnded);
}

// ---------------------------------------------------------------------------------------------
// Opening a stream

void TAudioEngine::Play(const std::string& FileName) {
  if (StreamCreate) {
    RaiseFail(psEnded, aeOpeningUnderWay);
    return;
  }
  FCurFileName = FileName;
  libcalls::FreeStream(Channel);
  FAcceptEnd = false;
  StreamCreate = std::make_unique<TStreamCreateURLThread>(this, FileName);
}

void TAudioEngine::SwitchToConnecting() {
  SetState(psConnecting);
  RaiseState(psConnecting);
}

void TAudioEngine::StreamCreateDone() {
  StreamCreate->WaitFor();
  Channel = StreamCreate->Chan();
  if (Channel != 0) {
    ReadBitrate();
    CreateEqualizerFX();
    SetEqualizer();
    StartPlayback();
    SetState(psPlaying);
    RaiseState(psPlaying);
  } else {
    SetState(psOpenFailed);
    RaiseFinish(psOpenFailed);
    RaiseFail(psOpenFailed, StreamCreate->ErrorCode());
  }
  StreamCreate.reset();
}

void TAudioEngine::ReadBitrate() {
  auto size = static_cast<uint32_t>(libcalls::FileSize(Channel));
  SongLength = static_cast<int64_t>(libcalls::LengthBytes(Channel));
  auto seconds = static_cast<float>(libcalls::BytesToSeconds(Channel, SongLength));
  if (size != UINT32_MAX && seconds > 0)
    Fbitrate = static_cast<int32_t>(std::nearbyint(size / (125.0 * seconds) + 0.5));
}

void TAudioEngine::StartPlayback() {
  libcalls::SetChannelVolume(Channel, FVolume);
  libcalls::PlayChannel(Channel);
  libcalls::SetEndSync(Channel, &TAudioEngine::EndSyncProc);
  FAcceptEnd = true;
}

// ---------------------------------------------------------------------------------------------
// Transport

void TAudioEngine::Pause() {
  libcalls::PauseChannel(Channel);
  SetState(psPaused);
  RaiseState(psPaused);
}

void TAudioEngine::UnPause() {
  libcalls::PlayChannel(Channel);
  SetState(psPlaying);
  RaiseState(psPlaying);
}

void TAudioEngine::Stop() {
  if (StreamCreate) StreamCreate->Terminate();
  libcalls::StopChannel(Channel);
  SetState(psStopped);
  RaiseState(psStopped);
}

float TAudioEngine::GetSongPos() const {
  uint64_t pos = libcalls::PositionBytes(Channel);
  if (pos == UINT64_MAX) return 0;
  return MillisecondsOrZero(libcalls::BytesToSeconds(Channel, pos));
}

float TAudioEngine::GetSongLen() const {
  return MillisecondsOrZero(libcalls::BytesToSeconds(Channel, static_cast<uint64_t>(SongLength)));
}

void TAudioEngine::SetSongPos(float SongPos) {
  libcalls::SetPositionBytes(Channel, libcalls::SecondsToBytes(Channel, SongPos / 1000.0));
}

void TAudioEngine::SetVolume(float v) {
  FVolume = v;
  libcalls::SetChannelVolume(Channel, v);
}

void TAudioEngine::SetSysVolume(float v) {
  FGVolume = v;
  libcalls::SetMasterVolume(v);
}

// ---------------------------------------------------------------------------------------------
// Progress tick, samples, spectrum, level

void TAudioEngine::OnTimer() {
  if (!FOnAudioProcess || FPlayerState == psStopped) return;
  float maxPos = GetSongLen();
  float curPos = GetSongPos();
  TWaveData wave = GetWaveBuffer();
  TFFTData fft = GetFFTData();
  FOnAudioProcess(FPlayerState, maxPos, curPos, fft, wave);
}

TWaveData TAudioEngine::GetWaveBuffer() const {
  if (FPlayerState != psPlaying) return NullWave;
  TWaveData wave{};
  libcalls::ReadSamples(Channel, wave.data(), kRawSampleBytes);
  return wave;
}

TFFTData TAudioEngine::GetFFTData() const {
  if (FPlayerState != psPlaying) return NullFFT;
  TFFTData fft{};
  libcalls::ReadSpectrum(Channel, fft.data());
  fft[512] = 0;
  return fft;
}

void TAudioEngine::GetVULevel(int32_t& R, int32_t& L) const {
  uint32_t level = libcalls::Level(Channel);
  if (level == UINT32_MAX) level = 0;  // the library's failure value, not a level
  L = static_cast<int32_t>(level & 0xFFFF);
  R = static_cast<int32_t>(level >> 16);
}

// ---------------------------------------------------------------------------------------------
// Equaliser

void TAudioEngine::CreateEqualizerFX() {
  for (size_t i = 0; i < EqParam.size(); ++i) {
    EqParam[i] = libcalls::AddPeakingEq(Channel);
    libcalls::SetEqParameters(EqParam[i],
                              {static_cast<float>(EQBands[i]), kEqBandwidthSemitones, 0.0f});
  }
}

void TAudioEngine::UpdateEq(const TEqPreset& aEqPreset) {
  CurPreset = aEqPreset;
  for (size_t i = 0; i < EqParam.size(); ++i) {
    libcalls::EqParameters p = libcalls::GetEqParameters(EqParam[i]);
    p.fGain = static_cast<float>(aEqPreset[i]);
    libcalls::SetEqParameters(EqParam[i], p);
  }
}

void TAudioEngine::SetEqualizer() {
  UpdateEq(CurPreset);
}

void TAudioEngine::ResetEqualizer() {
  UpdateEq(TEqPreset{});
}

// ---------------------------------------------------------------------------------------------
// Tag and duration probe

TTags TAudioEngine::GetSongLength(const std::string& FileName) const {
  TTags tags;
  uint32_t h = libcalls::OpenFileStream(FileName);
  if (h != 0) {
    uint64_t bytes = libcalls::LengthBytes(h);
    // A failed measurement must not turn into a huge length.
    if (bytes != UINT64_MAX) {
      float days = static_cast<float>(libcalls::BytesToSeconds(h, bytes)) / 86400.0f;
      tags.Longtime = days >= 0 ? days : 0.0f;
    }
    tags.Title = libcalls::ReadTag(h, "%TITL");
    tags.Artist = libcalls::ReadTag(h, "%ARTI");
    tags.Album = libcalls::ReadTag(h, "%ALBM");
  }
  libcalls::FreeStream(h);
  return tags;
}
