// The engine against the real audio library on the no-sound device: openings, transport,
// events and their order, spectrum and equaliser, volume and the dialog filter.
#include "EngineTestSupport.h"

#include "audiolib/AudioLib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>

using namespace enginetest;

namespace {

bool AllZero(const TFFTData& a) {
  return std::all_of(a.begin(), a.end(), [](float v) { return v == 0.0f; });
}
bool AllZero(const TWaveData& a) {
  return std::all_of(a.begin(), a.end(), [](uint32_t v) { return v == 0; });
}

int CountOf(const EventLog& log, char kind, int32_t state) {
  return static_cast<int>(std::count_if(log.events.begin(), log.events.end(), [&](const Event& e) {
    return e.kind == kind && e.state == state;
  }));
}

// Plays the file and waits until some of it has been heard.
void PlayAndHear(TAudioEngine& engine, EventLog& log, const std::string& file,
                 float heardMs = 250) {
  int before = CountOf(log, 's', psPlaying);
  engine.Play(file);
  ASSERT_TRUE(WaitUntil([&] { return CountOf(log, 's', psPlaying) > before; })) << file;
  ASSERT_TRUE(WaitUntil([&] { return engine.GetSongPos() >= heardMs; })) << file;
}

float ChannelVolume(uint32_t channel) {
  float v = -1;
  BASS_ChannelGetAttribute(channel, BASS_ATTRIB_VOL, &v);
  return v;
}

BASS_DX8_PARAMEQ EffectParameters(uint32_t fx) {
  BASS_DX8_PARAMEQ p{};
  BASS_FXGetParameters(fx, &p);
  return p;
}

// Average of a few spectrum reads, so one unlucky block does not decide a comparison.
TFFTData AverageSpectrum(TAudioEngine& engine, int reads = 5) {
  TFFTData sum{};
  for (int i = 0; i < reads; ++i) {
    TFFTData f = engine.GetFFTData();
    for (size_t k = 0; k < sum.size(); ++k) sum[k] += f[k] / static_cast<float>(reads);
    Drain(30);
  }
  return sum;
}

constexpr const char* kBaseFilter =
    "所有音乐|*.mp1;*.mp2;*.mp3;*.wav;*.ogg;*.mod;*.s3m;*.it;*.umx;*.mo3;*.mtm;*.xm;*.aif";

}  // namespace

// ---------------------------------------------------------------------------------------------
// Openings

TEST(EngineOpening, PlayWhileOpeningIsRefusedThenTheNextPlayIsAccepted) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  engine->Play(Fixture("tone.wav"));
  engine->Play(Fixture("tone.mp3"));
  ASSERT_EQ(log.events, (std::vector<Event>{{'x', psEnded, aeOpeningUnderWay, true}}));
  EXPECT_EQ(engine->CurSong(), Fixture("tone.wav"));

  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  EXPECT_FALSE(engine->OpeningUnderWay());
  uint32_t first = engine->CurrentChannel();
  engine->Play(Fixture("tone.mp3"));
  ASSERT_TRUE(WaitUntil([&] { return CountOf(log, 's', psPlaying) == 2; }));
  EXPECT_EQ(engine->CurSong(), Fixture("tone.mp3"));
  EXPECT_NE(engine->CurrentChannel(), first);
  EXPECT_EQ(CountOf(log, 'x', psEnded), 1);
}

TEST(EngineOpening, MissingFileTriesTheUrlThenFinishesAndFailsWhileTheOpeningIsStillSet) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  // A Play from inside the finish handler must be refused: the opening has not ended yet.
  log.onEvent = [&](const Event& e) {
    if (e.kind == 'f') engine->Play(Fixture("tone.wav"));
  };
  engine->Play("/no/such/folder/song.mp3");
  EXPECT_TRUE(log.events.empty()) << "Play itself changes no state";
  ASSERT_TRUE(log.WaitFor('x', psOpenFailed));

  ASSERT_EQ(log.events.size(), 4u);
  EXPECT_EQ(log.events[0], (Event{'s', psConnecting, 0, true}));
  EXPECT_EQ(log.events[1], (Event{'f', psOpenFailed, 0, true}));
  EXPECT_EQ(log.events[2], (Event{'x', psEnded, aeOpeningUnderWay, true}));
  EXPECT_EQ(log.events[3].kind, 'x');
  EXPECT_EQ(log.events[3].state, psOpenFailed);
  EXPECT_TRUE(log.events[3].openingUnderWay);
  EXPECT_GT(log.events[3].code, 0) << "the library's own error code of the failed attempt";
  EXPECT_EQ(engine->EngineState(), psOpenFailed);
  EXPECT_FALSE(engine->OpeningUnderWay());
  EXPECT_TRUE(log.allOnMainThread);
  EXPECT_EQ(engine->CurrentChannel(), 0u);
  EXPECT_EQ(engine->GetSongPos(), 0.0f);
  EXPECT_EQ(engine->GetSongLen(), 0.0f);
}

TEST(EngineOpening, UrlConnectsFirstThenPlaysAndAPlayListIsFollowed) {
  LoopbackServer server;
  server.Serve("/tone.mp3", ReadFile(Fixture("tone.mp3")), "audio/mpeg");
  server.Serve("/list.pls",
               "[playlist]\nNumberOfEntries=1\nFile1=" + server.Url("/tone.mp3") + "\n",
               "audio/x-scpls");
  auto engine = MakeEngine();
  EventLog log(*engine);
  log.RecordProgress();
  std::atomic<size_t> downloaded{0};
  engine->SetOnAudioStreamDown([&](const void*, uint32_t len, uint32_t) { downloaded += len; });

  engine->Play(server.Url("/tone.mp3"));
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  ASSERT_GE(log.events.size(), 2u);
  EXPECT_EQ(log.events[0], (Event{'s', psConnecting, 0, true}));
  EXPECT_EQ(log.events[1], (Event{'s', psPlaying, 0, true}));
  EXPECT_NEAR(engine->Bitrate(), 128, 8) << "size from Content-Length over the decoded length";
  ASSERT_TRUE(WaitUntil([&] { return engine->GetSongPos() > 100 && log.progressCount > 0; }));
  EXPECT_GT(downloaded.load(), 0u);
  EXPECT_TRUE(log.allOnMainThread);

  log.Clear();
  engine->Play(server.Url("/list.pls"));
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  EXPECT_FALSE(log.Has('x', psOpenFailed));
}

TEST(EngineOpening, AddressesOtherThanHttpAreRefused) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  engine->Play("file://" + Fixture("tone.wav"));
  ASSERT_TRUE(log.WaitFor('x', psOpenFailed));
  EXPECT_TRUE(log.Has('s', psConnecting));
  EXPECT_EQ(log.events.back().code, BASS_ERROR_PROTOCOL);
  EXPECT_EQ(engine->CurrentChannel(), 0u);
}

TEST(EngineOpening, StopDuringAUrlOpeningStopsAtOnceAndTheLateStreamIsNotUsed) {
  LoopbackServer server;
  server.ServeHeld("/slow.mp3", ReadFile(Fixture("tone.mp3")), "audio/mpeg", 10000);
  auto engine = MakeEngine();
  EventLog log(*engine);
  engine->Play(server.Url("/slow.mp3"));
  ASSERT_TRUE(log.WaitFor('s', psConnecting));
  ASSERT_TRUE(server.WaitForHeldRequest(5000));

  engine->Stop();
  EXPECT_EQ(engine->EngineState(), psStopped);
  EXPECT_EQ(log.events.back(), (Event{'s', psStopped, 0, true}));
  server.Release();

  ASSERT_TRUE(log.WaitFor('x', psOpenFailed, 8000));
  EXPECT_TRUE(log.Has('f', psOpenFailed));
  EXPECT_FALSE(log.Has('s', psPlaying));
  EXPECT_EQ(engine->CurrentChannel(), 0u);
  EXPECT_NE(log.events.back().code, BASS_OK) << "a dropped opening is never reported as success";
}

TEST(EngineOpening, StopDuringALocalOpeningDoesNotKeepTheFileFromPlaying) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  engine->Play(Fixture("tone.wav"));
  engine->Stop();
  EXPECT_EQ(log.events, (std::vector<Event>{{'s', psStopped, 0, true}}));
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  EXPECT_EQ(engine->EngineState(), psPlaying);
}

// ---------------------------------------------------------------------------------------------
// Transport, positions and the end of a stream

TEST(EngineTransport, PositionsAreNeverNegativeAndZeroWithoutAStream) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  log.RecordProgress();
  EXPECT_EQ(engine->GetSongPos(), 0.0f);
  EXPECT_EQ(engine->GetSongLen(), 0.0f);
  engine->SetSongPos(1000);  // no stream: nothing happens
  EXPECT_EQ(engine->GetSongPos(), 0.0f);

  PlayAndHear(*engine, log, Fixture("tone.wav"));
  EXPECT_NEAR(engine->GetSongLen(), 2000, 1);
  engine->SetSongPos(-3000);
  EXPECT_GE(engine->GetSongPos(), 0.0f);
  engine->SetSongPos(1e9f);
  EXPECT_GE(engine->GetSongPos(), 0.0f);
  engine->SetSongPos(1500);
  EXPECT_NEAR(engine->GetSongPos(), 1500, 60);
  ASSERT_TRUE(WaitUntil([&] { return log.progressCount >= 3; }));
  EXPECT_GE(log.minPosSeen, 0.0f);
}

TEST(EngineTransport, PauseResumeStopAndTheTickRunsInEveryStateButStopped) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  log.RecordProgress();
  Drain(150);
  EXPECT_EQ(log.progressCount, 0) << "no tick in the initial stopped state";
  EXPECT_FALSE(engine->TickActive()) << "a stopped engine does not wake the program";

  PlayAndHear(*engine, log, Fixture("tone.wav"));
  engine->Pause();
  EXPECT_EQ(log.events.back(), (Event{'s', psPaused, 0, false}));
  float pausedAt = engine->GetSongPos();
  int ticks = log.progressCount;
  ASSERT_TRUE(WaitUntil([&] { return log.progressCount >= ticks + 3; }));
  EXPECT_EQ(log.lastState, psPaused);
  EXPECT_NEAR(engine->GetSongPos(), pausedAt, 1);

  engine->UnPause();
  EXPECT_EQ(log.events.back(), (Event{'s', psPlaying, 0, false}));
  ASSERT_TRUE(WaitUntil([&] { return engine->GetSongPos() > pausedAt + 100; }));

  engine->Stop();
  EXPECT_EQ(log.events.back(), (Event{'s', psStopped, 0, false}));
  EXPECT_NE(engine->CurrentChannel(), 0u) << "Stop keeps the stream";
  ticks = log.progressCount;
  Drain(200);
  EXPECT_EQ(log.progressCount, ticks);
  EXPECT_FALSE(engine->TickActive());
}

TEST(EngineTransport, EndOfAStreamRaisesFinishAndALateEndOfAReplacedStreamIsDropped) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  log.RecordProgress();
  engine->Play(Fixture("sine1k.wav"));
  ASSERT_TRUE(log.WaitFor('f', psEnded, 6000));
  EXPECT_EQ(engine->EngineState(), psEnded);
  EXPECT_TRUE(log.allOnMainThread) << "the library's end notification is handed over";
  EXPECT_FALSE(log.Has('s', psEnded)) << "the end raises the finish event, not the state event";
  int ticks = log.progressCount;
  ASSERT_TRUE(WaitUntil([&] { return log.progressCount > ticks; }));
  EXPECT_EQ(log.lastState, psEnded);
  EXPECT_TRUE(AllZero(log.lastFft));

  // The library's end notification of the old stream arrives after Play replaced it.
  uint32_t old = engine->CurrentChannel();
  log.Clear();
  engine->Play(Fixture("tone.wav"));
  TAudioEngine::EndSyncProc(0, old, 0, nullptr);
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  TAudioEngine::EndSyncProc(0, old, 0, nullptr);
  Drain(100);
  EXPECT_FALSE(log.Has('f', psEnded));
  EXPECT_EQ(engine->EngineState(), psPlaying);
}

TEST(EngineTransport, VolumeSetWithoutAStreamAppliesToTheNextStreams) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  engine->SetVolume(0.25f);
  engine->Play(Fixture("tone.wav"));
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  EXPECT_FLOAT_EQ(ChannelVolume(engine->CurrentChannel()), 0.25f);

  engine->SetVolume(0.5f);
  EXPECT_FLOAT_EQ(ChannelVolume(engine->CurrentChannel()), 0.5f);
  log.Clear();
  engine->Play(Fixture("tone.mp3"));
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  EXPECT_FLOAT_EQ(ChannelVolume(engine->CurrentChannel()), 0.5f);
  EXPECT_FLOAT_EQ(engine->Volume(), 0.5f);
}

TEST(EngineTransport, BitrateComesFromTheFileSizeAndStaysWhenTheSizeIsUnknown) {
  LoopbackServer server;
  std::string wav = ReadFile(Fixture("tone.wav"));
  server.Serve("/sized.wav", wav, "audio/wav");
  server.ServeChunked("/unsized.wav", wav, "audio/wav");
  auto engine = MakeEngine();
  EventLog log(*engine);
  engine->Play(Fixture("tone.mp3"));
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  int32_t mp3Rate = engine->Bitrate();
  EXPECT_NEAR(mp3Rate, 128, 8);

  engine->Play(server.Url("/unsized.wav"));
  ASSERT_TRUE(WaitUntil([&] { return CountOf(log, 's', psPlaying) == 2; }));
  EXPECT_EQ(engine->Bitrate(), mp3Rate);

  engine->Play(server.Url("/sized.wav"));
  ASSERT_TRUE(WaitUntil([&] { return CountOf(log, 's', psPlaying) == 3; }));
  EXPECT_NEAR(engine->Bitrate(), 1411, 10);
}

// ---------------------------------------------------------------------------------------------
// Samples, spectrum, level, equaliser

TEST(EngineData, SamplesSpectrumAndLevelAreZeroUnlessPlaying) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  EXPECT_TRUE(AllZero(engine->GetFFTData()));
  EXPECT_TRUE(AllZero(engine->GetWaveBuffer()));
  int32_t r = -1, l = -1;
  engine->GetVULevel(r, l);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(l, 0);

  PlayAndHear(*engine, log, Fixture("tone.wav"));
  TWaveData wave = engine->GetWaveBuffer();
  EXPECT_FALSE(AllZero(wave));
  EXPECT_TRUE(std::all_of(wave.begin() + 512, wave.end(), [](uint32_t v) { return v == 0; }))
      << "only 2048 bytes of samples are taken";
  TFFTData fft = engine->GetFFTData();
  EXPECT_FALSE(AllZero(fft));
  EXPECT_EQ(fft[512], 0.0f);
  engine->GetVULevel(r, l);
  EXPECT_GT(l, 8000);
  EXPECT_LE(l, 32768);
  EXPECT_GT(r, 8000);
  EXPECT_LE(r, 32768);

  engine->Pause();
  EXPECT_TRUE(AllZero(engine->GetFFTData()));
  EXPECT_TRUE(AllZero(engine->GetWaveBuffer()));
}

TEST(EngineData, SpectrumOfAOneKilohertzTonePeaksInItsBin) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  PlayAndHear(*engine, log, Fixture("sine1k.wav"), 200);
  TFFTData fft = AverageSpectrum(*engine, 3);
  auto peak = std::max_element(fft.begin(), fft.end()) - fft.begin();
  EXPECT_EQ(peak, 23) << "1000 Hz * 1024 / 44100 Hz = bin 23.2";
  EXPECT_GT(fft[23], 0.3f);
  EXPECT_LT(fft[100], 0.01f);
}

TEST(EngineData, EveryStreamGetsTheTenBandsWithTheCurrentPreset) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  engine->Play(Fixture("tone.wav"));
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  const std::array<float, 10> centres{80, 170, 310, 600, 1000, 3000, 6000, 10000, 12000, 14000};
  for (size_t i = 0; i < 10; ++i) {
    ASSERT_NE(engine->EqualizerEffects()[i], 0u) << i;
    BASS_DX8_PARAMEQ p = EffectParameters(engine->EqualizerEffects()[i]);
    EXPECT_FLOAT_EQ(p.fCenter, centres[i]);
    EXPECT_FLOAT_EQ(p.fBandwidth, 5.0f);
    EXPECT_FLOAT_EQ(p.fGain, 0.0f);
  }

  TEqPreset preset{-6, -4, -2, 0, 1, 2, 3, 4, 5, 6};
  engine->UpdateEq(preset);
  EXPECT_EQ(engine->CurrentPreset(), preset);
  EXPECT_FLOAT_EQ(EffectParameters(engine->EqualizerEffects()[0]).fGain, -6.0f);

  log.Clear();
  engine->Play(Fixture("tone.mp3"));
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  for (size_t i = 0; i < 10; ++i)
    EXPECT_FLOAT_EQ(EffectParameters(engine->EqualizerEffects()[i]).fGain,
                    static_cast<float>(preset[i]));

  engine->ResetEqualizer();
  EXPECT_EQ(engine->CurrentPreset(), TEqPreset{});
  EXPECT_FLOAT_EQ(EffectParameters(engine->EqualizerEffects()[9]).fGain, 0.0f);
}

TEST(EngineData, RaisingABandRaisesThatPartOfTheSpectrum) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  // twotone: 200 Hz (bin 4.6) and 3000 Hz (bin 69.7) at equal strength.
  auto ratio = [&] {
    TFFTData f = AverageSpectrum(*engine);
    return (f[69] + f[70]) / (f[4] + f[5]);
  };
  PlayAndHear(*engine, log, Fixture("twotone.wav"), 300);
  float flat = ratio();
  TEqPreset boost{};
  boost[5] = 12;  // the 3000 Hz band; applies from the next stream on
  engine->UpdateEq(boost);
  PlayAndHear(*engine, log, Fixture("twotone.wav"), 300);
  float boosted = ratio();
  EXPECT_GT(boosted, 2.5f * flat) << "flat " << flat << " boosted " << boosted;
}

// ---------------------------------------------------------------------------------------------
// Open-dialog filters

TEST(EngineFilters, WithoutPlugInsExtsIsTheBaseFilterAndBrokenPlugInsAreSkipped) {
  auto folder =
      std::filesystem::temp_directory_path() / ("melvo-noplugins-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  {
    auto engine = MakeEngine(folder.string() + "/");
    EXPECT_EQ(engine->Exts(), kBaseFilter);
  }
  std::ofstream(folder / "b_broken.so") << "not a shared object";
  std::ofstream(folder / "other.so") << "ignored";
  {
    auto engine = MakeEngine(folder.string() + "/");
    EXPECT_EQ(engine->Exts(), kBaseFilter);
  }
  std::filesystem::remove_all(folder);
}

TEST(EngineFilters, PlugInPatternsFollowTheBaseFilter) {
  auto engine = MakeEngine();
  const std::string& exts = engine->Exts();
  ASSERT_EQ(exts.rfind(std::string(kBaseFilter) + ";", 0), 0u) << exts;
  for (const char* pattern : {"*.flac", "*.m4a", "*.ape", "*.wma", "*.tta", "*.ac3"})
    EXPECT_NE(exts.find(pattern), std::string::npos) << pattern;
  EXPECT_EQ(
      engine->GetDialogFilter(),
      "mp1/mp2/mp3/wav/ogg/mod/s3m/it/umx/mo3/mtm/xm|*.mp1;*.mp2;*.mp3;*.wav;*.ogg;*.mod;*.s3m;"
      "*.it;*.umx;*.mo3;*.mtm;*.xm|Streams (mp1/mp2/mp3/wav/ogg)|*.mp1;*.mp2;*.mp3;*.wav;*.ogg|"
      "Trackers (mod/s3m/it/umx/mo3/mtm/xm)|*.mod;*.s3m;*.it;*.umx;*.mo3;*.mtm;*.xm");
}
